// The main window: state, layout, help and about, staging cells and status texts.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QtTest>

#include "app/AppHelp.h"
#include "app/ClickLabel.h"
#include "app/RightsGrid.h"
#include "app/fmAbout.h"
#include "app/fmTavrinMain.h"
#include "tests/support/FormAccess.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << s.toStdString(); }

namespace {

using tavrin::test::Child;

class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    tavrin::SetUrlOpener([this](const QUrl& url) { opened.push_back(url); });
    form = std::make_unique<TTavrinForm>();
  }
  void TearDown() override {
    form.reset();
    tavrin::SetUrlOpener({});
  }
  void Show() {
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  }
  TRightsGrid& Grid() { return *Child<TRightsGrid>(*form, "GrRights"); }
  // A row with the given codes from column 1 on, "N " in the others.
  void AddRow(const char* name, std::vector<const char*> codes) {
    const int row = Grid().AppendRow(name);
    codes.resize(PrivilegeCount, "N ");
    for (int col = 1; col < Grid().ColCount(); ++col)
      Grid().SetCode(col, row, TCellCode::FromText(codes[col - 1]));
  }
  QString Cell(int col, int row) { return Grid().Cells(col, row); }
  QStringList Cells(int row, int from, int to) {
    QStringList texts;
    for (int col = from; col <= to; ++col) texts << Cell(col, row);
    return texts;
  }
  QStringList Panels() { return {form->StatusText(0), form->StatusText(1), form->StatusText(2)}; }
  void Mouse(int col, int row, bool twice = false) {
    const QPoint at = Grid().CellRect(col, row).center();
    QTest::mouseClick(Grid().viewport(), Qt::LeftButton, {}, at);
    if (twice) QTest::mouseDClick(Grid().viewport(), Qt::LeftButton, {}, at);
  }
  // A key on the block; letters typed before it have no effect.
  void Key(Qt::Key key, const TGridRect& block) {
    Grid().setFocus();
    Grid().SetSelection(block);
    QTest::keyClicks(&Grid(), "nNy");
    QTest::keyClick(&Grid(), key);
  }
  bool CommitAndDiscard() {
    EXPECT_EQ(Child<QAction>(*form, "aCommit")->isEnabled(),
              Child<QAction>(*form, "aDiscard")->isEnabled());
    return Child<QAction>(*form, "aCommit")->isEnabled();
  }

  std::vector<QUrl> opened;
  std::unique_ptr<TTavrinForm> form;
};

// "Velmar" is as wide as its text in whatever font stands in for Arial, and
// fits the window. Kept apart: how wide the text is depends on the fonts.
TEST_F(MainWindow, VelmarLinkFitsItsText) {
  Show();
  form->resize(900, 700);
  QCoreApplication::processEvents();
  // "Velmar" is as wide as its text in whatever font stands in for Arial.
  const auto* link = Child<TClickLabel>(*form, "LbVelmar");
  EXPECT_EQ(link->size(), link->sizeHint());
  EXPECT_LE(link->geometry().right(), form->centralWidget()->width());
}

