// The main window: its state right after creation, its layout when resized,
// the help and about commands, and staging cells on the grid with the
// status texts and the enabling of Commit and Discard.
#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QHelpEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <memory>

#include "app/AppHelp.h"
#include "app/ClickLabel.h"
#include "app/RightsGrid.h"
#include "app/fmAbout.h"
#include "app/fmTavrinMain.h"

namespace {

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
  TRightsGrid& Grid() { return *form->GrRights; }
  // A row of a computer with the given codes in columns 1, 2, 3, ...; the
  // columns not given hold "N ".
  void AddRow(const char* name, std::initializer_list<const char*> codes) {
    const int row = Grid().AppendRow(name);
    for (int col = 1; col < Grid().ColCount(); ++col)
      Grid().SetCode(col, row, TCellCode::Of('N', ' '));
    int col = 1;
    for (const char* code : codes) Grid().SetCode(col++, row, TCellCode::FromText(code));
  }
  QString Cell(int col, int row) { return Grid().Cells(col, row); }
  QStringList Panels() { return {form->StatusText(0), form->StatusText(1), form->StatusText(2)}; }
  void Mouse(int col, int row, bool twice = false) {
    const QPoint at = Grid().CellRect(col, row).center();
    if (twice)
      QTest::mouseDClick(Grid().viewport(), Qt::LeftButton, {}, at);
    else
      QTest::mouseClick(Grid().viewport(), Qt::LeftButton, {}, at);
  }
  void Key(Qt::Key key, const TGridRect& block) {
    Grid().setFocus();
    Grid().SetSelection(block);
    QTest::keyClick(&Grid(), key);
  }
  bool CommitAndDiscard() {
    EXPECT_EQ(form->aCommit->isEnabled(), form->aDiscard->isEnabled());
    return form->aCommit->isEnabled();
  }

  std::vector<QUrl> opened;
  std::unique_ptr<TTavrinForm> form;
};

TEST_F(MainWindow, StateRightAfterCreation) {
  EXPECT_EQ(Grid().ColCount(), 28);
  EXPECT_EQ(Grid().RowCount(), 2);
  EXPECT_EQ(Grid().ColWidths(0), 100);
  EXPECT_EQ(Cell(1, 0), "CT");
  EXPECT_EQ(Cell(27, 0), "LS");
  for (int col = 1; col <= 27; ++col) {
    EXPECT_EQ(Cell(col, 0), QString::fromLatin1(PrivilegeLegend[col - 1], 2)) << col;
    EXPECT_EQ(Grid().ColWidths(col), 21) << col;
  }
  // Commit and Discard disabled, the others enabled.
  ASSERT_EQ(form->Actions.size(), 9);
  for (QAction* a : form->Actions)
    EXPECT_EQ(a->isEnabled(), a != form->aCommit && a != form->aDiscard) << a->text().toStdString();

  // The menus and the tool bar hold the actions in order (nullptr: a separator).
  QList<QAction*> menus, bar;
  for (QMenu* menu : {form->MI_Computer, form->MI_Policy, form->MI_Help})
    for (QAction* a : menu->actions()) menus << (a->isSeparator() ? nullptr : a);
  for (QAction* a : form->ToolBar1->actions()) {
    auto* button = qobject_cast<QToolButton*>(form->ToolBar1->widgetForAction(a));
    bar << (button ? button->defaultAction() : nullptr);
  }
  EXPECT_EQ(menus,
            (QList<QAction*>{form->aAdd, form->aRemove, form->aUpdate, form->aExport,
                             form->aDiscard, form->aCommit, form->aRefresh, nullptr, form->aStop,
                             form->aContents, nullptr, form->aHome, form->aAbout}));
  EXPECT_EQ(bar, (QList<QAction*>{form->aAdd, form->aRemove, form->aUpdate, nullptr, form->aRefresh,
                                  form->aCommit, form->aDiscard, nullptr, form->aContents,
                                  form->aHome, form->aAbout, nullptr, form->aStop}));
  // The buttons' tool tips are the hints; Contents has none.
  Show();
  auto tipOf = [this](QToolButton* button) {
    QToolTip::showText(form->mapToGlobal(QPoint(300, 300)), "none", form.get());
    QHelpEvent help(QEvent::ToolTip, QPoint(3, 3), button->mapToGlobal(QPoint(3, 3)));
    QApplication::sendEvent(button, &help);
    return QToolTip::text();
  };
  EXPECT_EQ(tipOf(form->BnAdd), "Add computer name \r\nto the list of computers");
  EXPECT_EQ(tipOf(form->BnSave), form->Hint(form->aCommit));
  EXPECT_EQ(tipOf(form->BnContents), "none");
}

