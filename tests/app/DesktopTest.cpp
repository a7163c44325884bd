// The main window as a desktop program on the simulated network: shortcuts
// and Exit, the Add dialog, the program's own options, the searchable account
// picker, what fits on screen and what is remembered between runs.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QHelpEvent>
#include <QInputDialog>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <functional>
#include <memory>

#include "app/AppHelp.h"
#include "app/RightsGrid.h"
#include "app/fmTavrinMain.h"
#include "platform/sim/SimNetwork.h"
#include "tests/support/FormAccess.h"
#include "tests/support/SimFixture.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << s.toStdString(); }

namespace {

using tavrin::test::WaitFor;

using tavrin::test::Child;

// How many calls the simulation had for `computer`.
int CallsTo(const std::string& computer) {
  int calls = 0;
  for (const sim::Call& call : sim::Calls()) calls += call.target == computer;
  return calls;
}

class Desktop : public tavrin::test::SimTest {
 protected:
  void TearDown() override {
    form.reset();
    tavrin::SetUrlOpener({});
    SimTest::TearDown();
  }
  void Start() {
    form = std::make_unique<TTavrinForm>();
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    ASSERT_TRUE(WaitIdle());
  }
  bool WaitIdle() { return tavrin::test::WaitIdle(*form); }
  // Commits go ahead and their summaries are taken note of.
  tavrin::test::TAnswerer answers{{{"CommitQuestion", "Commit"}, {"CommitSummary", "OK"}}};
  TRightsGrid& Grid() { return *Child<TRightsGrid>(*form, "GrRights"); }
  TvmUsersComboBox& Users() { return *Child<TvmUsersComboBox>(*form, "CBxUsers"); }
  QStringList Names() {
    QStringList names;
    for (int row = 1; row <= Grid().RowCount() - 2; ++row) names << Grid().Cells(0, row);
    return names;
  }
  // Adds through the Add dialog; `check` sees the dialog before `text` is entered.
  void Add(const QString& text, const std::function<void(QInputDialog&)>& check = {}) {
    QTimer::singleShot(0, [=] {
      auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      if (check) check(*box);
      box->setTextValue(text);
      box->accept();
    });
    Child<QAction>(*form, "aAdd")->trigger();
    ASSERT_TRUE(WaitIdle());
  }
  std::unique_ptr<TTavrinForm> form;
};

TEST_F(Desktop, ShortcutsRunTheirCommandsAndExitCloses) {
  std::vector<QUrl> opened;
  tavrin::SetUrlOpener([&](const QUrl& url) { opened.push_back(url); });
  Start();
  const size_t opens = CallsTo("SRV01");
  QTest::keyClick(form.get(), Qt::Key_F5);
  ASSERT_TRUE(WaitIdle());
  EXPECT_GT(CallsTo("SRV01"), opens);  // read again
  QTest::keyClick(form.get(), Qt::Key_F1);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_TRUE(opened[0].toString().endsWith("manual/index.html"));

  // A grant staged on SRV01 where the account holds no right, committed.
  const int row = Grid().FindRow("SRV01");
  int col = 1;
  while (col < Grid().ColCount() && Grid().Code(col, row).State() != 'N') ++col;
  ASSERT_LT(col, Grid().ColCount());
  Grid().SetSelection({col, row, col, row});
  Grid().setFocus();
  QTest::keyClick(&Grid(), Qt::Key_Insert);
  QTest::keyClick(&Grid(), Qt::Key_S, Qt::ControlModifier);
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(tavrin::test::LsaWrites(),
            std::vector<std::string>({std::string("Add SRV01 ") + PolicyNames[col - 1]}));
  // Its summary is read and closed; the window is the active one again.
  ASSERT_NE(Child<QMessageBox>(*form, "CommitSummary"), nullptr);
  Child<QMessageBox>(*form, "CommitSummary")->close();
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));

  // The menus show the shortcuts; Exit ends the Computer menu.
  const QMenu* computer = Child<QMenu>(*form, "MI_Computer");
  EXPECT_EQ(computer->actions().back(), Child<QAction>(*form, "aExit"));
  EXPECT_EQ(Child<QAction>(*form, "aExit")->shortcuts(),
            QList<QKeySequence>({QKeySequence("Ctrl+Q"), QKeySequence("Alt+F4")}));
  for (const char* key : {"Ctrl+Q", "Alt+F4"}) {
    ASSERT_TRUE(form->isVisible());
    QTest::keySequence(form.get(), QKeySequence(QString::fromLatin1(key)));
    EXPECT_FALSE(form->isVisible()) << key;
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  }
}

