// Runs the program's main window on the built-in simulated network, lets it
// scan and read every computer, stages a few changes as an administrator
// would, and saves the window into a PNG (and the about box into a second
// one), for the documentation. Run it under an X server
// (scripts/screenshot.sh starts one with xvfb-run):
//   tavrin_screenshot WINDOW.png [ABOUT.png [REPORT.html [TOOLTIP.png
//                     [QUESTION.png SUMMARY.png [ALLRIGHTS.png [HISTORY.png
//                     [BYRIGHT.png [UNDO.png [UNDOSUMMARY.png]]]]]]]]]
// HISTORY.png shows the History window after a few commits; the commits go
// to a journal of their own, never the user's.
// BYRIGHT.png shows who holds a right on every computer (the By-right mode);
// UNDO.png the undo of the first commit staged from History, and
// UNDOSUMMARY.png what the undo says it staged and left alone;
// ALLRIGHTS.png shows the window with all 45 rights of current Windows;
// TOOLTIP.png shows the tool tip of an unreadable row, which says why;
// QUESTION.png the question a commit asks, with its details, and
// SUMMARY.png the summary after it.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>
#include <cstdio>

#include "app/GridExport.h"
#include "app/HistoryDialog.h"
#include "app/RightsGrid.h"
#include "app/RightsGridModel.h"
#include "app/WindowSettings.h"
#include "app/fmAbout.h"
#include "app/fmTavrinMain.h"
#include "passes/Startup.h"
#include "platform/PlatformInit.h"
#include "tests/support/FormAccess.h"