TEST_F(MainWindow, SizeLimitsAnchorsAndTabOrder) {
  Show();
  form->resize(100, 100);
  EXPECT_EQ(form->size(), QSize(660, 350));
  // Grid and legend keep 9 pixels to the right edge; when the window grows
  // the grid grows both ways, the legend and the "Powered by" line go with
  // the right edge and the logo stays.
  form->resize(661, 480);
  QCoreApplication::processEvents();
  const QRect grid = form->GrRights->geometry(), legend = form->LBxLegend->geometry();
  const QRect powered = form->Label2->geometry(), logo = form->ImgLogo->geometry();
  EXPECT_EQ(form->centralWidget()->width() - (grid.right() + 1), 9);
  EXPECT_EQ(form->centralWidget()->width() - (legend.right() + 1), 9);
  EXPECT_EQ(grid.bottom() + 1 + 10, form->centralWidget()->height());
  form->resize(900, 700);
  QCoreApplication::processEvents();
  EXPECT_EQ(form->GrRights->geometry(), grid.adjusted(0, 0, 239, 220));
  EXPECT_EQ(form->LBxLegend->geometry(), legend.adjusted(0, 0, 239, 0));
  EXPECT_EQ(form->Label2->geometry(), powered.translated(239, 0));
  EXPECT_EQ(form->ImgLogo->geometry(), logo);

  QWidget* order[] = {form->CBxUsers, form->LBxLegend, form->GrRights, form->CBxSidSource};
  for (int i = 0; i + 1 < 4; ++i) {
    QWidget* next = order[i]->nextInFocusChain();
    while (next->focusPolicy() == Qt::NoFocus || !next->isEnabled())
      next = next->nextInFocusChain();
    EXPECT_EQ(next, order[i + 1]) << i;
  }
  EXPECT_EQ(form->Label4->buddy(), form->GrRights);
}

TEST_F(MainWindow, LegendFillsColumnsTopToBottom) {
  Show();
  QListWidget& legend = *form->LBxLegend;
  ASSERT_EQ(legend.count(), 29);
  EXPECT_EQ(legend.item(0)->text(), "CT - Create token");
  EXPECT_EQ(legend.item(27)->text(), "");
  EXPECT_EQ(legend.item(28)->text(), " ");

  // Items go down the first column, then on in the next one to the right,
  // one column being as wide as the box's inside.
  auto rect = [&](int i) { return legend.visualItemRect(legend.item(i)); };
  const QRect first = rect(0);
  EXPECT_EQ(first.height(), 11);
  EXPECT_EQ(rect(1).top(), first.top() + 11);
  int perColumn = 1;
  while (rect(perColumn).left() == first.left()) ++perColumn;
  EXPECT_GE(perColumn, 5);
  EXPECT_LE(perColumn * 11, legend.viewport()->height());
  EXPECT_EQ(rect(perColumn).topLeft(), first.topLeft() + QPoint(legend.viewport()->width(), 0));
  // Widening the box widens the column with it.
  form->resize(form->width() + 100, form->height());
  QCoreApplication::processEvents();
  EXPECT_EQ(rect(perColumn).left() - rect(0).left(), legend.viewport()->width());
}

