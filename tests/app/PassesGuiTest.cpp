// The main window end to end on simulated networks: scans, reads, commands, passes.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <functional>
#include <memory>

#include "app/GridExport.h"
#include "app/RightsGrid.h"
#include "app/RightsGridModel.h"
#include "app/fmTavrinMain.h"
#include "computers/ComputerList.h"
#include "passes/GuardRails.h"
#include "passes/Journal.h"
#include "platform/sim/SimNetwork.h"
#include "tests/support/FormAccess.h"
#include "tests/support/SimFixture.h"

namespace {

using tavrin::test::WaitFor;

using Names = std::vector<std::string>;
const std::string kAdmins = "S-1-5-32-544";

using tavrin::test::Child;
using tavrin::test::LsaWrites;
using tavrin::test::SidText;

// Every test runs with one worker and with sixteen: the same grids.
class Passes : public tavrin::test::SimTest, public ::testing::WithParamInterface<int> {
 protected:
  void TearDown() override {
    form.reset();
    SimTest::TearDown();
  }
  void Start() {
    form = std::make_unique<TTavrinForm>();
    form->SetPassWorkers(GetParam());
    ASSERT_TRUE(WaitIdle());
  }
  void Run(QAction* action) {
    action->trigger();
    ASSERT_TRUE(WaitIdle());
  }
  bool WaitIdle() { return tavrin::test::WaitIdle(*form); }
  TRightsGrid& Grid() { return *Child<TRightsGrid>(*form, "GrRights"); }
  QAction* Action(const char* name) { return Child<QAction>(*form, name); }
  TvmUsersComboBox* Users() { return Child<TvmUsersComboBox>(*form, "CBxUsers"); }
  int Row(const char* name) { return Grid().FindRow(QString::fromUtf8(name)); }
  std::string Codes(int row) {
    std::string text;
    for (int col = 1; col < Grid().ColCount(); ++col) text += Grid().Code(col, row).Text();
    return text;
  }
  // What the row must show, unmarked, for `sid` on `computer` per the simulation.
  std::string Expected(const std::string& computer, const std::string& sid) {
    const Names held = sim::RightsOf(computer, sid);
    std::string text;
    for (int col = 1; col < Grid().ColCount(); ++col)  // the rights shown, in their order
      text +=
          std::count(held.begin(), held.end(), PolicyNames[Grid().Model()->ColumnRight(col - 1)])
              ? "Y "
              : "N ";
    return text;
  }
  void SelectAccount(const std::string& sid) {
    for (int i = 0; i < Users()->count(); ++i) {
      Users()->setCurrentIndex(i);
      if (SidText(Users()->SelectedSid()) == sid) return tavrin::test::ChooseAccount(*form);
    }
    FAIL() << "no account " << sid;
  }
  // The grid column of a right in the view shown.
  int Column(TvmPrivilege right) {
    const auto& shown = ViewRights(Grid().Model()->View());
    return static_cast<int>(std::find(shown.begin(), shown.end(), right) - shown.begin()) + 1;
  }
  void Mark(const char* computer, TvmPrivilege right, char mark) {
    const int row = Row(computer);
    Grid().SetCode(Column(right), row, WithMark(Grid().Code(Column(right), row), mark));
  }
  // Stages a mark the way the administrator does, so that Commit is enabled.
  void Stage(const char* computer, TvmPrivilege right, Qt::Key key) {
    Grid().setFocus();
    Grid().SetSelection({Column(right), Row(computer), Column(right), Row(computer)});
    QTest::keyClick(&Grid(), key);
  }
  std::unique_ptr<TTavrinForm> form;
  // Commits go ahead; marks in the way of another account or a close are
  // discarded unless a test says otherwise.
  tavrin::test::TAnswerer answers{
      {{"CommitQuestion", "Commit"}, {"MarksQuestion", "Discard"}, {"CommitSummary", "OK"}}};
};

TEST_P(Passes, StartUpScanReadsEveryComputerFound) {
  sim::NetworkSpec network = tavrin::test::SmallNetwork();
  for (sim::ComputerSpec& c : network.computers)
    if (c.name == "SRV01") c.policyDenied = true;
  Reinstall(network);
  Start();
  const std::string sid = SidText(Users()->SelectedSid());
  ASSERT_FALSE(sid.empty());
  ASSERT_EQ(Grid().RowCount(), form->ScannedComputers().Count() + 2);
  std::string unreadable;
  for (int i = 0; i < PrivilegeCount; ++i) unreadable += "E ";
  for (int i = 0; i < form->ScannedComputers().Count(); ++i) {
    const std::string name = form->ScannedComputers().Names(i);
    EXPECT_EQ(Grid().Cells(0, i + 1).toStdString(), name);
    const bool bad = name == "GHOST" || name == "SRV01";
    EXPECT_EQ(Codes(i + 1), bad ? unreadable : Expected(name, sid));
  }
  EXPECT_TRUE(form->StatusText(2).isEmpty());

  // A scan that fails reads nothing and says why, and what to do instead.
  form.reset();
  sim::SetBrowserAnswers(false);
  sim::ClearCalls();
  Start();
  EXPECT_EQ(Grid().RowCount(), 2);
  EXPECT_EQ(sim::CountCalls("LsaOpenPolicy"), 0u);
  const QString status = form->StatusText(2);
  EXPECT_TRUE(status.startsWith("The scan of the network failed: ") && status.contains("(6118)") &&
              status.contains("Open computer list..."))
      << status.toStdString();
}

// By right: every computer with the accounts holding the right, unreadable
// ones with their reason; Commit stays off meanwhile; a column head's
// double-click leads back to that account.
TEST_P(Passes, ByRightShowsWhoHoldsARightAndLeadsBackToTheAccount) {
  sim::NetworkSpec network = tavrin::test::SmallNetwork();
  for (sim::ComputerSpec& c : network.computers)
    if (c.name == "SRV01") c.rights.clear();  // SRV01 lacks the right
  Reinstall(network);
  Start();
  SelectAccount("S-1-5-32-545");
  ASSERT_TRUE(WaitIdle());
  Stage("WS01", spCreateToken, Qt::Key_Insert);
  auto* commit = Action("aCommit");
  ASSERT_TRUE(commit->isEnabled());
  auto* byRight = Child<QCheckBox>(*form, "CBxByRight");
  auto* rights = Child<QComboBox>(*form, "CBxRight");
  auto* holders = Child<QTableView>(*form, "GrHolders");
  byRight->setChecked(true);
  EXPECT_TRUE(holders->isVisibleTo(form.get()) && !Grid().isVisibleTo(form.get()));
  EXPECT_FALSE(commit->isEnabled());
  rights->setCurrentIndex(rights->findData(static_cast<int>(spBackup)));
  emit rights->activated(rights->currentIndex());
  QAbstractItemModel& model = *holders->model();
  const auto cell = [&](const char* computer, int column, int role = Qt::DisplayRole) {
    for (int row = 0; row < model.rowCount(); ++row)
      if (model.headerData(row, Qt::Vertical).toString() == computer)
        return model.data(model.index(row, column), role).toString().toStdString();
    return std::string("no row");
  };
  ASSERT_TRUE(WaitFor([&] { return form->StatusText(2).contains(" on 3 computers"); }));
  ASSERT_EQ(model.rowCount(), Grid().RowCount() - 2);
  ASSERT_EQ(model.columnCount(), 1);
  EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), "BUILTIN\\Administrators");
  EXPECT_EQ(model.headerData(0, Qt::Horizontal, Qt::ToolTipRole).toString(), "S-1-5-32-544");
  for (const char* holds : {"WS01", "DC01"}) EXPECT_EQ(cell(holds, 0), "Y") << holds;
  EXPECT_EQ(cell("SRV01", 0), "");
  EXPECT_EQ(cell("GHOST", 0), "E");
  EXPECT_EQ(cell("GHOST", 0, Qt::ToolTipRole), "The RPC server is unavailable (1722)");
  EXPECT_EQ(form->StatusText(2).toStdString(),
            "1 account holds SeBackupPrivilege on 3 computers; 1 could not be read");
  EXPECT_FALSE(commit->isEnabled());

  emit holders->horizontalHeader()->sectionDoubleClicked(0);
  ASSERT_TRUE(WaitIdle());
  EXPECT_FALSE(byRight->isChecked());
  EXPECT_TRUE(Grid().isVisibleTo(form.get()) && !holders->isVisibleTo(form.get()));
  EXPECT_EQ(SidText(Users()->SelectedSid()), kAdmins);
  EXPECT_EQ(Codes(Row("WS01")), Expected("WS01", kAdmins));
  EXPECT_EQ(LsaWrites(), Names{}) << "the marks were discarded, never written";
}

