// The rights catalogue: policy names, sets and legend codes.
#include <gtest/gtest.h>

#include <set>

#include "rights/Velmar_RightsCenter.h"

namespace {

TEST(RightsCatalogue, PolicyNameLookupIsExact) {
  EXPECT_EQ(PrivilegeFromPolicyName("SeBackupPrivilege"), spBackup);
  EXPECT_EQ(TvmPrivileges{spBackup}.Mask(), 0x8000u);
  EXPECT_EQ(PrivilegeFromPolicyName("SeSystemtimePrivilege"), spSystemTyme);
  EXPECT_EQ(PrivilegeFromPolicyName("SeCreatePagefilePrivilege"), spCreatePageFile);
  for (const char* miss :
       {"sebackupprivilege", "SeBackupPrivilege ", " SeBackupPrivilege",
        "SeRemoteInteractiveLogonRight", "", "SeSystemTimePrivilege", "SeCreatePageFilePrivilege"})
    EXPECT_FALSE(PrivilegeFromPolicyName(miss).has_value()) << '"' << miss << '"';
  // Every name maps back to its own ordinal, and the set of all is 27 bits.
  TvmPrivileges all;
  for (int ordinal = 0; ordinal < PrivilegeCount; ++ordinal) {
    EXPECT_EQ(PrivilegeFromPolicyName(PolicyNames[ordinal]), static_cast<TvmPrivilege>(ordinal));
    all.Include(static_cast<TvmPrivilege>(ordinal));
  }
  EXPECT_EQ(all.Mask(), 0x07FFFFFFu);
  EXPECT_EQ(all, TvmPrivileges::All());
}

TEST(RightsCatalogue, SetOperations) {
  EXPECT_EQ(TvmPrivileges(0xFFFFFFFFu).Mask(), 0x07FFFFFFu);  // bits 27..31 never set
  EXPECT_TRUE(TvmPrivileges().Empty());
  TvmPrivileges set{spBackup, spDebug};
  EXPECT_TRUE(set.Contains(spDebug));
  EXPECT_FALSE(set.Contains(spRestore));
  EXPECT_EQ(set - TvmPrivileges{spDebug}, TvmPrivileges{spBackup});
  set.Exclude(spBackup);
  EXPECT_EQ(set, TvmPrivileges{spDebug});
}

TEST(RightsCatalogue, LegendAndCodes) {
  EXPECT_EQ(PrivilegeLegendLine(spCreateToken), "CT - Create token");
  EXPECT_EQ(PrivilegeCode(spCreateToken), "CT");
  EXPECT_EQ(PrivilegeCode(spServiceLogon), "LS");
  std::set<std::string> codes;
  for (int ordinal = 0; ordinal < PrivilegeCount; ++ordinal) {
    const std::string line = PrivilegeLegend[ordinal];
    EXPECT_EQ(line.substr(2, 3), " - ") << line;
    codes.insert(line.substr(0, 2));
  }
  EXPECT_EQ(codes.size(), 27u);
}

}  // namespace
