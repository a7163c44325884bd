// Reading one computer and committing one row against the simulated network:
// what ends up in the policies, and exactly which writes the call log shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "passes/RowWork.h"
#include "platform/sim/SimNetwork.h"
#include "rights/Velmar_RightsCenter.h"
#include "sid/Velmar_SidCenter.h"
#include "tests/support/SimFixture.h"

namespace {

namespace sim = tavrin::sim;
using Names = std::vector<std::string>;

const std::string kAdmins = "S-1-5-32-544";

TAccountSid Account(const std::string& sidText) {
  TvmSidCenter center;
  center.SetSidString(sidText);
  return TAccountSid(center.GetSid());
}

// A row whose cells all show `state`, with the marks of `marks` (one
// character per right, from the first; the rest blank).
TRowCodes Row(char state, const std::string& marks = "") {
  TRowCodes row;
  for (int i = 0; i < PrivilegeCount; ++i)
    row[i] = TCellCode::Of(state, i < static_cast<int>(marks.size()) ? marks[i] : ' ');
  return row;
}

// The LSA writes of the log, as "function target right".
Names Writes() {
  Names writes;
  for (const sim::Call& call : sim::Calls())
    if (call.function == "LsaAddAccountRights" || call.function == "LsaRemoveAccountRights")
      writes.push_back(call.function.substr(3, 3) + " " + call.target + " " +
                       call.argument.substr(call.argument.find(' ') + 1));
  return writes;
}

Names Sorted(Names names) {
  std::sort(names.begin(), names.end());
  return names;
}

class RowWork : public tavrin::test::SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    arc.SetSidCenter(&sc);
    sim::ClearCalls();
  }
  TRowCommit Commit(const std::string& computer, const TRowCodes& codes,
                    const std::function<bool()>& beforeWrite = {}) {
    return CommitRights(sc, arc, computer, admins, codes, beforeWrite);
  }
  TvmSidCenter sc;
  TvmAccountRigthsCenter arc;
  TAccountSid admins = Account(kAdmins);
};

TEST_F(RowWork, ReadGivesThePolicyOrAFailure) {
  TRowRead read = ReadRights(sc, arc, "DC01", admins);
  EXPECT_FALSE(read.failed);
  EXPECT_EQ(read.rights, (TvmPrivileges{spBackup, spDebug, spInteractiveLogon}));

  // A computer that does not answer fails after the network's time-out.
  sim::SetTimeout(std::chrono::milliseconds(60));
  const auto start = std::chrono::steady_clock::now();
  read = ReadRights(sc, arc, "GHOST", admins);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(60));
  EXPECT_TRUE(read.failed);
  EXPECT_NE(read.error, 0u);
  EXPECT_FALSE(read.errorText.empty());

  sim::SetPolicyDenied("SRV01", true);
  read = ReadRights(sc, arc, "SRV01", admins);
  EXPECT_TRUE(read.failed);
  EXPECT_EQ(read.error, 5u);
  EXPECT_TRUE(read.rights.Empty());

  // Without an account, after a good read of the same computer, the row
  // must not claim that the account lacks every right.
  ASSERT_FALSE(ReadRights(sc, arc, "DC01", admins).failed);
  EXPECT_TRUE(ReadRights(sc, arc, "DC01", TAccountSid()).failed);
  EXPECT_EQ(TAccountSid(nullptr).get(), nullptr);
}

