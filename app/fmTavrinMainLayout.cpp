// The main window's make-up: its actions, menus, tool bar, controls and
// status bar as designed, and the tool tips of its tool-bar buttons.
#include <QAction>
#include <QComboBox>
#include <QHelpEvent>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolButton>
#include <QToolTip>

#include "app/Anchors.h"
#include "app/AppHelp.h"
#include "app/ClickLabel.h"
#include "app/GridExport.h"
#include "app/ImageLists.h"
#include "app/RightsGrid.h"
#include "app/UiHandOver.h"
#include "app/WindowParts.h"
#include "app/fmAbout.h"
#include "app/fmTavrinMain.h"
#include "computers/ComputerList.h"
#include "passes/RowWork.h"
#include "pickers/controls/Velmar_SidSourceComboBox.h"
#include "pickers/controls/Velmar_UsersComboBox.h"
#include "platform/ComputerNames.h"
#include "platform/PlatformInit.h"
#include "rights/Velmar_RightsCenter.h"
#include "sid/Velmar_SidCenter.h"

namespace {

// The client area the controls were placed in: the window's designed size
// less its frame, the menu bar and the status bar.
constexpr QSize kDesignClient{653, 415};
constexpr int kStatusBarHeight = 19;
constexpr int kToolBarHeight = 30;
constexpr int kLegendItemHeight = 11;

}  // namespace

void TTavrinForm::CreateActions() {
  struct ActionDesign {
    QAction* TTavrinForm::*member;
    const char* name;
    const char* category;
    const char* caption;
    const char* hint;
    int image;
    bool enabled;
    void (TTavrinForm::*handler)();
  };
  static const ActionDesign designs[] = {
      {&TTavrinForm::aAdd, "aAdd", "Computer", "&Add computer...",
       "Add computer name \r\nto the list of computers", 0, true, &TTavrinForm::aAddExecute},
      {&TTavrinForm::aRemove, "aRemove", "Computer", "&Remove computer",
       "Remove selected computer \r\nfrom the list", 1, true, &TTavrinForm::aRemoveExecute},
      {&TTavrinForm::aUpdate, "aUpdate", "Computer", "&Update list of computers",
       "Rescan the network and update \r\nthe list of computers", 2, true,
       &TTavrinForm::aUpdateExecute},
      {&TTavrinForm::aRefresh, "aRefresh", "Policy", "&Refresh", "Refresh policy information", 5,
       true, &TTavrinForm::aRefreshExecute},
      {&TTavrinForm::aCommit, "aCommit", "Policy", "&Commit all changes",
       "Save all policy modifications", 3, false, &TTavrinForm::aCommitExecute},
      {&TTavrinForm::aDiscard, "aDiscard", "Policy", "&Discard all changes",
       "Discard all policy modifications", 4, false, &TTavrinForm::aDiscardExecute},
      {&TTavrinForm::aContents, "aContents", "Help", "&Contents", "", 6, true,
       &TTavrinForm::aContentsExecute},
      {&TTavrinForm::aHome, "aHome", "Help", "&Homepage", "Visit the Tavrin homepage", 7, true,
       &TTavrinForm::aHomeExecute},
      {&TTavrinForm::aAbout, "aAbout", "Help", "&About", "About the Tavrin", 8, true,
       &TTavrinForm::aAboutExecute},
      {&TTavrinForm::aStop, "aStop", "Policy", "&Stop",
       "Stop reading or committing \r\nthe computers", -1, false, &TTavrinForm::aStopExecute},
  };
  for (const ActionDesign& design : designs) {
    const QIcon icon = design.image >= 0 ? tavrin::ActionImage(design.image)
                                         : style()->standardIcon(QStyle::SP_BrowserStop);
    auto* action = new QAction(icon, QString::fromLatin1(design.caption), this);
    action->setObjectName(QLatin1String(design.name));
    action->setProperty("category", QLatin1String(design.category));
    action->setEnabled(design.enabled);
    if (design.member != &TTavrinForm::aContents && design.member != &TTavrinForm::aHome &&
        design.member != &TTavrinForm::aAbout && design.member != &TTavrinForm::aStop)
      wanted_.insert(action, design.enabled);
    action->setIconVisibleInMenu(true);
    hints_.insert(action, QString::fromLatin1(design.hint));
    connect(action, &QAction::triggered, this, design.handler);
    this->*design.member = action;
    // Stop is no command of the designed list: it only ends a pass.
    if (design.member != &TTavrinForm::aStop) Actions.append(action);
  }
}