TEST_P(Passes, CommitWritesTheStagedDifferences) {
  Start();
  SelectAccount(kAdmins);
  Run(Action("aRefresh"));
  Stage("DC01", spCreateToken, Qt::Key_Insert);  // grant the first right
  Mark("DC01", spDebug, 'N');
  Mark("DC01", spBackup, 'Y');  // "YY": nothing to write
  Mark("WS01", spServiceLogon, 'Y');
  Mark("WS01", spRestore, 'N');
  Mark("SRV01", spShutdown, 'Y');
  Mark("SRV01", spLockMemory, 'Y');
  Mark("GHOST", spTCB, 'Y');  // unreadable: kept for later
  ASSERT_TRUE(Action("aCommit")->isEnabled());
  sim::ClearCalls();
  sim::FailWrite(1, static_cast<int32_t>(0xC0000022), "SRV01");
  std::remove(TJournal().Path().c_str());  // the test's own data folder
  const int srv = Row("SRV01");
  Run(Action("aCommit"));

  // One write per changed right; none for "YY"; none after the failing one.
  EXPECT_EQ(LsaWrites(), (Names{"Add DC01 SeCreateTokenPrivilege",
                                "Add SRV01 SeLockMemoryPrivilege", "Add WS01 SeServiceLogonRight",
                                "Rem DC01 SeDebugPrivilege", "Rem WS01 SeRestorePrivilege"}));
  EXPECT_EQ(Codes(Row("DC01")), Expected("DC01", kAdmins));
  EXPECT_EQ(Codes(Row("WS01")), Expected("WS01", kAdmins));
  // The failed row: its marks become 'E', its states stay as last read.
  EXPECT_EQ(Grid().Code(spLockMemory + 1, srv).Text(), "NE");
  EXPECT_EQ(Grid().Code(spBackup + 1, srv).Text(), "Y ");
  EXPECT_EQ(Grid().Code(spTCB + 1, Row("GHOST")).Text(), "EY");
  // The commit asked first and summed up afterwards; the marks it could not
  // write keep Commit and Discard enabled.
  EXPECT_EQ(answers.Asked("CommitQuestion"), 1);
  EXPECT_TRUE(answers.LastText("CommitQuestion").startsWith("Grant 4 and revoke 2 rights of "));
  EXPECT_TRUE(answers.LastText("CommitQuestion")
                  .endsWith(" on 3 computers? 1 computer was not read and will be skipped; its "
                            "marks stay."))
      << answers.LastText("CommitQuestion").toStdString();
  EXPECT_TRUE(answers.LastDetails("CommitQuestion").contains("SRV01: grant SeLockMemoryPrivilege"));
  const auto* summary = Child<QMessageBox>(*form, "CommitSummary");
  ASSERT_NE(summary, nullptr);
  EXPECT_EQ(summary->text(), "Written on 2 computers, skipped 1 (unreadable), failed 1.");
  EXPECT_TRUE(summary->detailedText().contains(
      "SRV01: failed SeLockMemoryPrivilege: Access is denied (5)"));
  EXPECT_TRUE(Action("aCommit")->isEnabled());
  EXPECT_TRUE(Action("aDiscard")->isEnabled());
  // The counts stay, and the failures can be listed.
  EXPECT_EQ(Child<QLabel>(*form, "PassProgress")->text(), "4 done, 2 failed");
  EXPECT_FALSE(Child<QLabel>(*form, "PassProgress")->isHidden());
  EXPECT_TRUE(Action("aFailures")->isEnabled());
  QStringList listed;
  QTimer::singleShot(0, [&] {
    QWidget* dialog = QApplication::activeModalWidget();
    ASSERT_NE(dialog, nullptr);
    for (const QTreeWidgetItem* item :
         dialog->findChild<QTreeWidget*>("FailuresList")->findItems("*", Qt::MatchWildcard))
      listed << item->text(0) + ": " + item->text(1);
    static_cast<QDialog*>(dialog)->reject();
  });
  Action("aFailures")->trigger();
  listed.sort();
  EXPECT_EQ(listed, QStringList({"GHOST: not read: The network path was not found (53)",
                                 "SRV01: failed SeLockMemoryPrivilege: Access is denied (5)"}));
  // The selected cell's status says why, and so does the export.
  const auto select = [&](TvmPrivilege right, int row) {
    Grid().SetSelection({right + 1, row, right + 1, row});
    emit Grid().Click();
  };
  select(spTCB, Row("GHOST"));
  EXPECT_EQ(form->StatusText(1), "Unable read \u2014 The network path was not found (53)");
  EXPECT_EQ(form->StatusText(0), "Grant");
  select(spLockMemory, srv);
  EXPECT_EQ(form->StatusText(0),
            "Can't change \u2014 failed SeLockMemoryPrivilege: Access is denied (5)");
  EXPECT_EQ(tavrin::GridRows(Grid())[Row("GHOST") - 1].error,
            "not read: The network path was not found (53)");
  // The pass is in the journal, one record per computer.
  std::vector<std::string> warnings;
  std::vector<TJournalRecord> records = TJournal().Read(warnings);
  ASSERT_FALSE(records.empty());
  const std::string pass = records.back().pass;
  std::erase_if(records, [&](const TJournalRecord& r) { return r.pass != pass; });
  EXPECT_EQ(records.size(), size_t(Grid().RowCount() - 2));
  for (const TJournalRecord& record : records) {
    EXPECT_EQ(record.sid, kAdmins);
    if (record.computer == "SRV01") {
      EXPECT_EQ(record.outcome, "failed");
    }
    if (record.computer == "GHOST") {
      EXPECT_EQ(record.outcome, "skipped");
    }
  }
  // Each row says why, on its name and its cells.
  const TRightsGridModel& model = *Grid().Model();
  const auto problem = [&](int row) {
    EXPECT_EQ(model.headerData(row - 1, Qt::Vertical, Qt::ToolTipRole),
              model.data(model.index(row - 1, 0), Qt::ToolTipRole));
    return model.data(model.index(row - 1, 0), Qt::ToolTipRole).toString().toStdString();
  };
  EXPECT_EQ(problem(srv), "failed SeLockMemoryPrivilege: Access is denied (5)");
  EXPECT_EQ(problem(Row("GHOST")), "not read: The network path was not found (53)");
  EXPECT_EQ(problem(Row("DC01")), "");

  // A journal that cannot be written is asked about before anything is.
  const std::string data = std::getenv("XDG_DATA_HOME");
  setenv("XDG_DATA_HOME", "/dev/null/data", 1);
  answers.Set("JournalQuestion", "No");
  sim::ClearCalls();
  Action("aCommit")->trigger();
  setenv("XDG_DATA_HOME", data.c_str(), 1);
  EXPECT_EQ(answers.Asked("JournalQuestion"), 1);
  EXPECT_FALSE(form->PassRunning());
  EXPECT_EQ(LsaWrites(), Names{});

  // Once readable, the kept mark is written by the next commit.
  sim::SetAnswers("GHOST", true);
  sim::ClearCalls();
  Run(Action("aRefresh"));
  EXPECT_EQ(Grid().Code(spTCB + 1, Row("GHOST")).Text(), "NY");
  Stage("DC01", spDebug, Qt::Key_Delete);
  Run(Action("aCommit"));
  EXPECT_EQ(LsaWrites(), (Names{"Add GHOST SeTcbPrivilege"}));
  EXPECT_EQ(Grid().Code(spTCB + 1, Row("GHOST")).Text(), "Y ");
}