TEST_F(Desktop, AddTakesSeveralNamesUnderTheListRuleOrRefusesTheBadOne) {
  Start();
  const QStringList before = Names();
  QString title, label;
  Add(QStringLiteral("\\\\NEW1, NEW2\tnew3\n\\\\SRV01"), [&](QInputDialog& box) {
    title = box.windowTitle();
    label = box.labelText();
  });
  EXPECT_EQ(title, "Add computer");
  EXPECT_TRUE(label.contains("commas")) << label.toStdString();
  EXPECT_EQ(Names(), before + QStringList({"NEW1", "NEW2", "new3"}));
  EXPECT_GT(CallsTo("NEW2"), 0);

  // The refusal is answered once it shows (10 s at most).
  QString refusal;
  QTimer poll;
  int polls = 0;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      refusal = box->text();
      box->accept();
    }
    if (!refusal.isEmpty() || ++polls > 500) poll.stop();
  });
  poll.start(20);
  Add(QStringLiteral("NEW4, BAD|NAME"));
  EXPECT_TRUE(refusal.contains("\"BAD|NAME\"")) << refusal.toStdString();
  EXPECT_EQ(Names(), before + QStringList({"NEW1", "NEW2", "new3"}));
}

TEST_F(Desktop, HelpAndVersionPrintUnknownOptionsAreRefused) {
  const auto run = [](const QStringList& args) {
    QProcess program;
    program.start(QStringLiteral(TAVRIN_PROGRAM), args);
    EXPECT_TRUE(program.waitForFinished(20000));
    return std::make_tuple(program.exitCode(),
                           QString::fromLocal8Bit(program.readAllStandardOutput()),
                           QString::fromLocal8Bit(program.readAllStandardError()));
  };
  auto [code, out, err] = run({"--help"});
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(out.startsWith("Usage: tavrin")) << out.toStdString();
  EXPECT_TRUE(out.contains("--version") && out.contains("--computers-file"));
  std::tie(code, out, err) = run({"--version"});
  EXPECT_EQ(code, 0);
  EXPECT_EQ(out, "tavrin 1.0\n");
  std::tie(code, out, err) = run({"-platform", "offscreen", "--frobnicate"});
  EXPECT_EQ(code, 1);
  EXPECT_TRUE(out.isEmpty());
  EXPECT_TRUE(err.contains("unknown option \"--frobnicate\"")) << err.toStdString();
}

TEST_F(Desktop, PickerSearchesAccountsByName) {
  Start();
  auto* sources = Child<TvmSidSourceComboBox>(*form, "CBxSidSource");
  sources->setCurrentIndex(sources->findText("CORP"));
  tavrin::test::ChooseSource(*form);
  ASSERT_TRUE(WaitIdle());
  QStringList all;
  for (int i = 0; i < Users().count(); ++i) all << Users().itemText(i);

  // Typing shows the accounts whose names hold the text, under a line saying so.
  Users().setCurrentIndex(3);
  tavrin::test::ChooseAccount(*form);
  ASSERT_TRUE(WaitIdle());
  const int chosen = Users().currentIndex();
  Users().setFocus();
  QTest::keyClicks(&Users(), "oP");
  ASSERT_TRUE(Users().view()->isVisible());
  QStringList found;
  for (int i = 1; i < Users().count(); ++i) found << Users().itemText(i);
  QStringList expected;
  for (int i = 0; i < Users().List().Count(); ++i)
    if (QString::fromLocal8Bit(Users().List().UserInfo(i)->Name())
            .contains("op", Qt::CaseInsensitive))
      expected << all[i];
  EXPECT_EQ(found, expected);
  EXPECT_GE(found.size(), 3);  // Operators, Backup Operators, ...
  EXPECT_EQ(Users().itemText(0), QStringLiteral("Search \"oP\": %1 found").arg(found.size()));

  // Closing the list without a choice keeps the account chosen before.
  QTest::keyClick(Users().view(), Qt::Key_Escape);
  ASSERT_TRUE(WaitFor([this] { return Users().SearchText().isEmpty(); }));
  EXPECT_EQ(Users().count(), all.size());
  EXPECT_EQ(Users().currentIndex(), chosen);

  // The domain is not searched; Backspace takes letters back.
  QTest::keyClicks(&Users(), "corp\\");
  EXPECT_EQ(Users().count(), 1);
  for (int i = 0; i < 5; ++i) QTest::keyClick(Users().view(), Qt::Key_Backspace);
  EXPECT_EQ(Users().SearchText(), QString());
  // Choosing a match chooses that account, and the whole list is back.
  QTest::keyClicks(Users().view(), "E");
  QTest::keyClicks(Users().view(), "Lp");
  ASSERT_EQ(Users().count(), 2);  // the search line and Helpdesk
  QTest::keyClick(Users().view(), Qt::Key_Return);
  ASSERT_TRUE(WaitFor([this] { return Users().SearchText().isEmpty(); }));
  EXPECT_EQ(Users().count(), all.size());
  EXPECT_EQ(Users().currentText(), all[all.indexOf("Helpdesk")]);
  EXPECT_EQ(tavrin::test::SidText(Users().SelectedSid()), "S-1-5-21-1000-2000-3000-1300");
}

