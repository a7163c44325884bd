// The account list against the simulated network: order, duplicates,
// filter, texts and failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "app/Startup.h"
#include "pickers/Velmar_UsersComboBoxList.h"
#include "tests/support/SimFixture.h"

namespace {

namespace sim = tavrin::sim;
using tavrin::test::SimTest;

std::vector<std::string> NamesOf(const TvmUserList& list) {
  std::vector<std::string> names;
  for (int i = 0; i < list.Count(); ++i) names.push_back(list.UserInfo(i)->Name());
  return names;
}

int PositionOf(const TvmUserList& list, const std::string& name) {
  const auto names = NamesOf(list);
  const auto it = std::find(names.begin(), names.end(), name);
  return it == names.end() ? -1 : static_cast<int>(it - names.begin());
}

class AccountListSim : public SimTest {
 protected:
  // The list of a source as the window points the picker at it.
  void Fill(TvmUserList& list, const std::string& domain, const std::string& server) {
    list.SetDomain(domain);
    list.SetServer(server);
    list.Fill();
  }
};

TEST_F(AccountListSim, DomainAccountsInTheirOrderEachOnce) {
  TvmUserList list;
  Fill(list, "CORP", "DC01");

  // Well-known accounts first, in ordinal order, then users, local groups,
  // global groups.
  int lastWellKnown = -1;
  int previousValue = 0;
  for (int i = 0; i < list.Count(); ++i) {
    const TvmUserInfo* entry = list.UserInfo(i);
    if (entry->WellKnown() == wkOther) continue;
    EXPECT_GT(entry->WellKnown(), previousValue) << entry->Name();
    previousValue = entry->WellKnown();
    lastWellKnown = i;
  }
  const int everyone = PositionOf(list, "Everyone");
  const int admins = PositionOf(list, "Administrators");
  const int alice = PositionOf(list, "alice");
  const int bob = PositionOf(list, "bob");
  const int yolkin = PositionOf(list, "Ёлкин");
  const int helpdesk = PositionOf(list, "Helpdesk");
  const int operators = PositionOf(list, "Operators");
  ASSERT_GE(everyone, 0);
  ASSERT_GE(admins, 0);
  EXPECT_LT(everyone, admins);
  EXPECT_LT(lastWellKnown, alice);
  EXPECT_LT(alice, bob);
  EXPECT_LT(bob, yolkin);
  EXPECT_LT(yolkin, helpdesk);
  EXPECT_LT(helpdesk, operators);

  // Accounts that are both well-known and enumerated are listed once, as
  // well-known accounts.
  std::map<std::string, int> bySid;
  for (int i = 0; i < list.Count(); ++i) ++bySid[list.UserInfo(i)->SidString()];
  for (const auto& [sid, count] : bySid) EXPECT_EQ(count, 1) << sid;
  const TvmUserInfo* administrator = list.UserInfo(PositionOf(list, "Administrator"));
  ASSERT_NE(administrator, nullptr);
  EXPECT_EQ(administrator->WellKnown(), wkAdmin);
  EXPECT_EQ(administrator->SidString(), "S-1-5-21-1000-2000-3000-500");
  EXPECT_EQ(administrator->Domain(), "CORP");
  EXPECT_EQ(administrator->SidType(), stUser);
  EXPECT_EQ(list.UserInfo(PositionOf(list, "Domain Users"))->WellKnown(), wkUsersGroup);

  // Kinds and SIDs of the enumerated ones.
  EXPECT_EQ(list.UserInfo(alice)->SidType(), stUser);
  EXPECT_EQ(list.UserInfo(alice)->SidString(), "S-1-5-21-1000-2000-3000-1105");
  EXPECT_EQ(GetLengthSid(list.UserInfo(alice)->Sid()), list.UserInfo(alice)->SidLength());
  EXPECT_EQ(list.UserInfo(helpdesk)->SidType(), stAlias);
  EXPECT_EQ(list.UserInfo(operators)->SidType(), stGroup);
  EXPECT_EQ(list.UserInfo(everyone)->SidType(), stWellKnownGroup);
  EXPECT_EQ(list.UserInfo(admins)->SidType(), stAlias);
  EXPECT_EQ(sim::OutstandingNetBuffers(), 0u);
}

TEST_F(AccountListSim, ThisComputerWithEmptyServer) {
  sim::ClearCalls();
  TvmUserList list;
  Fill(list, "WS01", "");
  EXPECT_GE(PositionOf(list, "localadmin"), 0);
  EXPECT_GE(PositionOf(list, "Printers"), 0);
  EXPECT_LT(PositionOf(list, "localadmin"), PositionOf(list, "Printers"));
  EXPECT_EQ(PositionOf(list, "alice"), -1);  // a domain user, not this computer's
  // The enumerations and the SID look-ups went to this computer (null name).
  for (const sim::Call& call : sim::Calls()) {
    if (call.function == "NetUserEnum" || call.function == "NetLocalGroupEnum" ||
        call.function == "NetGroupEnum" || call.function == "LookupAccountSidA") {
      EXPECT_EQ(call.target, "") << call.function;
    }
  }
  // The workstation's group "None" is its users group, listed once.
  const int none = PositionOf(list, "None");
  ASSERT_GE(none, 0);
  EXPECT_EQ(list.UserInfo(none)->WellKnown(), wkUsersGroup);
}

TEST_F(AccountListSim, FilterAndTexts) {
  TvmUserList list;
  list.SetFilter({stUser});
  Fill(list, "CORP", "DC01");
  ASSERT_GT(list.Count(), 0);
  for (int i = 0; i < list.Count(); ++i) EXPECT_EQ(list.UserInfo(i)->SidType(), stUser);
  EXPECT_GE(PositionOf(list, "Ёлкин"), 0);

  // An empty filter lists nothing, though every enumeration still runs.
  sim::ClearCalls();
  list.SetFilter({});
  EXPECT_EQ(list.Count(), 0);  // the entries went with the filter
  list.Fill();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_GT(sim::CountCalls("NetUserEnum"), 0u);
  EXPECT_GT(sim::CountCalls("NetLocalGroupEnum"), 0u);
  EXPECT_GT(sim::CountCalls("NetGroupEnum"), 0u);

  list.SetFilter(TvmUserList::DefaultFilter());
  list.Fill();
  const int alice = PositionOf(list, "alice");
  const int everyone = PositionOf(list, "Everyone");
  EXPECT_EQ(list.ItemText(alice), "alice");
  list.SetShowFullName(true);
  EXPECT_EQ(list.ItemText(alice), "CORP\\alice");
  EXPECT_EQ(list.ItemText(everyone), "\\Everyone");  // its domain is empty
  EXPECT_EQ(list.ItemText(list.Count()), "");

  // Image numbers: well-known values first, then the kinds, kept apart.
  EXPECT_EQ(list.ImageIndex(everyone), wkWorld - 1);
  EXPECT_EQ(list.ImageIndex(alice), 32 + stUser);
  EXPECT_EQ(list.ImageIndex(PositionOf(list, "Operators")), 32 + stGroup);
}

TEST_F(AccountListSim, FailingEnumerationsBecomeErrors) {
  sim::FailEnumeration("NetLocalGroupEnum", "", ERROR_ACCESS_DENIED);
  TvmUserList list;
  list.SetFilter({stUser, stGroup});
  Fill(list, "CORP", "DC01");
  ASSERT_EQ(list.Errors().size(), 1u);
  EXPECT_EQ(list.Errors()[0], "Win32 Error.  Code: 5.\nAccess is denied");
  EXPECT_EQ(PositionOf(list, "Helpdesk"), -1);
  EXPECT_GE(PositionOf(list, "alice"), 0);
  EXPECT_GE(PositionOf(list, "Operators"), 0);  // the next step still ran

  // A computer that does not answer: every enumeration fails, and the
  // errors of a former fill are gone.
  sim::ClearFaults();
  Fill(list, "CORP", "GHOST");
  EXPECT_EQ(list.Errors().size(), 3u);
  for (const std::string& error : list.Errors())
    EXPECT_EQ(error.rfind("Win32 Error.  Code: ", 0), 0u) << error;
  EXPECT_EQ(PositionOf(list, "alice"), -1);
}

TEST_F(AccountListSim, LibraryMissingLeavesTheWellKnownAccounts) {
  tavrin::RunEndSteps();
  sim::HideLibrary("netapi32.dll");
  tavrin::RunStartSteps();
  TvmUserList list;
  Fill(list, "CORP", "DC01");
  ASSERT_EQ(list.Errors().size(), 3u);
  for (const std::string& error : list.Errors())
    EXPECT_EQ(error, "Win32 Error.  Code: 120.\nThis function is not supported on this system");
  ASSERT_GT(list.Count(), 0);
  for (int i = 0; i < list.Count(); ++i) EXPECT_NE(list.UserInfo(i)->WellKnown(), wkOther);
}

TEST_F(AccountListSim, UnresolvableAccountsAreSkippedAndNoted) {
  // The local-group enumeration lists the built-in aliases first; as
  // "CORP\Administrators" and so on they cannot be mapped on the domain's
  // controller. Each is left out with its failure noted, and the domain's
  // own local group after them is still listed.
  sim::ClearCalls();
  TvmUserList list;
  Fill(list, "CORP", "DC01");
  ASSERT_EQ(list.Errors().size(), 9u);
  for (const std::string& error : list.Errors())
    EXPECT_EQ(error,
              "Win32 Error.  Code: 1332.\nNo mapping between account names and security IDs "
              "was done");
  const int helpdesk = PositionOf(list, "Helpdesk");
  ASSERT_GE(helpdesk, 0);
  EXPECT_EQ(list.UserInfo(helpdesk)->SidType(), stAlias);
  EXPECT_GE(PositionOf(list, "Operators"), 0);
  // The aliases themselves are listed once, as well-known accounts.
  const int admins = PositionOf(list, "Administrators");
  ASSERT_GE(admins, 0);
  EXPECT_EQ(list.UserInfo(admins)->WellKnown(), wkAdminsAlias);
  EXPECT_EQ(list.UserInfo(admins)->Domain(), "BUILTIN");

  // A refill starts with no errors of its own making left over.
  sim::FailEnumeration("NetLocalGroupEnum", "", ERROR_ACCESS_DENIED);
  list.Fill();
  ASSERT_EQ(list.Errors().size(), 1u);
  EXPECT_EQ(list.Errors()[0], "Win32 Error.  Code: 5.\nAccess is denied");
}

}  // namespace
