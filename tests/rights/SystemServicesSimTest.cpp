// System services against the simulated platform, where the platform
// identifier and the system texts can be chosen and checked exactly.
#include <gtest/gtest.h>

#include "app/Startup.h"
#include "rights/Velmar_CenterUtils.h"
#include "rights/Velmar_WinVer.h"
#include "tests/support/SimFixture.h"

namespace {

using tavrin::test::SimTest;

class SystemServicesSim : public SimTest {};

TEST_F(SystemServicesSim, FamilyCheckFollowsThePlatformIdentifier) {
  const struct {
    uint32_t id;
    bool nt;
  } cases[] = {{0, false}, {1, false}, {2, true}};
  for (const auto& c : cases) {
    tavrin::sim::SetPlatformId(c.id);
    WinVerStart();
    EXPECT_EQ(WinVersion().dwPlatformId, c.id);
    EXPECT_EQ(IsWinNT(), c.nt) << "platform identifier " << c.id;
  }
}

TEST_F(SystemServicesSim, MessagesUseTheWindowsTexts) {
  EXPECT_EQ(EWin32Error(5).Message(), "Win32 Error.  Code: 5.\nAccess is denied");
  EXPECT_EQ(
      EWin32Error(1332).Message(),
      "Win32 Error.  Code: 1332.\nNo mapping between account names and security IDs was done");
  EXPECT_EQ(EWin32Error(1722).Message(),
            "Win32 Error.  Code: 1722.\nThe RPC server is unavailable");
  // A network code has no system text with these flags.
  EXPECT_EQ(EWin32Error(2453).Message(), "Win32 Error.  Code: 2453.\n");
}

}  // namespace
