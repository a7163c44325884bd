#include "app/fmTavrinMain.h"

#include <qdrawutil.h>

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>

#include "app/Anchors.h"
#include "app/AppHelp.h"
#include "app/ClickLabel.h"
#include "app/ImageLists.h"
#include "app/RightsGrid.h"
#include "app/fmAbout.h"
#include "computers/ComputerList.h"
#include "pickers/Velmar_SidSourceComboBox.h"
#include "pickers/Velmar_UsersComboBox.h"
#include "rights/Velmar_RightsCenter.h"

namespace {

// The client area the controls were placed in: the window's designed size
// less its frame, the menu bar and the status bar.
constexpr QSize kDesignClient{653, 415};
constexpr int kStatusBarHeight = 19;
constexpr int kToolBarHeight = 30;
constexpr int kLegendItemHeight = 11;

// A label caption with its accelerator ("&Domain") drawn with the letter
// underlined, for labels that hand the focus to no control.
QString UnderlinedAccelerator(const QString& caption) {
  QString html;
  for (int i = 0; i < caption.size(); ++i) {
    if (caption[i] == QLatin1Char('&') && i + 1 < caption.size()) {
      ++i;
      if (caption[i] == QLatin1Char('&'))
        html += QStringLiteral("&amp;");
      else
        html +=
            QStringLiteral("<u>") + QString(caption[i]).toHtmlEscaped() + QStringLiteral("</u>");
    } else {
      html += QString(caption[i]).toHtmlEscaped();
    }
  }
  return html;
}

// The tool bar: flat buttons inside a one-pixel etched edge on all four
// sides.
class TEdgedToolBar : public QToolBar {
 public:
  using QToolBar::QToolBar;

 protected:
  void paintEvent(QPaintEvent* event) override {
    QToolBar::paintEvent(event);
    QPainter painter(this);
    qDrawShadeRect(&painter, rect(), palette(), true, 1);
  }
};

// A tool-bar separator of a fixed width with an etched line in its middle.
class TToolSeparator : public QWidget {
 public:
  TToolSeparator(int width, QWidget* parent) : QWidget(parent) { setFixedWidth(width); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    const int x = width() / 2 - 1;
    qDrawShadeLine(&painter, x, 2, x, height() - 3, palette(), true, 1, 0);
  }
};

// The legend's items: one line of text each, as high as the list's item
// height; the text is not clipped to its line, so that a font taller than
// the line stays readable.
class TLegendDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
    return {option.rect.width(), kLegendItemHeight};
  }

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const QPalette::ColorGroup group =
        (opt.state & QStyle::State_Active) ? QPalette::Active : QPalette::Inactive;
    const bool selected = opt.state & QStyle::State_Selected;
    painter->save();
    if (selected) painter->fillRect(opt.rect, opt.palette.brush(group, QPalette::Highlight));
    painter->setPen(
        opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setFont(opt.font);
    const QFontMetrics metrics(opt.font);
    const int baseline =
        opt.rect.top() + (opt.rect.height() - metrics.height()) / 2 + metrics.ascent();
    painter->drawText(opt.rect.left() + 2, baseline, opt.text);
    painter->restore();
  }
};

// The legend: items fill the box top to bottom and continue in the next
// column to the right; one column, as wide as the box, is in view.
class TLegendList : public QListWidget {
 public:
  explicit TLegendList(QWidget* parent) : QListWidget(parent) {
    setFlow(QListView::TopToBottom);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
    setUniformItemSizes(true);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerItem);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setItemDelegate(new TLegendDelegate(this));
  }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QListWidget::resizeEvent(event);
    FitColumn();
  }
  bool viewportEvent(QEvent* event) override {
    // The viewport narrows or widens when the scroll bar comes or goes.
    if (event->type() == QEvent::Resize) FitColumn();
    return QListWidget::viewportEvent(event);
  }

 private:
  void FitColumn() {
    const QSize grid(std::max(1, viewport()->width()), kLegendItemHeight);
    if (gridSize() != grid) setGridSize(grid);
  }
};

}  // namespace

