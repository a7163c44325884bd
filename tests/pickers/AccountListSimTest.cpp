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

class AccountListSim : public tavrin::test::SimTest {
 protected:
  // The list of a source as the window points the picker at it.
  void Fill(const std::string& domain, const std::string& server) {
    list.SetDomain(domain);
    list.SetServer(server);
    list.Fill();
  }
  int PositionOf(const std::string& name) const {
    for (int i = 0; i < list.Count(); ++i)
      if (list.UserInfo(i)->Name() == name) return i;
    return -1;
  }
  const TvmUserInfo* Entry(const std::string& name) const {
    return list.UserInfo(PositionOf(name));
  }
  void ExpectErrors(size_t count, const std::string& prefix) const {
    EXPECT_EQ(list.Errors().size(), count);
    for (const std::string& error : list.Errors()) EXPECT_EQ(error.rfind(prefix, 0), 0u) << error;
  }

  TvmUserList list;
};

TEST_F(AccountListSim, DomainAccountsInTheirOrderEachOnce) {
  Fill("CORP", "DC01");
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
  const char* order[] = {"Everyone", "Administrators", "alice",    "bob",
                         "Ёлкин",    "Helpdesk",       "Operators"};
  for (const char* name : order) ASSERT_GE(PositionOf(name), 0) << name;
  for (int i = 0; i + 1 < 7; ++i)
    EXPECT_LT(PositionOf(order[i]), PositionOf(order[i + 1])) << order[i];
  EXPECT_LT(lastWellKnown, PositionOf("alice"));
  EXPECT_EQ(Entry("Everyone")->SidType(), stWellKnownGroup);
  EXPECT_EQ(Entry("Administrators")->SidType(), stAlias);
  EXPECT_EQ(Entry("alice")->SidType(), stUser);
  EXPECT_EQ(Entry("alice")->SidString(), "S-1-5-21-1000-2000-3000-1105");
  EXPECT_EQ(GetLengthSid(Entry("alice")->Sid()), Entry("alice")->SidLength());
  EXPECT_EQ(Entry("Helpdesk")->SidType(), stAlias);
  EXPECT_EQ(Entry("Operators")->SidType(), stGroup);

  // Accounts that are both well-known and enumerated are listed once, as
  // well-known accounts.
  std::map<std::string, int> bySid;
  for (int i = 0; i < list.Count(); ++i) ++bySid[list.UserInfo(i)->SidString()];
  for (const auto& [sid, count] : bySid) EXPECT_EQ(count, 1) << sid;
  ASSERT_GE(PositionOf("Administrator"), 0);
  EXPECT_EQ(Entry("Administrator")->WellKnown(), wkAdmin);
  EXPECT_EQ(Entry("Administrator")->SidString(), "S-1-5-21-1000-2000-3000-500");
  EXPECT_EQ(Entry("Administrator")->Domain(), "CORP");
  EXPECT_EQ(Entry("Domain Users")->WellKnown(), wkUsersGroup);
  EXPECT_EQ(sim::OutstandingNetBuffers(), 0u);
}

TEST_F(AccountListSim, ThisComputerWithEmptyServer) {
  sim::ClearCalls();
  Fill("WS01", "");
  EXPECT_GE(PositionOf("localadmin"), 0);
  EXPECT_LT(PositionOf("localadmin"), PositionOf("Printers"));
  EXPECT_EQ(PositionOf("alice"), -1);  // a domain user, not this computer's
  // The enumerations and the SID look-ups went to this computer (null name).
  for (const sim::Call& call : sim::Calls()) {
    if (call.function == "NetUserEnum" || call.function == "NetLocalGroupEnum" ||
        call.function == "NetGroupEnum" || call.function == "LookupAccountSidA") {
      EXPECT_EQ(call.target, "") << call.function;
    }
  }
  // The workstation's group "None" is its users group, listed once.
  ASSERT_GE(PositionOf("None"), 0);
  EXPECT_EQ(Entry("None")->WellKnown(), wkUsersGroup);
}

