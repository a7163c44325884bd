// The main window: its state right after creation, its layout when
// resized, the help and about commands, and staging cells on the grid with
// the status texts and the enabling of Commit and Discard.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QHelpEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
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
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  }
  TRightsGrid& Grid() { return *form->GrRights; }
  // Rows of computers with the given codes in columns 1, 2, 3, ...; the
  // columns not given hold "N ".
  void AddRow(const char* name, std::initializer_list<const char*> codes) {
    const int row = Grid().AppendRow(name);
    for (int col = 1; col < Grid().ColCount(); ++col)
      Grid().SetCode(col, row, TCellCode::Of('N', ' '));
    int col = 1;
    for (const char* code : codes)
      Grid().SetCode(col++, row, TCellCode::FromText(QString::fromLatin1(code)));
  }
  QString Cell(int col, int row) { return Grid().Cells(col, row); }
  QStringList Panels() { return {form->StatusText(0), form->StatusText(1), form->StatusText(2)}; }
  void DoubleClick(int col, int row) {
    QTest::mouseDClick(Grid().viewport(), Qt::LeftButton, {}, Grid().CellRect(col, row).center());
  }
  void Click(int col, int row) {
    QTest::mouseClick(Grid().viewport(), Qt::LeftButton, {}, Grid().CellRect(col, row).center());
  }

  std::vector<QUrl> opened;
  std::unique_ptr<TTavrinForm> form;
};

TEST_F(MainWindow, GridRightAfterCreation) {
  EXPECT_EQ(Grid().ColCount(), 28);
  EXPECT_EQ(Grid().RowCount(), 2);
  const char* codes[] = {"CT", "PT", "LM", "IQ", "MA", "PS", "SY", "TO", "LD",
                         "SP", "ST", "PR", "IP", "PG", "PM", "BK", "RE", "SH",
                         "DG", "AU", "SE", "CN", "RS", "IL", "NL", "BJ", "LS"};
  EXPECT_EQ(Cell(0, 0), "");
  EXPECT_EQ(Grid().ColWidths(0), 100);
  for (int col = 1; col <= 27; ++col) {
    EXPECT_EQ(Cell(col, 0), codes[col - 1]) << col;
    EXPECT_EQ(Grid().ColWidths(col), 21) << col;
  }
  EXPECT_EQ(QCoreApplication::applicationName(), "Tavrin");
  EXPECT_EQ(form->windowTitle(), "Tavrin");
}

TEST_F(MainWindow, ActionsMenusAndToolBar) {
  const struct {
    QAction* action;
    const char* caption;
    const char* hint;
    bool enabled;
  } actions[] = {
      {form->aAdd, "&Add computer...", "Add computer name \r\nto the list of computers", true},
      {form->aRemove, "&Remove computer", "Remove selected computer \r\nfrom the list", true},
      {form->aUpdate, "&Update list of computers",
       "Rescan the network and update \r\nthe list of computers", true},
      {form->aRefresh, "&Refresh", "Refresh policy information", true},
      {form->aCommit, "&Commit all changes", "Save all policy modifications", false},
      {form->aDiscard, "&Discard all changes", "Discard all policy modifications", false},
      {form->aContents, "&Contents", "", true},
      {form->aHome, "&Homepage", "Visit the Tavrin homepage", true},
      {form->aAbout, "&About", "About the Tavrin", true},
  };
  ASSERT_EQ(form->Actions.size(), 9);
  for (const auto& a : actions) {
    EXPECT_EQ(a.action->text(), a.caption);
    EXPECT_EQ(form->Hint(a.action), a.hint) << a.caption;
    EXPECT_EQ(a.action->isEnabled(), a.enabled) << a.caption;
    EXPECT_TRUE(a.action->shortcut().isEmpty()) << a.caption;
    EXPECT_FALSE(a.action->icon().isNull()) << a.caption;
  }

  auto menu = [](QMenu* m) {
    QStringList items;
    for (QAction* a : m->actions()) items << (a->isSeparator() ? "-" : a->text());
    return items;
  };
  const QList<QAction*> top = form->MM_Main->actions();
  ASSERT_EQ(top.size(), 3);
  EXPECT_EQ(top[0]->text(), "&Computer");
  EXPECT_EQ(top[1]->text(), "&Policy");
  EXPECT_EQ(top[2]->text(), "&Help");
  EXPECT_EQ(menu(form->MI_Computer),
            QStringList({"&Add computer...", "&Remove computer", "&Update list of computers"}));
  EXPECT_EQ(menu(form->MI_Policy),
            QStringList({"&Discard all changes", "&Commit all changes", "&Refresh"}));
  EXPECT_EQ(menu(form->MI_Help), QStringList({"&Contents", "-", "&Homepage", "&About"}));

  // Buttons in order, with separators 8 pixels wide after the third and the sixth.
  QStringList bar;
  for (QAction* a : form->ToolBar1->actions()) {
    QWidget* w = form->ToolBar1->widgetForAction(a);
    if (auto* button = qobject_cast<QToolButton*>(w)) {
      bar << button->objectName();
      EXPECT_EQ(button->toolButtonStyle(), Qt::ToolButtonIconOnly);
    } else {
      bar << QString("sep%1").arg(w->width());
    }
  }
  EXPECT_EQ(bar, QStringList({"BnAdd", "BnRemove", "BnUpdate", "sep8", "BnRefresh", "BnSave",
                              "BnDiscard", "sep8", "BnContents", "BnHome", "BnAbout"}));
  EXPECT_EQ(form->BnSave->defaultAction(), form->aCommit);
  EXPECT_EQ(form->ToolBar1->height(), 30);
  EXPECT_LT(form->ToolBar1->width(), 400);  // fitted to its buttons, not the window

  // The buttons' tool tips are the hints; Contents has none.
  Show();
  auto tipOf = [this](QToolButton* button) {
    QToolTip::showText(form->mapToGlobal(QPoint(300, 300)), "none", form.get());
    QHelpEvent help(QEvent::ToolTip, QPoint(3, 3), button->mapToGlobal(QPoint(3, 3)));
    QApplication::sendEvent(button, &help);
    return QToolTip::text();
  };
  EXPECT_EQ(tipOf(form->BnAdd), "Add computer name \r\nto the list of computers");
  EXPECT_EQ(tipOf(form->BnSave), "Save all policy modifications");
  EXPECT_EQ(tipOf(form->BnContents), "none");  // not even the caption
}

