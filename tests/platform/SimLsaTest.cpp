// The simulated LSA: policies, reads, writes, faults and status conversion.
#include "tests/support/SimFixture.h"
#include "tests/support/SimTestHelpers.h"

namespace {

using namespace tavrin::test;

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

TEST(SimLsaStatus, ConversionTable) {
  // By the table, others 317, customer codes as they are; each with a system text.
  // clang-format off
  const uint32_t cases[][2] = {
      {0, 0}, {0x103, 997}, {0x80000005, 234}, {0xC0000001, 31}, {0xC0000022, 5}, {0xC0000034, 2},
      {0xC0000060, 1313}, {0xC0000073, 1332}, {0xC000009A, 1450}, {0xC00000BE, 53},
      {0xC0020017, 1722}, {0xC000020C, 64}, {0xC0000234, 1909}, {0xC0001234, 317}, {120, 317}, {0xE0001234, 0xE0001234}};
  // clang-format on
  char text[512];
  for (const auto& c : cases) {
    EXPECT_EQ(LsaNtStatusToWinError(static_cast<NTSTATUS>(c[0])), c[1]) << std::hex << c[0];
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, c[1], 0, text, sizeof text, nullptr);
    EXPECT_TRUE(n > 2 || c[1] == 317 || c[1] > 0xFFFF) << c[1];
  }
}

}  // namespace
