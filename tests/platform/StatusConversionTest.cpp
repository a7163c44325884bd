// LsaNtStatusToWinError as the program binds it (through the LSA entries the
// start steps resolve) converts statuses to the system error codes Windows
// gives: the same table holds for the simulation and for Windows under Wine.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "passes/Startup.h"
#include "rights/Velmar_LsaApi.h"

namespace {

TEST(StatusConversion, WindowsCodesAndTheirTexts) {
  tavrin::StartupScope startup;
  ASSERT_TRUE(LsaApi::Resolved("LsaNtStatusToWinError"));
  // Every status a policy, lookup or account call can answer, here or from a
  // server, with the code RtlNtStatusToDosError gives it.
  // clang-format off
  const uint32_t known[][2] = {
      {0x0, 0}, {0x103, 997}, {0x105, 234}, {0x107, 1301}, {0x80000005, 234}, {0x8000001A, 259},
      {0xC0000001, 31}, {0xC0000002, 1}, {0xC0000003, 87}, {0xC0000005, 998}, {0xC0000008, 6},
      {0xC000000D, 87}, {0xC0000010, 1}, {0xC0000011, 38}, {0xC0000017, 8}, {0xC0000022, 5},
      {0xC0000023, 122}, {0xC0000024, 6}, {0xC0000030, 87}, {0xC0000033, 123}, {0xC0000034, 2}, {0xC000005E, 1311},
      {0xC0000060, 1313}, {0xC0000061, 1314}, {0xC0000062, 1315}, {0xC0000064, 1317},
      {0xC0000066, 1319}, {0xC000006A, 86}, {0xC000006D, 1326}, {0xC000006E, 1327},
      {0xC000006F, 1328}, {0xC0000070, 1329}, {0xC0000071, 1330}, {0xC0000072, 1331},
      {0xC0000073, 1332}, {0xC0000078, 1337}, {0xC000007A, 127}, {0xC000009A, 1450},
      {0xC00000A5, 1346}, {0xC00000AC, 231}, {0xC00000AE, 231}, {0xC00000B0, 233},
      {0xC00000B1, 232}, {0xC00000B5, 121}, {0xC00000BB, 50}, {0xC00000BC, 51}, {0xC00000BE, 53},
      {0xC00000C3, 58}, {0xC00000C4, 59}, {0xC00000C9, 64}, {0xC00000CA, 65}, {0xC00000CC, 67},
      {0xC00000D0, 71}, {0xC00000D2, 88}, {0xC00000DC, 1352}, {0xC00000DD, 1353},
      {0xC00000DE, 1354}, {0xC00000DF, 1355}, {0xC00000E4, 1358}, {0xC00000E5, 1359},
      {0xC0000120, 995}, {0xC000013B, 64}, {0xC000013C, 64}, {0xC000013F, 59}, {0xC0000148, 124},
      {0xC000014B, 109}, {0xC0000151, 1376}, {0xC000015B, 1385}, {0xC000018C, 1788},
      {0xC000018D, 1789}, {0xC0000192, 1792}, {0xC0000193, 1793}, {0xC0000203, 59}, {0xC000020C, 64},
      {0xC000020D, 64}, {0xC0000224, 1907}, {0xC0000225, 1168}, {0xC0000234, 1909},
      {0xC0000236, 1225}, {0xC000023C, 1231}, {0xC000023D, 1232}, {0xC000023F, 1234},
      {0xC0000241, 1236}, {0xC0020003, 6}, {0xC0020012, 1717}, {0xC0020017, 1722},
      {0xC0020018, 1723}, {0xC002001B, 1726}, {0xC002001C, 1727}, {0xC002001D, 1728},
      {0xC002002E, 1745}, {0xC0020035, 1752}, {0xC0020036, 1753}, {0xC0020041, 1764},
      {0xC0020050, 1818}, {0xC0020052, 1820}, {0xC0020053, 1821}, {0xC0020057, 1825},
      {0xC0030004, 6}, {0xC0030005, 6}, {0xC003000A, 1781}, {0xC003000C, 1783},
  };
  // clang-format on
  char text[1024];
  for (const auto& c : known) {
    EXPECT_EQ(LsaApi::LsaNtStatusToWinError(static_cast<NTSTATUS>(c[0])), c[1])
        << std::hex << "0x" << c[0];
    // Each code comes with a system text, as the error messages show it.
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, c[1], 0, text, sizeof text, nullptr);
    EXPECT_TRUE(n > 2 && std::string(text, n).ends_with("\r\n")) << "no text for " << c[1];
  }

  // Any other status has no code (ERROR_MR_MID_NOT_FOUND), whatever its
  // severity; one with the customer bit comes back as it is.
  for (uint32_t other : {0xC0001234u, 0x80001234u, 0x40001234u, 120u, 0xC0021234u})
    EXPECT_EQ(LsaApi::LsaNtStatusToWinError(static_cast<NTSTATUS>(other)), 317u)
        << std::hex << "0x" << other;
  for (uint32_t customer : {0xE0001234u, 0xE0000022u, 0xA0000005u, 0x20000001u})
    EXPECT_EQ(LsaApi::LsaNtStatusToWinError(static_cast<NTSTATUS>(customer)), customer)
        << std::hex << "0x" << customer;
}

}  // namespace