TEST_F(MainWindow, DisabledActionsDoNothing) {
  bool boxShown = false;
  auto closeBoxSoon = [&] {
    QTimer::singleShot(0, [&] {
      if (QWidget* box = QApplication::activeModalWidget()) {
        boxShown = true;
        box->close();
      }
    });
  };
  closeBoxSoon();
  form->aAbout->setEnabled(false);
  form->aAbout->trigger();
  QCoreApplication::processEvents();
  EXPECT_FALSE(boxShown);
  closeBoxSoon();
  form->aAbout->setEnabled(true);
  form->aAbout->trigger();
  EXPECT_TRUE(boxShown);
}

TEST_F(MainWindow, SizeLimitsAndAnchors) {
  EXPECT_EQ(form->size(), QSize(661, 480));
  EXPECT_EQ(form->minimumSize(), QSize(660, 350));
  Show();
  form->resize(100, 100);
  EXPECT_EQ(form->size(), QSize(660, 350));

  form->resize(661, 480);
  QCoreApplication::processEvents();
  const QRect grid = form->GrRights->geometry();
  const QRect legend = form->LBxLegend->geometry();
  const QRect powered = form->Label2->geometry();
  const QRect logo = form->ImgLogo->geometry();
  const int clientWidth = form->centralWidget()->width();
  EXPECT_EQ(grid.topLeft(), QPoint(8, 160));
  EXPECT_EQ(legend.topLeft(), QPoint(368, 40));
  EXPECT_EQ(clientWidth - (grid.right() + 1), 9);
  EXPECT_EQ(clientWidth - (legend.right() + 1), 9);
  EXPECT_EQ(form->GrRights->geometry().height() + 160 + 10, form->centralWidget()->height());

  form->resize(900, 700);
  QCoreApplication::processEvents();
  EXPECT_EQ(form->GrRights->geometry().topLeft(), grid.topLeft());
  EXPECT_EQ(form->GrRights->width(), grid.width() + 239);
  EXPECT_EQ(form->GrRights->height(), grid.height() + 220);
  EXPECT_EQ(form->LBxLegend->width(), legend.width() + 239);
  EXPECT_EQ(form->LBxLegend->height(), legend.height());
  EXPECT_EQ(form->Label2->geometry(), powered.translated(239, 0));
  EXPECT_EQ(form->ImgLogo->geometry(), logo);
  EXPECT_EQ(form->StatusBar->height(), 19);
  EXPECT_EQ(form->StatusBar->geometry().bottom(), form->height() - 1);
}

