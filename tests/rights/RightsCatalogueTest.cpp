// The rights catalogue: policy names, sets and legend codes.
#include <gtest/gtest.h>

#include <set>

#include "rights/Velmar_RightsCenter.h"

namespace {

TEST(RightsCatalogue, PolicyNamesSetsAndCodes) {
  EXPECT_EQ(PrivilegeFromPolicyName("SeSystemtimePrivilege"), spSystemTyme);
  EXPECT_EQ(PrivilegeFromPolicyName("SeCreatePagefilePrivilege"), spCreatePageFile);
  for (const char* miss :
       {"sebackupprivilege", "SeBackupPrivilege ", " SeBackupPrivilege",
        "SeRemoteInteractiveLogonRight", "", "SeSystemTimePrivilege", "SeCreatePageFilePrivilege"})
    EXPECT_FALSE(PrivilegeFromPolicyName(miss).has_value()) << '"' << miss << '"';
  // Every name maps back to its own ordinal, the bit of the set; the set of
  // all is 27 bits, and no other bit is ever set. Codes are unique.
  TvmPrivileges all;
  std::set<std::string> codes;
  for (int ordinal = 0; ordinal < PrivilegeCount; ++ordinal) {
    const auto right = static_cast<TvmPrivilege>(ordinal);
    EXPECT_EQ(PrivilegeFromPolicyName(PolicyNames[ordinal]), right);
    EXPECT_EQ(TvmPrivileges{right}.Mask(), 1u << ordinal);
    all.Include(right);
    EXPECT_EQ(PrivilegeLegendLine(right).substr(0, 5), PrivilegeCode(right) + " - ");
    codes.insert(PrivilegeCode(right));
  }
  EXPECT_EQ(all, TvmPrivileges::All());
  EXPECT_EQ(all.Mask(), 0x07FFFFFFu);
  EXPECT_EQ(TvmPrivileges(0xFFFFFFFFu), all);
  EXPECT_EQ(codes.size(), 27u);
  EXPECT_EQ(PrivilegeLegendLine(spCreateToken), "CT - Create token");
  EXPECT_EQ(PrivilegeCode(spServiceLogon), "LS");

  TvmPrivileges set{spBackup, spDebug};
  EXPECT_FALSE(set.Contains(spRestore));
  EXPECT_EQ(set - TvmPrivileges{spDebug}, TvmPrivileges{spBackup});
  set.Exclude(spBackup);
  EXPECT_EQ(set, TvmPrivileges{spDebug});
}

}  // namespace