TEST_F(Desktop, EveryColumnAndNameFitsHeadsNameTheirRights) {
  Start();
  const QRect screen = form->screen()->availableGeometry();
  const auto fits = [&] {
    QCoreApplication::processEvents();
    const int last = Grid().CellRect(27, 1).right();
    return last >= 0 && last < Grid().viewport()->width() && form->width() <= screen.width();
  };
  EXPECT_TRUE(fits());
  const QString fqdn = QStringLiteral("SQL-BACKUP01.corp.example.com");
  Grid().AppendRow(fqdn);
  EXPECT_TRUE(fits());
  auto* names = static_cast<TGridHeader*>(Grid().verticalHeader());
  const int row = Grid().FindRow(fqdn) - 1;
  EXPECT_EQ(names->ShownText(row), fqdn);
  EXPECT_EQ(names->ToolTip(row), QString());
  const QString longest = QString(200, 'L');
  Grid().AppendRow(longest);
  QCoreApplication::processEvents();
  EXPECT_LE(form->width(), screen.width());  // the grid scrolls when the screen is too narrow
  EXPECT_EQ(Grid().ColWidths(0), TRightsGrid::MaxNameColWidth);
  EXPECT_TRUE(names->ShownText(row + 1).endsWith(QChar(0x2026)));
  EXPECT_EQ(names->ToolTip(row + 1), longest);

  // The heads show their codes whole; hovered, they name their rights in full.
  auto* codes = static_cast<TGridHeader*>(Grid().horizontalHeader());
  for (int col = 0; col < PrivilegeCount; ++col)
    EXPECT_EQ(codes->ShownText(col), QString::fromLatin1(PrivilegeLegend[col], 2));
  QWidget* heads = Grid().horizontalHeader()->viewport();
  const QPoint at(Grid().horizontalHeader()->sectionViewportPosition(15) + 5, 5);
  QHelpEvent hover(QEvent::ToolTip, at, heads->mapToGlobal(at));
  QApplication::sendEvent(heads, &hover);
  EXPECT_EQ(QToolTip::text(), "BK - Back up files and directories (SeBackupPrivilege)");
}

TEST_F(Desktop, GeometrySourceAndComputersAreRememberedBetweenRuns) {
  Start();
  auto* sources = Child<TvmSidSourceComboBox>(*form, "CBxSidSource");
  ASSERT_GE(sources->count(), 2);
  sources->setCurrentIndex(1);
  tavrin::test::ChooseSource(*form);
  ASSERT_TRUE(WaitIdle());
  const QString source = sources->currentText();
  Grid().AppendRow("ELSEWHERE");
  form->resize(760, 520);
  const QStringList names = Names();
  form->close();

  form = std::make_unique<TTavrinForm>();
  EXPECT_EQ(form->size(), QSize(760, 520));
  EXPECT_EQ(Child<TvmSidSourceComboBox>(*form, "CBxSidSource")->currentText(), source);
  EXPECT_EQ(Names(), names);  // shown at once
  const int opens = CallsTo("ELSEWHERE");
  ASSERT_TRUE(WaitIdle());
  EXPECT_GT(CallsTo("ELSEWHERE"), opens);  // and read with the scan's computers
  EXPECT_EQ(Names().size(), names.size());
}

}  // namespace