void TTavrinForm::CreateMenus() {
  MM_Main = new QMenuBar(this);
  MM_Main->setObjectName(QStringLiteral("MM_Main"));
  setMenuBar(MM_Main);
  MI_Computer = MM_Main->addMenu(QStringLiteral("&Computer"));
  MI_Computer->setObjectName(QStringLiteral("MI_Computer"));
  MI_Computer->addActions({aAdd, aRemove, aUpdate});
  CreateExportAction();
  MI_Policy = MM_Main->addMenu(QStringLiteral("&Policy"));
  MI_Policy->setObjectName(QStringLiteral("MI_Policy"));
  MI_Policy->addActions({aDiscard, aCommit, aRefresh});
  MI_Policy->addSeparator();
  MI_Policy->addActions({aStop, aFailures});
  aStop->setShortcut(QKeySequence(Qt::Key_Escape));
  aStop->setShortcutContext(Qt::WindowShortcut);
  addAction(aStop);
  MI_Help = MM_Main->addMenu(QStringLiteral("&Help"));
  MI_Help->setObjectName(QStringLiteral("MI_Help"));
  MI_Help->addAction(aContents);
  MI_Help->addSeparator();
  MI_Help->addActions({aHome, aAbout});
}

void TTavrinForm::CreateExportAction() {
  aOpenList = new QAction(QStringLiteral("&Open computer list..."), this);
  aOpenList->setObjectName(QStringLiteral("aOpenList"));
  connect(aOpenList, &QAction::triggered, this, &TTavrinForm::aOpenListExecute);
  MI_Computer->addAction(aOpenList);
  wanted_.insert(aOpenList, true);
  aExport = new QAction(QStringLiteral("&Export..."), this);
  aExport->setObjectName(QStringLiteral("aExport"));
  connect(aExport, &QAction::triggered, this, &TTavrinForm::aExportExecute);
  MI_Computer->addAction(aExport);
  aFailures = new QAction(QStringLiteral("&Failures..."), this);
  aFailures->setObjectName(QStringLiteral("aFailures"));
  aFailures->setEnabled(false);
  connect(aFailures, &QAction::triggered, this, &TTavrinForm::aFailuresExecute);
}

void TTavrinForm::CreateToolBar() {
  ToolBar1 = new TEdgedToolBar(centralWidget());
  ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
  ToolBar1->setMovable(false);
  ToolBar1->setFloatable(false);
  ToolBar1->setIconSize(QSize(16, 16));
  ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
  ToolBar1->setContentsMargins(1, 1, 1, 1);

  const struct {
    QAction* action;
    QToolButton* TTavrinForm::*button;
    const char* name;
  } buttons[] = {
      {aAdd, &TTavrinForm::BnAdd, "BnAdd"},
      {aRemove, &TTavrinForm::BnRemove, "BnRemove"},
      {aUpdate, &TTavrinForm::BnUpdate, "BnUpdate"},
      {nullptr, nullptr, nullptr},
      {aRefresh, &TTavrinForm::BnRefresh, "BnRefresh"},
      {aCommit, &TTavrinForm::BnSave, "BnSave"},
      {aDiscard, &TTavrinForm::BnDiscard, "BnDiscard"},
      {nullptr, nullptr, nullptr},
      {aContents, &TTavrinForm::BnContents, "BnContents"},
      {aHome, &TTavrinForm::BnHome, "BnHome"},
      {aAbout, &TTavrinForm::BnAbout, "BnAbout"},
      {nullptr, nullptr, nullptr},
      {aStop, &TTavrinForm::BnStop, "BnStop"},
  };
  for (const auto& entry : buttons) {
    if (!entry.action) {
      ToolBar1->addWidget(new TToolSeparator(8, ToolBar1));
      continue;
    }
    ToolBar1->addAction(entry.action);
    auto* button = qobject_cast<QToolButton*>(ToolBar1->widgetForAction(entry.action));
    button->setObjectName(QLatin1String(entry.name));
    button->setAutoRaise(true);
    button->installEventFilter(this);
    this->*entry.button = button;
  }
  ToolBar1->adjustSize();
}