TEST_F(MainWindow, TabOrderAndLabels) {
  QWidget* order[] = {form->CBxUsers, form->LBxLegend, form->GrRights, form->CBxSidSource};
  for (int i = 0; i + 1 < 4; ++i) {
    QWidget* next = order[i]->nextInFocusChain();
    while (next->focusPolicy() == Qt::NoFocus || !next->isEnabled())
      next = next->nextInFocusChain();
    EXPECT_EQ(next, order[i + 1]) << i;
  }
  EXPECT_EQ(form->Label3->buddy(), form->CBxUsers);
  EXPECT_EQ(form->Label4->buddy(), form->GrRights);
  EXPECT_EQ(form->Label1->buddy(), nullptr);
  EXPECT_EQ(form->Label2->text(), "Powered by");
  EXPECT_EQ(form->LbVelmar->text(), "Velmar");
  EXPECT_TRUE(form->LbVelmar->font().underline());
  EXPECT_EQ(form->LbVelmar->cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(MainWindow, LegendFillsColumnsTopToBottom) {
  Show();
  QListWidget& legend = *form->LBxLegend;
  ASSERT_EQ(legend.count(), 29);
  EXPECT_EQ(legend.item(0)->text(), "CT - Create token");
  EXPECT_EQ(legend.item(26)->text(), "LS - Logon as a service");
  EXPECT_EQ(legend.item(27)->text(), "");
  EXPECT_EQ(legend.item(28)->text(), " ");

  // Items go down the first column, then on in the next one to the right,
  // one column being as wide as the box's inside.
  const int column = legend.viewport()->width();
  const QRect first = legend.visualItemRect(legend.item(0));
  EXPECT_EQ(first.height(), 11);
  EXPECT_EQ(legend.visualItemRect(legend.item(1)).top(), first.top() + 11);
  int perColumn = 1;
  while (legend.visualItemRect(legend.item(perColumn)).left() == first.left()) ++perColumn;
  EXPECT_GE(perColumn, 5);
  EXPECT_LE(perColumn * 11, legend.viewport()->height());
  const QRect next = legend.visualItemRect(legend.item(perColumn));
  EXPECT_EQ(next.left(), first.left() + column);
  EXPECT_EQ(next.top(), first.top());
  // Widening the box widens the column with it.
  form->resize(form->width() + 100, form->height());
  QCoreApplication::processEvents();
  EXPECT_EQ(legend.visualItemRect(legend.item(perColumn)).left() -
                legend.visualItemRect(legend.item(0)).left(),
            legend.viewport()->width());
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
  QSize size;
  QTimer::singleShot(0, [&] {
    seen = qobject_cast<TAboutForm*>(QApplication::activeModalWidget());
    if (!seen) return;
    caption = seen->windowTitle();
    size = seen->size();
    QTest::mouseClick(seen->LbVelmar, Qt::LeftButton);
    seen->BnOk->click();
  });
  form->aAbout->trigger();
  ASSERT_FALSE(caption.isEmpty()) << "no about box";
  EXPECT_EQ(caption, "About Tavrin");
  EXPECT_EQ(size, QSize(384, 245));
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(seen.isNull());
  ASSERT_EQ(opened.size(), 5u);
  EXPECT_EQ(opened[4], QUrl::fromLocalFile(dir + "/manual/velmar.html"));
}

// ------------------------------------------------------------ staging cells

TEST_F(MainWindow, DoubleClickOnReadableCells) {
  Show();
  AddRow("WS01", {"N ", "Y "});
  DoubleClick(1, 1);
  EXPECT_EQ(Cell(1, 1), "NY");
  EXPECT_EQ(Panels(), QStringList({"Grant", "No right", " Create token"}));
  DoubleClick(1, 1);
  EXPECT_EQ(Cell(1, 1), "N ");
  EXPECT_EQ(Panels(), QStringList({"", "No right", " Create token"}));

  DoubleClick(2, 1);
  EXPECT_EQ(Cell(2, 1), "YN");
  EXPECT_EQ(Panels(), QStringList({"Revoke", "Right is set", " Assign primary token"}));
  // Insert marks a grant: "YY" stages nothing; the status stays until the
  // next click.
  QTest::keyClick(&Grid(), Qt::Key_Insert);
  EXPECT_EQ(Cell(2, 1), "YY");
  EXPECT_EQ(form->StatusText(0), "Revoke");
  Click(2, 1);
  EXPECT_EQ(form->StatusText(0), "");
  EXPECT_EQ(form->StatusText(1), "Right is set");
}

TEST_F(MainWindow, DoubleClickOverABlockFollowsTheTable) {
  Show();
  AddRow("A", {"N ", "NE", "NY", "NN", "Y ", "YE", "YY", "YN", "E ", "EE", "EY", "EN"});
  Grid().SetSelection({1, 1, 12, 2});  // the spare row included
  emit Grid().DblClick();
  const char* after[] = {"NY", "NY", "N ", "N ", "YN", "YN", "YN", "Y ", "EY", "EY", "EN", "E "};
  for (int col = 1; col <= 12; ++col) EXPECT_EQ(Cell(col, 1), after[col - 1]) << col;
  for (int col = 1; col <= 12; ++col) EXPECT_EQ(Cell(col, 2), "") << "spare row, column " << col;
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
  Grid().setFocus();
  Grid().SetSelection({1, 1, 3, 3});
  const struct {
    Qt::Key key;
    char mark;
  } keys[] = {{Qt::Key_Delete, 'N'},
              {Qt::Key_Return, 'Y'},
              {Qt::Key_Space, ' '},
              {Qt::Key_Insert, 'Y'},
              {Qt::Key_Enter, 'Y'}};
  for (const auto& k : keys) {
    QTest::keyClick(&Grid(), k.key);
    for (int row = 1; row <= 2; ++row)
      for (int col = 1; col <= 3; ++col)
        EXPECT_EQ(Cell(col, row)[1], QLatin1Char(k.mark)) << k.key << " at " << col << "," << row;
    for (int col = 1; col <= 3; ++col) EXPECT_EQ(Cell(col, 3), "");
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
    int col;
    const char* change;
    const char* state;
  } cases[] = {{1, "", "Unable read"},
               {2, "Grant", "Unable read"},
               {3, "Revoke", "Unable read"},
               {4, "Can't change", "Right is set"},
               {5, "", "Unable read"}};
  for (const auto& c : cases) {
    Click(c.col, 1);
    EXPECT_EQ(form->StatusText(0), c.change) << c.col;
    EXPECT_EQ(form->StatusText(1), c.state) << c.col;
  }
  // Every one of them draws the unreadable image.
  for (int col = 1; col <= 5; ++col)
    EXPECT_EQ(Grid()
                  .Model()
                  ->data(Grid().Model()->index(0, col - 1), TRightsGridModel::StateImageRole)
                  .toInt(),
              2);
  // A single cell of the spare row empties panels 0 and 1.
  Click(1, 2);
  EXPECT_EQ(Panels(), QStringList({"", "", " Create token"}));
}

TEST_F(MainWindow, LeavingAndReenteringTheGrid) {
  Show();
  AddRow("WS01", {"NY"});
  Grid().setFocus(Qt::TabFocusReason);
  Click(1, 1);
  EXPECT_EQ(Panels(), QStringList({"Grant", "No right", " Create token"}));
  form->LBxLegend->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(Panels(), QStringList({"", "", ""}));
  Grid().setFocus(Qt::BacktabFocusReason);
  EXPECT_EQ(Panels(), QStringList({"Grant", "No right", " Create token"}));
  // A window that merely loses activation keeps the texts.
  QWidget other;
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  EXPECT_EQ(form->StatusText(0), "Grant");
}

TEST_F(MainWindow, AnyChangeEnablesCommitAndDiscard) {
  Show();
  AddRow("WS01", {"N ", "Y "});
  Grid().setFocus();
  // Nothing changes: a blank mark on a cell without a mark, keys on the spare row.
  Grid().SetSelection({1, 1, 2, 1});
  QTest::keyClick(&Grid(), Qt::Key_Space);
  Grid().SetSelection({1, 2, 5, 2});
  QTest::keyClick(&Grid(), Qt::Key_Insert);
  emit Grid().DblClick();
  EXPECT_FALSE(form->aCommit->isEnabled());
  EXPECT_FALSE(form->aDiscard->isEnabled());

  DoubleClick(2, 1);
  EXPECT_TRUE(form->aCommit->isEnabled());
  EXPECT_TRUE(form->aDiscard->isEnabled());
  // Back to the first state: both stay enabled.
  DoubleClick(2, 1);
  EXPECT_EQ(Cell(2, 1), "Y ");
  EXPECT_TRUE(form->aCommit->isEnabled());
  EXPECT_TRUE(form->aDiscard->isEnabled());
  for (QAction* action : form->Actions)
    EXPECT_TRUE(action->isEnabled()) << action->objectName().toStdString();
}

TEST_F(MainWindow, KeysAloneEnableCommitAndDiscard) {
  Show();
  AddRow("WS01", {"N "});
  Grid().setFocus();
  Grid().SetSelection({1, 1, 1, 1});
  QTest::keyClick(&Grid(), Qt::Key_Delete);
  EXPECT_EQ(Cell(1, 1), "NN");
  EXPECT_TRUE(form->aCommit->isEnabled());
  EXPECT_TRUE(form->aDiscard->isEnabled());
}

}  // namespace
