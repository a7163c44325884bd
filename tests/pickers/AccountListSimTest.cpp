// The account list against the simulated network: order, duplicates,
// filter, texts, long names and failures.
#include <gtest/gtest.h>

#include <set>

#include "app/Startup.h"
#include "pickers/Velmar_Net.h"
#include "pickers/Velmar_UsersComboBoxList.h"
#include "sid/Velmar_SidCenter.h"
#include "tests/support/NameList.h"
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
    return tavrin::test::PositionOf(
        tavrin::test::NamesOf(list.Count(), [&](int i) { return list.UserInfo(i)->Name(); }), name);
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

// One row per entry: domain, name, kind, SID, well-known value and image;
// then the errors.
using tavrin::test::Names;
std::string Row(const std::string& domain, const std::string& name, int kind,
                const std::string& sid, int wellKnown, int image) {
  return domain + "|" + name + "|" + std::to_string(kind) + "|" + sid + "|" +
         std::to_string(wellKnown) + "|" + std::to_string(image);
}

// The account fill as it was first made: every candidate resolved through
// the SID center (two name look-ups) and looked up by SID once more, users
// asked for in batches of one byte and groups of 256.
Names ReferenceFill(const std::string& domain, const std::string& server) {
  Names rows, errors;
  std::vector<std::pair<std::string, std::string>> listed;
  TvmSidCenter center;
  center.SetServer(server);
  const auto add = [&] {
    try {
      const std::string name = center.UserName(), sid = center.SidString();
      if (name.empty()) return;
      for (const auto& [n, s] : listed)
        if (lstrcmpiA(n.c_str(), name.c_str()) == 0 && lstrcmpiA(s.c_str(), sid.c_str()) == 0)
          return;
      char found[300], foundDomain[300];
      DWORD nameLength = 299, domainLength = 299;
      SID_NAME_USE use;
      if (!LookupAccountSidA(server.empty() ? nullptr : server.c_str(), center.GetSid(), found,
                             &nameLength, foundDomain, &domainLength, &use))
        return;
      const int kind = use - 1, wk = center.WellKnown();
      if (kind < stUser || kind > stUnknown ||
          !TvmUserList::DefaultFilter().Contains(TvmSidType(kind)))
        return;
      listed.emplace_back(name, sid);
      rows.push_back(
          Row(foundDomain, name, kind, sid, wk, wk != wkOther ? wk - 1 : wkReplicatorAlias + kind));
    } catch (const EAbort&) {
      errors.push_back(center.Errors().back());
    }
  };
  for (int wk = wkNull; wk <= wkReplicatorAlias; ++wk) {
    center.SetDomain(domain);
    center.SetWellKnown(TvmWellKnownSid(wk));
    add();
  }
  const VelmarNet::ServerArgument at(server);
  for (int step = 0; step < 3; ++step) {
    const NET_API_STATUS status = VelmarNet::EnumerateBatches(
        [&](DWORD length, LPBYTE* buffer, DWORD* read, DWORD* total, DWORD_PTR* resume) {
          DWORD handle = static_cast<DWORD>(*resume);
          const NET_API_STATUS status =
              step == 0
                  ? VelmarNet::NetUserEnum(at.get(), 0, 2, buffer, length, read, total, &handle)
              : step == 1
                  ? VelmarNet::NetLocalGroupEnum(at.get(), 0, buffer, length, read, total, resume)
                  : VelmarNet::NetGroupEnum(at.get(), 0, buffer, length, read, total, resume);
          if (step == 0) *resume = handle;
          return status;
        },
        {step == 0 ? 1u : 256u, sizeof(USER_INFO_0)},
        [&](const BYTE* record) {
          center.SetDomain(domain);
          center.SetUserName(
              VelmarNet::FromWide(reinterpret_cast<const USER_INFO_0*>(record)->usri0_name));
          add();
        });
    if (status != NERR_Success) {
      SetLastError(status);
      errors.push_back(LastWin32ErrorMessage());
    }
  }
  rows.insert(rows.end(), errors.begin(), errors.end());
  return rows;
}

TEST_F(AccountListSim, FillListsWhatTheFirstFillListedInFarFewerCalls) {
  sim::NetworkSpec network = sim::Current();
  for (sim::ComputerSpec& computer : network.computers)
    if (computer.name == "DC01") {
      for (uint32_t rid = 3000; rid < 3040; ++rid)
        computer.accounts.push_back({"u" + std::to_string(rid), sim::AccountKind::User, rid});
      computer.accounts.push_back({"Auditors", sim::AccountKind::LocalGroup, 1191});
    }
  Reinstall(network);
  const struct {
    const char* domain;
    const char* server;
    const char* failing;  // an enumeration that fails
    bool manyAccounts;    // the users listed: the calls saved count
  } cases[] = {{"CORP", "DC01", "", true},
               {"CORP", "DC01", "NetUserEnum", false},
               {"CORP", "DC01", "NetGroupEnum", true},
               {"WS01", "", "", false},
               {"", "", "", false},
               {"CORP", "GHOST", "", false}};
  for (const auto& c : cases) {
    sim::ClearFaults();
    if (*c.failing) sim::FailEnumeration(c.failing, "", ERROR_ACCESS_DENIED);
    sim::ClearCalls();
    const Names expected = ReferenceFill(c.domain, c.server);
    const size_t referenceCalls = sim::Calls().size();
    sim::ClearCalls();
    Fill(c.domain, c.server);
    const size_t calls = sim::Calls().size();
    Names rows;
    for (int i = 0; i < list.Count(); ++i) {
      const TvmUserInfo& e = *list.UserInfo(i);
      rows.push_back(
          Row(e.Domain(), e.Name(), e.SidType(), e.SidString(), e.WellKnown(), list.ImageIndex(i)));
    }
    rows.insert(rows.end(), list.Errors().begin(), list.Errors().end());
    EXPECT_EQ(rows, expected) << c.domain << " " << c.server << " " << c.failing;
    if (c.manyAccounts) {
      EXPECT_LT(calls * 2, referenceCalls) << c.domain << " " << c.failing;
    }
  }
}