// Undo of a journalled pass from another account's grid: the pass's account
// is chosen, the inverse staged where nothing changed since, a right a later
// pass changed left alone with its note, and the commit journalled as the
// undo.
TEST_P(Passes, UndoStagesTheInverseOfAPass) {
  Start();
  SelectAccount(kAdmins);
  Run(Action("aRefresh"));
  std::remove(TJournal().Path().c_str());
  const auto lastPass = [] {
    std::vector<std::string> warnings;
    return TJournal().Read(warnings).back();
  };
  Stage("WS01", spTCB, Qt::Key_Insert);
  Stage("SRV01", spTCB, Qt::Key_Insert);
  Stage("WS01", spSecurity, Qt::Key_Insert);
  Run(Action("aCommit"));
  const std::string pass = lastPass().pass;
  Stage("SRV01", spTCB, Qt::Key_Delete);
  Run(Action("aCommit"));
  const std::string later = lastPass().pass;
  SelectAccount("S-1-5-32-545");
  ASSERT_TRUE(WaitIdle());

  sim::ClearCalls();
  form->UndoPass(QString::fromStdString(pass.substr(0, 22)));  // the start of its id
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(SidText(Users()->SelectedSid()), kAdmins);
  EXPECT_EQ(Grid().Code(Column(spTCB), Row("WS01")).Text(), "YN");
  EXPECT_EQ(Grid().Code(Column(spSecurity), Row("WS01")).Text(), "YN");
  EXPECT_EQ(Grid().Code(Column(spTCB), Row("SRV01")).Text(), "N ");
  const auto* summary = Child<QMessageBox>(*form, "UndoSummary");
  ASSERT_NE(summary, nullptr);
  EXPECT_EQ(summary->text().toStdString(),
            "Undo of pass " + pass +
                ": 2 changes staged on 1 computer; 1 right changed since is left alone. "
                "Commit writes them.");
  EXPECT_TRUE(summary->detailedText().contains(QString::fromStdString(
      "SRV01: left alone: SeTcbPrivilege (changed since: revoked by a later pass (" + later +
      "))")))
      << summary->detailedText().toStdString();
  EXPECT_EQ(LsaWrites(), Names{});

  Run(Action("aCommit"));
  EXPECT_EQ(LsaWrites(), (Names{"Rem WS01 SeSecurityPrivilege", "Rem WS01 SeTcbPrivilege"}));
  EXPECT_EQ(lastPass().undoes, pass);
}

