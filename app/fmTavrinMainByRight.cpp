// The window's By-right mode: "By right" beside the account picker puts a
// picker of the 45 rights in its place and, instead of the rights grid, a
// grid of every computer and the accounts holding the chosen right there,
// read on a pass of its own. Double-clicking an account's column head goes
// back to the account mode with that account chosen. Marks and Commit do
// not apply while the mode is shown.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>

#include "app/Anchors.h"
#include "app/HoldersGridModel.h"
#include "app/RightsGrid.h"
#include "app/UiHandOver.h"
#include "app/fmTavrinMain.h"
#include "pickers/controls/Velmar_SidSourceComboBox.h"
#include "pickers/controls/Velmar_UsersComboBox.h"
#include "rights/Velmar_RightsCenter.h"

namespace {

QString Local(const std::string& text) { return QString::fromLocal8Bit(text); }

}  // namespace

void TTavrinForm::CreateByRightMode() {
  QWidget* client = centralWidget();
  TAnchors* anchors = nullptr;
  for (QObject* child : client->children())
    if ((anchors = dynamic_cast<TAnchors*>(child)) != nullptr) break;

  // Above the right end of the account picker, on the line of its label.
  CBxByRight = new QCheckBox(QStringLiteral("By r&ight"), client);
  CBxByRight->setObjectName(QStringLiteral("CBxByRight"));
  CBxByRight->setToolTip(QStringLiteral("Show who holds one right on every computer"));
  CBxByRight->adjustSize();
  anchors->Add(CBxByRight, QRect(QPoint(357 - CBxByRight->width(), 89), CBxByRight->size()));

  // In the place of the account picker.
  CBxRight = new QComboBox(client);
  CBxRight->setObjectName(QStringLiteral("CBxRight"));
  for (TvmPrivilege right : ViewRights(TRightsView::All))
    CBxRight->addItem(QString::fromStdString(RightDescription(right)), static_cast<int>(right));
  CBxRight->setMaxVisibleItems(20);
  CBxRight->hide();
  anchors->Add(CBxRight, QRect(116, 108, 241, 28));

  // In the place of the rights grid.
  holdersModel_ = new THoldersGridModel(this);
  GrHolders = new QTableView(client);
  GrHolders->setObjectName(QStringLiteral("GrHolders"));
  GrHolders->setModel(holdersModel_);
  GrHolders->setSelectionMode(QAbstractItemView::SingleSelection);
  GrHolders->setEditTriggers(QAbstractItemView::NoEditTriggers);
  GrHolders->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  GrHolders->verticalHeader()->setDefaultSectionSize(18);
  GrHolders->hide();
  anchors->Add(GrHolders, QRect(8, 160, 636, 245),
               Qt::TopEdge | Qt::LeftEdge | Qt::RightEdge | Qt::BottomEdge);

  holdersNews_ = new TUiHandOver([this] { TakeHolders(); }, this);
  connect(CBxByRight, &QCheckBox::toggled, this, &TTavrinForm::ShowByRight);
  connect(CBxRight, &QComboBox::activated, this, [this] { ReadHolders(); });
  connect(GrHolders->horizontalHeader(), &QHeaderView::sectionDoubleClicked, this,
          &TTavrinForm::HolderHeadDblClick);
  connect(GrHolders, &QTableView::clicked, this, [this](const QModelIndex& index) {
    const QString problem = holdersModel_->RowProblem(index.row());
    SetStatusText(2, problem.isEmpty()
                         ? holdersModel_->ColumnName(index.column()) + QStringLiteral(" (") +
                               holdersModel_->ColumnSid(index.column()) + QLatin1Char(')')
                         : problem);
  });
}

bool TTavrinForm::ByRightBlocks(const QAction* action) const {
  return byRightShown_ &&
         (action == aCommit || action == aDiscard || action == aRefresh || action == aExport);
}

