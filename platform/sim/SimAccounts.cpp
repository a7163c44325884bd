// advapi32 account functions: name and SID lookups, the process token and
// the SID helpers.
#include <cstring>

#include "platform/sim/SimModel.h"

using namespace tavrin::sim::detail;
namespace records = tavrin::sim::records;

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

}  // namespace

extern "C" {

BOOL WINAPI LookupAccountNameA(LPCSTR lpSystemName, LPCSTR lpAccountName, PSID Sid, LPDWORD cbSid,
                               LPSTR ReferencedDomainName, LPDWORD cchReferencedDomainName,
                               PSID_NAME_USE peUse) {
  if (const auto* o = tavrin::sim::Override(); o && o->lookupAccountName)
    return o->lookupAccountName(lpSystemName, lpAccountName, Sid, cbSid, ReferencedDomainName,
                                cchReferencedDomainName, peUse);
  NetworkDelay(lpSystemName);
  auto lock = LockModel();
  State& s = TheState();
  std::string target;
  Computer* c = FindSystem(s.model, lpSystemName ? lpSystemName : "", target);
  LogCall(s, "LookupAccountNameA", target, lpAccountName ? lpAccountName : "");
  if (!records::NameLookupArgsValid(lpAccountName, Sid, cbSid, ReferencedDomainName,
                                    cchReferencedDomainName)) {
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
  return records::AnswerNameLookup(r, Sid, cbSid, ReferencedDomainName, cchReferencedDomainName,
                                   peUse);
}

BOOL WINAPI LookupPrivilegeValueA(LPCSTR lpSystemName, LPCSTR lpName, PLUID lpLuid) {
  // The privileges' locally unique identifiers are fixed (SE_*_PRIVILEGE in
  // the Windows headers); logon rights are no privileges and have none.
  static const std::pair<const char*, DWORD> kPrivileges[] = {
      {"SeCreateTokenPrivilege", 2},
      {"SeAssignPrimaryTokenPrivilege", 3},
      {"SeLockMemoryPrivilege", 4},
      {"SeIncreaseQuotaPrivilege", 5},
      {"SeMachineAccountPrivilege", 6},
      {"SeTcbPrivilege", 7},
      {"SeSecurityPrivilege", 8},
      {"SeTakeOwnershipPrivilege", 9},
      {"SeLoadDriverPrivilege", 10},
      {"SeSystemProfilePrivilege", 11},
      {"SeSystemtimePrivilege", 12},
      {"SeProfileSingleProcessPrivilege", 13},
      {"SeIncreaseBasePriorityPrivilege", 14},
      {"SeCreatePagefilePrivilege", 15},
      {"SeCreatePermanentPrivilege", 16},
      {"SeBackupPrivilege", 17},
      {"SeRestorePrivilege", 18},
      {"SeShutdownPrivilege", 19},
      {"SeDebugPrivilege", 20},
      {"SeAuditPrivilege", 21},
      {"SeSystemEnvironmentPrivilege", 22},
      {"SeChangeNotifyPrivilege", 23},
      {"SeRemoteShutdownPrivilege", 24},
      {"SeUndockPrivilege", 25},
      {"SeSyncAgentPrivilege", 26},
      {"SeEnableDelegationPrivilege", 27},
      {"SeManageVolumePrivilege", 28},
      {"SeImpersonatePrivilege", 29},
      {"SeCreateGlobalPrivilege", 30},
      {"SeTrustedCredManAccessPrivilege", 31},
      {"SeRelabelPrivilege", 32},
      {"SeIncreaseWorkingSetPrivilege", 33},
      {"SeTimeZonePrivilege", 34},
      {"SeCreateSymbolicLinkPrivilege", 35},
      {"SeDelegateSessionUserImpersonatePrivilege", 36},
  };
  NetworkDelay(lpSystemName);
  auto lock = LockModel();
  State& s = TheState();
  LogCall(s, "LookupPrivilegeValueA", lpSystemName ? lpSystemName : "", lpName ? lpName : "");
  if (lpName == nullptr || lpLuid == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // Names are compared without regard to letter case, as Windows does.
  for (const auto& [name, value] : kPrivileges)
    if (UpperKey(name) == UpperKey(lpName)) {
      lpLuid->LowPart = value;
      lpLuid->HighPart = 0;
      return TRUE;
    }
  SetLastError(ERROR_NO_SUCH_PRIVILEGE);
  return FALSE;
}

BOOL WINAPI LookupAccountSidA(LPCSTR lpSystemName, PSID Sid, LPSTR Name, LPDWORD cchName,
                              LPSTR ReferencedDomainName, LPDWORD cchReferencedDomainName,
                              PSID_NAME_USE peUse) {
  if (const auto* o = tavrin::sim::Override(); o && o->lookupAccountSid)
    return o->lookupAccountSid(lpSystemName, Sid, Name, cchName, ReferencedDomainName,
                               cchReferencedDomainName, peUse);
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
  if (!records::SidLookupArgsValid(Name, cchName, ReferencedDomainName, cchReferencedDomainName)) {
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
  return records::AnswerSidLookup(r, Name, cchName, ReferencedDomainName, cchReferencedDomainName,
                                  peUse);
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
  // The user of another network is found on it, before the model is locked.
  SidBytes overridden;
  const auto* o = tavrin::sim::Override();
  if (o && o->userSid && TokenInformationClass == TokenUser && !o->userSid(overridden))
    return FALSE;
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
  const SidBytes& sid = o && o->userSid ? overridden : s.model.currentUserSid;
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