TEST_P(Passes, DiscardRefreshAndAccountChoice) {
  Start();
  // A refresh asked for while the account picker fills waits for the account.
  tavrin::test::ChooseSource(*form);
  ASSERT_TRUE(Users()->Filling());
  Run(Action("aRefresh"));
  const std::string first = SidText(Users()->SelectedSid());
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(Codes(Row("DC01")), Expected("DC01", first));
  SelectAccount(kAdmins);
  Stage("DC01", spCreateToken, Qt::Key_Insert);
  Mark("WS01", spDebug, 'N');
  sim::ClearCalls();
  // Refresh keeps the marks and renews the states.
  Run(Action("aRefresh"));
  EXPECT_EQ(Grid().Code(spCreateToken + 1, Row("DC01")).Text(), "NY");
  EXPECT_EQ(Grid().Code(spDebug + 1, Row("WS01")).Text(), "YN");
  EXPECT_TRUE(LsaWrites().empty());
  // Discard blanks every mark and touches no computer.
  sim::ClearCalls();
  Action("aDiscard")->trigger();
  EXPECT_TRUE(sim::Calls().empty());
  EXPECT_EQ(Codes(Row("DC01")), Expected("DC01", kAdmins));
  EXPECT_EQ(Codes(Row("WS01")), Expected("WS01", kAdmins));
  EXPECT_FALSE(Action("aCommit")->isEnabled());

  // Choosing another account with a staged mark asks. Cancel keeps the
  // account, its states and the mark.
  const std::string users = "S-1-5-32-545";
  Mark("DC01", spAudit, 'Y');
  answers.Set("MarksQuestion", "Cancel");
  SelectAccount(users);
  EXPECT_EQ(answers.Asked("MarksQuestion"), 1);
  EXPECT_EQ(SidText(Users()->SelectedSid()), kAdmins);
  EXPECT_EQ(Grid().Code(spAudit + 1, Row("DC01")).Text(), "NY");
  // Discard: no mark survives, no row shows the previous account's states
  // (every row is "not read yet" at once), and the choice is read.
  answers.Set("MarksQuestion", "Discard");
  SelectAccount(users);
  const std::string notRead(2 * PrivilegeCount, ' ');
  for (int row = 1; row < Grid().RowCount() - 1; ++row) EXPECT_EQ(Codes(row), notRead);
  EXPECT_FALSE(Action("aDiscard")->isEnabled());
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(Codes(Row("DC01")), Expected("DC01", users));
  // Commit: the marks are written for the account they were staged for,
  // then the new choice is read.
  Stage("DC01", spBackup, Qt::Key_Insert);
  sim::ClearCalls();
  answers.Set("MarksQuestion", "Commit");
  SelectAccount(kAdmins);
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(LsaWrites(), (Names{"Add DC01 SeBackupPrivilege"}));
  EXPECT_EQ(sim::RightsOf("DC01", users).back(), "SeBackupPrivilege");
  EXPECT_EQ(Codes(Row("DC01")), Expected("DC01", kAdmins));

  // Scrolling through the picker reads only the account it rests on.
  sim::ClearCalls();
  auto& picker = *Users();
  for (int i = 0; i < 5; ++i) {
    picker.setCurrentIndex(i);
    tavrin::test::ChooseAccount(*form);
    QTest::qWait(30);  // a key press after another
  }
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(sim::CountCalls("LsaEnumerateAccountRights"), size_t(Grid().RowCount() - 2 - 1))
      << "one read of each readable computer";  // GHOST does not answer
  SelectAccount(kAdmins);
  ASSERT_TRUE(WaitIdle());

  // A choice during a read stops it, and nothing the old pass read shows.
  sim::SetLatency(std::chrono::milliseconds(20));
  Action("aRefresh")->trigger();
  ASSERT_TRUE(form->PassRunning());
  SelectAccount(users);
  for (int row = 1; row < Grid().RowCount() - 1; ++row) EXPECT_EQ(Codes(row), notRead);
  ASSERT_TRUE(WaitFor([&] { return !form->PassRunning(); }));
  for (int row = 1; row < Grid().RowCount() - 1; ++row) EXPECT_EQ(Codes(row), notRead);
  sim::SetLatency({});
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(Codes(Row("WS01")), Expected("WS01", users));
}