TEST_F(MainWindow, HelpHomePagesAndAbout) {
  const QString dir = QCoreApplication::applicationDirPath();
  // The help file is found beside the executable whatever the current directory.
  QTemporaryDir elsewhere;
  const QString before = QDir::currentPath();
  QDir::setCurrent(elsewhere.path());
  TTavrinForm other;
  EXPECT_EQ(tavrin::HelpFile(), QDir::toNativeSeparators(dir + "/") + "tavrin.hlp");
  other.aContents->trigger();
  QDir::setCurrent(before);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], QUrl::fromLocalFile(dir + "/manual/index.html"));

  form->aHome->trigger();
  QTest::mouseClick(form->LbVelmar, Qt::LeftButton);
  QTest::mouseClick(form->ImgVelmar, Qt::LeftButton);
  ASSERT_EQ(opened.size(), 4u);
  EXPECT_EQ(opened[1], QUrl::fromLocalFile(dir + "/manual/home.html"));
  EXPECT_EQ(opened[2], QUrl::fromLocalFile(dir + "/manual/velmar.html"));
  EXPECT_EQ(opened[3], opened[2]);
  EXPECT_TRUE(tavrin::HelpContextUrl(tavrin::HelpFile(), 77).isEmpty());

  // The about box: modal, sized, and gone once closed with Ok.
  QPointer<TAboutForm> seen;
  QString caption;
  QTimer::singleShot(0, [&] {
    seen = qobject_cast<TAboutForm*>(QApplication::activeModalWidget());
    if (!seen) return;
    caption = seen->windowTitle();
    QTest::mouseClick(seen->LbVelmar, Qt::LeftButton);
    seen->BnOk->click();
  });
  form->aAbout->trigger();
  ASSERT_FALSE(caption.isEmpty()) << "no about box";
  EXPECT_EQ(caption, "About Tavrin");
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(seen.isNull());
  ASSERT_EQ(opened.size(), 5u);
  EXPECT_EQ(opened[4], opened[2]);
}

// ------------------------------------------------------------ staging cells

TEST_F(MainWindow, StatusOfASingleCell) {
  Show();
  AddRow("WS01", {"N ", "Y ", "NY", "YN", "E ", "EY", "EN", "YE", "EE"});
  const struct {
    const char* change;
    const char* state;
  } cases[] = {{"", "No right"},          {"", "Right is set"},
               {"Grant", "No right"},     {"Revoke", "Right is set"},
               {"", "Unable read"},       {"Grant", "Unable read"},
               {"Revoke", "Unable read"}, {"Can't change", "Right is set"},
               {"", "Unable read"}};
  for (int col = 1; col <= 9; ++col) {
    Mouse(col, 1);
    EXPECT_EQ(form->StatusText(0), cases[col - 1].change) << col;
    EXPECT_EQ(form->StatusText(1), cases[col - 1].state) << col;
  }
  EXPECT_EQ(form->StatusText(2), " Load driver");
  // A single cell of the spare row empties panels 0 and 1.
  Mouse(1, 2);
  EXPECT_EQ(Panels(), QStringList({"", "", " Create token"}));

  // A double click stages and tells; Insert then marks a grant, "YY" stages
  // nothing, and the status stays until the next click.
  Mouse(2, 1, true);
  EXPECT_EQ(Cell(2, 1), "YN");
  EXPECT_EQ(Panels(), QStringList({"Revoke", "Right is set", " Assign primary token"}));
  QTest::keyClick(&Grid(), Qt::Key_Insert);
  EXPECT_EQ(Cell(2, 1), "YY");
  EXPECT_EQ(form->StatusText(0), "Revoke");
  Mouse(2, 1);
  EXPECT_EQ(form->StatusText(0), "");
}

TEST_F(MainWindow, DoubleClickOverABlockFollowsTheTable) {
  Show();
  AddRow("A", {"N ", "NE", "NY", "NN", "Y ", "YE", "YY", "YN", "E ", "EE", "EY", "EN"});
  Grid().SetSelection({1, 1, 12, 2});  // the spare row included
  emit Grid().DblClick();
  const char* after[] = {"NY", "NY", "N ", "N ", "YN", "YN", "YN", "Y ", "EY", "EY", "EN", "E "};
  for (int col = 1; col <= 12; ++col) {
    EXPECT_EQ(Cell(col, 1), after[col - 1]) << col;
    EXPECT_EQ(Cell(col, 2), "") << "spare row, column " << col;
  }
  // Several cells: panels 0 and 1 empty, panel 2 the names of the columns.
  EXPECT_EQ(form->StatusText(0), "");
  EXPECT_EQ(form->StatusText(1), "");
  EXPECT_TRUE(
      form->StatusText(2).startsWith(" Create token;  Assign primary token;  Lock memory; "));
  EXPECT_TRUE(form->StatusText(2).endsWith(";  Change system time;  Profile single process"));
}