TEST_F(MainWindow, StateSizeLimitsAnchorsAndLegendColumns) {
  ASSERT_EQ(Grid().ColCount(), 28);
  for (int col = 1; col <= 27; ++col)
    EXPECT_EQ(Cell(col, 0), QString::fromLatin1(PrivilegeLegend[col - 1], 2)) << col;
  for (QAction* a : form->Commands())
    EXPECT_EQ(a->isEnabled(),
              a != Child<QAction>(*form, "aCommit") && a != Child<QAction>(*form, "aDiscard"))
        << a->text().toStdString();

  Show();
  form->resize(100, 100);
  EXPECT_EQ(form->size(), QSize(660, 350));
  // 9 pixels to the right edge; the grid grows both ways, the logo stays.
  form->resize(661, 480);
  QCoreApplication::processEvents();
  const int width = form->centralWidget()->width();
  const QRect grid = Child<TRightsGrid>(*form, "GrRights")->geometry(),
              legend = Child<QListWidget>(*form, "LBxLegend")->geometry();
  const QRect powered = Child<QLabel>(*form, "Label2")->geometry(),
              logo = Child<QLabel>(*form, "ImgLogo")->geometry();
  EXPECT_EQ(width - (grid.right() + 1), 9);
  EXPECT_EQ(width - (legend.right() + 1), 9);
  EXPECT_EQ(grid.bottom() + 1 + 10, form->centralWidget()->height());
  form->resize(900, 700);
  QCoreApplication::processEvents();
  EXPECT_EQ(Child<TRightsGrid>(*form, "GrRights")->geometry(), grid.adjusted(0, 0, 239, 220));
  EXPECT_EQ(Child<QListWidget>(*form, "LBxLegend")->geometry(), legend.adjusted(0, 0, 239, 0));
  EXPECT_EQ(Child<QLabel>(*form, "Label2")->geometry(), powered.translated(239, 0));
  EXPECT_EQ(Child<QLabel>(*form, "ImgLogo")->geometry(), logo);

  QListWidget& box = *Child<QListWidget>(*form, "LBxLegend");
  ASSERT_EQ(box.count(), 29);
  // One column as wide as the box's inside, read down, scrolled only up and
  // down, every line whole.
  auto rect = [&](int i) { return box.visualItemRect(box.item(i)); };
  for (int i = 1; i < box.count(); ++i)
    EXPECT_EQ(rect(i).topLeft(), rect(0).topLeft() + QPoint(0, 11 * i)) << i;
  EXPECT_EQ(rect(0).width(), box.viewport()->width());
  EXPECT_TRUE(box.verticalScrollBar()->isVisible());
  EXPECT_FALSE(box.horizontalScrollBar()->isVisible());
  for (int i = 0; i < PrivilegeCount; ++i)
    EXPECT_LT(box.fontMetrics().horizontalAdvance(box.item(i)->text()), box.viewport()->width());
}

TEST_F(MainWindow, HelpHomePagesAndAbout) {
  const QString dir = QCoreApplication::applicationDirPath();
  // The help file is found beside the executable whatever the current directory.
  QTemporaryDir elsewhere;
  const QString before = QDir::currentPath();
  QDir::setCurrent(elsewhere.path());
  TTavrinForm other;
  EXPECT_EQ(tavrin::HelpFile(), QDir::toNativeSeparators(dir + "/") + "tavrin.hlp");
  Child<QAction>(other, "aContents")->trigger();
  QDir::setCurrent(before);
  Child<QAction>(*form, "aHome")->trigger();
  QTest::mouseClick(Child<TClickLabel>(*form, "LbVelmar"), Qt::LeftButton);
  QTest::mouseClick(Child<TClickLabel>(*form, "ImgVelmar"), Qt::LeftButton);
  const QUrl velmar = QUrl::fromLocalFile(dir + "/manual/velmar.html");
  EXPECT_EQ(opened,
            (std::vector<QUrl>{QUrl::fromLocalFile(dir + "/manual/index.html"),
                               QUrl::fromLocalFile(dir + "/manual/home.html"), velmar, velmar}));
  EXPECT_TRUE(tavrin::HelpContextUrl(tavrin::HelpFile(), 77).isEmpty());

  // The about box: modal, centred on the screen, gone once closed with Ok.
  QPointer<TAboutForm> about;
  QString caption;
  QPoint offCentre(-1, -1);
  QTimer::singleShot(0, [&] {
    about = qobject_cast<TAboutForm*>(QApplication::activeModalWidget());
    if (!about) return;
    caption = about->windowTitle();
    offCentre = about->frameGeometry().center() - about->screen()->availableGeometry().center();
    QTest::mouseClick(about->LbVelmar, Qt::LeftButton);
    about->BnOk->click();
  });
  Child<QAction>(*form, "aAbout")->trigger();
  ASSERT_EQ(caption, "About Tavrin");
  EXPECT_EQ(offCentre, QPoint(0, 0));
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(about.isNull());
  ASSERT_EQ(opened.size(), 5u);
  EXPECT_EQ(opened[4], velmar);
}