TEST_F(AccountListSim, DomainAccountsInTheirOrderEachOnce) {
  Fill("CORP", "DC01");
  // Well-known accounts first, in ordinal order, then users, local groups,
  // global groups; each SID once, as a well-known account where it is one.
  int previous = wkOther;
  bool enumerated = false;
  std::set<std::string> sids;
  for (int i = 0; i < list.Count(); ++i) {
    const TvmUserInfo* entry = list.UserInfo(i);
    EXPECT_TRUE(sids.insert(entry->SidString()).second) << entry->SidString();
    enumerated = enumerated || entry->WellKnown() == wkOther;
    if (entry->WellKnown() == wkOther) continue;
    EXPECT_FALSE(enumerated) << entry->Name();
    EXPECT_GT(entry->WellKnown(), previous) << entry->Name();
    previous = entry->WellKnown();
  }
  const char* order[] = {"Everyone", "Administrators", "alice",    "bob",
                         "Ёлкин",    "Helpdesk",       "Operators"};
  for (int i = 0; i + 1 < 7; ++i) {
    EXPECT_GE(PositionOf(order[i]), 0) << order[i];
    EXPECT_LT(PositionOf(order[i]), PositionOf(order[i + 1])) << order[i];
  }
  const std::pair<const char*, TvmSidType> kinds[] = {{"Everyone", stWellKnownGroup},
                                                      {"Administrators", stAlias},
                                                      {"alice", stUser},
                                                      {"Helpdesk", stAlias},
                                                      {"Operators", stGroup}};
  for (const auto& [name, kind] : kinds) EXPECT_EQ(Entry(name)->SidType(), kind) << name;
  EXPECT_EQ(Entry("alice")->SidString(), "S-1-5-21-1000-2000-3000-1105");
  EXPECT_EQ(GetLengthSid(Entry("alice")->Sid()), Entry("alice")->SidLength());
  EXPECT_EQ(Entry("Administrator")->WellKnown(), wkAdmin);
  EXPECT_EQ(Entry("Administrator")->Domain(), "CORP");
  EXPECT_EQ(Entry("Domain Users")->WellKnown(), wkUsersGroup);
  EXPECT_EQ(Entry("Administrators")->WellKnown(), wkAdminsAlias);
  EXPECT_EQ(Entry("Administrators")->Domain(), "BUILTIN");
  // The local-group enumeration lists the built-in aliases first; as
  // "CORP\Administrators" and so on they cannot be mapped on the controller.
  // Each is left out with its failure noted, and the accounts after them are
  // still listed.
  ExpectErrors(
      9, "Win32 Error.  Code: 1332.\nNo mapping between account names and security IDs was done");
  EXPECT_EQ(sim::OutstandingNetBuffers(), 0u);
}

TEST_F(AccountListSim, ThisComputerWithEmptyServer) {
  sim::ClearCalls();
  Fill("WS01", "");
  EXPECT_GE(PositionOf("localadmin"), 0);
  EXPECT_LT(PositionOf("localadmin"), PositionOf("Printers"));
  EXPECT_EQ(PositionOf("alice"), -1);  // a domain user, not this computer's
  // The enumerations and the SID look-ups went to this computer (null name).
  for (const sim::Call& call : sim::Calls()) EXPECT_EQ(call.target, "") << call.function;
  // The workstation's group "None" is its users group, listed once.
  EXPECT_EQ(Entry("None")->WellKnown(), wkUsersGroup);
}

TEST_F(AccountListSim, NamesLongerThanTheFirstBuffersAreListed) {
  const std::string group(256, 'g');  // user names stop at 20 characters
  Reinstall(sim::NetworkBuilder()
                .ThisComputer("WS01")
                .Workgroup("HOME")
                .Computer("WS01", sim::Role::Workstation, "HOME")
                .MachineSid("S-1-5-21-11-12-13")
                .LocalGroup(group, 1002)
                .Build());
  Fill("WS01", "");
  ASSERT_GE(PositionOf(group), 0);
  EXPECT_EQ(Entry(group)->SidType(), stAlias);
  EXPECT_EQ(Entry(group)->Domain(), "WS01");
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
  // Image numbers: well-known values first, then the kinds, kept apart.
  EXPECT_EQ(list.ImageIndex(everyone), wkWorld - 1);
  EXPECT_EQ(list.ImageIndex(alice), 32 + stUser);
  EXPECT_EQ(list.ImageIndex(PositionOf("Operators")), 32 + stGroup);
}

TEST_F(AccountListSim, FailingEnumerationsBecomeErrors) {
  sim::FailEnumeration("NetLocalGroupEnum", "", ERROR_ACCESS_DENIED);
  list.SetFilter({stUser, stGroup});
  Fill("CORP", "DC01");
  EXPECT_EQ(list.Errors(), std::vector<std::string>{"Win32 Error.  Code: 5.\nAccess is denied"});
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

}  // namespace
