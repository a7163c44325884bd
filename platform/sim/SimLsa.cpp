// advapi32 LSA policy functions over each computer's simulated policy.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

#include "platform/sim/SimModel.h"

using namespace tavrin::sim::detail;

namespace {

constexpr uint32_t kPolicyMagic = 0x504F4C59;  // "POLY"
constexpr ACCESS_MASK kMaximumAllowed = 0x02000000;
constexpr ACCESS_MASK kGenericAll = 0x10000000;

std::string UnicodeArg(const LSA_UNICODE_STRING* s) { return tavrin::sim::records::LsaText(s); }

// The open policy a handle stands for, or null.
PolicyHandle* Policy(State& s, LSA_HANDLE h) {
  if (h == nullptr || !s.policies.count(h)) return nullptr;
  return static_cast<PolicyHandle*>(h);
}

// The computer behind an open policy, or a status explaining why it cannot
// be reached now.
NTSTATUS PolicyComputer(State& s, PolicyHandle* p, Computer*& c) {
  std::string ignored;
  c = FindSystem(s.model, p->computer, ignored);
  if (!Reachable(s.model, c)) return RPC_NT_SERVER_UNAVAILABLE;
  return STATUS_SUCCESS;
}

// Checks the right names of a write; the canonical names on success.
NTSTATUS RightNames(PLSA_UNICODE_STRING rights, ULONG count, std::vector<std::string>& names,
                    std::string& logged) {
  const auto& known = KnownRights();
  if (rights == nullptr && count > 0) return STATUS_INVALID_PARAMETER;
  NTSTATUS status = STATUS_SUCCESS;
  for (ULONG i = 0; i < count; ++i) {
    const std::string name = UnicodeArg(&rights[i]);
    logged += (i ? "," : "") + name;
    auto it = known.find(UpperKey(name));
    if (it == known.end()) {
      if (status == STATUS_SUCCESS) status = STATUS_NO_SUCH_PRIVILEGE;
      continue;
    }
    names.push_back(it->second);
  }
  return status;
}

// Counts a write to `computer` against the k-th write fault; the injected
// status or 0.
NTSTATUS WriteFault(State& s, const std::string& computer) {
  if (s.failWriteAt <= 0) return STATUS_SUCCESS;
  if (!s.failWriteOn.empty() && s.failWriteOn != computer) return STATUS_SUCCESS;
  if (++s.writesSeen == s.failWriteAt) {
    s.failWriteAt = 0;
    return s.failWriteStatus;
  }
  return STATUS_SUCCESS;
}

}  // namespace

