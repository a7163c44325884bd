// System services against the simulated platform, where the platform
// identifier and the system texts can be chosen and checked exactly.
#include <gtest/gtest.h>

#include "rights/Velmar_CenterUtils.h"
#include "rights/Velmar_WinVer.h"
#include "tests/support/SimFixture.h"

namespace {

class SystemServicesSim : public tavrin::test::SimTest {};

TEST_F(SystemServicesSim, FamilyCheckAndWindowsTexts) {
  for (uint32_t id : {0u, 1u, 2u}) {
    tavrin::sim::SetPlatformId(id);
    WinVerStart();
    EXPECT_EQ(WinVersion().dwPlatformId, id);
    EXPECT_EQ(IsWinNT(), id == 2) << "platform identifier " << id;
  }
  // The system text without its full stop; a network code has no system
  // text with these flags.
  const std::pair<DWORD, const char*> cases[] = {
      {5, "Access is denied"},
      {1332, "No mapping between account names and security IDs was done"},
      {2453, ""}};
  for (const auto& [code, text] : cases)
    EXPECT_EQ(EWin32Error(code).Message(),
              "Win32 Error.  Code: " + std::to_string(code) + ".\n" + text);
}

}  // namespace
