// advapi32 account functions: name and SID lookups, the process token and
// the SID helpers.
#include <cstring>

#include "platform/sim/SimModel.h"

using namespace tavrin::sim::detail;

namespace {

struct Token {
  uint32_t magic;
  DWORD access;
};
constexpr uint32_t kTokenMagic = 0x4B4F5454;  // "TTOK"
constexpr DWORD kMaximumAllowed = 0x02000000;
constexpr DWORD kGenericRead = 0x80000000;
constexpr DWORD kGenericAll = 0x10000000;
constexpr DWORD kTokenAllAccess = 0x000F01FF;
constexpr DWORD kTokenRead = 0x00020008;  // STANDARD_RIGHTS_READ | TOKEN_QUERY

// The access a token handle of one's own process is granted: the most the
// caller may have for MAXIMUM_ALLOWED, the generic rights mapped to the
// token's own.
DWORD GrantedTokenAccess(DWORD desired) {
  DWORD granted = desired & ~(kMaximumAllowed | kGenericRead | kGenericAll);
  if (desired & (kMaximumAllowed | kGenericAll)) granted |= kTokenAllAccess;
  if (desired & kGenericRead) granted |= kTokenRead;
  return granted;
}

// Copies `text` into a buffer of `capacity` characters; false when it does
// not fit with its terminating zero.
bool Fits(const char* buffer, DWORD capacity, const std::string& text) {
  return buffer != nullptr && capacity >= text.size() + 1;
}

}  // namespace