TEST_P(Passes, AddRemoveAndUpdate) {
  Start();
  SelectAccount(kAdmins);
  Run(Action("aRefresh"));
  const auto add = [this](const QString& text, bool accept) {
    QTimer::singleShot(0, [=] {
      auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      box->setTextValue(text);
      accept ? box->accept() : box->reject();
    });
    Run(Action("aAdd"));
  };
  const int rows = Grid().RowCount();
  add(QStringLiteral("PC-HOME"), false);
  add(QString(), true);
  EXPECT_EQ(Grid().RowCount(), rows);
  add(QStringLiteral("PC-HOME"), true);
  ASSERT_EQ(Grid().RowCount(), rows + 1);
  EXPECT_EQ(Codes(rows - 1), Expected("PC-HOME", kAdmins));
  add(QStringLiteral("dc01"), true);  // re-reads the row, with the new text
  EXPECT_EQ(Grid().RowCount(), rows + 1);
  EXPECT_EQ(Grid().Cells(0, Row("DC01")), QStringLiteral("dc01"));

  // Removing the first row keeps the order and marks of the rows below.
  Mark("WS01", spDebug, 'N');
  const QString second = Grid().Cells(0, 2);
  const std::string secondCodes = Codes(2);
  Grid().SetSelection({3, 1, 5, 1});
  Action("aRemove")->trigger();
  EXPECT_EQ(Grid().RowCount(), rows);
  EXPECT_EQ(Grid().Cells(0, 1), second);
  EXPECT_EQ(Codes(1), secondCodes);
  EXPECT_EQ(Grid().Code(spDebug + 1, Row("WS01")).Text(), "YN");
  Grid().SetSelection({1, rows - 1, 1, rows - 1});  // only the spare row
  Action("aRemove")->trigger();
  EXPECT_EQ(Grid().RowCount(), rows);

  // A second Update while a scan runs does nothing: the same calls as one.
  sim::ClearCalls();
  Action("aUpdate")->trigger();
  ASSERT_TRUE(WaitIdle());
  const size_t oneScan = sim::CountCalls("NetServerEnum");
  sim::SetLatency(std::chrono::milliseconds(100));
  sim::ClearCalls();
  Action("aUpdate")->trigger();
  Action("aUpdate")->trigger();
  EXPECT_TRUE(TComputerList::Running(form->ScannedComputers().State()));
  sim::SetLatency({});
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(sim::CountCalls("NetServerEnum"), oneScan);
}