TTavrinForm::TTavrinForm(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle(QStringLiteral("Tavrin"));
  setWindowIcon(tavrin::ApplicationIcon());
  setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
  setMinimumSize(SmallestSize);
  resize(DesignedSize);

  CreateActions();
  CreateMenus();
  CreateControls();
  CreateStatusBar();

  Timer = new QTimer(this);
  Timer->setObjectName(QStringLiteral("Timer"));
  Timer->setInterval(100);
  connect(Timer, &QTimer::timeout, this, &TTavrinForm::TimerTimer);

  components_ = std::make_unique<TComponent>();
  Computers = new TComputerList(components_.get());
  Computers->SetName("Computers");

  // The form is built: the pickers fill their lists.
  CBxSidSource->Loaded();
  CBxUsers->Loaded();

  FormCreate();
}

// A scan still running is asked to stop when Computers goes; its thread ends by itself.
TTavrinForm::~TTavrinForm() = default;

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
  };
  for (const ActionDesign& design : designs) {
    auto* action =
        new QAction(tavrin::ActionImage(design.image), QString::fromLatin1(design.caption), this);
    action->setObjectName(QLatin1String(design.name));
    action->setProperty("category", QLatin1String(design.category));
    action->setEnabled(design.enabled);
    action->setIconVisibleInMenu(true);
    hints_.insert(action, QString::fromLatin1(design.hint));
    connect(action, &QAction::triggered, this, design.handler);
    this->*design.member = action;
    Actions.append(action);
  }
}

void TTavrinForm::CreateMenus() {
  MM_Main = new QMenuBar(this);
  MM_Main->setObjectName(QStringLiteral("MM_Main"));
  setMenuBar(MM_Main);
  MI_Computer = MM_Main->addMenu(QStringLiteral("&Computer"));
  MI_Computer->setObjectName(QStringLiteral("MI_Computer"));
  MI_Computer->addActions({aAdd, aRemove, aUpdate});
  MI_Policy = MM_Main->addMenu(QStringLiteral("&Policy"));
  MI_Policy->setObjectName(QStringLiteral("MI_Policy"));
  MI_Policy->addActions({aDiscard, aCommit, aRefresh});
  MI_Help = MM_Main->addMenu(QStringLiteral("&Help"));
  MI_Help->setObjectName(QStringLiteral("MI_Help"));
  MI_Help->addAction(aContents);
  MI_Help->addSeparator();
  MI_Help->addActions({aHome, aAbout});
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

  LBxLegend = new TLegendList(client);
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
      panel->setFixedWidth(widths[i]);
      StatusBar->addWidget(panel);
    } else {
      // The last panel takes what is left of the bar, up to its width.
      panel->setMaximumWidth(widths[i]);
      panel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
      StatusBar->addWidget(panel, 1);
    }
    panels_[i] = panel;
  }
}

QString TTavrinForm::StatusText(int panel) const {
  return panel >= 0 && panel < StatusPanelCount ? panels_[panel]->text() : QString();
}

void TTavrinForm::SetStatusText(int panel, const QString& text) {
  if (panel >= 0 && panel < StatusPanelCount) panels_[panel]->setText(text);
}

void TTavrinForm::FormCreate() {
  // 1. The help file beside the executable.
  tavrin::SetHelpFile(tavrin::HelpFileBesideExecutable());
  // 2. The application's title.
  QCoreApplication::setApplicationName(QStringLiteral("Tavrin"));
  // 3. The header row and the spare row, 28 columns.
  GrRights->Reset();
  // 4. The right columns: 21 pixels wide, headed by their codes.
  for (int col = 1; col < GrRights->ColCount(); ++col) {
    GrRights->SetColWidths(col, TRightsGrid::RightColWidth);
    GrRights->SetCells(col, 0, LBxLegend->item(col - 1)->text().left(2));
  }
  // 5. Point the account picker at the first source.
  CBxSidSource->setCurrentIndex(0);
  CBxSidSourceClick();
  // 6. The first account; selecting by program reads nothing.
  CBxUsers->setCurrentIndex(0);
  // 7. Scan the network; its end reads every computer found.
  aUpdate->trigger();
}