namespace {

int Column(const TRightsGrid& grid, const char* code) {
  for (int col = 1; col < grid.ColCount(); ++col)
    if (grid.Cells(col, 0) == QLatin1String(code)) return col;
  return -1;
}

// Runs the event loop until the window has scanned the network and read
// every computer found, and the account picker has filled.
bool WaitIdle(TTavrinForm& form) {
  QElapsedTimer clock;
  clock.start();
  while (tavrin::test::Child<QTimer>(form, "Timer")->isActive() || form.PassRunning() ||
         tavrin::test::Child<QTimer>(form, "AccountRest")->isActive() ||
         tavrin::test::Child<TvmUsersComboBox>(form, "CBxUsers")->Filling()) {
    if (clock.elapsed() > 60000) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  return true;
}

// Stages a mark the way the administrator does: select, press the key.
void Stage(TTavrinForm& form, const char* computer, const char* code, Qt::Key key) {
  TRightsGrid& grid = *tavrin::test::Child<TRightsGrid>(form, "GrRights");
  const int row = grid.FindRow(QString::fromLatin1(computer));
  const int col = Column(grid, code);
  if (row < 0 || col < 0) return;
  grid.SetSelection({col, row, col, row});
  QTest::keyClick(&grid, key);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // The same picture on every run: no settings of an earlier one.
  QTemporaryDir settings;
  tavrin::KeepWindowSettingsIn(settings.path());
  tavrin::ChooseJournalFile(settings.filePath(QStringLiteral("journal.jsonl")));
  if (argc < 2) {
    std::fprintf(stderr, "usage: tavrin_screenshot WINDOW.png [ABOUT.png]\n");
    return 2;
  }
  std::string error;
  if (!tavrin::platform::Initialize(error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  tavrin::StartupScope startup;
  // The program as it starts on the built-in network: the scan, then the
  // reads of every computer found.
  TTavrinForm form;
  form.show();
  if (!QTest::qWaitForWindowExposed(&form) || !WaitIdle(form)) return 1;
  // The local Administrators alias, as an administrator usually starts, read
  // afresh; then a few changes staged.
  const int admins = tavrin::test::Child<TvmUsersComboBox>(form, "CBxUsers")
                         ->findText(QStringLiteral("Administrators"), Qt::MatchEndsWith);
  if (admins >= 0) {
    tavrin::test::Child<TvmUsersComboBox>(form, "CBxUsers")->setCurrentIndex(admins);
    tavrin::test::ChooseAccount(form);
  }
  tavrin::test::Child<QAction>(form, "aRefresh")->trigger();
  if (!WaitIdle(form)) return 1;
  form.activateWindow();
  tavrin::test::Child<TRightsGrid>(form, "GrRights")->setFocus(Qt::TabFocusReason);
  Stage(form, "OKT-DC01", "LS", Qt::Key_Insert);
  Stage(form, "OKT-DC01", "DG", Qt::Key_Delete);
  Stage(form, "OKT-FS01", "MA", Qt::Key_Insert);
  Stage(form, "OKT-FS01", "LM", Qt::Key_Insert);
  Stage(form, "OKT-WS04", "BK", Qt::Key_Insert);
  Stage(form, "OKT-WS02", "TO", Qt::Key_Delete);
  const int row =
      tavrin::test::Child<TRightsGrid>(form, "GrRights")->FindRow(QStringLiteral("OKT-FS01"));
  const int col = Column(*tavrin::test::Child<TRightsGrid>(form, "GrRights"), "MA");
  tavrin::test::Child<TRightsGrid>(form, "GrRights")->SetSelection({col, row, col, row});
  emit tavrin::test::Child<TRightsGrid>(form, "GrRights")->Click();
  QTest::qWait(300);
  if (!form.grab().save(QString::fromLocal8Bit(argv[1]))) return 1;
  // The same grid as the HTML report that Export... writes.
  if (argc > 3) {
    QString error;
    if (!tavrin::WriteGridExport(
            *tavrin::test::Child<TRightsGrid>(form, "GrRights"),
            tavrin::test::Child<TvmUsersComboBox>(form, "CBxUsers")->currentText(),
            QString::fromLocal8Bit(argv[3]), tavrin::ExportFormat::Html, error))
      return 1;
  }

  if (argc > 4) {
    // The tool tip of a row that could not be read, over the window.
    auto* grid = tavrin::test::Child<TRightsGrid>(form, "GrRights");
    const int failed = grid->FindRow(QStringLiteral("OKT-PRN01"));
    if (failed < 0) return 1;
    // Selected, so that the status bar says why too.
    grid->SetSelection({4, failed, 4, failed});
    emit grid->Click();
    const QModelIndex cell = grid->Model()->index(failed - 1, 3);
    const QVariant tip = grid->Model()->data(cell, Qt::ToolTipRole);
    const QRect area = grid->visualRect(cell);
    QToolTip::showText(grid->viewport()->mapToGlobal(area.center()), tip.toString(), grid);
    QTest::qWait(400);
    const QRect frame = form.frameGeometry();
    if (!QGuiApplication::primaryScreen()
             ->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height())
             .save(QString::fromLocal8Bit(argv[4])))
      return 1;
    QToolTip::hideText();
  }
  if (argc > 6) {
    // A grant staged on the unreadable row too, then Commit: the question
    // with its details, and the summary once the pass has ended.
    Stage(form, "OKT-PRN01", "BK", Qt::Key_Insert);
    bool saved = false;
    QTimer::singleShot(300, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      for (QAbstractButton* button : box->buttons())
        if (box->buttonRole(button) == QMessageBox::ActionRole) button->click();  // details
      QTest::qWait(300);
      saved = box->grab().save(QString::fromLocal8Bit(argv[5]));
      for (QAbstractButton* button : box->buttons())
        if (button->text() == QStringLiteral("&Commit")) button->click();
    });
    tavrin::test::Child<QAction>(form, "aCommit")->trigger();
    if (!saved || !WaitIdle(form)) return 1;
    auto* summary = form.findChild<QMessageBox*>(QStringLiteral("CommitSummary"));
    if (summary == nullptr) return 1;
    for (QAbstractButton* button : summary->buttons())
      if (summary->buttonRole(button) == QMessageBox::ActionRole) button->click();
    QTest::qWait(300);
    if (!summary->grab().save(QString::fromLocal8Bit(argv[6]))) return 1;
    summary->close();
  }
  if (argc > 7) {
    // All rights of current Windows, wider: a deny right and a new privilege
    // staged, the deny column selected.
    tavrin::test::Child<QAction>(form, "aDiscard")->trigger();
    tavrin::test::Child<QAction>(form, "aAllRights")->trigger();
    form.resize(1010, 480);
    QTest::qWait(200);
    Stage(form, "OKT-WS01", "DN", Qt::Key_Insert);
    Stage(form, "OKT-FS01", "IM", Qt::Key_Insert);
    auto* grid = tavrin::test::Child<TRightsGrid>(form, "GrRights");
    const int row = grid->FindRow(QStringLiteral("OKT-WS01"));
    const int col = Column(*grid, "DN");
    grid->SetSelection({col, row, col, row});
    emit grid->Click();
    QTest::qWait(300);
    if (!form.grab().save(QString::fromLocal8Bit(argv[7]))) return 1;
    tavrin::test::Child<QAction>(form, "aDiscard")->trigger();
    tavrin::test::Child<QAction>(form, "aClassicRights")->trigger();
  }
  if (argc > 8) {
    // Two more commits, then the History window with the first of them
    // selected.
    const auto commit = [&](const char* computer, const char* code, Qt::Key key) {
      tavrin::test::Child<QAction>(form, "aDiscard")->trigger();
      Stage(form, computer, code, key);
      QTimer::singleShot(300, [] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        for (QAbstractButton* button : box->buttons())
          if (button->text() == QStringLiteral("&Commit")) button->click();
      });
      tavrin::test::Child<QAction>(form, "aCommit")->trigger();
      if (!WaitIdle(form)) return false;
      if (auto* summary = form.findChild<QMessageBox*>(QStringLiteral("CommitSummary")))
        summary->close();
      return true;
    };
    if (!commit("OKT-WS02", "TO", Qt::Key_Insert) || !commit("OKT-FS01", "DG", Qt::Key_Delete))
      return 1;
    tavrin::test::Child<QAction>(form, "aHistory")->trigger();
    auto* history = form.findChild<THistoryDialog*>(QStringLiteral("HistoryDialog"));
    if (history == nullptr || !QTest::qWaitForWindowExposed(history)) return 1;
    history->resize(820, 520);
    auto* passes = history->findChild<QTreeWidget*>(QStringLiteral("PassList"));
    if (passes->topLevelItemCount() > 2) passes->setCurrentItem(passes->topLevelItem(2));
    QTest::qWait(300);
    if (!history->grab().save(QString::fromLocal8Bit(argv[8]))) return 1;
    history->close();
  }
  if (argc > 9) {
    // By right: who holds "Back up files and directories" on every computer,
    // the row of a computer that could not be read selected.
    form.resize(900, 480);
    tavrin::test::Child<QCheckBox>(form, "CBxByRight")->setChecked(true);
    auto* rights = tavrin::test::Child<QComboBox>(form, "CBxRight");
    rights->setCurrentIndex(rights->findData(static_cast<int>(spBackup)));
    emit rights->activated(rights->currentIndex());
    for (int i = 0; i < 2000 && !form.StatusText(2).contains(QStringLiteral(" computer")); ++i)
      QTest::qWait(10);
    auto* holders = tavrin::test::Child<QTableView>(form, "GrHolders");
    holders->setFocus(Qt::TabFocusReason);
    QTest::qWait(300);
    if (!form.grab().save(QString::fromLocal8Bit(argv[9]))) return 1;
    tavrin::test::Child<QCheckBox>(form, "CBxByRight")->setChecked(false);
  }
  if (argc > 10) {
    // History's "Undo this pass" on the first commit: its marks staged in
    // the grid, and the summary of what undo left alone beside it.
    form.resize(700, 480);
    tavrin::test::Child<QAction>(form, "aHistory")->trigger();
    auto* history = form.findChild<THistoryDialog*>(QStringLiteral("HistoryDialog"));
    if (history == nullptr || !QTest::qWaitForWindowExposed(history)) return 1;
    auto* passes = history->findChild<QTreeWidget*>(QStringLiteral("PassList"));
    if (passes->topLevelItemCount() > 2) passes->setCurrentItem(passes->topLevelItem(2));
    history->findChild<QPushButton*>(QStringLiteral("UndoPass"))->click();
    history->close();
    if (!WaitIdle(form)) return 1;
    QTest::qWait(300);
    auto* summary = form.findChild<QMessageBox*>(QStringLiteral("UndoSummary"));
    if (summary == nullptr) return 1;
    std::printf("%s\n%s\n", qPrintable(summary->text()), qPrintable(summary->detailedText()));
    if (!form.grab().save(QString::fromLocal8Bit(argv[10]))) return 1;
    if (argc > 11 && !summary->grab().save(QString::fromLocal8Bit(argv[11]))) return 1;
  }
  if (argc > 2) {
    auto* about = new TAboutForm();
    about->show();
    if (!QTest::qWaitForWindowExposed(about)) return 1;
    QTest::qWait(200);
    if (!about->grab().save(QString::fromLocal8Bit(argv[2]))) return 1;
    about->close();
  }
  return 0;
}
