// System services that hold on every NT system, the real one included.
#include <gtest/gtest.h>

#include "base/Velmar_CenterUtils.h"
#include "base/Velmar_WinVer.h"
#include "passes/Startup.h"
#include "tests/support/Raised.h"

namespace {

TEST(SystemServices, Win32ErrorsVersionAndAbsentSid) {
  // Every system wording of code 5 speaks of access being denied.
  const std::string text = SystemErrorText(5);
  EXPECT_NE(text.find("ccess"), std::string::npos) << text;
  EXPECT_STREQ(EWin32Error(0).what(), "A Win32 API function failed");
  SetLastError(ERROR_ACCESS_DENIED);
  EXPECT_EQ(LastWin32ErrorMessage(), "Win32 Error.  Code: 5.\n" + text);
  SetLastError(ERROR_ACCESS_DENIED);
  EXPECT_EQ(tavrin::test::RaisedCode(RaiseLastWin32Error), 5u);

  tavrin::RunStartSteps();
  EXPECT_TRUE(IsWinNT());
  tavrin::RunEndSteps();
  tavrin::RunEndSteps();  // a second end does nothing

  // Copies of SIDs are checked with the SID center; none copies as none.
  EXPECT_EQ(CloneSid(nullptr).get(), nullptr);
  EXPECT_EQ(CloneSid(nullptr).Length(), 0u);
}

}  // namespace