TEST_P(Passes, APassBlocksCommandsAndEndsOnStopOrClose) {
  Start();
  SelectAccount(kAdmins);
  const int rows = Grid().RowCount() - 2;
  ASSERT_GE(rows, 3);
  sim::SetLatency(std::chrono::milliseconds(10));
  Action("aRefresh")->trigger();
  ASSERT_TRUE(form->PassRunning());
  for (QAction* action : {Action("aAdd"), Action("aRemove"), Action("aUpdate"), Action("aRefresh"),
                          Action("aCommit"), Action("aDiscard")})
    EXPECT_FALSE(action->isEnabled()) << action->objectName().toStdString();
  // The pickers stay: a choice of account stops a read.
  EXPECT_TRUE(Users()->isEnabled());
  EXPECT_TRUE(Action("aStop")->isEnabled());
  EXPECT_EQ(Action("aStop")->shortcut(), QKeySequence(Qt::Key_Escape));
  EXPECT_EQ(Child<QLabel>(*form, "PassProgress")->text(),
            QStringLiteral("0 of %1 done, 0 failed").arg(rows));
  // Staging stays possible, and enables Commit once the pass has ended.
  Stage("DC01", spAudit, Qt::Key_Insert);
  EXPECT_FALSE(Action("aCommit")->isEnabled());
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(Grid().Code(spAudit + 1, Row("DC01")).Text(), "NY");
  EXPECT_TRUE(Action("aCommit")->isEnabled() && Action("aRefresh")->isEnabled());
  EXPECT_TRUE(Users()->isEnabled() && !Action("aStop")->isEnabled());

  // Stop, then close, during commits: only rows under way are written; the close waits.
  const int started = std::min(GetParam(), rows);
  struct CloseCounter : QObject {
    int closes = 0;
    bool eventFilter(QObject*, QEvent* event) override {
      closes += event->type() == QEvent::Close;
      return false;
    }
  } counter;
  form->installEventFilter(&counter);
  // The close asks about the marks left on rows the stop kept from starting.
  answers.Set("MarksQuestion", "Cancel");
  for (const char mark : {'Y', 'N'}) {
    Grid().setFocus();
    Grid().SetSelection({spAudit + 1, 1, spAudit + 1, rows});
    QTest::keyClick(&Grid(), mark == 'Y' ? Qt::Key_Insert : Qt::Key_Delete);
    sim::ClearCalls();
    Action("aCommit")->trigger();
    // A commit keeps its account: the pickers wait.
    EXPECT_FALSE(Users()->isEnabled());
    EXPECT_FALSE(Child<TvmSidSourceComboBox>(*form, "CBxSidSource")->isEnabled());
    if (mark == 'Y') {
      Action("aStop")->trigger();
    } else {
      form->close();  // deferred while the pass runs
      EXPECT_TRUE(form->PassRunning());
      EXPECT_EQ(counter.closes, 1);
    }
    ASSERT_TRUE(WaitIdle());
    const Names writes = LsaWrites();
    for (int row = 1; row <= rows; ++row) {
      const std::string name = Grid().Cells(0, row).toStdString();
      const bool written = std::any_of(writes.begin(), writes.end(), [&](const std::string& w) {
        return w.find(" " + name + " ") != std::string::npos;
      });
      EXPECT_EQ(written, row <= started && name != "GHOST") << name;
      EXPECT_TRUE(row <= started || Grid().Code(spAudit + 1, row).Mark() == mark) << name;
    }
  }
  // Then the close comes again, with nothing running, and asks when marks remain.
  ASSERT_TRUE(WaitFor([&] { return counter.closes == 2; }));
  EXPECT_EQ(answers.Asked("MarksQuestion"), 1);  // GHOST's at least: it cannot be read
  EXPECT_FALSE(form->PassRunning());
}

