// The account list on the simulated network: order, filter, texts, failures.
#include <gtest/gtest.h>

#include "passes/Startup.h"
#include "pickers/Velmar_UsersComboBoxList.h"
#include "tests/support/NameList.h"
#include "tests/support/SimFixture.h"

namespace {

class AccountListSim : public tavrin::test::SimTest {
 protected:
  // The list of a source as the window points the picker at it.
  void Fill(const std::string& domain, const std::string& server) {
    list.SetDomain(domain);
    list.SetServer(server);
    list.Fill();
  }
  int PositionOf(const std::string& name) const {
    return tavrin::test::PositionOf(
        tavrin::test::NamesOf(list.Count(), [&](int i) { return list.UserInfo(i)->Name(); }), name);
  }
  const TvmUserInfo* Entry(const std::string& name) const {
    return list.UserInfo(PositionOf(name));
  }
  // "domain\\name:kind:image; " per entry, of one domain or of all.
  std::string Rows(const char* domain = nullptr) const {
    std::string rows;
    for (int i = 0; i < list.Count(); ++i) {
      const TvmUserInfo& e = *list.UserInfo(i);
      if (domain == nullptr || e.Domain() == domain)
        rows += e.Domain() + "\\" + e.Name() + ":" + std::to_string(e.SidType()) + ":" +
                std::to_string(list.ImageIndex(i)) + "; ";
    }
    return rows;
  }
  void ExpectErrors(size_t count, const std::string& prefix) const {
    EXPECT_EQ(list.Errors().size(), count);
    for (const std::string& error : list.Errors()) EXPECT_EQ(error.rfind(prefix, 0), 0u) << error;
  }

  TvmUserList list;
};

TEST_F(AccountListSim, WellKnownThenUsersLocalGroupsAndGroupsEachOnceInFewCalls) {
  // Well-known accounts first, then users, local and global groups; each SID once.
  sim::ClearCalls();
  Fill("CORP", "DC01");
  EXPECT_EQ(sim::CountCalls("NetUserEnum"), 1u);  // one batch holds them all
  const std::string expected =
      "\\NULL SID:4:1; \\Everyone:4:2; \\LOCAL:4:3; \\CREATOR OWNER:4:4; \\CREATOR GROUP:4:5; "
      "\\CREATOR OWNER SERVER:4:6; \\CREATOR GROUP SERVER:4:7; NT AUTHORITY\\DIALUP:4:8; "
      "NT AUTHORITY\\NETWORK:4:9; NT AUTHORITY\\BATCH:4:10; NT AUTHORITY\\INTERACTIVE:4:11; "
      "NT AUTHORITY\\SERVICE:4:12; NT AUTHORITY\\ANONYMOUS LOGON:4:13; NT AUTHORITY\\PROXY:4:14; "
      "BUILTIN\\BUILTIN:2:15; NT AUTHORITY\\Authenticated Users:4:16; NT AUTHORITY\\SYSTEM:4:17; "
      "CORP\\Administrator:0:18; CORP\\Guest:0:19; CORP\\Domain Admins:1:20; "
      "CORP\\Domain Users:1:21; CORP\\Domain Guests:1:22; BUILTIN\\Administrators:3:23; "
      "BUILTIN\\Users:3:24; BUILTIN\\Guests:3:25; BUILTIN\\Power Users:3:26; "
      "BUILTIN\\Account Operators:3:27; BUILTIN\\Server Operators:3:28; "
      "BUILTIN\\Print Operators:3:29; BUILTIN\\Backup Operators:3:30; BUILTIN\\Replicator:3:31; "
      "CORP\\alice:0:32; CORP\\bob:0:32; CORP\\Ёлкин:0:32; CORP\\Helpdesk:3:35; "
      "CORP\\Operators:1:33; ";
  EXPECT_EQ(Rows(), expected);
  EXPECT_EQ(Entry("alice")->SidString(), "S-1-5-21-1000-2000-3000-1105");
  EXPECT_EQ(GetLengthSid(Entry("alice")->Sid()), Entry("alice")->SidLength());
  EXPECT_EQ(Entry("Administrator")->WellKnown(), wkAdmin);
  EXPECT_EQ(Entry("Domain Users")->WellKnown(), wkUsersGroup);
  EXPECT_EQ(Entry("Administrators")->WellKnown(), wkAdminsAlias);
  // The built-in aliases do not map as "CORP\..." on the controller: noted, the rest listed.
  ExpectErrors(
      9, "Win32 Error.  Code: 1332.\nNo mapping between account names and security IDs was done");
  EXPECT_EQ(sim::OutstandingNetBuffers(), 0u);

  // Forty users more and a group with a long name: all listed, in batches, in few calls.
  const std::string group(256, 'g');
  sim::NetworkSpec network = sim::Current();
  for (sim::ComputerSpec& computer : network.computers)
    if (computer.name == "DC01") {
      for (uint32_t rid = 3000; rid < 3040; ++rid)
        computer.accounts.push_back({"u" + std::to_string(rid), sim::AccountKind::User, rid});
      computer.accounts.push_back({group, sim::AccountKind::LocalGroup, 1191});
    }
  Reinstall(network);
  sim::ClearCalls();
  Fill("CORP", "DC01");
  EXPECT_EQ(list.Count(), 36 + 41);
  EXPECT_EQ(Entry(group)->SidType(), stAlias);
  EXPECT_EQ(PositionOf("u3039"), PositionOf("u3000") + 39);
  EXPECT_LT(sim::Calls().size(), 2u * list.Count());

  // This computer, by its name or none: every call to it; with no domain the aliases map.
  for (const char* domain : {"WS01", ""}) {
    sim::ClearCalls();
    Fill(domain, "");
    EXPECT_EQ(Rows("WS01"),
              "WS01\\Administrator:0:18; WS01\\Guest:0:19; WS01\\None:1:21; "
              "WS01\\localadmin:0:32; WS01\\Printers:3:35; ");
    EXPECT_EQ(list.Errors().size(), *domain ? 9u : 0u);
    for (const sim::Call& call : sim::Calls()) EXPECT_EQ(call.target, "") << call.function;
  }
}

TEST_F(AccountListSim, FilterAndTexts) {
  list.SetFilter({stUser});
  Fill("CORP", "DC01");
  EXPECT_GE(PositionOf("Ёлкин"), 0);
  for (int i = 0; i < list.Count(); ++i) EXPECT_EQ(list.UserInfo(i)->SidType(), stUser);

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
}

TEST_F(AccountListSim, FailingEnumerationsBecomeErrors) {
  sim::FailEnumeration("NetLocalGroupEnum", "", ERROR_ACCESS_DENIED);
  list.SetFilter({stUser, stGroup});
  Fill("CORP", "DC01");
  EXPECT_EQ(list.Errors(), std::vector<std::string>{"Win32 Error.  Code: 5.\nAccess is denied"});
  EXPECT_GE(PositionOf("Operators"), 0);  // the next step still ran

  // A silent computer: every enumeration fails, and the former fill's errors are gone.
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

}  // namespace