TEST_F(RowWork, CommitWritesExactlyTheDifference) {
  // WS01's administrators hold Backup, Restore, Debug, Interactive logon and
  // a right outside the catalogue. The grid's states are stale ("N"
  // everywhere): the marks apply to what is in force now.
  std::string marks(PrivilegeCount, ' ');
  marks[spCreateToken] = 'Y';
  marks[spServiceLogon] = 'Y';
  marks[spDebug] = 'N';
  marks[spBackup] = 'Y';      // already held: no write
  marks[spLockMemory] = 'N';  // not held: no write
  const TRowCommit commit = Commit("WS01", Row('N', marks));
  EXPECT_EQ(commit.outcome, TCommitOutcome::Written);
  EXPECT_EQ(Sorted(Writes()), (Names{"Add WS01 SeCreateTokenPrivilege",
                                     "Add WS01 SeServiceLogonRight", "Rem WS01 SeDebugPrivilege"}));
  EXPECT_EQ(Sorted(sim::RightsOf("WS01", kAdmins)),
            (Names{"SeBackupPrivilege", "SeCreateTokenPrivilege", "SeInteractiveLogonRight",
                   "SeRemoteInteractiveLogonRight", "SeRestorePrivilege", "SeServiceLogonRight"}));
  const TvmPrivileges inForce{spCreateToken, spBackup, spRestore, spInteractiveLogon,
                              spServiceLogon};
  EXPECT_EQ(commit.rights, inForce);
  EXPECT_EQ(commit.codes, CommittedRow(inForce));

  // Revoking the first and the last right of the catalogue.
  sim::ClearCalls();
  marks.assign(PrivilegeCount, ' ');
  marks[spCreateToken] = 'N';
  marks[spServiceLogon] = 'N';
  EXPECT_EQ(Commit("WS01", Row('Y', marks)).outcome, TCommitOutcome::Written);
  EXPECT_EQ(Sorted(Writes()),
            (Names{"Rem WS01 SeCreateTokenPrivilege", "Rem WS01 SeServiceLogonRight"}));
}

TEST_F(RowWork, CommitsThatWriteNothing) {
  bool asked = false;
  const auto ask = [&] { return asked = true; };
  // No marks, or marks equal to what is held: nothing written, nothing asked.
  std::string marks(PrivilegeCount, ' ');
  marks[spBackup] = 'Y';
  marks[spCreateToken] = 'N';
  TRowCommit commit = Commit("DC01", Row('N', marks), ask);
  EXPECT_EQ(commit.outcome, TCommitOutcome::InForce);
  EXPECT_EQ(commit.codes, CommittedRow({spBackup, spDebug, spInteractiveLogon}));
  EXPECT_FALSE(asked);

  // An unreadable cell, or a computer that cannot be read now: skipped with
  // the marks kept.
  marks[spDebug] = 'N';
  TRowCodes unreadable = Row('Y', marks);
  unreadable[5] = TCellCode::Of('E', ' ');
  commit = Commit("DC01", unreadable, ask);
  EXPECT_EQ(commit.outcome, TCommitOutcome::Skipped);
  EXPECT_EQ(commit.codes, unreadable);
  commit = Commit("GHOST", Row('Y', marks), ask);
  EXPECT_EQ(commit.outcome, TCommitOutcome::Skipped);
  EXPECT_EQ(commit.codes, Row('Y', marks));

  // Stopped just before writing.
  commit = Commit("DC01", Row('Y', marks), [&] { return !(asked = true); });
  EXPECT_TRUE(asked);
  EXPECT_EQ(commit.outcome, TCommitOutcome::Cancelled);
  EXPECT_EQ(commit.codes, Row('Y', marks));
  EXPECT_TRUE(Writes().empty());
  EXPECT_EQ(sim::RightsOf("DC01", kAdmins).size(), 3u);
}

TEST_F(RowWork, FailedCommitsTurnMarksIntoErrors) {
  // The second write fails: the first stays written, the marks become 'E'.
  std::string marks(PrivilegeCount, ' ');
  marks[spCreateToken] = 'Y';
  marks[spAudit] = 'Y';
  marks[spServiceLogon] = 'Y';
  sim::FailWrite(2);
  TRowCommit commit = Commit("SRV01", Row('N', marks));
  EXPECT_EQ(commit.outcome, TCommitOutcome::Failed);
  EXPECT_FALSE(commit.errorText.empty());
  EXPECT_EQ(Writes().size(), 2u);
  EXPECT_EQ(Sorted(sim::RightsOf("SRV01", kAdmins)),
            (Names{"SeBackupPrivilege", "SeCreateTokenPrivilege"}));
  EXPECT_EQ(commit.codes, FailedRow(Row('N', marks)));

  // No account: nothing can be written for it.
  sim::ClearCalls();
  commit = CommitRights(sc, arc, "SRV01", TAccountSid(), Row('N', marks));
  EXPECT_EQ(commit.outcome, TCommitOutcome::Failed);
  EXPECT_EQ(commit.codes, FailedRow(Row('N', marks)));
  EXPECT_TRUE(Writes().empty());
}

}  // namespace
