// Reading one computer and committing one row, checked against the call log.
#include <algorithm>
#include <chrono>
#include <map>

#include "passes/PassEngine.h"
#include "passes/RowWork.h"
#include "sid/Velmar_SidCenter.h"
#include "sid/Velmar_SidCenterNames.h"
#include "tests/support/SimFixture.h"

namespace {

using Names = std::vector<std::string>;

// A row whose cells all show `state`, marked on the given rights only.
TRowCodes Row(char state, std::initializer_list<std::pair<TvmPrivilege, char>> marks) {
  TRowCodes row;
  row.fill(TCellCode::Of(state, ' '));
  for (const auto& [right, mark] : marks) row[right] = TCellCode::Of(state, mark);
  return row;
}

Names Held(const std::string& computer) {  // the Administrators' rights, sorted
  Names names = sim::RightsOf(computer, "S-1-5-32-544");
  std::sort(names.begin(), names.end());
  return names;
}

using tavrin::test::LsaWrites;

class RowWork : public tavrin::test::SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    arc.SetSidCenter(&sc);
    sc.SetSidString("S-1-5-32-544");
    admins = CloneSid(sc.GetSid());
    sim::ClearCalls();
  }
  TRowCommit Commit(const std::string& computer, const TRowCodes& codes,
                    const std::function<bool()>& beforeWrite = {}) {
    return CommitRights(sc, arc, computer, admins, codes, beforeWrite);
  }
  TvmSidCenter sc;
  TvmAccountRigthsCenter arc;
  TSid admins;
};

TEST_F(RowWork, ReadGivesThePolicyOrAFailure) {
  TRowRead read = ReadRights(sc, arc, "DC01", admins);
  EXPECT_EQ(read.rights, (TvmPrivileges{spBackup, spDebug, spInteractiveLogon}));

  // A computer that does not answer fails after the network's time-out.
  sim::SetTimeout(std::chrono::milliseconds(60));
  const auto start = std::chrono::steady_clock::now();
  read = ReadRights(sc, arc, "GHOST", admins);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(60));
  EXPECT_TRUE(read.failed);
  EXPECT_FALSE(read.errorText.empty());
  sim::SetPolicyDenied("SRV01", true);
  read = ReadRights(sc, arc, "SRV01", admins);
  EXPECT_TRUE(read.failed && read.rights.Empty());
  EXPECT_EQ(read.error, 5u);

  // Without an account, even after a good read, the read fails.
  ASSERT_FALSE(ReadRights(sc, arc, "DC01", admins).failed);
  EXPECT_TRUE(ReadRights(sc, arc, "DC01", TSid()).failed);
}

