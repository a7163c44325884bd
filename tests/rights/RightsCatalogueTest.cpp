#include <gtest/gtest.h>

#include <set>

#include "rights/Velmar_RightsCenter.h"

namespace {

TEST(RightsCatalogue, PolicyNameLookupIsExact) {
  auto backup = PrivilegeFromPolicyName("SeBackupPrivilege");
  ASSERT_TRUE(backup.has_value());
  EXPECT_EQ(*backup, spBackup);
  EXPECT_EQ(static_cast<int>(*backup), 15);
  EXPECT_EQ(TvmPrivileges{spBackup}.Mask(), 0x8000u);

  for (const char* miss :
       {"sebackupprivilege", "SeBackupPrivilege ", " SeBackupPrivilege",
        "SeRemoteInteractiveLogonRight", "", "SeSystemTimePrivilege", "SeCreatePageFilePrivilege"})
    EXPECT_FALSE(PrivilegeFromPolicyName(miss).has_value()) << '"' << miss << '"';
  EXPECT_EQ(PrivilegeFromPolicyName("SeSystemtimePrivilege"), spSystemTyme);
  EXPECT_EQ(PrivilegeFromPolicyName("SeCreatePagefilePrivilege"), spCreatePageFile);

  // Every name maps back to its own ordinal.
  for (int ordinal = 0; ordinal < PrivilegeCount; ++ordinal)
    EXPECT_EQ(PrivilegeFromPolicyName(PolicyNames[ordinal]), static_cast<TvmPrivilege>(ordinal));
}

TEST(RightsCatalogue, SetsUseOneBitPerOrdinal) {
  TvmPrivileges all;
  for (int ordinal = 0; ordinal < PrivilegeCount; ++ordinal)
    all.Include(static_cast<TvmPrivilege>(ordinal));
  EXPECT_EQ(all.Mask(), 0x07FFFFFFu);
  EXPECT_EQ(all, TvmPrivileges::All());
  EXPECT_EQ(TvmPrivileges{spServiceLogon}.Mask(), 1u << 26);
  EXPECT_EQ(TvmPrivileges(0xFFFFFFFFu).Mask(), 0x07FFFFFFu);  // bits 27..31 never set
  EXPECT_TRUE(TvmPrivileges().Empty());

  TvmPrivileges set{spBackup, spDebug};
  EXPECT_TRUE(set.Contains(spDebug));
  EXPECT_FALSE(set.Contains(spRestore));
  set.Exclude(spBackup);
  EXPECT_EQ(set, TvmPrivileges{spDebug});
  EXPECT_EQ((TvmPrivileges{spBackup, spDebug} - TvmPrivileges{spDebug}), TvmPrivileges{spBackup});
}

TEST(RightsCatalogue, LegendAndCodes) {
  EXPECT_EQ(PrivilegeLegendLine(spCreateToken), "CT - Create token");
  EXPECT_EQ(PrivilegeCode(spCreateToken), "CT");
  EXPECT_EQ(PrivilegeCode(spServiceLogon), "LS");
  EXPECT_EQ(PrivilegeLegendLine(spTCB), "PS - Act as a part of system");
  std::set<std::string> codes;
  for (int ordinal = 0; ordinal < PrivilegeCount; ++ordinal) {
    const std::string line = PrivilegeLegend[ordinal];
    ASSERT_GT(line.size(), 5u);
    EXPECT_EQ(line.substr(2, 3), " - ");
    codes.insert(line.substr(0, 2));
  }
  EXPECT_EQ(codes.size(), 27u);
}

}  // namespace
