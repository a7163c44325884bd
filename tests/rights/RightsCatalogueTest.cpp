// The rights catalogue: policy names, sets and legend codes.
#include <gtest/gtest.h>

#include <set>

#include "rights/Velmar_RightsCenter.h"

namespace {

TEST(RightsCatalogue, PolicyNamesSetsAndCodes) {
  // Exact, case-sensitive names only, spelt as the system spells them.
  EXPECT_EQ(PrivilegeFromPolicyName("SeSystemtimePrivilege"), spSystemTyme);
  for (const char* miss : {"sebackupprivilege", "SeBackupPrivilege ", "",
                           "SeRemoteInteractiveLogonRight", "SeCreatePageFilePrivilege"})
    EXPECT_FALSE(PrivilegeFromPolicyName(miss).has_value()) << '"' << miss << '"';
  // Each name maps to its ordinal and bit (none above 27); codes are unique and start the legend.
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
  EXPECT_EQ(codes.size(), 27u);
  EXPECT_EQ(TvmPrivileges(0xFFFFFFFFu), all);

  TvmPrivileges set{spBackup, spDebug};
  set.Exclude(spBackup);
  EXPECT_EQ(set, TvmPrivileges{spDebug});
  EXPECT_EQ((TvmPrivileges{spBackup, spDebug} - set), TvmPrivileges{spBackup});
}

}  // namespace
