// System services that hold on every NT system, the real one included.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "app/Startup.h"
#include "rights/Velmar_CenterUtils.h"
#include "rights/Velmar_WinVer.h"
#include "tests/support/Raised.h"

namespace {

// S-1-5-32-544 built by hand.
const BYTE kAdmins[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};

TEST(SystemServices, Win32ErrorCarriesCodeAndSystemText) {
  // Every system wording of code 5 speaks of access being denied; the full
  // stop and line ends are trimmed.
  const std::string text = SystemErrorText(5);
  EXPECT_NE(text.find("ccess"), std::string::npos) << text;
  EXPECT_NE(text.back(), '.');
  EXPECT_NE(text.back(), '\n');
  EXPECT_EQ(EWin32Error(ERROR_ACCESS_DENIED).Message(), "Win32 Error.  Code: 5.\n" + text);
  EXPECT_STREQ(EWin32Error(0).what(), "A Win32 API function failed");
  SetLastError(ERROR_ACCESS_DENIED);
  EXPECT_EQ(LastWin32ErrorMessage(), "Win32 Error.  Code: 5.\n" + text);
  SetLastError(ERROR_ACCESS_DENIED);
  EXPECT_EQ(tavrin::test::RaisedCode(RaiseLastWin32Error), 5u);
}

TEST(SystemServices, CloneSidCopiesAndRefuses) {
  DWORD length = 77;
  EXPECT_EQ(CloneSid(nullptr, length), nullptr);
  EXPECT_EQ(length, 0u);
  std::vector<BYTE> source(std::begin(kAdmins), std::end(kAdmins));
  const TSidBlock copy(CloneSid(source.data(), length));
  EXPECT_EQ(length, 16u);
  std::memset(source.data(), 0, source.size());  // the copy does not depend on the source
  EXPECT_EQ(std::memcmp(copy.get(), kAdmins, sizeof kAdmins), 0);

  // Revision 2 is not a SID, nor are more than 15 sub-authorities.
  BYTE revision2[16];
  std::memcpy(revision2, kAdmins, sizeof kAdmins);
  revision2[0] = 2;
  EXPECT_THROW(CloneSid(revision2, length), EWin32Error);
  std::vector<BYTE> tooLong(8 + 4 * 16, 0);
  tooLong[0] = 1;
  tooLong[1] = 16;
  tooLong[7] = 5;
  EXPECT_THROW(CloneSid(tooLong.data()), EWin32Error);
}

TEST(SystemServices, StartStepsReadTheVersion) {
  tavrin::RunStartSteps();
  EXPECT_EQ(WinVersion().dwOSVersionInfoSize, sizeof(OSVERSIONINFOA));
  EXPECT_TRUE(IsWinNT());
  tavrin::RunEndSteps();
  tavrin::RunEndSteps();  // a second end does nothing
}

// The system's own lookup, without the SID center's cache behind it, and a
// copy of the SID it gave.
TEST(SystemServices, LookupOfTheBuiltinAdministrators) {
  DWORD sidSize = 0, domainSize = 0;
  SID_NAME_USE use = SidTypeUnknown;
  EXPECT_FALSE(LookupAccountNameA(nullptr, "BUILTIN\\Administrators", nullptr, &sidSize, nullptr,
                                  &domainSize, &use));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  ASSERT_EQ(sidSize, 16u);
  ASSERT_GE(domainSize, 8u);  // "BUILTIN" and its terminating zero
  std::vector<BYTE> sid(sidSize);
  std::vector<char> domain(domainSize);
  ASSERT_TRUE(LookupAccountNameA(nullptr, "BUILTIN\\Administrators", sid.data(), &sidSize,
                                 domain.data(), &domainSize, &use));
  EXPECT_STREQ(domain.data(), "BUILTIN");
  EXPECT_EQ(use, SidTypeAlias);
  EXPECT_EQ(std::memcmp(sid.data(), kAdmins, sizeof kAdmins), 0);
  DWORD copyLength = 0;
  const TSidBlock copy(CloneSid(sid.data(), copyLength));
  EXPECT_EQ(copyLength, sidSize);
  EXPECT_TRUE(EqualSid(copy.get(), sid.data()));
}

}  // namespace