void TTavrinForm::CreateControls() {
  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("Client"));
  setCentralWidget(client);
  client->resize(kDesignClient);
  auto* anchors = new TAnchors(client, kDesignClient);
  constexpr Qt::Edges kTopRight = Qt::TopEdge | Qt::RightEdge;

  CreateToolBar();
  anchors->Add(ToolBar1, QRect(0, 0, ToolBar1->sizeHint().width(), kToolBarHeight));

  ImgVelmar = new TClickLabel(client);
  ImgVelmar->setObjectName(QStringLiteral("ImgVelmar"));
  ImgVelmar->setPixmap(tavrin::LibraryLogo());
  ImgVelmar->setCursor(Qt::PointingHandCursor);
  connect(ImgVelmar, &TClickLabel::Clicked, this, &TTavrinForm::LbVelmarClick);
  anchors->Add(ImgVelmar, QRect(553, 1, 32, 32), kTopRight);

  Label2 = new QLabel(QStringLiteral("Powered by"), client);
  Label2->setObjectName(QStringLiteral("Label2"));
  Label2->adjustSize();
  anchors->Add(Label2, QRect(QPoint(589, 1), Label2->size()), kTopRight);

  LbVelmar = new TClickLabel(QStringLiteral("Velmar"), client);
  LbVelmar->setObjectName(QStringLiteral("LbVelmar"));
  StyleVelmarLink(LbVelmar);
  connect(LbVelmar, &TClickLabel::Clicked, this, &TTavrinForm::LbVelmarClick);
  anchors->Add(LbVelmar, QRect(589, 13, 56, 19), kTopRight);

  ImgLogo = new QLabel(client);
  ImgLogo->setObjectName(QStringLiteral("ImgLogo"));
  ImgLogo->setPixmap(tavrin::ProductLogo());
  ImgLogo->setScaledContents(true);
  anchors->Add(ImgLogo, QRect(8, 40, 96, 96));

  Label1 = new QLabel(client);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setTextFormat(Qt::RichText);
  Label1->setText(UnderlinedAccelerator(QStringLiteral("&Domain")));
  Label1->adjustSize();
  anchors->Add(Label1, QRect(QPoint(116, 40), Label1->size()));

  CBxSidSource = new TvmSidSourceComboBox(client);
  CBxSidSource->setObjectName(QStringLiteral("CBxSidSource"));
  connect(CBxSidSource, &QComboBox::activated, this, &TTavrinForm::CBxSidSourceClick);
  anchors->Add(CBxSidSource, QRect(116, 56, 241, 28));

  Label3 = new QLabel(QStringLiteral("&Users and groups"), client);
  Label3->setObjectName(QStringLiteral("Label3"));
  Label3->adjustSize();
  anchors->Add(Label3, QRect(QPoint(116, 92), Label3->size()));

  CBxUsers = new TvmUsersComboBox(client);
  CBxUsers->SetFilter(TvmUserList::DefaultFilter());
  CBxUsers->setObjectName(QStringLiteral("CBxUsers"));
  connect(CBxUsers, &QComboBox::activated, this, &TTavrinForm::CBxUsersClick);
  Label3->setBuddy(CBxUsers);
  anchors->Add(CBxUsers, QRect(116, 108, 241, 28));

  LBxLegend = new TLegendList(kLegendItemHeight, client);
  LBxLegend->setObjectName(QStringLiteral("LBxLegend"));
  QFont legendFont(QStringLiteral("Lucida Console"));
  legendFont.setStyleHint(QFont::TypeWriter);
  legendFont.setPixelSize(11);
  LBxLegend->setFont(legendFont);
  for (const char* line : PrivilegeLegend) LBxLegend->addItem(QString::fromLatin1(line));
  LBxLegend->addItem(QString());
  LBxLegend->addItem(QStringLiteral(" "));
  anchors->Add(LBxLegend, QRect(368, 40, 276, 97), Qt::TopEdge | Qt::LeftEdge | Qt::RightEdge);

  Label4 = new QLabel(QStringLiteral("Rights of users"), client);
  Label4->setObjectName(QStringLiteral("Label4"));
  Label4->adjustSize();
  anchors->Add(Label4, QRect(QPoint(8, 144), Label4->size()));

  GrRights = new TRightsGrid(client);
  GrRights->setObjectName(QStringLiteral("GrRights"));
  Label4->setBuddy(GrRights);
  connect(GrRights, &TRightsGrid::Click, this, &TTavrinForm::GrRightsClick);
  connect(GrRights, &TRightsGrid::Enter, this, &TTavrinForm::GrRightsClick);
  connect(GrRights, &TRightsGrid::DblClick, this, &TTavrinForm::GrRightsDblClick);
  connect(GrRights, &TRightsGrid::KeyDown, this, &TTavrinForm::GrRightsKeyDown);
  connect(GrRights, &TRightsGrid::Exit, this, &TTavrinForm::GrRightsExit);
  anchors->Add(GrRights, QRect(8, 160, 636, 245),
               Qt::TopEdge | Qt::LeftEdge | Qt::RightEdge | Qt::BottomEdge);

  // Tab order: account picker, legend, grid, source picker, tool bar.
  setTabOrder(CBxUsers, LBxLegend);
  setTabOrder(LBxLegend, GrRights);
  setTabOrder(GrRights, CBxSidSource);
  setTabOrder(CBxSidSource, ToolBar1);
}