void TTavrinForm::CellsChanged() {
  aCommit->setEnabled(true);
  aDiscard->setEnabled(true);
}

// ------------------------------------------------------------ grid events

void TTavrinForm::GrRightsClick() {
  const TGridRect selection = GrRights->Selection();
  QStringList names;
  for (int col = selection.Left; col <= selection.Right; ++col) {
    if (const QListWidgetItem* item = LBxLegend->item(col - 1)) names << item->text().mid(4);
  }
  SetStatusText(2, names.join(QStringLiteral("; ")));

  if (selection.Left == selection.Right && selection.Top == selection.Bottom) {
    const TCellCode code = GrRights->Code(selection.Left, selection.Top);
    if (code.length == 2) {
      QString change;
      if (code.Mark() != ' ' && code.Mark() != code.State()) {
        switch (code.Mark()) {
          case 'Y':
            change = QStringLiteral("Grant");
            break;
          case 'N':
            change = QStringLiteral("Revoke");
            break;
          case 'E':
            change = QStringLiteral("Can't change");
            break;
        }
      }
      SetStatusText(0, change);
      switch (code.State()) {
        case 'Y':
          SetStatusText(1, QStringLiteral("Right is set"));
          break;
        case 'N':
          SetStatusText(1, QStringLiteral("No right"));
          break;
        case 'E':
          SetStatusText(1, QStringLiteral("Unable read"));
          break;
      }
      return;
    }
  }
  SetStatusText(0, QString());
  SetStatusText(1, QString());
}

void TTavrinForm::GrRightsDblClick() {
  const bool changed = GrRights->ChangeBlock(GrRights->Selection(), [](const TCellCode& code) {
    const TCellCode full = code.length < 2 ? TCellCode::Blanks() : code;
    return WithMark(full, MarkAfterDoubleClick(full.State(), full.Mark()));
  });
  if (changed) CellsChanged();
  GrRightsClick();
}

void TTavrinForm::GrRightsKeyDown(int virtualKey) {
  char mark;
  switch (virtualKey) {
    case 13:  // Enter
    case 45:  // Insert
      mark = 'Y';
      break;
    case 46:  // Delete
      mark = 'N';
      break;
    case 32:  // Space
      mark = ' ';
      break;
    default:
      return;
  }
  const bool changed = GrRights->ChangeBlock(
      GrRights->Selection(), [mark](const TCellCode& code) { return WithMark(code, mark); });
  if (changed) CellsChanged();
}

void TTavrinForm::GrRightsExit() {
  SetStatusText(2, QString());
  SetStatusText(1, QString());
  SetStatusText(0, QString());
}

// ------------------------------------------------------------ help and about

void TTavrinForm::aContentsExecute() { tavrin::ShowHelpContext(tavrin::HelpContextContents); }

void TTavrinForm::aHomeExecute() { tavrin::OpenUrl(tavrin::ProductHomePage()); }

void TTavrinForm::LbVelmarClick() { tavrin::OpenUrl(tavrin::LibraryHomePage()); }

void TTavrinForm::aAboutExecute() {
  auto* about = new TAboutForm(nullptr);  // frees itself when closed
  about->exec();
}

// ------------------------------------------------- reading, committing, computers
// The commands below read the computers into the grid, commit and discard
// the staged marks, and edit the list of computers. They are filled in
// together with the components they drive: the computer list, the rights
// center and the pickers.

void TTavrinForm::aAddExecute() {}

void TTavrinForm::aRemoveExecute() {}

void TTavrinForm::aUpdateExecute() {}

void TTavrinForm::aRefreshExecute() {}

void TTavrinForm::aCommitExecute() {}

void TTavrinForm::aDiscardExecute() {}

void TTavrinForm::CBxSidSourceClick() {
  // The account picker lists the accounts of the chosen source.
  const auto* source = CBxSidSource->Sources(CBxSidSource->currentIndex());
  if (source == nullptr) return;
  CBxUsers->SetDomain(source->Domain());
  CBxUsers->SetServer(source->Server());
  CBxUsers->UpdateList();
}

void TTavrinForm::CBxUsersClick() {}

void TTavrinForm::TimerTimer() {}

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