extern "C" {

NTSTATUS NTAPI LsaOpenPolicy(PLSA_UNICODE_STRING SystemName,
                             PLSA_OBJECT_ATTRIBUTES ObjectAttributes, ACCESS_MASK DesiredAccess,
                             PLSA_HANDLE PolicyHandle) {
  if (SystemName != nullptr && SystemName->Length != 0) NetworkDelay();
  auto lock = LockModel();
  State& s = TheState();
  std::string target;
  Computer* c = FindSystem(s.model, UnicodeArg(SystemName), target);
  char access[16];
  std::snprintf(access, sizeof access, "0x%X", DesiredAccess);
  LogCall(s, "LsaOpenPolicy", target, access);
  if (PolicyHandle == nullptr) return STATUS_INVALID_PARAMETER;
  *PolicyHandle = nullptr;
  if (Unanswered(lock, s.model, c)) return RPC_NT_SERVER_UNAVAILABLE;
  if (c->policyDenied) return STATUS_ACCESS_DENIED;
  ACCESS_MASK granted = DesiredAccess;
  if (granted & (kMaximumAllowed | kGenericAll)) granted |= POLICY_ALL_ACCESS;
  auto* handle = new tavrin::sim::detail::PolicyHandle{kPolicyMagic, c->upper, granted};
  s.policies.insert(handle);
  *PolicyHandle = handle;
  return STATUS_SUCCESS;
}

NTSTATUS NTAPI LsaClose(LSA_HANDLE ObjectHandle) {
  auto lock = LockModel();
  State& s = TheState();
  PolicyHandle* p = Policy(s, ObjectHandle);
  LogCall(s, "LsaClose", p ? p->computer : "", "");
  if (p == nullptr) return STATUS_INVALID_HANDLE;
  s.policies.erase(ObjectHandle);
  delete p;
  return STATUS_SUCCESS;
}

NTSTATUS NTAPI LsaFreeMemory(PVOID Buffer) {
  auto lock = LockModel();
  State& s = TheState();
  LogCall(s, "LsaFreeMemory", "", "");
  if (Buffer == nullptr) return STATUS_SUCCESS;
  if (!s.lsaBuffers.erase(Buffer)) return STATUS_INVALID_PARAMETER;  // not the LSA's
  std::free(Buffer);
  return STATUS_SUCCESS;
}

NTSTATUS NTAPI LsaEnumerateAccountRights(LSA_HANDLE PolicyHandle, PSID AccountSid,
                                         PLSA_UNICODE_STRING* UserRights, PULONG CountOfRights) {
  NetworkDelay();
  auto lock = LockModel();
  State& s = TheState();
  tavrin::sim::detail::PolicyHandle* p = Policy(s, PolicyHandle);
  const bool validSid = SidIsValid(AccountSid);
  const std::string sidText = validSid ? SidText(AccountSid) : "";
  LogCall(s, "LsaEnumerateAccountRights", p ? p->computer : "", sidText);
  if (p == nullptr) return STATUS_INVALID_HANDLE;
  if (UserRights == nullptr || CountOfRights == nullptr) return STATUS_INVALID_PARAMETER;
  *UserRights = nullptr;
  *CountOfRights = 0;
  if (!validSid) return STATUS_INVALID_SID;
  if ((p->access & POLICY_LOOKUP_NAMES) == 0) return STATUS_ACCESS_DENIED;
  Computer* c = nullptr;
  if (NTSTATUS st = PolicyComputer(s, p, c); st != STATUS_SUCCESS) return st;
  if (uint32_t fault = EnumFault(s, "LsaEnumerateAccountRights", {c->upper}))
    return static_cast<NTSTATUS>(fault);
  auto it = c->policy.find(sidText);
  if (it == c->policy.end() || it->second.empty()) return STATUS_OBJECT_NAME_NOT_FOUND;

  // One block: the array of strings, then the characters.
  PLSA_UNICODE_STRING array = tavrin::sim::records::PackRightNames(it->second);
  if (array == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
  s.lsaBuffers.insert(array);
  *UserRights = array;
  *CountOfRights = static_cast<ULONG>(it->second.size());
  return STATUS_SUCCESS;
}

NTSTATUS NTAPI LsaEnumerateAccountsWithUserRight(LSA_HANDLE PolicyHandle,
                                                 PLSA_UNICODE_STRING UserRight, PVOID* Buffer,
                                                 PULONG CountReturned) {
  NetworkDelay();
  auto lock = LockModel();
  State& s = TheState();
  tavrin::sim::detail::PolicyHandle* p = Policy(s, PolicyHandle);
  const std::string asked = UserRight ? UnicodeArg(UserRight) : "*";
  LogCall(s, "LsaEnumerateAccountsWithUserRight", p ? p->computer : "", asked);
  if (p == nullptr) return STATUS_INVALID_HANDLE;
  if (Buffer == nullptr || CountReturned == nullptr) return STATUS_INVALID_PARAMETER;
  *Buffer = nullptr;
  *CountReturned = 0;
  constexpr ACCESS_MASK needed = POLICY_LOOKUP_NAMES | POLICY_VIEW_LOCAL_INFORMATION;
  if ((p->access & needed) != needed) return STATUS_ACCESS_DENIED;
  // A null right asks for every account the policy database holds.
  std::string right;
  if (UserRight != nullptr) {
    auto it = KnownRights().find(UpperKey(asked));
    if (it == KnownRights().end()) return STATUS_NO_SUCH_PRIVILEGE;
    right = it->second;
  }
  Computer* c = nullptr;
  if (NTSTATUS st = PolicyComputer(s, p, c); st != STATUS_SUCCESS) return st;
  if (uint32_t fault = EnumFault(s, "LsaEnumerateAccountsWithUserRight", {c->upper}))
    return static_cast<NTSTATUS>(fault);
  std::vector<std::string> holders;
  for (const auto& [sidText, held] : c->policy)
    if (right.empty() ? !held.empty() : std::find(held.begin(), held.end(), right) != held.end())
      holders.push_back(sidText);
  if (holders.empty()) return STATUS_NO_MORE_ENTRIES;
  std::sort(holders.begin(), holders.end());  // the same order on every call
  std::vector<SidBytes> sids(holders.size());
  for (size_t i = 0; i < holders.size(); ++i) ParseSidText(holders[i], sids[i]);
  PLSA_ENUMERATION_INFORMATION array = tavrin::sim::records::PackSids(sids);
  if (array == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
  s.lsaBuffers.insert(array);
  *Buffer = array;
  *CountReturned = static_cast<ULONG>(holders.size());
  return STATUS_SUCCESS;
}

NTSTATUS NTAPI LsaAddAccountRights(LSA_HANDLE PolicyHandle, PSID AccountSid,
                                   PLSA_UNICODE_STRING UserRights, ULONG CountOfRights) {
  NetworkDelay();
  auto lock = LockModel();
  State& s = TheState();
  tavrin::sim::detail::PolicyHandle* p = Policy(s, PolicyHandle);
  const bool validSid = SidIsValid(AccountSid);
  const std::string sidText = validSid ? SidText(AccountSid) : "";
  std::vector<std::string> names;
  std::string logged;
  const NTSTATUS nameStatus = RightNames(UserRights, CountOfRights, names, logged);
  LogCall(s, "LsaAddAccountRights", p ? p->computer : "", sidText + " " + logged);
  if (p == nullptr) return STATUS_INVALID_HANDLE;
  if (!validSid) return STATUS_INVALID_SID;
  if (CountOfRights == 0) return STATUS_INVALID_PARAMETER;
  Computer* c = nullptr;
  if (NTSTATUS st = PolicyComputer(s, p, c); st != STATUS_SUCCESS) return st;
  auto it = c->policy.find(sidText);
  const bool exists = it != c->policy.end();
  if ((p->access & POLICY_LOOKUP_NAMES) == 0 ||
      (!exists && (p->access & POLICY_CREATE_ACCOUNT) == 0))
    return STATUS_ACCESS_DENIED;
  if (nameStatus != STATUS_SUCCESS) return nameStatus;
  if (NTSTATUS fault = WriteFault(s, p->computer); fault != STATUS_SUCCESS) return fault;
  std::vector<std::string>& held = c->policy[sidText];
  for (const std::string& n : names)
    if (std::find(held.begin(), held.end(), n) == held.end()) held.push_back(n);
  return STATUS_SUCCESS;
}

NTSTATUS NTAPI LsaRemoveAccountRights(LSA_HANDLE PolicyHandle, PSID AccountSid, BOOLEAN AllRights,
                                      PLSA_UNICODE_STRING UserRights, ULONG CountOfRights) {
  NetworkDelay();
  auto lock = LockModel();
  State& s = TheState();
  tavrin::sim::detail::PolicyHandle* p = Policy(s, PolicyHandle);
  const bool validSid = SidIsValid(AccountSid);
  const std::string sidText = validSid ? SidText(AccountSid) : "";
  std::vector<std::string> names;
  std::string logged = "*";
  NTSTATUS nameStatus = STATUS_SUCCESS;
  if (!AllRights) {
    logged.clear();
    nameStatus = RightNames(UserRights, CountOfRights, names, logged);
  }
  LogCall(s, "LsaRemoveAccountRights", p ? p->computer : "", sidText + " " + logged);
  if (p == nullptr) return STATUS_INVALID_HANDLE;
  if (!validSid) return STATUS_INVALID_SID;
  if (!AllRights && CountOfRights == 0) return STATUS_INVALID_PARAMETER;
  Computer* c = nullptr;
  if (NTSTATUS st = PolicyComputer(s, p, c); st != STATUS_SUCCESS) return st;
  if ((p->access & POLICY_LOOKUP_NAMES) == 0) return STATUS_ACCESS_DENIED;
  if (nameStatus != STATUS_SUCCESS) return nameStatus;
  auto it = c->policy.find(sidText);
  if (it == c->policy.end()) return STATUS_OBJECT_NAME_NOT_FOUND;
  if (NTSTATUS fault = WriteFault(s, p->computer); fault != STATUS_SUCCESS) return fault;
  if (AllRights) {
    c->policy.erase(it);  // the account object goes with its rights
  } else {
    auto& held = it->second;
    for (const std::string& n : names)
      held.erase(std::remove(held.begin(), held.end(), n), held.end());
  }
  return STATUS_SUCCESS;
}

ULONG NTAPI LsaNtStatusToWinError(NTSTATUS Status) {
  {
    auto lock = LockModel();
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<uint32_t>(Status));
    LogCall(TheState(), "LsaNtStatusToWinError", "", text);
  }
  const uint32_t st = static_cast<uint32_t>(Status);
  if (st & 0x20000000u) return st;  // customer status: passed through
  // The statuses a policy, lookup or account call can answer, here or from
  // a server over the network (the pipe or connection lost, a logon or
  // trust refused, an RPC fault), with the codes RtlNtStatusToDosError
  // gives them; any other status is ERROR_MR_MID_NOT_FOUND.
  static const std::unordered_map<uint32_t, ULONG> codes = {
      {0x00000000u, 0},     // STATUS_SUCCESS
      {0x00000103u, 997},   // STATUS_PENDING
      {0x00000105u, 234},   // STATUS_MORE_ENTRIES
      {0x00000107u, 1301},  // STATUS_SOME_NOT_MAPPED
      {0x80000005u, 234},   // STATUS_BUFFER_OVERFLOW
      {0x8000001Au, 259},   // STATUS_NO_MORE_ENTRIES
      {0xC0000001u, 31},    // STATUS_UNSUCCESSFUL
      {0xC0000002u, 1},     // STATUS_NOT_IMPLEMENTED
      {0xC0000003u, 87},    // STATUS_INVALID_INFO_CLASS
      {0xC0000005u, 998},   // STATUS_ACCESS_VIOLATION
      {0xC0000008u, 6},     // STATUS_INVALID_HANDLE
      {0xC000000Du, 87},    // STATUS_INVALID_PARAMETER
      {0xC0000010u, 1},     // STATUS_INVALID_DEVICE_REQUEST
      {0xC0000011u, 38},    // STATUS_END_OF_FILE
      {0xC0000017u, 8},     // STATUS_NO_MEMORY
      {0xC0000022u, 5},     // STATUS_ACCESS_DENIED
      {0xC0000023u, 122},   // STATUS_BUFFER_TOO_SMALL
      {0xC0000024u, 6},     // STATUS_OBJECT_TYPE_MISMATCH
      {0xC0000030u, 87},    // STATUS_INVALID_PARAMETER_MIX
      {0xC0000033u, 123},   // STATUS_OBJECT_NAME_INVALID
      {0xC0000034u, 2},     // STATUS_OBJECT_NAME_NOT_FOUND
      {0xC000005Eu, 1311},  // STATUS_NO_LOGON_SERVERS
      {0xC0000060u, 1313},  // STATUS_NO_SUCH_PRIVILEGE
      {0xC0000061u, 1314},  // STATUS_PRIVILEGE_NOT_HELD
      {0xC0000062u, 1315},  // STATUS_INVALID_ACCOUNT_NAME
      {0xC0000064u, 1317},  // STATUS_NO_SUCH_USER
      {0xC0000066u, 1319},  // STATUS_NO_SUCH_GROUP
      {0xC000006Au, 86},    // STATUS_WRONG_PASSWORD
      {0xC000006Du, 1326},  // STATUS_LOGON_FAILURE
      {0xC000006Eu, 1327},  // STATUS_ACCOUNT_RESTRICTION
      {0xC000006Fu, 1328},  // STATUS_INVALID_LOGON_HOURS
      {0xC0000070u, 1329},  // STATUS_INVALID_WORKSTATION
      {0xC0000071u, 1330},  // STATUS_PASSWORD_EXPIRED
      {0xC0000072u, 1331},  // STATUS_ACCOUNT_DISABLED
      {0xC0000073u, 1332},  // STATUS_NONE_MAPPED
      {0xC0000078u, 1337},  // STATUS_INVALID_SID
      {0xC000007Au, 127},   // STATUS_PROCEDURE_NOT_FOUND
      {0xC000009Au, 1450},  // STATUS_INSUFFICIENT_RESOURCES
      {0xC00000A5u, 1346},  // STATUS_BAD_IMPERSONATION_LEVEL
      {0xC00000ACu, 231},   // STATUS_PIPE_NOT_AVAILABLE
      {0xC00000AEu, 231},   // STATUS_PIPE_BUSY
      {0xC00000B0u, 233},   // STATUS_PIPE_DISCONNECTED
      {0xC00000B1u, 232},   // STATUS_PIPE_CLOSING
      {0xC00000B5u, 121},   // STATUS_IO_TIMEOUT
      {0xC00000BBu, 50},    // STATUS_NOT_SUPPORTED
      {0xC00000BCu, 51},    // STATUS_REMOTE_NOT_LISTENING
      {0xC00000BEu, 53},    // STATUS_BAD_NETWORK_PATH
      {0xC00000C3u, 58},    // STATUS_INVALID_NETWORK_RESPONSE
      {0xC00000C4u, 59},    // STATUS_UNEXPECTED_NETWORK_ERROR
      {0xC00000C9u, 64},    // STATUS_NETWORK_NAME_DELETED
      {0xC00000CAu, 65},    // STATUS_NETWORK_ACCESS_DENIED
      {0xC00000CCu, 67},    // STATUS_BAD_NETWORK_NAME
      {0xC00000D0u, 71},    // STATUS_REQUEST_NOT_ACCEPTED
      {0xC00000D2u, 88},    // STATUS_NET_WRITE_FAULT
      {0xC00000DCu, 1352},  // STATUS_INVALID_SERVER_STATE
      {0xC00000DDu, 1353},  // STATUS_INVALID_DOMAIN_STATE
      {0xC00000DEu, 1354},  // STATUS_INVALID_DOMAIN_ROLE
      {0xC00000DFu, 1355},  // STATUS_NO_SUCH_DOMAIN
      {0xC00000E4u, 1358},  // STATUS_INTERNAL_DB_CORRUPTION
      {0xC00000E5u, 1359},  // STATUS_INTERNAL_ERROR
      {0xC0000120u, 995},   // STATUS_CANCELLED
      {0xC000013Bu, 64},    // STATUS_LOCAL_DISCONNECT
      {0xC000013Cu, 64},    // STATUS_REMOTE_DISCONNECT
      {0xC000013Fu, 59},    // STATUS_LINK_TIMEOUT
      {0xC0000148u, 124},   // STATUS_INVALID_LEVEL
      {0xC000014Bu, 109},   // STATUS_PIPE_BROKEN
      {0xC0000151u, 1376},  // STATUS_NO_SUCH_ALIAS
      {0xC000015Bu, 1385},  // STATUS_LOGON_TYPE_NOT_GRANTED
      {0xC000018Cu, 1788},  // STATUS_TRUSTED_DOMAIN_FAILURE
      {0xC000018Du, 1789},  // STATUS_TRUSTED_RELATIONSHIP_FAILURE
      {0xC0000192u, 1792},  // STATUS_NETLOGON_NOT_STARTED
      {0xC0000193u, 1793},  // STATUS_ACCOUNT_EXPIRED
      {0xC0000203u, 59},    // STATUS_USER_SESSION_DELETED
      {0xC000020Cu, 64},    // STATUS_CONNECTION_DISCONNECTED
      {0xC000020Du, 64},    // STATUS_CONNECTION_RESET
      {0xC0000224u, 1907},  // STATUS_PASSWORD_MUST_CHANGE
      {0xC0000225u, 1168},  // STATUS_NOT_FOUND
      {0xC0000234u, 1909},  // STATUS_ACCOUNT_LOCKED_OUT
      {0xC0000236u, 1225},  // STATUS_CONNECTION_REFUSED
      {0xC000023Cu, 1231},  // STATUS_NETWORK_UNREACHABLE
      {0xC000023Du, 1232},  // STATUS_HOST_UNREACHABLE
      {0xC000023Fu, 1234},  // STATUS_PORT_UNREACHABLE
      {0xC0000241u, 1236},  // STATUS_CONNECTION_ABORTED
      {0xC0020003u, 6},     // RPC_NT_INVALID_BINDING
      {0xC0020012u, 1717},  // RPC_NT_UNKNOWN_IF
      {0xC0020017u, 1722},  // RPC_NT_SERVER_UNAVAILABLE
      {0xC0020018u, 1723},  // RPC_NT_SERVER_TOO_BUSY
      {0xC002001Bu, 1726},  // RPC_NT_CALL_FAILED
      {0xC002001Cu, 1727},  // RPC_NT_CALL_FAILED_DNE
      {0xC002001Du, 1728},  // RPC_NT_PROTOCOL_ERROR
      {0xC002002Eu, 1745},  // RPC_NT_PROCNUM_OUT_OF_RANGE
      {0xC0020035u, 1752},  // EPT_NT_CANT_PERFORM_OP
      {0xC0020036u, 1753},  // EPT_NT_NOT_REGISTERED
      {0xC0020041u, 1764},  // RPC_NT_CANNOT_SUPPORT
      {0xC0020050u, 1818},  // RPC_NT_CALL_CANCELLED
      {0xC0020052u, 1820},  // RPC_NT_COMM_FAILURE
      {0xC0020053u, 1821},  // RPC_NT_UNSUPPORTED_AUTHN_LEVEL
      {0xC0020057u, 1825},  // RPC_NT_SEC_PKG_ERROR
      {0xC0030004u, 6},     // RPC_NT_SS_IN_NULL_CONTEXT
      {0xC0030005u, 6},     // RPC_NT_SS_CONTEXT_MISMATCH
      {0xC003000Au, 1781},  // RPC_NT_ENUM_VALUE_OUT_OF_RANGE
      {0xC003000Cu, 1783},  // RPC_NT_BAD_STUB_DATA
  };
  auto it = codes.find(st);
  return it == codes.end() ? ERROR_MR_MID_NOT_FOUND : it->second;
}

}  // extern "C"
