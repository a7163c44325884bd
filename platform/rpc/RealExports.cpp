// The platform functions over real computers: each keeps the Windows
// contract (arguments checked as Windows checks them, statuses and last
// errors, buffers owned by the caller until freed with the matching
// function, batches with resume handles) and answers from the computer's
// LSA, SAM and server service.
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <unordered_set>
#include <vector>

#include "platform/ComputerNames.h"
#include "platform/NetworkOverride.h"
#include "platform/Records.h"
#include "platform/WideText.h"
#include "platform/rpc/RealConnections.h"

namespace tavrin::rpc::detail {
namespace {

namespace records = tavrin::platform::records;
using tavrin::platform::text::UpperKey;
using tavrin::platform::text::Utf8ToUtf16;
using tavrin::platform::text::WideArg;

constexpr uint32_t kPolicyMagic = 0x52504F4C;  // "RPOL"
constexpr ACCESS_MASK kPolicyViewLocalInformation = 0x00000001;
constexpr DWORD kTypeWorkstation = SV_TYPE_WORKSTATION | SV_TYPE_SERVER | SV_TYPE_NT;

struct Policy {
  uint32_t magic = kPolicyMagic;
  std::shared_ptr<Slot> slot;
  uint64_t conn = 0;  // the serial of the connection the handle was opened on
  tvr_handle handle{};
};

// The blocks handed out, by the function that frees them.
struct Blocks {
  std::mutex mutex;
  std::unordered_set<void*> lsa, net;
  std::unordered_set<void*> policies;
};
Blocks& TheBlocks() {
  static Blocks* blocks = new Blocks;
  return *blocks;
}

void* Keep(std::unordered_set<void*> Blocks::*which, void* block) {
  if (block != nullptr) {
    std::lock_guard<std::mutex> lock(TheBlocks().mutex);
    (TheBlocks().*which).insert(block);
  }
  return block;
}

bool Release(std::unordered_set<void*> Blocks::*which, void* block) {
  std::lock_guard<std::mutex> lock(TheBlocks().mutex);
  return (TheBlocks().*which).erase(block) == 1;
}

Policy* PolicyOf(LSA_HANDLE h) {
  std::lock_guard<std::mutex> lock(TheBlocks().mutex);
  return TheBlocks().policies.count(h) ? static_cast<Policy*>(h) : nullptr;
}

// The system error code of a status, with a computer that does not answer
// given the code `noAnswer` (Windows' code for the function family).
DWORD CodeOf(uint32_t status, DWORD noAnswer) {
  if (status == kNoAnswer) return noAnswer;
  return LsaNtStatusToWinError(static_cast<NTSTATUS>(status));
}

records::Account AccountOf(const RemoteAccount& found) {
  records::Account a;
  a.sid = found.sid;
  a.name = found.name;
  a.domain = found.domain;
  a.use = static_cast<SID_NAME_USE>(found.use);
  return a;
}

// ".\name" is a name of the computer asked, as a bare name is.
std::string AccountText(const char* account) {
  std::string text = account;
  if (text.rfind(".\\", 0) == 0) text.erase(0, 2);
  return text;
}

// The server's own name and its type, from its server service.
uint32_t ServerInfo(Session& s, std::string& name, tvr_server_info& info) {
  std::string given;
  const uint32_t status = s.Conn()->ServerInfo(info, given);
  if (status == 0 && info.werror == 0 && !given.empty()) name = given;
  return status;
}

// ---------------------------------------------------------------- advapi32

NTSTATUS NTAPI RealLsaOpenPolicy(PLSA_UNICODE_STRING SystemName,
                                 PLSA_OBJECT_ATTRIBUTES ObjectAttributes, ACCESS_MASK DesiredAccess,
                                 PLSA_HANDLE PolicyHandle) {
  if (ObjectAttributes == nullptr || PolicyHandle == nullptr) return STATUS_INVALID_PARAMETER;
  *PolicyHandle = nullptr;
  Session s(records::LsaText(SystemName));
  if (s.Status() != 0) return static_cast<NTSTATUS>(s.Status());
  // Samba answers LsaEnumerateAccountRights only on a handle that may also
  // view the policy; Windows asks POLICY_LOOKUP_NAMES alone.
  if (DesiredAccess & POLICY_LOOKUP_NAMES) DesiredAccess |= kPolicyViewLocalInformation;
  auto* p = new Policy;
  const uint32_t status = s.Conn()->OpenPolicy(DesiredAccess, p->handle);
  if (status != 0) {
    delete p;
    return static_cast<NTSTATUS>(status);
  }
  p->slot = s.SlotOf();
  p->conn = s.Conn()->Serial();
  Keep(&Blocks::policies, p);
  *PolicyHandle = p;
  return STATUS_SUCCESS;
}

NTSTATUS NTAPI RealLsaClose(LSA_HANDLE ObjectHandle) {
  Policy* p = PolicyOf(ObjectHandle);
  if (p == nullptr || !Release(&Blocks::policies, p)) return STATUS_INVALID_HANDLE;
  {
    std::lock_guard<std::mutex> lock(p->slot->mutex);
    // Closed on the computer with its connection, without a round trip now.
    if (p->slot->conn && p->slot->conn->Serial() == p->conn) p->slot->conn->ClosePolicy(p->handle);
  }
  delete p;
  return STATUS_SUCCESS;
}

NTSTATUS NTAPI RealLsaFreeMemory(PVOID Buffer) {
  if (Buffer == nullptr) return STATUS_SUCCESS;
  if (!Release(&Blocks::lsa, Buffer)) return STATUS_INVALID_PARAMETER;
  std::free(Buffer);
  return STATUS_SUCCESS;
}

// Runs `work` on the connection a policy handle was opened on.
NTSTATUS OnPolicy(LSA_HANDLE h, const std::function<uint32_t(Policy&, Remote&)>& work) {
  Policy* p = PolicyOf(h);
  if (p == nullptr) return STATUS_INVALID_HANDLE;
  Session s(p->slot);
  if (s.Status() != 0) return static_cast<NTSTATUS>(s.Status());
  // A connection replaced since the handle was opened no longer knows it.
  if (s.Conn()->Serial() != p->conn) return STATUS_INVALID_HANDLE;
  return static_cast<NTSTATUS>(work(*p, *s.Conn()));
}

NTSTATUS NTAPI RealLsaEnumerateAccountRights(LSA_HANDLE PolicyHandle, PSID AccountSid,
                                             PLSA_UNICODE_STRING* UserRights,
                                             PULONG CountOfRights) {
  if (UserRights == nullptr || CountOfRights == nullptr) return STATUS_INVALID_PARAMETER;
  *UserRights = nullptr;
  *CountOfRights = 0;
  if (!IsValidSid(AccountSid)) return STATUS_INVALID_SID;
  std::vector<std::string> names;
  const NTSTATUS status = OnPolicy(PolicyHandle, [&](Policy& p, Remote& c) {
    return c.EnumRights(p.handle, static_cast<const uint8_t*>(AccountSid), names);
  });
  if (status != STATUS_SUCCESS) return status;
  if (names.empty()) return STATUS_OBJECT_NAME_NOT_FOUND;
  PLSA_UNICODE_STRING block = records::PackRightNames(names);
  if (block == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
  *UserRights = static_cast<PLSA_UNICODE_STRING>(Keep(&Blocks::lsa, block));
  *CountOfRights = static_cast<ULONG>(names.size());
  return STATUS_SUCCESS;
}

NTSTATUS NTAPI RealLsaEnumerateAccountsWithUserRight(LSA_HANDLE PolicyHandle,
                                                     PLSA_UNICODE_STRING UserRight, PVOID* Buffer,
                                                     PULONG CountReturned) {
  if (Buffer == nullptr || CountReturned == nullptr) return STATUS_INVALID_PARAMETER;
  *Buffer = nullptr;
  *CountReturned = 0;
  const std::string right = records::LsaText(UserRight);
  std::vector<std::vector<uint8_t>> sids;
  const NTSTATUS status = OnPolicy(PolicyHandle, [&](Policy& p, Remote& c) {
    return c.EnumAccounts(p.handle, UserRight ? &right : nullptr, sids);
  });
  if (status != STATUS_SUCCESS) return status;
  if (sids.empty()) return STATUS_NO_MORE_ENTRIES;
  for (const auto& sid : sids)
    if (!IsValidSid(const_cast<uint8_t*>(sid.data()))) return STATUS_INVALID_SID;
  PLSA_ENUMERATION_INFORMATION block = records::PackSids(sids);
  if (block == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
  *Buffer = Keep(&Blocks::lsa, block);
  *CountReturned = static_cast<ULONG>(sids.size());
  return STATUS_SUCCESS;
}

NTSTATUS ChangeRights(LSA_HANDLE PolicyHandle, PSID AccountSid, bool add, bool all,
                      PLSA_UNICODE_STRING UserRights, ULONG CountOfRights) {
  if (!IsValidSid(AccountSid)) return STATUS_INVALID_SID;
  if ((!all && CountOfRights == 0) || (UserRights == nullptr && CountOfRights > 0))
    return STATUS_INVALID_PARAMETER;
  std::vector<std::string> names;
  for (ULONG i = 0; i < CountOfRights && !all; ++i)
    names.push_back(records::LsaText(&UserRights[i]));
  if (names.size() > 256) return STATUS_INVALID_PARAMETER;
  return OnPolicy(PolicyHandle, [&](Policy& p, Remote& c) {
    return c.ChangeRights(p.handle, static_cast<const uint8_t*>(AccountSid), add, all, names);
  });
}

NTSTATUS NTAPI RealLsaAddAccountRights(LSA_HANDLE PolicyHandle, PSID AccountSid,
                                       PLSA_UNICODE_STRING UserRights, ULONG CountOfRights) {
  return ChangeRights(PolicyHandle, AccountSid, true, false, UserRights, CountOfRights);
}

NTSTATUS NTAPI RealLsaRemoveAccountRights(LSA_HANDLE PolicyHandle, PSID AccountSid,
                                          BOOLEAN AllRights, PLSA_UNICODE_STRING UserRights,
                                          ULONG CountOfRights) {
  return ChangeRights(PolicyHandle, AccountSid, false, AllRights != 0, UserRights, CountOfRights);
}

BOOL WINAPI RealLookupAccountNameA(LPCSTR lpSystemName, LPCSTR lpAccountName, PSID Sid,
                                   LPDWORD cbSid, LPSTR ReferencedDomainName,
                                   LPDWORD cchReferencedDomainName, PSID_NAME_USE peUse) {
  if (!records::NameLookupArgsValid(lpAccountName, Sid, cbSid, ReferencedDomainName,
                                    cchReferencedDomainName)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Session s(lpSystemName ? lpSystemName : "");
  RemoteAccount found;
  uint32_t status = s.Status();
  if (status == 0) status = s.Conn()->LookupName(AccountText(lpAccountName), found);
  if (status != 0) {
    SetLastError(CodeOf(status, RPC_S_SERVER_UNAVAILABLE));
    return FALSE;
  }
  return records::AnswerNameLookup(AccountOf(found), Sid, cbSid, ReferencedDomainName,
                                   cchReferencedDomainName, peUse);
}

BOOL WINAPI RealLookupAccountSidA(LPCSTR lpSystemName, PSID Sid, LPSTR Name, LPDWORD cchName,
                                  LPSTR ReferencedDomainName, LPDWORD cchReferencedDomainName,
                                  PSID_NAME_USE peUse) {
  if (!IsValidSid(Sid)) {
    SetLastError(ERROR_INVALID_SID);
    return FALSE;
  }
  if (!records::SidLookupArgsValid(Name, cchName, ReferencedDomainName, cchReferencedDomainName)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Session s(lpSystemName ? lpSystemName : "");
  RemoteAccount found;
  uint32_t status = s.Status();
  if (status == 0) status = s.Conn()->LookupSid(static_cast<uint8_t*>(Sid), found);
  if (status != 0) {
    SetLastError(CodeOf(status, RPC_S_SERVER_UNAVAILABLE));
    return FALSE;
  }
  return records::AnswerSidLookup(AccountOf(found), Name, cchName, ReferencedDomainName,
                                  cchReferencedDomainName, peUse);
}

// ---------------------------------------------------------------- netapi32

void Clear(LPBYTE* bufptr, LPDWORD entriesread, LPDWORD totalentries) {
  *bufptr = nullptr;
  *entriesread = 0;
  *totalentries = 0;
}

// Serves one batch of `names` from the resume point, as the enumerations do.
template <typename ResumeT>
NET_API_STATUS ServeNames(const std::vector<std::string>& names, DWORD prefmaxlen, LPBYTE* bufptr,
                          LPDWORD entriesread, LPDWORD totalentries, ResumeT* resume) {
  size_t resumeAt = resume ? static_cast<size_t>(*resume) : 0;
  const NET_API_STATUS status = records::ServeFromResumePoint(
      0, names.size(), [&](size_t i) { return records::NetEntry{Utf8ToUtf16(names[i])}; },
      prefmaxlen, bufptr, entriesread, totalentries, resumeAt);
  Keep(&Blocks::net, *bufptr);
  if (resume) *resume = static_cast<ResumeT>(resumeAt);
  return status;
}

template <typename ResumeT>
NET_API_STATUS EnumerateNames(LPCWSTR servername, DWORD level, LPBYTE* bufptr, DWORD prefmaxlen,
                              LPDWORD entriesread, LPDWORD totalentries, ResumeT* resume,
                              std::initializer_list<tvr_sam_list> lists) {
  if (bufptr == nullptr || entriesread == nullptr || totalentries == nullptr)
    return ERROR_INVALID_PARAMETER;
  Clear(bufptr, entriesread, totalentries);
  Session s(WideArg(servername));
  if (s.Status() != 0) return CodeOf(s.Status(), ERROR_BAD_NETPATH);
  if (level != 0) return ERROR_INVALID_LEVEL;
  std::vector<std::string> names;
  for (tvr_sam_list list : lists)
    if (uint32_t status = s.Conn()->SamEnum(list, names); status != 0)
      return CodeOf(status, ERROR_BAD_NETPATH);
  return ServeNames(names, prefmaxlen, bufptr, entriesread, totalentries, resume);
}

NET_API_STATUS WINAPI RealNetUserEnum(LPCWSTR servername, DWORD level, DWORD filter, LPBYTE* bufptr,
                                      DWORD prefmaxlen, LPDWORD entriesread, LPDWORD totalentries,
                                      LPDWORD resume_handle) {
  // Only normal accounts are listed; other filters find none.
  if (filter != 0 && (filter & FILTER_NORMAL_ACCOUNT) == 0)
    return EnumerateNames(servername, level, bufptr, prefmaxlen, entriesread, totalentries,
                          resume_handle, {});
  return EnumerateNames(servername, level, bufptr, prefmaxlen, entriesread, totalentries,
                        resume_handle, {TVR_SAM_USERS});
}

NET_API_STATUS WINAPI RealNetGroupEnum(LPCWSTR servername, DWORD level, LPBYTE* bufptr,
                                       DWORD prefmaxlen, LPDWORD entriesread, LPDWORD totalentries,
                                       PDWORD_PTR resume_handle) {
  return EnumerateNames(servername, level, bufptr, prefmaxlen, entriesread, totalentries,
                        resume_handle, {TVR_SAM_GROUPS});
}

NET_API_STATUS WINAPI RealNetLocalGroupEnum(LPCWSTR servername, DWORD level, LPBYTE* bufptr,
                                            DWORD prefmaxlen, LPDWORD entriesread,
                                            LPDWORD totalentries, PDWORD_PTR resumehandle) {
  return EnumerateNames(servername, level, bufptr, prefmaxlen, entriesread, totalentries,
                        resumehandle, {TVR_SAM_BUILTIN_ALIASES, TVR_SAM_ALIASES});
}

NET_API_STATUS WINAPI RealNetServerGetInfo(LMSTR servername, DWORD level, LPBYTE* bufptr) {
  if (bufptr == nullptr) return ERROR_INVALID_PARAMETER;
  *bufptr = nullptr;
  Session s(WideArg(servername));
  if (s.Status() != 0) return CodeOf(s.Status(), ERROR_BAD_NETPATH);
  if (level != 100 && level != 101) return ERROR_INVALID_LEVEL;
  std::string name;
  tvr_server_info info{};
  if (uint32_t status = ServerInfo(s, name, info); status != 0)
    return CodeOf(status, ERROR_BAD_NETPATH);
  if (info.werror != 0) return info.werror;
  const std::vector<records::NetEntry> one = {
      {Utf8ToUtf16(name), info.type, info.version_major, info.version_minor}};
  *bufptr = static_cast<LPBYTE>(Keep(&Blocks::net, records::PackNetEntries(level, one)));
  return *bufptr ? NERR_Success : ERROR_NOT_ENOUGH_MEMORY;
}

// The names of the computer list file, or the server alone without one.
DWORD ListedComputers(std::vector<std::string>& names) {
  const Options& o = Current();
  if (o.computersFile.empty()) {
    names.push_back(o.server);
    return NERR_Success;
  }
  try {
    for (std::string& name : tavrin::ReadComputerList(o.computersFile)) {
      std::string host;
      unsigned port = 0;
      if (SplitEndpoint(name, host, port)) names.push_back(std::move(name));
    }
  } catch (const std::invalid_argument&) {
    names.clear();
    if (access(o.computersFile.c_str(), F_OK) != 0) return ERROR_FILE_NOT_FOUND;
    return ERROR_INVALID_DATA;  // no list the rule of computer names allows
  }
  return NERR_Success;
}

// A controller's domain: the account domain of a server whose type says so.
bool ControllerDomain(Session& s, std::string& domain) {
  std::string name;
  tvr_server_info info{};
  if (ServerInfo(s, name, info) != 0 || info.werror != 0 || !(info.type & SV_TYPE_DOMAIN_CTRL))
    return false;
  return s.Conn()->SamAccountDomain(domain) == 0;
}

NET_API_STATUS WINAPI RealNetServerEnum(LMCSTR servername, DWORD level, LPBYTE* bufptr,
                                        DWORD prefmaxlen, LPDWORD entriesread, LPDWORD totalentries,
                                        DWORD servertype, LMCSTR, LPDWORD resume_handle) {
  if (bufptr == nullptr || entriesread == nullptr || totalentries == nullptr)
    return ERROR_INVALID_PARAMETER;
  Clear(bufptr, entriesread, totalentries);
  if (!WideArg(servername).empty()) return ERROR_INVALID_PARAMETER;  // reserved: must be null
  if (resume_handle != nullptr && *resume_handle != 0) return ERROR_INVALID_PARAMETER;
  if (level != 100 && level != 101) return ERROR_INVALID_LEVEL;
  // There is no browsing: the domains are the server's own, if it is a
  // controller, and the computers those of the list file.
  std::vector<records::NetEntry> entries;
  if (servertype == SV_TYPE_DOMAIN_ENUM) {
    Session s("");
    if (std::string domain; s.Status() == 0 && ControllerDomain(s, domain))
      entries.push_back({Utf8ToUtf16(domain), SV_TYPE_DOMAIN_ENUM | SV_TYPE_NT});
  } else {
    std::vector<std::string> names;
    if (DWORD status = ListedComputers(names); status != NERR_Success) return status;
    for (const std::string& n : names)
      if (servertype & kTypeWorkstation) entries.push_back({Utf8ToUtf16(n), kTypeWorkstation});
  }
  size_t next = 0;
  const NET_API_STATUS status = records::BatchNetEntries(
      level, entries.size(), [&](size_t i) { return entries[i]; }, 0, prefmaxlen, bufptr,
      entriesread, next);
  Keep(&Blocks::net, *bufptr);
  if (status == NERR_Success || status == ERROR_MORE_DATA)
    *totalentries = static_cast<DWORD>(entries.size());
  return status;
}

NET_API_STATUS WINAPI RealNetGetAnyDCName(LPCWSTR servername, LPCWSTR domainname, LPBYTE* bufptr) {
  if (bufptr == nullptr) return ERROR_INVALID_PARAMETER;
  *bufptr = nullptr;
  const std::string server = WideArg(servername);
  Session s(server);
  if (s.Status() != 0) return CodeOf(s.Status(), ERROR_BAD_NETPATH);
  std::string domain;
  if (!ControllerDomain(s, domain)) return NERR_DCNotFound;
  const std::string asked = WideArg(domainname);
  if (!asked.empty() && UpperKey(asked) != UpperKey(domain)) return NERR_DCNotFound;
  std::string name = server;
  name.erase(0, name.find_first_not_of('\\'));
  if (name.empty()) name = Current().server;
  const std::u16string text = Utf8ToUtf16("\\\\" + name);
  auto* block = static_cast<WCHAR*>(std::malloc((text.size() + 1) * sizeof(WCHAR)));
  if (block == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
  std::memcpy(block, text.data(), text.size() * sizeof(WCHAR));
  block[text.size()] = 0;
  *bufptr = static_cast<LPBYTE>(Keep(&Blocks::net, block));
  return NERR_Success;
}

NET_API_STATUS WINAPI RealNetApiBufferFree(LPVOID Buffer) {
  if (Buffer == nullptr) return NERR_Success;
  if (!Release(&Blocks::net, Buffer)) return ERROR_INVALID_PARAMETER;
  std::free(Buffer);
  return NERR_Success;
}

// ---------------------------------------------------------------- the override

template <typename F>
FARPROC Proc(F* f) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(f));
}

FARPROC ExportOf(const char* library, const char* name) {
  static const std::unordered_map<std::string, FARPROC> advapi = {
      {"LsaOpenPolicy", Proc(&RealLsaOpenPolicy)},
      {"LsaClose", Proc(&RealLsaClose)},
      {"LsaFreeMemory", Proc(&RealLsaFreeMemory)},
      {"LsaEnumerateAccountRights", Proc(&RealLsaEnumerateAccountRights)},
      {"LsaEnumerateAccountsWithUserRight", Proc(&RealLsaEnumerateAccountsWithUserRight)},
      {"LsaAddAccountRights", Proc(&RealLsaAddAccountRights)},
      {"LsaRemoveAccountRights", Proc(&RealLsaRemoveAccountRights)},
      {"LookupAccountNameA", Proc(&RealLookupAccountNameA)},
      {"LookupAccountSidA", Proc(&RealLookupAccountSidA)}};
  static const std::unordered_map<std::string, FARPROC> netapi = {
      {"NetUserEnum", Proc(&RealNetUserEnum)},
      {"NetGroupEnum", Proc(&RealNetGroupEnum)},
      {"NetLocalGroupEnum", Proc(&RealNetLocalGroupEnum)},
      {"NetServerGetInfo", Proc(&RealNetServerGetInfo)},
      {"NetServerEnum", Proc(&RealNetServerEnum)},
      {"NetGetAnyDCName", Proc(&RealNetGetAnyDCName)},
      {"NetApiBufferFree", Proc(&RealNetApiBufferFree)}};
  const auto& table = std::strcmp(library, "ADVAPI32.DLL") == 0 ? advapi : netapi;
  auto it = table.find(name);
  return it == table.end() ? nullptr : it->second;
}

}  // namespace

bool ThisComputerName(std::string& name) {
  name = ServerName();
  if (!name.empty()) return true;
  Session s("");
  tvr_server_info info{};
  if (s.Status() == 0 && ServerInfo(s, name, info) == 0 && info.werror == 0 && !name.empty()) {
    RememberServerName(name);
    return true;
  }
  SetLastError(CodeOf(s.Status() ? s.Status() : kNoAnswer, ERROR_BAD_NETPATH));
  return false;
}

namespace {

bool UserSid(std::vector<uint8_t>& sid) {
  const std::string& user = Current().user;
  BYTE buffer[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof buffer;
  char domain[256];
  DWORD domainSize = sizeof domain;
  SID_NAME_USE use;
  if (!RealLookupAccountNameA(nullptr, user.c_str(), buffer, &size, domain, &domainSize, &use))
    return false;
  sid.assign(buffer, buffer + size);
  return true;
}

}  // namespace

const platform::NetworkOverride& RealOverride() {
  static const platform::NetworkOverride o = [] {
    platform::NetworkOverride r;
    r.exportOf = &ExportOf;
    r.lookupAccountName = &RealLookupAccountNameA;
    r.lookupAccountSid = &RealLookupAccountSidA;
    r.thisComputerName = &ThisComputerName;
    r.userSid = &UserSid;
    return r;
  }();
  return o;
}

}  // namespace tavrin::rpc::detail