TEST_F(AccountListSim, FilterAndTexts) {
  list.SetFilter({stUser});
  Fill("CORP", "DC01");
  ASSERT_GT(list.Count(), 0);
  for (int i = 0; i < list.Count(); ++i) EXPECT_EQ(list.UserInfo(i)->SidType(), stUser);
  EXPECT_GE(PositionOf("Ёлкин"), 0);

  // An empty filter lists nothing, though every enumeration still runs.
  sim::ClearCalls();
  list.SetFilter({});
  EXPECT_EQ(list.Count(), 0);  // the entries went with the filter
  list.Fill();
  EXPECT_EQ(list.Count(), 0);
  for (const char* fn : {"NetUserEnum", "NetLocalGroupEnum", "NetGroupEnum"})
    EXPECT_GT(sim::CountCalls(fn), 0u) << fn;

  list.SetFilter(TvmUserList::DefaultFilter());
  list.Fill();
  const int alice = PositionOf("alice");
  const int everyone = PositionOf("Everyone");
  EXPECT_EQ(list.ItemText(alice), "alice");
  list.SetShowFullName(true);
  EXPECT_EQ(list.ItemText(alice), "CORP\\alice");
  EXPECT_EQ(list.ItemText(everyone), "\\Everyone");  // its domain is empty
  EXPECT_EQ(list.ItemText(list.Count()), "");

  // Image numbers: well-known values first, then the kinds, kept apart.
  EXPECT_EQ(list.ImageIndex(everyone), wkWorld - 1);
  EXPECT_EQ(list.ImageIndex(alice), 32 + stUser);
  EXPECT_EQ(list.ImageIndex(PositionOf("Operators")), 32 + stGroup);
}

TEST_F(AccountListSim, FailingEnumerationsBecomeErrors) {
  sim::FailEnumeration("NetLocalGroupEnum", "", ERROR_ACCESS_DENIED);
  list.SetFilter({stUser, stGroup});
  Fill("CORP", "DC01");
  ASSERT_EQ(list.Errors().size(), 1u);
  EXPECT_EQ(list.Errors()[0], "Win32 Error.  Code: 5.\nAccess is denied");
  EXPECT_EQ(PositionOf("Helpdesk"), -1);
  EXPECT_GE(PositionOf("alice"), 0);
  EXPECT_GE(PositionOf("Operators"), 0);  // the next step still ran

  // A computer that does not answer: every enumeration fails, and the
  // errors of a former fill are gone.
  sim::ClearFaults();
  Fill("CORP", "GHOST");
  ExpectErrors(3, "Win32 Error.  Code: ");
  EXPECT_EQ(PositionOf("alice"), -1);

  // The library missing: three errors, and the well-known accounts only.
  tavrin::RunEndSteps();
  sim::HideLibrary("netapi32.dll");
  tavrin::RunStartSteps();
  Fill("CORP", "DC01");
  ExpectErrors(3, "Win32 Error.  Code: 120.\nThis function is not supported on this system");
  ASSERT_GT(list.Count(), 0);
  for (int i = 0; i < list.Count(); ++i) EXPECT_NE(list.UserInfo(i)->WellKnown(), wkOther);
}

TEST_F(AccountListSim, UnresolvableAccountsAreSkippedAndNoted) {
  // The local-group enumeration lists the built-in aliases first; as
  // "CORP\Administrators" and so on they cannot be mapped on the domain's
  // controller. Each is left out with its failure noted, and the domain's
  // own local group after them is still listed.
  Fill("CORP", "DC01");
  ExpectErrors(
      9, "Win32 Error.  Code: 1332.\nNo mapping between account names and security IDs was done");
  ASSERT_GE(PositionOf("Helpdesk"), 0);
  EXPECT_EQ(Entry("Helpdesk")->SidType(), stAlias);
  // The aliases themselves are listed once, as well-known accounts.
  ASSERT_GE(PositionOf("Administrators"), 0);
  EXPECT_EQ(Entry("Administrators")->WellKnown(), wkAdminsAlias);
  EXPECT_EQ(Entry("Administrators")->Domain(), "BUILTIN");
}

}  // namespace
