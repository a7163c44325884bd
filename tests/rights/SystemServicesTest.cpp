// System services that hold on every NT system, the real one included.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "app/Startup.h"
#include "rights/Velmar_CenterUtils.h"
#include "rights/Velmar_WinVer.h"

namespace {

TEST(SystemServices, Win32ErrorCarriesCodeAndSystemText) {
  EWin32Error denied(ERROR_ACCESS_DENIED);
  EXPECT_EQ(denied.ErrorCode(), 5u);
  const std::string text = SystemErrorText(5);
  ASSERT_FALSE(text.empty());
  EXPECT_NE(text.back(), '.');
  EXPECT_NE(text.back(), '\n');
  EXPECT_EQ(denied.Message(), "Win32 Error.  Code: 5.\n" + text);
  // Every system wording of code 5 speaks of access being denied.
  EXPECT_NE(text.find("ccess"), std::string::npos) << text;

  EWin32Error none(0);
  EXPECT_EQ(none.ErrorCode(), 0u);
  EXPECT_STREQ(none.what(), "A Win32 API function failed");

  SetLastError(ERROR_ACCESS_DENIED);
  EXPECT_EQ(LastWin32ErrorMessage(), denied.Message());
  SetLastError(ERROR_ACCESS_DENIED);
  try {
    RaiseLastWin32Error();
    FAIL() << "nothing raised";
  } catch (const EWin32Error& e) {
    EXPECT_EQ(e.ErrorCode(), 5u);
  }
}

TEST(SystemServices, ExceptionTypes) {
  EXPECT_STREQ(EAbort().what(), "Operation aborted");
  const Exception& plain = EConvertError("bad text");
  EXPECT_EQ(plain.Message(), "bad text");
}

TEST(SystemServices, CloneSidCopiesAndRefuses) {
  DWORD length = 77;
  EXPECT_EQ(CloneSid(nullptr, length), nullptr);
  EXPECT_EQ(length, 0u);

  // S-1-5-32-544 built by hand.
  const BYTE admins[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};
  std::vector<BYTE> source(admins, admins + sizeof admins);
  PSID copy = CloneSid(source.data(), length);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(length, 16u);
  EXPECT_NE(copy, static_cast<void*>(source.data()));
  EXPECT_EQ(std::memcmp(copy, admins, sizeof admins), 0);
  EXPECT_TRUE(EqualSid(copy, source.data()));
  std::memset(source.data(), 0, source.size());  // the copy does not depend on the source
  EXPECT_TRUE(IsValidSid(copy));
  FreeSidBlock(copy);

  // Revision 2 is not a SID.
  BYTE malformed[16];
  std::memcpy(malformed, admins, sizeof admins);
  malformed[0] = 2;
  length = 99;
  EXPECT_THROW(CloneSid(malformed, length), EWin32Error);
  // More than 15 sub-authorities is not a SID either.
  std::vector<BYTE> tooLong(8 + 4 * 16, 0);
  tooLong[0] = 1;
  tooLong[1] = 16;
  tooLong[7] = 5;
  EXPECT_THROW(CloneSid(tooLong.data()), EWin32Error);
}

TEST(SystemServices, StartStepsReadTheVersion) {
  tavrin::RunStartSteps();
  EXPECT_EQ(WinVersion().dwOSVersionInfoSize, 148u);
  EXPECT_TRUE(IsWinNT());
  tavrin::RunEndSteps();
  tavrin::RunEndSteps();  // a second end does nothing
}

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
  const BYTE admins[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};
  EXPECT_EQ(std::memcmp(sid.data(), admins, sizeof admins), 0);
}

}  // namespace
