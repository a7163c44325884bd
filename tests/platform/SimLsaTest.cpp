// The simulated LSA policies: opening, reading, writing, faults and status
// conversion.
#include "tests/support/SimFixture.h"
#include "tests/support/SimTestHelpers.h"

namespace {

using namespace tavrin::test;
namespace sim = tavrin::sim;

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

TEST_F(SimLsa, OpenAndClose) {
  const size_t before = sim::OpenPolicyHandles();
  LSA_HANDLE local = nullptr, remote = nullptr;
  ASSERT_EQ(OpenPolicy(u"", local), STATUS_SUCCESS);
  // The name is counted, not terminated: only "SRV01" is read.
  ASSERT_EQ(OpenPolicy(std::u16string(u"\\\\srv01XYZ", 7), remote), STATUS_SUCCESS);
  EXPECT_EQ(sim::Calls().back().target, "SRV01");
  EXPECT_NE(local, remote);
  EXPECT_EQ(sim::OpenPolicyHandles(), before + 2);
  EXPECT_EQ(LsaClose(local), STATUS_SUCCESS);
  EXPECT_EQ(LsaClose(remote), STATUS_SUCCESS);
  EXPECT_EQ(LsaClose(local), STATUS_INVALID_HANDLE);

  sim::SetPolicyDenied("SRV01", true);
  for (const auto& [computer, status] : {std::pair{u"GHOST", RPC_NT_SERVER_UNAVAILABLE},
                                         {u"\\\\NOWHERE", RPC_NT_SERVER_UNAVAILABLE},
                                         {u"SRV01", STATUS_ACCESS_DENIED}}) {
    LSA_HANDLE h = reinterpret_cast<LSA_HANDLE>(1);
    EXPECT_EQ(OpenPolicy(computer, h), status);
    EXPECT_EQ(h, nullptr);
  }
  EXPECT_EQ(sim::OpenPolicyHandles(), before);
}

TEST_F(SimLsa, EnumerateGivesOneBlockOrNotFound) {
  LSA_HANDLE policy = nullptr, srv = nullptr;
  ASSERT_EQ(OpenPolicy(u"", policy), STATUS_SUCCESS);
  ASSERT_EQ(OpenPolicy(u"SRV01", srv), STATUS_SUCCESS);
  const size_t buffers = sim::OutstandingLsaBuffers();
  Names names;
  ASSERT_EQ(EnumerateRights(policy, "S-1-5-32-544", names), STATUS_SUCCESS);
  EXPECT_EQ(names, (Names{"SeBackupPrivilege", "SeRestorePrivilege", "SeDebugPrivilege",
                          "SeRemoteInteractiveLogonRight", "SeInteractiveLogonRight"}));
  EXPECT_EQ(sim::OutstandingLsaBuffers(), buffers);
  EXPECT_EQ(EnumerateRights(policy, "S-1-5-32-546", names), STATUS_OBJECT_NAME_NOT_FOUND);
  EXPECT_EQ(EnumerateRights(reinterpret_cast<LSA_HANDLE>(0x1234), "S-1-1-0", names),
            STATUS_INVALID_HANDLE);

  // A computer that stops answering fails the calls on a handle opened before;
  // an injected failure hits only its computer.
  sim::SetAnswers("SRV01", false);
  EXPECT_EQ(EnumerateRights(srv, "S-1-5-32-544", names), RPC_NT_SERVER_UNAVAILABLE);
  sim::SetAnswers("SRV01", true);
  ASSERT_EQ(EnumerateRights(srv, "S-1-5-32-544", names), STATUS_SUCCESS);
  EXPECT_EQ(names, Names{"SeBackupPrivilege"});
  sim::FailEnumeration("LsaEnumerateAccountRights", "SRV01", 0xC000009A);
  EXPECT_EQ(EnumerateRights(srv, "S-1-5-32-544", names), STATUS_INSUFFICIENT_RESOURCES);
  EXPECT_EQ(EnumerateRights(policy, "S-1-5-32-544", names), STATUS_SUCCESS);
  LsaClose(srv);
  LsaClose(policy);
}

TEST_F(SimLsa, AddAndRemoveRights) {
  const std::string sid = "S-1-5-21-11-12-13-1001";
  LSA_HANDLE policy = nullptr;
  ASSERT_EQ(OpenPolicy(u"WS01", policy), STATUS_SUCCESS);
  EXPECT_EQ(Write(true, policy, sid, {u"SeShutdownPrivilege", u"setcbprivilege"}), STATUS_SUCCESS);
  EXPECT_EQ(Write(true, policy, sid, {u"SeShutdownPrivilege"}), STATUS_SUCCESS) << "granting again";
  // An unknown name fails the whole call.
  EXPECT_EQ(Write(true, policy, sid, {u"SeDebugPrivilege", u"SeMadeUpPrivilege"}),
            STATUS_NO_SUCH_PRIVILEGE);
  EXPECT_EQ(sim::RightsOf("WS01", sid), (Names{"SeShutdownPrivilege", "SeTcbPrivilege"}));
  for (int twice = 0; twice < 2; ++twice)  // the second time it is not held
    EXPECT_EQ(Write(false, policy, sid, {u"SeTcbPrivilege"}), STATUS_SUCCESS);
  EXPECT_EQ(sim::RightsOf("WS01", sid), Names{"SeShutdownPrivilege"});
  std::vector<BYTE> binary = SidBytes(sid);
  EXPECT_EQ(LsaRemoveAccountRights(policy, binary.data(), TRUE, nullptr, 0), STATUS_SUCCESS);
  EXPECT_TRUE(sim::RightsOf("WS01", sid).empty());
  EXPECT_EQ(Write(false, policy, sid, {u"SeTcbPrivilege"}), STATUS_OBJECT_NAME_NOT_FOUND);
  // Rights of a SID that resolves nowhere are stored all the same.
  EXPECT_EQ(Write(true, policy, "S-1-5-21-9-9-9-1234", {u"SeBatchLogonRight"}), STATUS_SUCCESS);
  EXPECT_EQ(sim::RightsOf("ws01", "S-1-5-21-9-9-9-1234"), Names{"SeBatchLogonRight"});
  LsaClose(policy);

  // Without POLICY_CREATE_ACCOUNT only an existing account takes rights.
  ASSERT_EQ(OpenPolicy(u"", policy, POLICY_LOOKUP_NAMES), STATUS_SUCCESS);
  EXPECT_EQ(Write(true, policy, "S-1-5-21-11-12-13-1002", {u"SeTcbPrivilege"}),
            STATUS_ACCESS_DENIED);

  // The k-th write fails with the status given, once.
  const std::string users = "S-1-5-32-545";
  sim::FailWrite(2);
  EXPECT_EQ(Write(true, policy, users, {u"SeDebugPrivilege"}), STATUS_SUCCESS);
  EXPECT_EQ(Write(true, policy, users, {u"SeTcbPrivilege"}), STATUS_ACCESS_DENIED);
  EXPECT_EQ(Write(false, policy, users, {u"SeBackupPrivilege", u"SeNetworkLogonRight"}),
            STATUS_SUCCESS);
  EXPECT_EQ(sim::RightsOf("WS01", users), (Names{"SeChangeNotifyPrivilege", "SeDebugPrivilege"}));
  sim::FailWrite(1, static_cast<int32_t>(0xC0020017));
  EXPECT_EQ(Write(false, policy, users, {u"SeDebugPrivilege"}), RPC_NT_SERVER_UNAVAILABLE);
  EXPECT_EQ(sim::RightsOf("WS01", users).size(), 2u);
  LsaClose(policy);
}

TEST(SimLsaStatus, ConversionTable) {
  // clang-format off
  const uint32_t cases[][2] = {
      {0, 0}, {0x103, 997}, {0x105, 234}, {0x107, 1301}, {0x80000005, 234}, {0x8000001A, 259},
      {0xC0000001, 31}, {0xC0000002, 1}, {0xC0000005, 998}, {0xC0000008, 6}, {0xC000000D, 87},
      {0xC0000017, 8}, {0xC0000022, 5}, {0xC0000023, 122}, {0xC0000033, 123}, {0xC0000034, 2},
      {0xC000005E, 1311}, {0xC0000060, 1313}, {0xC0000061, 1314}, {0xC0000062, 1315},
      {0xC0000064, 1317}, {0xC000006A, 86}, {0xC000006D, 1326}, {0xC000006E, 1327},
      {0xC0000073, 1332}, {0xC0000078, 1337}, {0xC000009A, 1450}, {0xC00000B5, 121},
      {0xC00000BB, 50}, {0xC00000BE, 53}, {0xC00000CC, 67}, {0xC00000DC, 1352}, {0xC00000DF, 1355},
      {0xC000018C, 1788}, {0xC0000236, 1225}, {0xC000023C, 1231}, {0xC000023D, 1232},
      {0xC0020017, 1722}, {0xC002001C, 1727}, {0xC0001234, 317}, {120, 317},
      {0xE0001234, 0xE0001234}, {0x20000005, 0x20000005}};
  // clang-format on
  char text[512];
  for (const auto& c : cases) {
    EXPECT_EQ(LsaNtStatusToWinError(static_cast<NTSTATUS>(c[0])), c[1]) << std::hex << c[0];
    // Every code a status converts to has its system text.
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, c[1], 0, text, sizeof text, nullptr);
    EXPECT_TRUE(n > 2 || c[1] == 317 || c[1] > 0xFFFF) << c[1];
  }
}

}  // namespace