void TTavrinForm::ShowByRight(bool shown) {
  if (shown == byRightShown_) return;
  byRightShown_ = shown;
  GrRights->setVisible(!shown);
  CBxUsers->setVisible(!shown);
  CBxRight->setVisible(shown);
  GrHolders->setVisible(shown);
  Label3->setText(shown ? QStringLiteral("&Right") : QStringLiteral("&Users and groups"));
  Label3->adjustSize();
  Label3->setBuddy(shown ? static_cast<QWidget*>(CBxRight) : CBxUsers);
  Label4->setText(shown ? QStringLiteral("Accounts holding the right")
                        : QStringLiteral("Rights of users"));
  Label4->adjustSize();
  // The marks and what acts on them stay as they are for the account mode.
  for (QAction* action : {aCommit, aDiscard, aRefresh, aExport})
    action->setEnabled(!ByRightBlocks(action) && wanted_.value(action, true) && !PassRunning());
  SetStatusText(0, QString());  // the panels of a selected cell of the rights grid
  SetStatusText(1, QString());
  if (shown) {
    ReadHolders();
    CBxRight->setFocus();
    return;
  }
  if (holdersPass_) {  // its rows under way finish on their own, unseen
    holdersPass_->Stop();
    holdersRetiring_.push_back(std::move(holdersPass_));
  }
  SetStatusText(2, QString());
}

void TTavrinForm::ReadHolders() {
  // A pass for another right still running is stopped and left to end on
  // its own, its results dropped: a computer it waits for does not hold up
  // the window.
  if (holdersPass_) {
    holdersPass_->Stop();
    holdersRetiring_.push_back(std::move(holdersPass_));
  }
  QStringList names;
  for (int row = 1; row <= GrRights->RowCount() - 2; ++row) names << GrRights->Cells(0, row);
  holdersModel_->Reset(names);
  const auto right = static_cast<TvmPrivilege>(CBxRight->currentData().toInt());
  std::vector<std::string> texts;
  for (const QString& name : names) texts.push_back(name.toLocal8Bit().toStdString());
  TUiHandOver* news = holdersNews_;
  holdersPass_ =
      std::make_unique<TPassEngine>(right, texts, PassWorkers, [news] { news->Notify(); });
  TakeHolders();
}

void TTavrinForm::TakeHolders() {
  std::erase_if(holdersRetiring_, [](const std::unique_ptr<TPassEngine>& pass) {
    pass->Pump();
    return pass->Ended();
  });
  if (!holdersPass_) return;
  for (const TRowResult& result : holdersPass_->Pump()) {
    const TRowHolders& read = result.holders;
    if (read.failed)
      holdersModel_->SetProblem(
          result.row,
          Local(ErrorWithCode(read.errorText.empty() ? "unreadable" : read.errorText, read.error)));
    else
      holdersModel_->SetHolders(result.row, read.holders);
  }
  const QString right = Local(PolicyNames[CBxRight->currentData().toInt()]);
  if (!holdersPass_->Ended()) {
    SetStatusText(2, QStringLiteral("Reading who holds %1: %2 of %3 done")
                         .arg(right)
                         .arg(holdersPass_->Done())
                         .arg(holdersPass_->Total()));
    return;
  }
  const int failed = holdersPass_->Failed();
  const int accounts = holdersModel_->columnCount(), read = holdersPass_->Total() - failed;
  if (!holdersPass_->Stopped())
    SetStatusText(
        2,
        QStringLiteral("%1 %2 %3 on %4 %5%6")
            .arg(accounts)
            .arg(accounts == 1 ? QStringLiteral("account holds") : QStringLiteral("accounts hold"))
            .arg(right)
            .arg(read)
            .arg(read == 1 ? QStringLiteral("computer") : QStringLiteral("computers"))
            .arg(failed ? QStringLiteral("; %1 could not be read").arg(failed) : QString()));
  holdersPass_.reset();
}

void TTavrinForm::HolderHeadDblClick(int column) {
  const std::string sid = holdersModel_->ColumnSid(column).toStdString();
  if (sid.empty()) return;
  const int found = AccountIndex(sid);
  CBxByRight->setChecked(false);  // back to the account mode
  if (found < 0) {
    SetStatusText(2, holdersModel_->ColumnName(column) +
                         QStringLiteral(" is not among the accounts of ") +
                         CBxSidSource->currentText());
    return;
  }
  CBxUsers->setCurrentIndex(found);
  CBxUsersClick();
}