TEST_F(MainWindow, StatusAndDoubleClicksOnTheSelection) {
  Show();
  AddRow("A", {"N ", "NE", "NY", "NN", "Y ", "YE", "YY", "YN", "E ", "EE", "EY", "EN", ""});
  // Panels 0 and 1 for each cell, "change|state", the cells comma-separated.
  const QStringList status =
      QString(
          "|No right,Can't change|No right,Grant|No right,|No right,|Right is set,"
          "Can't change|Right is set,|Right is set,Revoke|Right is set,|Unable read,|Unable read,"
          "Grant|Unable read,Revoke|Unable read,|")
          .split(',');
  for (int col = 1; col <= 13; ++col) {
    Mouse(col, 1);
    EXPECT_EQ(Panels().mid(0, 2).join('|'), status[col - 1]) << col;
  }
  EXPECT_EQ(form->StatusText(2), " Increase base priority");
  // The spare row: panels 0 and 1 empty; nothing stages on it or on no mark.
  Mouse(1, 2);
  EXPECT_EQ(Panels(), QStringList({"", "", " Create token"}));
  Key(Qt::Key_Space, {1, 1, 1, 2});
  Key(Qt::Key_Insert, {1, 2, 5, 2});
  Mouse(3, 2, true);
  EXPECT_FALSE(CommitAndDiscard());

  // A double-click on the name acts on the selection but the spare row; panel 2 lists columns.
  Grid().SetSelection({1, 1, 13, 2});
  QTest::mouseDClick(Grid().verticalHeader()->viewport(), Qt::LeftButton, {},
                     QPoint(10, Grid().CellRect(1, 1).center().y()));
  EXPECT_EQ(Cells(1, 1, 13), QStringList({"NY", "NY", "N ", "N ", "YN", "YN", "YN", "Y ", "EY",
                                          "EY", "EN", "E ", " Y"}));
  EXPECT_EQ(Cells(2, 1, 13), QStringList(13, ""));
  EXPECT_EQ(Grid().Selection(), (TGridRect{1, 1, 13, 2}));
  EXPECT_EQ(form->StatusText(0) + form->StatusText(1), "");
  EXPECT_TRUE(form->StatusText(2).startsWith(" Create token;  Assign primary token; "));
  EXPECT_TRUE(form->StatusText(2).endsWith(";  Increase base priority"));
  EXPECT_TRUE(CommitAndDiscard());

  // A double-click on a cell stages; the status stays until the cell moves (not Up on top).
  Mouse(8, 1, true);
  EXPECT_EQ(Cell(8, 1), "YN");
  EXPECT_EQ(Panels(), QStringList({"Revoke", "Right is set", " Take ownership"}));
  for (QAction* action : form->Commands()) EXPECT_TRUE(action->isEnabled());
  QTest::keyClick(&Grid(), Qt::Key_Insert);
  QTest::keyClick(&Grid(), Qt::Key_Up);
  EXPECT_EQ(Cell(8, 1), "YY");
  EXPECT_EQ(form->StatusText(0), "Revoke");
  QTest::keyClick(&Grid(), Qt::Key_Right);
  const QStringList texts = {"Grant", "Unable read", " Load driver"};
  EXPECT_EQ(Panels(), texts);
  // Leaving the grid empties the panels; losing activation does not.
  Child<QListWidget>(*form, "LBxLegend")->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(Panels(), QStringList({"", "", ""}));
  Grid().setFocus(Qt::BacktabFocusReason);
  EXPECT_EQ(Panels(), texts);
  QWidget other;
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  EXPECT_EQ(Panels(), texts);
  QTest::keyClick(&Grid(), Qt::Key_Down, Qt::ShiftModifier);
  EXPECT_EQ(Grid().Selection(), (TGridRect{9, 1, 9, 2}));
  EXPECT_EQ(Panels(), QStringList({"", "", " Load driver"}));
}

TEST_F(MainWindow, KeysMarkEveryCellOfTheBlockButTheSpareRow) {
  Show();
  AddRow("A", {"N ", "Y ", "E "});
  AddRow("B", {"Y ", "YN", "NY"});
  const Qt::Key keys[] = {Qt::Key_Delete, Qt::Key_Return, Qt::Key_Space, Qt::Key_Insert,
                          Qt::Key_Enter};
  for (const Qt::Key& key : keys) {
    Key(key, {1, 1, 3, 3});
    const QString m(QChar("NY YY"[&key - keys]));
    EXPECT_EQ(Cells(1, 1, 4), QStringList({"N" + m, "Y" + m, "E" + m, "N "})) << key;
    EXPECT_EQ(Cells(2, 1, 3), QStringList({"Y" + m, "Y" + m, "N" + m})) << key;
    EXPECT_EQ(Cells(3, 1, 3), QStringList(3, "")) << key;
    EXPECT_TRUE(CommitAndDiscard());
  }
  EXPECT_EQ(Grid().Selection(), (TGridRect{1, 1, 3, 3}));
}

}  // namespace