// Who holds a right: one pass over computers that hold it, lack it and cannot
// be read; one enumeration per computer that answers, and each SID named
// once for the whole run.
TEST_F(RowWork, HoldersPassReadsEachComputerOnceAndNamesEachSidOnce) {
  sim::SetTimeout(std::chrono::milliseconds(60));
  ASSERT_EQ(tavrin::test::LsaWrites(), Names{});
  sim::FailEnumeration("LsaEnumerateAccountsWithUserRight", "DC01", 0xC0000022u);
  const Names computers = {"WS01", "SRV01", "PC-HOME", "GHOST", "DC01"};
  const auto pass = [&](int workers) {
    TPassEngine engine(spBackup, computers, workers);
    std::map<std::string, TRowHolders> rows;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!engine.Ended() && std::chrono::steady_clock::now() < deadline) {
      for (TRowResult& result : engine.Pump()) {
        EXPECT_EQ(result.kind, TRowJobKind::Holders);
        rows[result.name] = result.holders;
      }
      if (!engine.Ended()) engine.WaitForResults(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(engine.Ended());
    EXPECT_EQ(engine.Failed(), 2);
    return rows;
  };
  SidNameCacheClear();
  sim::ClearCalls();
  const size_t handles = sim::OpenPolicyHandles(), buffers = sim::OutstandingLsaBuffers();
  for (int workers : {16, 1}) {
    std::map<std::string, TRowHolders> rows = pass(workers);
    ASSERT_EQ(rows.size(), computers.size());
    for (const char* holds : {"WS01", "SRV01"}) {
      EXPECT_FALSE(rows[holds].failed) << holds;
      ASSERT_EQ(rows[holds].holders.size(), 1u) << holds;
      EXPECT_EQ(rows[holds].holders[0].sid, "S-1-5-32-544");
      EXPECT_EQ(rows[holds].holders[0].name, "BUILTIN\\Administrators");
    }
    EXPECT_FALSE(rows["PC-HOME"].failed);
    EXPECT_TRUE(rows["PC-HOME"].holders.empty());
    EXPECT_TRUE(rows["GHOST"].failed);
    EXPECT_EQ(rows["GHOST"].error, 1722u);
    EXPECT_TRUE(rows["DC01"].failed && rows["DC01"].holders.empty());
    EXPECT_EQ(rows["DC01"].error, 5u);
    EXPECT_EQ(rows["DC01"].errorText, ErrorDescription(5));
    // The second pass names Administrators from the cache.
    EXPECT_EQ(sim::CountCalls("LookupAccountSidA"), 1u) << workers << " workers";
    EXPECT_EQ(sim::CountCalls("LsaEnumerateAccountsWithUserRight"), workers == 16 ? 4u : 8u);
  }
  EXPECT_EQ(SidNameLookups(), 1u);
  EXPECT_EQ(sim::OutstandingLsaBuffers(), buffers);
  EXPECT_EQ(sim::OpenPolicyHandles(), handles);
}

TEST_F(RowWork, CommitWritesExactlyTheDifferenceOrNothingOrFails) {
  // Stale "N" states: marks apply to what WS01 holds now.
  TRowCommit commit = Commit("WS01", Row('N', {{spCreateToken, 'Y'},
                                               {spServiceLogon, 'Y'},
                                               {spDebug, 'N'},
                                               {spBackup, 'Y'},
                                               {spLockMemory, 'N'}}));
  EXPECT_EQ(commit.outcome, TCommitOutcome::Written);
  EXPECT_EQ(LsaWrites(), (Names{"Add WS01 SeCreateTokenPrivilege", "Add WS01 SeServiceLogonRight",
                                "Rem WS01 SeDebugPrivilege"}));
  EXPECT_EQ(Held("WS01"),
            (Names{"SeBackupPrivilege", "SeCreateTokenPrivilege", "SeInteractiveLogonRight",
                   "SeRemoteInteractiveLogonRight", "SeRestorePrivilege", "SeServiceLogonRight"}));
  // Remote interactive logon, outside the classic rights and unmarked, is kept.
  const TvmPrivileges inForce{spCreateToken,      spBackup,       spRestore,
                              spInteractiveLogon, spServiceLogon, spRemoteInteractiveLogon};
  EXPECT_EQ(commit.rights, inForce);
  EXPECT_EQ(commit.codes, CommittedRow(inForce));

  sim::ClearCalls();
  EXPECT_EQ(Commit("WS01", Row('Y', {{spCreateToken, 'N'}, {spServiceLogon, 'N'}})).outcome,
            TCommitOutcome::Written);
  EXPECT_EQ(LsaWrites(),
            (Names{"Rem WS01 SeCreateTokenPrivilege", "Rem WS01 SeServiceLogonRight"}));

  sim::ClearCalls();
  bool asked = false;
  const auto ask = [&] { return asked = true; };
  commit = Commit("DC01", Row('N', {{spBackup, 'Y'}, {spCreateToken, 'N'}}), ask);
  EXPECT_EQ(commit.outcome, TCommitOutcome::InForce);
  EXPECT_EQ(commit.codes, CommittedRow({spBackup, spDebug, spInteractiveLogon}));
  EXPECT_FALSE(asked);

  // Unreadable cell, unreadable computer, stop before writing: marks kept.
  TRowCodes marked = Row('Y', {{spBackup, 'Y'}, {spDebug, 'N'}});
  TRowCodes unreadable = marked;
  unreadable[5] = TCellCode::Of('E', ' ');
  commit = Commit("DC01", unreadable, ask);
  EXPECT_EQ(commit.outcome, TCommitOutcome::Skipped);
  EXPECT_EQ(commit.codes, unreadable);
  commit = Commit("GHOST", marked, ask);
  EXPECT_EQ(commit.codes, marked);
  // Unreachable: the same code and text as a read gives.
  const TRowRead ghost = ReadRights(sc, arc, "GHOST", admins);
  EXPECT_EQ(commit.error, ghost.error);
  EXPECT_EQ(commit.errorText, ghost.errorText);
  commit = Commit("DC01", marked, [&] { return !(asked = true); });
  EXPECT_TRUE(asked);
  EXPECT_EQ(commit.outcome, TCommitOutcome::Cancelled);
  EXPECT_EQ(commit.codes, marked);
  EXPECT_TRUE(LsaWrites().empty());
  EXPECT_EQ(Held("DC01").size(), 3u);

  // The second write fails: the first stays written and is named, the marks
  // become 'E'.
  marked = Row('N', {{spCreateToken, 'Y'}, {spAudit, 'Y'}, {spServiceLogon, 'Y'}});
  sim::FailWrite(2);
  commit = Commit("SRV01", marked);
  EXPECT_EQ(commit.outcome, TCommitOutcome::Failed);
  EXPECT_EQ(commit.granted, TvmPrivileges{spCreateToken});
  EXPECT_EQ(commit.failedRight, "SeAuditPrivilege");
  EXPECT_EQ(commit.error, 5u);
  EXPECT_EQ(CommitProblem(commit), "granted SeCreateTokenPrivilege; failed SeAuditPrivilege: " +
                                       ErrorWithCode(ErrorDescription(5), 5));
  EXPECT_EQ(LsaWrites().size(), 2u);
  EXPECT_EQ(Held("SRV01"), (Names{"SeBackupPrivilege", "SeCreateTokenPrivilege"}));
  EXPECT_EQ(commit.codes, FailedRow(marked));

  sim::ClearCalls();
  EXPECT_EQ(CommitRights(sc, arc, "SRV01", TSid(), marked).codes, FailedRow(marked));
  EXPECT_TRUE(LsaWrites().empty());
}

TEST_F(RowWork, WritesAreReadBackBeforeTheyCount) {
  const TRowCodes marked = Row('N', {{spShutdown, 'Y'}});
  // Someone grants Debug on WS01 between the read and the write: the writes
  // go through, yet the computer does not hold what was asked for.
  TvmSidCenter otherSc;
  TvmAccountRigthsCenter other;
  other.SetSidCenter(&otherSc);
  TRowCommit commit = Commit("WS01", marked, [&] {
    otherSc.SetSidString("S-1-5-32-544");
    other.SetServer("WS01");
    other.SetNewPrivileges(other.CurrentPrivileges() | TvmPrivileges{spSystemTyme});
    other.SetNewAdditional(other.CurrentAdditional());
    other.Commit();
    return true;
  });
  EXPECT_EQ(commit.outcome, TCommitOutcome::Failed);
  EXPECT_EQ(commit.granted, TvmPrivileges{spShutdown});
  EXPECT_EQ(commit.codes, FailedRow(marked));

  // The read-back fails: written, not verified, and the row shows it unread.
  commit = Commit("SRV01", marked, [] {
    sim::FailEnumeration("LsaEnumerateAccountRights", "SRV01", 0xC0020017u);
    return true;
  });
  EXPECT_EQ(commit.outcome, TCommitOutcome::Unverified);
  EXPECT_EQ(commit.granted, TvmPrivileges{spShutdown});
  EXPECT_EQ(commit.error, 1722u);
  EXPECT_EQ(Held("SRV01"), (Names{"SeBackupPrivilege", "SeShutdownPrivilege"}));
  EXPECT_EQ(CommitProblem(commit),
            "written, not verified: " + ErrorWithCode(ErrorDescription(1722), 1722));
  EXPECT_EQ(ErrorWithCode(ErrorDescription(4242), 4242), "error 4242");  // no system text
  for (const TCellCode& code : commit.codes) EXPECT_EQ(code, TCellCode::Of('E', ' '));
}

}  // namespace