TEST_F(MainWindow, KeysMarkEveryCellOfTheBlockButTheSpareRow) {
  Show();
  AddRow("A", {"N ", "Y ", "E "});
  AddRow("B", {"Y ", "YN", "NY"});
  const struct {
    Qt::Key key;
    char mark;
  } keys[] = {{Qt::Key_Delete, 'N'},
              {Qt::Key_Return, 'Y'},
              {Qt::Key_Space, ' '},
              {Qt::Key_Insert, 'Y'},
              {Qt::Key_Enter, 'Y'}};
  for (const auto& k : keys) {
    Key(k.key, {1, 1, 3, 3});
    for (int col = 1; col <= 3; ++col) {
      for (int row = 1; row <= 2; ++row)
        EXPECT_EQ(Cell(col, row)[1], QLatin1Char(k.mark)) << k.key << " at " << col << "," << row;
      EXPECT_EQ(Cell(col, 3), "");
    }
    EXPECT_EQ(Cell(4, 1), "N ");
  }
  EXPECT_EQ(Cell(1, 1), "NY");
  EXPECT_EQ(Cell(3, 2), "NY");
  EXPECT_EQ(Grid().Selection(), (TGridRect{1, 1, 3, 3}));
}

TEST_F(MainWindow, UnreadableCellsAndTheirStatus) {
  Show();
  AddRow("GHOST", {"E ", "EY", "EN", "YE", "EE"});
  const struct {
    const char* change;
    const char* state;
  } cases[] = {{"", "Unable read"},
               {"Grant", "Unable read"},
               {"Revoke", "Unable read"},
               {"Can't change", "Right is set"},
               {"", "Unable read"}};
  for (int col = 1; col <= 5; ++col) {
    Mouse(col, 1);
    EXPECT_EQ(form->StatusText(0), cases[col - 1].change) << col;
    EXPECT_EQ(form->StatusText(1), cases[col - 1].state) << col;
  }
  // A single cell of the spare row empties panels 0 and 1.
  Mouse(1, 2);
  EXPECT_EQ(Panels(), QStringList({"", "", " Create token"}));
}

TEST_F(MainWindow, LeavingAndReenteringTheGrid) {
  Show();
  AddRow("WS01", {"NY"});
  Grid().setFocus(Qt::TabFocusReason);
  Mouse(1, 1);
  const QStringList texts = {"Grant", "No right", " Create token"};
  EXPECT_EQ(Panels(), texts);
  form->LBxLegend->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(Panels(), QStringList({"", "", ""}));
  Grid().setFocus(Qt::BacktabFocusReason);
  EXPECT_EQ(Panels(), texts);
  // A window that merely loses activation keeps the texts.
  QWidget other;
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  EXPECT_EQ(Panels(), texts);
}

TEST_F(MainWindow, AnyChangeEnablesCommitAndDiscardForGood) {
  // Nothing changes: a blank mark on cells without a mark, keys and a double
  // click on the spare row.
  Show();
  AddRow("WS01", {"N ", "Y "});
  Key(Qt::Key_Space, {1, 1, 2, 1});
  Key(Qt::Key_Insert, {1, 2, 5, 2});
  emit Grid().DblClick();
  EXPECT_FALSE(CommitAndDiscard());
  // A double click enables both, and going back to the first state keeps them.
  Mouse(2, 1, true);
  EXPECT_TRUE(CommitAndDiscard());
  Mouse(2, 1, true);
  EXPECT_EQ(Cell(2, 1), "Y ");
  EXPECT_TRUE(CommitAndDiscard());
  for (QAction* action : form->Actions) EXPECT_TRUE(action->isEnabled());

  // On a new window a key alone enables them.
  form = std::make_unique<TTavrinForm>();
  Show();
  AddRow("WS01", {"N "});
  Key(Qt::Key_Delete, {1, 1, 1, 1});
  EXPECT_EQ(Cell(1, 1), "NN");
  EXPECT_TRUE(CommitAndDiscard());
}

}  // namespace
