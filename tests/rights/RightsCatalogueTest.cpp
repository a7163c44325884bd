// The rights catalogue: policy names, sets and legend codes.
#include <gtest/gtest.h>

#include <cctype>
#include <set>

#include "rights/Velmar_RightsCenter.h"

namespace {

TEST(RightsCatalogue, PolicyNamesSetsAndCodes) {
  // Exact, case-sensitive names only, spelt as the system spells them.
  EXPECT_EQ(PrivilegeFromPolicyName("SeSystemtimePrivilege"), spSystemTyme);
  EXPECT_EQ(PrivilegeFromPolicyName("SeRemoteInteractiveLogonRight"), spRemoteInteractiveLogon);
  for (const char* miss : {"sebackupprivilege", "SeBackupPrivilege ", "", "BK",
                           "SeUnsolicitedInputPrivilege", "SeCreatePageFilePrivilege"})
    EXPECT_FALSE(PrivilegeFromPolicyName(miss).has_value()) << '"' << miss << '"';
  // Each name maps to its ordinal and bit (none above 45); codes are unique and start the legend;
  // the classic 27 keep their codes.
  TvmPrivileges all;
  std::set<std::string> codes, policyNames;
  for (int ordinal = 0; ordinal < RightCount; ++ordinal) {
    const auto right = static_cast<TvmPrivilege>(ordinal);
    EXPECT_EQ(PrivilegeFromPolicyName(PolicyNames[ordinal]), right);
    EXPECT_EQ(TvmPrivileges{right}.Mask(), uint64_t{1} << ordinal);
    EXPECT_TRUE(TvmPrivileges::All().Contains(right));
    EXPECT_EQ(TvmPrivileges::Classic().Contains(right), ordinal < PrivilegeCount);
    all.Include(right);
    EXPECT_EQ(PrivilegeLegendLine(right).substr(0, 5), PrivilegeCode(right) + " - ");
    if (ordinal < PrivilegeCount) {
      EXPECT_EQ(PrivilegeLegendLine(right), PrivilegeLegend[ordinal]);
    }
    codes.insert(PrivilegeCode(right));
    policyNames.insert(RightInfo(right).policyName);
    // Deny rights are logon rights, and say so in their code and names.
    const std::string constant = PolicyNames[ordinal];
    EXPECT_EQ(RightInfo(right).logonRight, constant.ends_with("LogonRight")) << constant;
    EXPECT_EQ(RightInfo(right).deny, constant.starts_with("SeDeny")) << constant;
    if (RightInfo(right).deny) {
      EXPECT_EQ(PrivilegeCode(right)[0], 'D') << constant;
    }
    // Any of its names, in any letter case, finds the right.
    for (std::string text :
         {constant, PrivilegeCode(right), std::string(RightInfo(right).policyName)}) {
      EXPECT_EQ(RightFromUserText(text), right) << text;
      for (char& c : text)
        c = static_cast<char>(std::islower(c) ? std::toupper(c) : std::tolower(c));
      EXPECT_EQ(RightFromUserText(" " + text + " "), right) << text;
    }
  }
  EXPECT_EQ(codes.size(), 45u);
  EXPECT_EQ(policyNames.size(), 45u);
  EXPECT_EQ(PrivilegeCode(spRemoteInteractiveLogon), "RI");
  EXPECT_EQ(RightDescription(spDenyNetworkLogon),
            "DN - Deny access to this computer from the network (SeDenyNetworkLogonRight)");
  for (const char* miss : {"", "B", "Backup files", "SeBackup", "BK,RE"})
    EXPECT_FALSE(RightFromUserText(miss).has_value()) << miss;
  // The set at its full width: the highest right has its bit, and no bit above it is kept.
  EXPECT_EQ(TvmPrivileges(~uint64_t{0}), all);
  EXPECT_EQ(all.Mask(), (uint64_t{1} << 45) - 1);
  TvmPrivileges highest{spDenyRemoteInteractiveLogon};
  EXPECT_EQ(highest.Mask(), uint64_t{1} << 44);
  EXPECT_TRUE((all - TvmPrivileges::Classic()).Contains(spDenyRemoteInteractiveLogon));
  EXPECT_FALSE((all - TvmPrivileges::Classic()).Contains(spServiceLogon));
  highest.Exclude(spDenyRemoteInteractiveLogon);
  EXPECT_TRUE(highest.Empty());

  // The views: the classic 27 in catalogue order; all 45, each deny right after the right it
  // denies.
  const std::vector<TvmPrivilege>& classic = ViewRights(TRightsView::Classic);
  ASSERT_EQ(classic.size(), 27u);
  for (int i = 0; i < PrivilegeCount; ++i) EXPECT_EQ(classic[i], i);
  const std::vector<TvmPrivilege>& shown = ViewRights(TRightsView::All);
  EXPECT_EQ(std::set<TvmPrivilege>(shown.begin(), shown.end()).size(), 45u);
  for (size_t i = 1; i < shown.size(); ++i) {
    if (RightInfo(shown[i]).deny) {
      EXPECT_EQ(std::string("SeDeny") + (PolicyNames[shown[i - 1]] + 2), PolicyNames[shown[i]]);
    }
  }
  EXPECT_EQ(ViewFromName("all"), TRightsView::All);
  EXPECT_FALSE(ViewFromName("All").has_value());

  TvmPrivileges set{spBackup, spDebug};
  set.Exclude(spBackup);
  EXPECT_EQ(set, TvmPrivileges{spDebug});
  EXPECT_EQ((TvmPrivileges{spBackup, spDebug} - set), TvmPrivileges{spBackup});
}

}  // namespace