extern "C" {

BOOL WINAPI LookupAccountNameA(LPCSTR lpSystemName, LPCSTR lpAccountName, PSID Sid, LPDWORD cbSid,
                               LPSTR ReferencedDomainName, LPDWORD cchReferencedDomainName,
                               PSID_NAME_USE peUse) {
  NetworkDelay(lpSystemName);
  auto lock = LockModel();
  State& s = TheState();
  std::string target;
  Computer* c = FindSystem(s.model, lpSystemName ? lpSystemName : "", target);
  LogCall(s, "LookupAccountNameA", target, lpAccountName ? lpAccountName : "");
  // A null buffer must come with a size of 0.
  if (lpAccountName == nullptr || cbSid == nullptr || cchReferencedDomainName == nullptr ||
      (Sid == nullptr && *cbSid != 0) ||
      (ReferencedDomainName == nullptr && *cchReferencedDomainName != 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (Unanswered(lock, s.model, c)) {
    SetLastError(RPC_S_SERVER_UNAVAILABLE);
    return FALSE;
  }
  Resolved r;
  if (!ResolveName(s.model, *c, lpAccountName, r)) {
    SetLastError(ERROR_NONE_MAPPED);
    return FALSE;
  }
  const DWORD sidNeeded = static_cast<DWORD>(r.sid.size());
  if (Sid == nullptr || *cbSid < sidNeeded ||
      !Fits(ReferencedDomainName, *cchReferencedDomainName, r.domain)) {
    *cbSid = sidNeeded;
    *cchReferencedDomainName = static_cast<DWORD>(r.domain.size() + 1);
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(Sid, r.sid.data(), r.sid.size());
  std::memcpy(ReferencedDomainName, r.domain.c_str(), r.domain.size() + 1);
  *cbSid = sidNeeded;
  *cchReferencedDomainName = static_cast<DWORD>(r.domain.size());
  if (peUse != nullptr) *peUse = r.use;
  return TRUE;
}

BOOL WINAPI LookupAccountSidA(LPCSTR lpSystemName, PSID Sid, LPSTR Name, LPDWORD cchName,
                              LPSTR ReferencedDomainName, LPDWORD cchReferencedDomainName,
                              PSID_NAME_USE peUse) {
  NetworkDelay(lpSystemName);
  auto lock = LockModel();
  State& s = TheState();
  std::string target;
  Computer* c = FindSystem(s.model, lpSystemName ? lpSystemName : "", target);
  const bool valid = SidIsValid(Sid);
  LogCall(s, "LookupAccountSidA", target, valid ? SidText(Sid) : "");
  if (!valid) {
    SetLastError(ERROR_INVALID_SID);
    return FALSE;
  }
  if (cchName == nullptr || cchReferencedDomainName == nullptr ||
      (Name == nullptr && *cchName != 0) ||
      (ReferencedDomainName == nullptr && *cchReferencedDomainName != 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (Unanswered(lock, s.model, c)) {
    SetLastError(RPC_S_SERVER_UNAVAILABLE);
    return FALSE;
  }
  Resolved r;
  if (!ResolveSid(s.model, *c, Sid, r)) {
    SetLastError(ERROR_NONE_MAPPED);
    return FALSE;
  }
  if (!Fits(Name, *cchName, r.name) ||
      !Fits(ReferencedDomainName, *cchReferencedDomainName, r.domain)) {
    *cchName = static_cast<DWORD>(r.name.size() + 1);
    *cchReferencedDomainName = static_cast<DWORD>(r.domain.size() + 1);
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(Name, r.name.c_str(), r.name.size() + 1);
  std::memcpy(ReferencedDomainName, r.domain.c_str(), r.domain.size() + 1);
  *cchName = static_cast<DWORD>(r.name.size());
  *cchReferencedDomainName = static_cast<DWORD>(r.domain.size());
  if (peUse != nullptr) *peUse = r.use;
  return TRUE;
}

HANDLE WINAPI GetCurrentProcess(void) {
  return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));
}

BOOL WINAPI OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess, PHANDLE TokenHandle) {
  auto lock = LockModel();
  State& s = TheState();
  LogCall(s, "OpenProcessToken", "", std::to_string(DesiredAccess));
  if (ProcessHandle != GetCurrentProcess()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (TokenHandle == nullptr) {
    SetLastError(ERROR_NOACCESS);
    return FALSE;
  }
  Token* token = new Token{kTokenMagic, GrantedTokenAccess(DesiredAccess)};
  s.tokens.insert(token);
  *TokenHandle = token;
  return TRUE;
}

BOOL WINAPI GetTokenInformation(HANDLE TokenHandle, TOKEN_INFORMATION_CLASS TokenInformationClass,
                                LPVOID TokenInformation, DWORD TokenInformationLength,
                                PDWORD ReturnLength) {
  auto lock = LockModel();
  State& s = TheState();
  LogCall(s, "GetTokenInformation", "", std::to_string(static_cast<int>(TokenInformationClass)));
  if (!s.tokens.count(TokenHandle)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if ((static_cast<Token*>(TokenHandle)->access & TOKEN_QUERY) == 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (TokenInformationClass != TokenUser) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (ReturnLength == nullptr) {
    SetLastError(ERROR_NOACCESS);
    return FALSE;
  }
  const SidBytes& sid = s.model.currentUserSid;
  const DWORD needed = static_cast<DWORD>(sizeof(TOKEN_USER) + sid.size());
  *ReturnLength = needed;
  if (TokenInformation == nullptr || TokenInformationLength < needed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  auto* user = static_cast<TOKEN_USER*>(TokenInformation);
  uint8_t* sidPlace = static_cast<uint8_t*>(TokenInformation) + sizeof(TOKEN_USER);
  std::memcpy(sidPlace, sid.data(), sid.size());
  user->User.Sid = sidPlace;
  user->User.Attributes = 0;
  return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE hObject) {
  if (hObject == GetCurrentProcess()) return TRUE;  // a pseudo-handle
  auto lock = LockModel();
  State& s = TheState();
  if (!s.tokens.erase(hObject)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  delete static_cast<Token*>(hObject);
  return TRUE;
}

BOOL WINAPI IsValidSid(PSID pSid) { return SidIsValid(pSid) ? TRUE : FALSE; }

DWORD WINAPI GetLengthSid(PSID pSid) { return static_cast<DWORD>(SidSize(pSid)); }

BOOL WINAPI EqualSid(PSID pSid1, PSID pSid2) {
  if (!SidIsValid(pSid1) || !SidIsValid(pSid2)) {
    SetLastError(ERROR_INVALID_SID);
    return FALSE;
  }
  const size_t n = SidSize(pSid1);
  const bool equal = n == SidSize(pSid2) && std::memcmp(pSid1, pSid2, n) == 0;
  SetLastError(ERROR_SUCCESS);
  return equal ? TRUE : FALSE;
}

}  // extern "C"
