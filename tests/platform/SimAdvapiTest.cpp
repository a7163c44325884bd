// The simulation's advapi32: account lookups both ways, and the LSA's policies, rights, faults.
#include "tests/support/SimFixture.h"
#include "tests/support/SimTestHelpers.h"

namespace {

using namespace tavrin::test;

struct Found {
  DWORD error = 0;  // 0: found
  std::vector<BYTE> sid;
  std::string name, domain;
  SID_NAME_USE use = SidTypeUnknown;
};

// The look-ups with the program's buffers (65 and 129 offered as 64 and 128).
Found LookupName(const char* system, const char* name) {
  Found r;
  r.sid.resize(68);
  char domain[65] = {};
  DWORD sidSize = 68, domainSize = 64;
  r.error = ErrorOf(
      LookupAccountNameA(system, name, r.sid.data(), &sidSize, domain, &domainSize, &r.use));
  r.sid.resize(r.error ? 0 : sidSize);
  r.domain = domain;
  EXPECT_TRUE(r.error || domainSize == r.domain.size()) << "a success counts no zero";
  return r;
}

Found LookupSid(const char* system, std::vector<BYTE> sid) {
  Found r;
  char name[129] = {}, domain[65] = {};
  DWORD nameSize = 128, domainSize = 64;
  r.error =
      ErrorOf(LookupAccountSidA(system, sid.data(), name, &nameSize, domain, &domainSize, &r.use));
  r.name = name;
  r.domain = domain;
  EXPECT_TRUE(r.error || nameSize + domainSize == r.name.size() + r.domain.size());
  return r;
}

class SimLookup : public SimTest {};

TEST_F(SimLookup, BufferProtocols) {
  // The size query: the SID's size, and the domain's with its zero.
  std::vector<BYTE> sid(28);
  char domain[8], name[8];
  DWORD s = 0, d = 0, n = 0;
  SID_NAME_USE use;
  EXPECT_EQ(ErrorOf(LookupAccountNameA(nullptr, "CORP\\alice", nullptr, &s, nullptr, &d, &use)),
            ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(s * 100 + d, 2805u) << "28 bytes, and \"CORP\" with its terminating zero";
  // A domain buffer one short fails too; a null buffer needs a size of 0.
  d = 4;
  EXPECT_EQ(ErrorOf(LookupAccountNameA(nullptr, "CORP\\alice", sid.data(), &s, domain, &d, &use)),
            ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(d, 5u);
  EXPECT_EQ(ErrorOf(LookupAccountNameA(nullptr, "CORP\\alice", nullptr, &s, domain, &d, &use)),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(ErrorOf(LookupAccountNameA(nullptr, "CORP\\alice", sid.data(), &s, nullptr, &d, &use)),
            ERROR_INVALID_PARAMETER);

  sid = SidBytes("S-1-5-21-1000-2000-3000-1105");
  d = 0;
  EXPECT_EQ(ErrorOf(LookupAccountSidA(nullptr, sid.data(), nullptr, &n, nullptr, &d, &use)),
            ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(n * 100 + d, 605u) << "\"alice\" and \"CORP\" with their zeros";
  n = 5;  // exactly the name's length: no room for the zero
  EXPECT_EQ(ErrorOf(LookupAccountSidA(nullptr, sid.data(), name, &n, domain, &d, &use)),
            ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(n, 6u);
  sid[0] = 2;
  EXPECT_EQ(LookupSid(nullptr, sid).error, ERROR_INVALID_SID);
}

TEST_F(SimLookup, NamesAndSidsBothWays) {
  // The name asked for; the SID, canonical name and domain both ways.
  const struct {
    const char *system, *asked, *sid, *name, *domain;
    SID_NAME_USE use;
  } cases[] = {
      {nullptr, "CORP\\alice", "S-1-5-21-1000-2000-3000-1105", "alice", "CORP", SidTypeUser},
      {"", "ws01\\printers", "S-1-5-21-11-12-13-1002", "Printers", "WS01", SidTypeAlias},
      {nullptr, "None", "S-1-5-21-11-12-13-513", "None", "WS01", SidTypeGroup},
      {nullptr, "ёлкин", "S-1-5-21-1000-2000-3000-1107", "Ёлкин", "CORP", SidTypeUser},
      // An account domain is named after itself, as BUILTIN is.
      {nullptr, "corp", "S-1-5-21-1000-2000-3000", "CORP", "CORP", SidTypeDomain},
      {"DC01", "DC01", "S-1-5-21-1000-2000-3000", "CORP", "CORP", SidTypeDomain},
      {nullptr, "BUILTIN", "S-1-5-32", "BUILTIN", "BUILTIN", SidTypeDomain},
      {nullptr, "Everyone", "S-1-1-0", "Everyone", "", SidTypeWellKnownGroup},
      {nullptr, "nt authority\\authenticated users", "S-1-5-11", "Authenticated Users",
       "NT AUTHORITY", SidTypeWellKnownGroup},
      {nullptr, "BUILTIN\\Backup Operators", "S-1-5-32-551", "Backup Operators", "BUILTIN",
       SidTypeAlias},
      {"\\\\PC-HOME", "owner", "S-1-5-21-31-32-33-1000", "owner", "PC-HOME", SidTypeUser},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.asked) + " on " + (c.system ? c.system : "(null)"));
    const Found byName = LookupName(c.system, c.asked);
    const Found bySid = LookupSid(c.system, SidBytes(c.sid));
    EXPECT_EQ(byName.error + bySid.error, 0u);
    EXPECT_EQ(byName.sid, SidBytes(c.sid));
    EXPECT_EQ(bySid.name + "|" + bySid.domain + "|" + byName.domain,
              std::string(c.name) + "|" + c.domain + "|" + c.domain);
    EXPECT_EQ(byName.use * 100 + bySid.use, c.use * 101);
  }
}

TEST_F(SimLookup, Failures) {
  const struct {
    const char *system, *nameOrSid;
    DWORD error;
  } cases[] = {
      {nullptr, "nobody", ERROR_NONE_MAPPED},
      {nullptr, ".\\Administrators", ERROR_NONE_MAPPED},  // BUILTIN is not WS01's domain
      {nullptr, "BUILTIN\\BUILTIN", ERROR_NONE_MAPPED},
      {"\\\\PC-HOME", "CORP\\alice", ERROR_NONE_MAPPED},  // a workgroup computer
      {"\\\\SRV01", "localadmin", ERROR_NONE_MAPPED},     // WS01's account
      {"\\\\GHOST", "Everyone", RPC_S_SERVER_UNAVAILABLE},
      {"NOWHERE", "Everyone", RPC_S_SERVER_UNAVAILABLE},
      {nullptr, "S-1-5-21-1000-2000-3000-1999", ERROR_NONE_MAPPED},  // deleted
      {nullptr, "S-1-5-21-21-22-23-500", ERROR_NONE_MAPPED},         // SRV01's own
      {nullptr, "S-1-5-32-553", ERROR_NONE_MAPPED},
      {"GHOST", "S-1-1-0", RPC_S_SERVER_UNAVAILABLE},
  };
  for (const auto& [system, key, error] : cases) {
    const bool sid = std::string(key).rfind("S-1-", 0) == 0;
    EXPECT_EQ((sid ? LookupSid(system, SidBytes(key)) : LookupName(system, key)).error, error)
        << key;
  }
  // With its controller gone a member no longer resolves the domain's accounts.
  sim::SetAnswers("DC01", false);
  EXPECT_EQ(LookupName(nullptr, "CORP\\alice").error, ERROR_NONE_MAPPED);
  EXPECT_EQ(LookupName(nullptr, "localadmin").error, 0u);
}

class SimLsa : public SimTest {};

NTSTATUS Write(bool add, LSA_HANDLE policy, const std::string& sidText,
               const std::vector<std::u16string>& rights) {
  std::vector<BYTE> sid = SidBytes(sidText);
  std::vector<LSA_UNICODE_STRING> strings;
  for (const auto& r : rights) strings.push_back(LsaString(r));
  const auto count = static_cast<ULONG>(strings.size());
  return add ? LsaAddAccountRights(policy, sid.data(), strings.data(), count)
             : LsaRemoveAccountRights(policy, sid.data(), FALSE, strings.data(), count);
}

TEST_F(SimLsa, PolicyHandlesAndReads) {
  const size_t handles = sim::OpenPolicyHandles(), buffers = sim::OutstandingLsaBuffers();
  LSA_HANDLE local = nullptr, srv = nullptr;
  ASSERT_EQ(OpenPolicy(u"", local), STATUS_SUCCESS);
  // The name is counted, not terminated: only "SRV01" is read.
  ASSERT_EQ(OpenPolicy(std::u16string(u"\\\\srv01XYZ", 7), srv), STATUS_SUCCESS);
  EXPECT_EQ(sim::Calls().back().target, "SRV01");
  EXPECT_TRUE(local != srv && sim::OpenPolicyHandles() == handles + 2);

  // One block of strings, or not found for a SID without rights.
  Names names;
  ASSERT_EQ(EnumerateRights(local, "S-1-5-32-544", names), STATUS_SUCCESS);
  EXPECT_EQ(names, (Names{"SeBackupPrivilege", "SeRestorePrivilege", "SeDebugPrivilege",
                          "SeRemoteInteractiveLogonRight", "SeInteractiveLogonRight"}));
  EXPECT_EQ(sim::OutstandingLsaBuffers(), buffers);
  EXPECT_EQ(EnumerateRights(local, "S-1-5-32-546", names), STATUS_OBJECT_NAME_NOT_FOUND);
  EXPECT_EQ(EnumerateRights(LSA_HANDLE(0x1234), "S-1-1-0", names), STATUS_INVALID_HANDLE);
  // A computer gone silent fails calls on older handles; a fault hits only its computer.
  sim::SetAnswers("SRV01", false);
  EXPECT_EQ(EnumerateRights(srv, "S-1-5-32-544", names), RPC_NT_SERVER_UNAVAILABLE);
  sim::SetAnswers("SRV01", true);
  sim::FailEnumeration("LsaEnumerateAccountRights", "SRV01", 0xC000009A);
  EXPECT_EQ(EnumerateRights(srv, "S-1-5-32-544", names), STATUS_INSUFFICIENT_RESOURCES);
  EXPECT_EQ(EnumerateRights(local, "S-1-5-32-544", names), STATUS_SUCCESS);

  EXPECT_EQ(LsaClose(local) + LsaClose(srv), STATUS_SUCCESS);
  EXPECT_EQ(LsaClose(local), STATUS_INVALID_HANDLE);
  sim::SetPolicyDenied("SRV01", true);
  for (const auto& [computer, status] : {std::pair{u"GHOST", RPC_NT_SERVER_UNAVAILABLE},
                                         {u"\\\\NOWHERE", RPC_NT_SERVER_UNAVAILABLE},
                                         {u"SRV01", STATUS_ACCESS_DENIED}}) {
    LSA_HANDLE h = LSA_HANDLE(1);
    EXPECT_EQ(OpenPolicy(computer, h), status);
    EXPECT_EQ(h, nullptr);
  }
  EXPECT_EQ(sim::OpenPolicyHandles(), handles);
}

TEST_F(SimLsa, AccountsWithUserRightAsDocumented) {
  const size_t buffers = sim::OutstandingLsaBuffers();
  const std::string a = "S-1-5-21-11-12-13-1001", b = "S-1-5-32-545";
  const std::u16string relabel = u"SeRelabelPrivilege", anyCase = u"serelabelprivilege",
                       madeUp = u"SeMadeUpPrivilege";
  LSA_HANDLE policy = nullptr, lookupOnly = nullptr, viewOnly = nullptr;
  ASSERT_EQ(OpenPolicy(u"WS01", policy,
                       POLICY_LOOKUP_NAMES | POLICY_VIEW_LOCAL_INFORMATION | POLICY_CREATE_ACCOUNT),
            STATUS_SUCCESS);
  Names sids;
  EXPECT_EQ(EnumerateHolders(policy, &relabel, sids), STATUS_NO_MORE_ENTRIES) << "nobody holds it";
  ASSERT_EQ(Write(true, policy, b, {relabel}) | Write(true, policy, a, {relabel}), 0);
  ASSERT_EQ(EnumerateHolders(policy, &anyCase, sids), STATUS_SUCCESS);
  EXPECT_EQ(sids, (Names{a, b}));
  EXPECT_EQ(sim::Calls()[sim::Calls().size() - 2].argument, "serelabelprivilege");
  // Without a right: every account holding any right, these among them.
  ASSERT_EQ(EnumerateHolders(policy, nullptr, sids), STATUS_SUCCESS);
  for (const std::string& sid : {a, b, std::string("S-1-5-32-544")})
    EXPECT_NE(std::find(sids.begin(), sids.end(), sid), sids.end()) << sid;
  EXPECT_EQ(EnumerateHolders(policy, &madeUp, sids), STATUS_NO_SUCH_PRIVILEGE);
  ASSERT_EQ(Write(false, policy, a, {relabel}) | Write(false, policy, b, {relabel}), 0);
  EXPECT_EQ(EnumerateHolders(policy, &relabel, sids), STATUS_NO_MORE_ENTRIES);

  // The handle needs both accesses; a bad handle, a silent computer and a
  // fault fail as the other LSA calls do.
  ASSERT_EQ(OpenPolicy(u"WS01", lookupOnly, POLICY_LOOKUP_NAMES), STATUS_SUCCESS);
  ASSERT_EQ(OpenPolicy(u"WS01", viewOnly, POLICY_VIEW_LOCAL_INFORMATION), STATUS_SUCCESS);
  EXPECT_EQ(EnumerateHolders(lookupOnly, &relabel, sids), STATUS_ACCESS_DENIED);
  EXPECT_EQ(EnumerateHolders(viewOnly, &relabel, sids), STATUS_ACCESS_DENIED);
  EXPECT_EQ(EnumerateHolders(LSA_HANDLE(0x1234), &relabel, sids), STATUS_INVALID_HANDLE);
  PVOID block = nullptr;
  EXPECT_EQ(LsaEnumerateAccountsWithUserRight(policy, nullptr, &block, nullptr),
            STATUS_INVALID_PARAMETER);
  sim::FailEnumeration("LsaEnumerateAccountsWithUserRight", "WS01", 0xC000009A);
  EXPECT_EQ(EnumerateHolders(policy, nullptr, sids), STATUS_INSUFFICIENT_RESOURCES);
  sim::ClearFaults();
  LSA_HANDLE srv = nullptr;
  ASSERT_EQ(OpenPolicy(u"SRV01", srv, POLICY_LOOKUP_NAMES | POLICY_VIEW_LOCAL_INFORMATION), 0);
  EXPECT_EQ(EnumerateHolders(srv, nullptr, sids), STATUS_SUCCESS);
  sim::SetAnswers("SRV01", false);
  EXPECT_EQ(EnumerateHolders(srv, nullptr, sids), RPC_NT_SERVER_UNAVAILABLE);
  EXPECT_EQ(LsaClose(policy) | LsaClose(lookupOnly) | LsaClose(viewOnly) | LsaClose(srv),
            STATUS_SUCCESS);
  EXPECT_EQ(sim::OutstandingLsaBuffers(), buffers);
}

TEST_F(SimLsa, AddAndRemoveRights) {
  const std::string sid = "S-1-5-21-11-12-13-1001";
  LSA_HANDLE policy = nullptr;
  ASSERT_EQ(OpenPolicy(u"WS01", policy), STATUS_SUCCESS);
  for (int twice = 0; twice < 2; ++twice)  // the second time they are held already
    EXPECT_EQ(Write(true, policy, sid, {u"SeShutdownPrivilege", u"setcbprivilege"}), 0);
  // An unknown name fails the whole call.
  EXPECT_EQ(Write(true, policy, sid, {u"SeDebugPrivilege", u"SeMadeUpPrivilege"}),
            STATUS_NO_SUCH_PRIVILEGE);
  EXPECT_EQ(sim::RightsOf("WS01", sid), (Names{"SeShutdownPrivilege", "SeTcbPrivilege"}));
  for (int twice = 0; twice < 2; ++twice)  // the second time it is not held
    EXPECT_EQ(Write(false, policy, sid, {u"SeTcbPrivilege"}), STATUS_SUCCESS);
  EXPECT_EQ(sim::RightsOf("WS01", sid), Names{"SeShutdownPrivilege"});
  EXPECT_EQ(LsaRemoveAccountRights(policy, SidBytes(sid).data(), TRUE, nullptr, 0), 0);
  EXPECT_EQ(Write(false, policy, sid, {u"SeTcbPrivilege"}), STATUS_OBJECT_NAME_NOT_FOUND);
  // Rights of a SID that resolves nowhere are stored all the same.
  EXPECT_EQ(Write(true, policy, "S-1-5-21-9-9-9-1234", {u"SeBatchLogonRight"}), STATUS_SUCCESS);
  EXPECT_EQ(sim::RightsOf("ws01", "S-1-5-21-9-9-9-1234"), Names{"SeBatchLogonRight"});
  LsaClose(policy);
  // Without POLICY_CREATE_ACCOUNT only an existing account takes rights.
  ASSERT_EQ(OpenPolicy(u"", policy, POLICY_LOOKUP_NAMES), STATUS_SUCCESS);
  EXPECT_EQ(Write(true, policy, "S-1-5-21-11-12-13-1002", {u"SeTcbPrivilege"}),
            STATUS_ACCESS_DENIED);

  // The k-th write fails once, with the status given, and changes nothing.
  const std::string users = "S-1-5-32-545";
  sim::FailWrite(2);
  EXPECT_EQ(Write(true, policy, users, {u"SeDebugPrivilege"}), STATUS_SUCCESS);
  EXPECT_EQ(Write(true, policy, users, {u"SeTcbPrivilege"}), STATUS_ACCESS_DENIED);
  EXPECT_EQ(Write(false, policy, users, {u"SeBackupPrivilege", u"SeNetworkLogonRight"}),
            STATUS_SUCCESS);
  EXPECT_EQ(sim::RightsOf("WS01", users), (Names{"SeChangeNotifyPrivilege", "SeDebugPrivilege"}));
  sim::FailWrite(1, static_cast<int32_t>(0xC0020017));
  EXPECT_EQ(Write(false, policy, users, {u"SeDebugPrivilege"}), RPC_NT_SERVER_UNAVAILABLE);
  LsaClose(policy);
}

}  // namespace
