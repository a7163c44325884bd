// The window's journal of changes on the simulated network: the journal
// file it is told to use, and the History window reading it back.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <fstream>
#include <functional>
#include <memory>

#include "app/HistoryDialog.h"
#include "app/RightsGrid.h"
#include "app/RightsGridModel.h"
#include "app/fmTavrinMain.h"
#include "passes/JournalQuery.h"
#include "tests/support/FileDialog.h"
#include "tests/support/FormAccess.h"
#include "tests/support/SimFixture.h"

namespace {

using tavrin::test::AcceptFileDialog;
using tavrin::test::Child;

// The computers of the journal's records with a right written, in order.
std::vector<std::string> Written(const QString& path) {
  std::vector<std::string> warnings, names;
  for (const TJournalRecord& record : TJournal(path.toStdString()).Read(warnings))
    if (!record.writes.empty()) names.push_back(record.computer);
  return names;
}

using Names = std::vector<std::string>;

class History : public tavrin::test::SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    // A data folder of the test's own: other test programs running at the
    // same time record to the build's.
    data_ = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", dataFolder_.path().toLocal8Bit());
    form = std::make_unique<TTavrinForm>();
    ASSERT_TRUE(WaitIdle());
  }
  void TearDown() override {
    form.reset();
    qputenv("XDG_DATA_HOME", data_);
    SimTest::TearDown();
  }
  bool WaitIdle() { return tavrin::test::WaitIdle(*form); }
  TRightsGrid& Grid() { return *Child<TRightsGrid>(*form, "GrRights"); }
  // Grants the first right on a computer and commits it.
  void Commit(const char* computer) {
    TRightsGrid& grid = Grid();
    const int row = grid.FindRow(QString::fromUtf8(computer));
    ASSERT_GT(row, 0);
    grid.setFocus();
    grid.SetSelection({1, row, 1, row});
    QTest::keyClick(&grid, grid.Code(1, row).State() == 'Y' ? Qt::Key_Delete : Qt::Key_Insert);
    Child<QAction>(*form, "aCommit")->trigger();
    ASSERT_TRUE(WaitIdle());
  }
  QTemporaryDir dataFolder_;
  QByteArray data_;
  std::unique_ptr<TTavrinForm> form;
  tavrin::test::TAnswerer answers{{{"CommitQuestion", "Commit"}, {"CommitSummary", "OK"}}};
};

// The journal file chosen in the window is the one commits go to, kept
// with the settings for the next run, until the default is chosen again.
TEST_F(History, CommitsGoToTheChosenJournalFile) {
  QTemporaryDir dir;
  const QString shared = dir.filePath("shared/journal.jsonl");
  ASSERT_TRUE(QDir().mkpath(dir.filePath("shared")));
  EXPECT_FALSE(Child<QAction>(*form, "aDefaultJournal")->isEnabled());
  AcceptFileDialog(shared);
  Child<QAction>(*form, "aJournalFile")->trigger();
  EXPECT_TRUE(Child<QAction>(*form, "aDefaultJournal")->isEnabled());
  Commit("WS01");
  const QString standard = QString::fromStdString(TJournal().Path());
  EXPECT_EQ(Written(shared), Names{"WS01"});
  EXPECT_EQ(Written(standard), Names{});
  // The undo of a pass finds it there too (a pass it could not find would be
  // said in a message box, closed here).
  std::vector<std::string> warnings;
  const std::string pass = TJournal(shared.toStdString()).Read(warnings).front().pass;
  bool refused = false;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      refused = true;
      box->close();
    }
  });
  closer.start(50);
  form->UndoPass(QString::fromStdString(pass));
  ASSERT_TRUE(WaitIdle());
  closer.stop();
  EXPECT_FALSE(refused);
  EXPECT_EQ(Grid().Code(1, Grid().FindRow("WS01")).Text(), "YN");

  // A new window remembers it; going back to the default sends the next
  // commit there.
  form = std::make_unique<TTavrinForm>();
  ASSERT_TRUE(WaitIdle());
  Commit("SRV01");
  EXPECT_EQ(Written(shared), (Names{"WS01", "SRV01"}));
  Child<QAction>(*form, "aDefaultJournal")->trigger();
  EXPECT_FALSE(Child<QAction>(*form, "aDefaultJournal")->isEnabled());
  Commit("WS01");
  EXPECT_EQ(Written(shared), (Names{"WS01", "SRV01"}));
  EXPECT_EQ(Written(standard), Names{"WS01"});
}