void TTavrinForm::CreateStatusBar() {
  StatusBar = new QStatusBar(this);
  StatusBar->setObjectName(QStringLiteral("StatusBar"));
  StatusBar->setFixedHeight(kStatusBarHeight);
  setStatusBar(StatusBar);
  const int widths[StatusPanelCount] = {80, 80, 800};
  for (int i = 0; i < StatusPanelCount; ++i) {
    auto* panel = new QLabel(StatusBar);
    panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setIndent(2);
    if (i + 1 < StatusPanelCount) {
      // Wider when a reason follows the short text.
      panel->setMinimumWidth(widths[i]);
      StatusBar->addWidget(panel);
    } else {
      // The last panel takes what is left of the bar, up to its width.
      panel->setMaximumWidth(widths[i]);
      panel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
      StatusBar->addWidget(panel, 1);
    }
    panels_[i] = panel;
  }
  PassProgress = new TClickLabel(StatusBar);
  PassProgress->setObjectName(QStringLiteral("PassProgress"));
  PassProgress->setToolTip(QStringLiteral("Click to see the failures"));
  connect(PassProgress, &TClickLabel::Clicked, this, [this] {
    if (aFailures->isEnabled()) aFailures->trigger();
  });
  PassProgress->setIndent(2);
  PassProgress->hide();
  StatusBar->addPermanentWidget(PassProgress);
  const std::string network = tavrin::platform::NetworkDescription();
  if (!network.empty()) {
    NetworkLabel = new QLabel(QString::fromLocal8Bit(network.c_str()), StatusBar);
    NetworkLabel->setObjectName(QStringLiteral("NetworkLabel"));
    NetworkLabel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    NetworkLabel->setIndent(2);
    StatusBar->addPermanentWidget(NetworkLabel);
    // On real computers the title says so too: never mistaken for the simulation.
    if (network.rfind("real", 0) == 0)
      setWindowTitle(QStringLiteral("Tavrin - ") + NetworkLabel->text());
  }
}

// ------------------------------------------------------------------ tool tips

bool TTavrinForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    if (auto* button = qobject_cast<QToolButton*>(watched)) {
      const QString hint = Hint(button->defaultAction());
      auto* help = static_cast<QHelpEvent*>(event);
      if (hint.isEmpty())
        QToolTip::hideText();
      else
        QToolTip::showText(help->globalPos(), hint, button);
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}