// All 45 rights: the View menu, remembered between runs; a deny right and a
// new privilege read, staged and committed; the guard rails asked about with
// No as the default; the classic view's commit keeping the others.
TEST_P(Passes, AllRightsViewAndGuardRails) {
  Start();
  QAction* all = Action("aAllRights");
  QAction* classic = Action("aClassicRights");
  EXPECT_TRUE(classic->isChecked());
  EXPECT_EQ(Grid().ColCount(), 28);
  all->trigger();
  EXPECT_TRUE(all->isChecked());
  ASSERT_EQ(Grid().ColCount(), 46);
  // The legend and the column heads name each right in full; deny heads stand out.
  const auto* legend = Child<QListWidget>(*form, "LBxLegend");
  EXPECT_EQ(legend->item(Column(spDenyNetworkLogon) - 1)->text(), "DN - Deny network logon");
  EXPECT_EQ(legend->item(Column(spDenyNetworkLogon) - 1)->toolTip(),
            "DN - Deny access to this computer from the network (SeDenyNetworkLogonRight)");
  const TRightsGridModel& model = *Grid().Model();
  EXPECT_EQ(model.headerData(Column(spImpersonate) - 1, Qt::Horizontal, Qt::ToolTipRole),
            "IM - Impersonate a client after authentication (SeImpersonatePrivilege)");
  EXPECT_EQ(Grid().Cells(Column(spDenyNetworkLogon), 0), "DN");
  for (int col = 1; col < Grid().ColCount(); ++col)
    EXPECT_EQ(model.headerData(col - 1, Qt::Horizontal, Qt::ForegroundRole).isValid(),
              RightInfo(model.ColumnRight(col - 1)).deny)
        << col;

  SelectAccount(kAdmins);
  Run(Action("aRefresh"));
  EXPECT_EQ(Codes(Row("WS01")), Expected("WS01", kAdmins));
  EXPECT_EQ(Grid().Code(Column(spRemoteInteractiveLogon), Row("WS01")).Text(), "Y ");
  Stage("WS01", spDenyNetworkLogon, Qt::Key_Insert);
  Mark("SRV01", spImpersonate, 'Y');

  // The guard rail's question: Enter takes its default, No, and nothing is written.
  int asked = 0;
  QString text;
  QTimer enter;
  enter.setInterval(5);
  QObject::connect(&enter, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || box->objectName() != "GuardRailsQuestion" ||
        box->property("answered").toBool())
      return;
    box->setProperty("answered", true);
    ++asked;
    text = box->text();
    QTest::keyClick(box, Qt::Key_Return);
  });
  enter.start();
  sim::ClearCalls();
  Run(Action("aCommit"));
  enter.stop();
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(
      text.contains("Administrators locks out everyone in it: SeDenyNetworkLogonRight on WS01"))
      << text.toStdString();
  EXPECT_EQ(LsaWrites(), Names{});
  EXPECT_EQ(Grid().Code(Column(spDenyNetworkLogon), Row("WS01")).Text(), "NY");

  answers.Set("GuardRailsQuestion", "Yes");
  Run(Action("aCommit"));
  EXPECT_EQ(answers.Asked("GuardRailsQuestion"), 1);
  EXPECT_EQ(LsaWrites(),
            (Names{"Add SRV01 SeImpersonatePrivilege", "Add WS01 SeDenyNetworkLogonRight"}));
  EXPECT_EQ(Codes(Row("WS01")), Expected("WS01", kAdmins));
  EXPECT_EQ(Grid().Code(Column(spImpersonate), Row("SRV01")).Text(), "Y ");

  // Exports follow the view.
  QTemporaryDir dir;
  QString error;
  ASSERT_TRUE(tavrin::WriteGridExport(Grid(), "Administrators", dir.filePath("a.csv"),
                                      tavrin::ExportFormat::Csv, error));
  QFile csv(dir.filePath("a.csv"));
  ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
  const QString header = QString::fromUtf8(csv.readLine());
  EXPECT_EQ(header.count(','), 46);
  EXPECT_TRUE(header.contains(",IL,DI,NL,DN,")) << header.toStdString();

  // The classic view comes back at the next start; its commit keeps the rest.
  classic->trigger();
  EXPECT_EQ(Grid().ColCount(), 28);
  form.reset();
  Start();
  EXPECT_TRUE(Action("aClassicRights")->isChecked());
  SelectAccount(kAdmins);
  Run(Action("aRefresh"));
  Stage("WS01", spShutdown, Qt::Key_Insert);
  sim::ClearCalls();
  Run(Action("aCommit"));
  EXPECT_EQ(LsaWrites(), Names{"Add WS01 SeShutdownPrivilege"});
  const Names held = sim::RightsOf("WS01", kAdmins);
  for (const char* kept : {"SeDenyNetworkLogonRight", "SeRemoteInteractiveLogonRight"})
    EXPECT_NE(std::find(held.begin(), held.end(), kept), held.end()) << kept;
  Action("aAllRights")->trigger();
  form.reset();
  Start();
  EXPECT_TRUE(Action("aAllRights")->isChecked());
  EXPECT_EQ(Grid().ColCount(), 46);
  Action("aClassicRights")->trigger();
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(Workers, Passes, ::testing::Values(1, 16));