// The History window lists the passes committed, newest first, with each
// pass's rows; it filters as the filters are typed, exports what it shows,
// says which lines it skipped and asks for the selected pass's undo.
TEST_F(History, ListsFiltersAndExportsThePassesCommitted) {
  Commit("WS01");
  Commit("SRV01");
  const std::string right = PolicyNames[Grid().Model()->ColumnRight(0)];
  std::ofstream(TJournal().Path(), std::ios::app) << R"({"time": "2026-12-07T1)";
  Child<QAction>(*form, "aHistory")->trigger();
  Child<QAction>(*form, "aHistory")->trigger();  // the one window, raised
  ASSERT_EQ(form->findChildren<THistoryDialog*>().size(), 1);
  THistoryDialog& history = *Child<THistoryDialog>(*form, "HistoryDialog");
  EXPECT_TRUE(history.isVisible());
  EXPECT_FALSE(history.isModal());
  const auto* warning = Child<QLabel>(history, "HistoryWarning");
  EXPECT_FALSE(warning->isHidden());
  EXPECT_TRUE(warning->text().contains("line 9: skipped")) << warning->text().toStdString();

  // Newest pass first, selected, its rows below it.
  auto* passes = Child<QTreeWidget>(history, "PassList");
  auto* rows = Child<QTreeWidget>(history, "RowList");
  std::vector<std::string> warnings;
  const std::vector<TJournalRecord> records = TJournal().Read(warnings);
  ASSERT_EQ(records.size(), 8u);  // the four computers of the grid, twice
  ASSERT_EQ(passes->topLevelItemCount(), 2);
  EXPECT_EQ(history.SelectedPass().toStdString(), records.back().pass);
  EXPECT_TRUE(passes->topLevelItem(0)->text(4).contains("SRV01"));
  EXPECT_EQ(rows->topLevelItemCount(), 4);
  const auto rowTexts = [&] {
    QStringList texts;
    for (int i = 0; i < rows->topLevelItemCount(); ++i) {
      QStringList columns;
      for (int c = 0; c < rows->columnCount(); ++c) columns << rows->topLevelItem(i)->text(c);
      if (!rows->topLevelItem(i)->text(2).isEmpty()) texts << columns.join(' ');
    }
    return texts;
  };
  const QString account = passes->topLevelItem(0)->text(2);
  EXPECT_EQ(rowTexts(), QStringList("SRV01 " + account + " " + QString::fromStdString(right) +
                                    " grant written"));

  // Filters as they are typed: a right by its constant in any case and a
  // computer keep one pass; an account nobody has keeps none.
  Child<QComboBox>(history, "FilterRight")->setEditText(QString::fromStdString(right).toLower());
  EXPECT_EQ(passes->topLevelItemCount(), 2);
  EXPECT_EQ(history.FilteredLines().size(), 2u);
  Child<QLineEdit>(history, "FilterComputer")->setText("srv01");
  ASSERT_EQ(passes->topLevelItemCount(), 1);
  EXPECT_EQ(history.SelectedPass().toStdString(), records.back().pass);
  Child<QLineEdit>(history, "FilterAccount")->setText("CORP\\nobody");
  EXPECT_EQ(passes->topLevelItemCount(), 0);
  EXPECT_FALSE(Child<QPushButton>(history, "UndoPass")->isEnabled());
  Child<QLineEdit>(history, "FilterAccount")->clear();
  Child<QLineEdit>(history, "FilterComputer")->clear();
  // From a date on: tomorrow keeps nothing, today everything.
  Child<QCheckBox>(history, "FilterUseSince")->setChecked(true);
  Child<QDateEdit>(history, "FilterSince")
      ->setDate(QDateTime::currentDateTimeUtc().date().addDays(1));
  EXPECT_EQ(passes->topLevelItemCount(), 0);
  Child<QDateEdit>(history, "FilterSince")->setDate(QDateTime::currentDateTimeUtc().date());
  EXPECT_EQ(passes->topLevelItemCount(), 2);

  // A commit made while the window is open shows in it.
  Commit("DC01");
  ASSERT_EQ(passes->topLevelItemCount(), 3);
  EXPECT_EQ(history.SelectedPass().toStdString(), records.back().pass);  // still selected
  passes->setCurrentItem(passes->topLevelItem(0));
  EXPECT_TRUE(rowTexts().join('|').startsWith("DC01 ")) << rowTexts().join('|').toStdString();

  // Export CSV writes the rows the filters keep.
  QTemporaryDir dir;
  AcceptFileDialog(dir.filePath("history"));
  Child<QPushButton>(history, "ExportCsv")->click();
  QFile file(dir.filePath("history.csv"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QStringList lines = QString::fromUtf8(file.readAll()).split("\r\n", Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 4) << lines.join('|').toStdString();
  EXPECT_EQ(lines[0], "time,pass,computer,account,right,action,result");
  EXPECT_TRUE(lines[1].contains(",DC01,")) << lines[1].toStdString();
  EXPECT_TRUE(lines[3].contains(",WS01,") && lines[3].endsWith(",grant,written"))
      << lines[3].toStdString();

  // The undo asked for carries the pass selected; the main window stages it,
  // and its commit is listed as that pass's undo.
  QSignalSpy undo(&history, &THistoryDialog::UndoRequested);
  passes->setCurrentItem(passes->topLevelItem(2));
  Child<QPushButton>(history, "UndoPass")->click();
  ASSERT_EQ(undo.size(), 1);
  EXPECT_EQ(undo[0][0].toString().toStdString(), records.front().pass);
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(Grid().Code(1, Grid().FindRow("WS01")).Text(), "YN");
  Child<QAction>(*form, "aCommit")->trigger();
  ASSERT_TRUE(WaitIdle());
  EXPECT_TRUE(passes->topLevelItem(0)->text(3).startsWith(
      QString::fromStdString("undo of " + records.front().pass + ": ")))
      << passes->topLevelItem(0)->text(3).toStdString();
}

}  // namespace
