// The main window's choice of rights: the classic 27 or all 45 of current
// Windows, each column and legend line naming its right in full, and the
// guard rails asked about before a commit writes.
#include <QActionGroup>
#include <QBrush>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>

#include "app/RightsGrid.h"
#include "app/WindowSettings.h"
#include "app/fmTavrinMain.h"
#include "passes/GuardRails.h"
#include "sid/Velmar_SidCenter.h"

namespace {

constexpr const char* kViewKey = "view/rights";

}  // namespace

void TTavrinForm::CreateViewMenu() {
  MI_View = new QMenu(QStringLiteral("&View"), this);
  MI_View->setObjectName(QStringLiteral("MI_View"));
  MM_Main->insertMenu(MI_Help->menuAction(), MI_View);
  auto* group = new QActionGroup(this);
  aClassicRights = new QAction(QStringLiteral("&Classic rights"), group);
  aClassicRights->setObjectName(QStringLiteral("aClassicRights"));
  aAllRights = new QAction(QStringLiteral("&All rights of current Windows"), group);
  aAllRights->setObjectName(QStringLiteral("aAllRights"));
  for (QAction* action : {aClassicRights, aAllRights}) {
    action->setCheckable(true);
    MI_View->addAction(action);
  }
  const auto view = ViewFromName(
      tavrin::OpenWindowSettings()->value(QLatin1String(kViewKey)).toString().toStdString());
  (view == TRightsView::All ? aAllRights : aClassicRights)->setChecked(true);
  connect(aClassicRights, &QAction::triggered, this,
          [this] { ChooseRightsView(TRightsView::Classic); });
  connect(aAllRights, &QAction::triggered, this, [this] { ChooseRightsView(TRightsView::All); });
}

void TTavrinForm::ChooseRightsView(TRightsView view) {
  const TRightsView shown = GrRights->Model()->View();
  if (view == shown) return;
  // Marks in columns about to go would be committed unseen: they are dealt
  // with first, as before a change of account.
  const TMarksAnswer answer = AskAboutMarks(QStringLiteral("Showing other rights"));
  if (answer != TMarksAnswer::Discard) {
    (shown == TRightsView::All ? aAllRights : aClassicRights)->setChecked(true);
    if (answer == TMarksAnswer::Commit) StartCommit();
    return;
  }
  ShowRights(view);
  tavrin::OpenWindowSettings()->setValue(QLatin1String(kViewKey),
                                         QString::fromLatin1(ViewName(view)));
}

void TTavrinForm::ShowRights(TRightsView view) {
  GrRights->Model()->SetView(view);
  (view == TRightsView::All ? aAllRights : aClassicRights)->setChecked(true);
  // The legend: one line a right in the order of the columns, then the two
  // blank lines it always ends with.
  LBxLegend->clear();
  for (TvmPrivilege right : ViewRights(view)) {
    auto* item = new QListWidgetItem(QString::fromStdString(PrivilegeLegendLine(right)), LBxLegend);
    item->setToolTip(QString::fromStdString(RightDescription(right)));
    if (RightInfo(right).deny) item->setForeground(QBrush(TRightsGridModel::DenyColor()));
  }
  LBxLegend->addItem(QString());
  LBxLegend->addItem(QStringLiteral(" "));
  // The right columns: 21 pixels wide, headed by their codes.
  for (int col = 1; col < GrRights->ColCount(); ++col) {
    GrRights->SetColWidths(col, TRightsGrid::RightColWidth);
    GrRights->SetCells(col, 0, LBxLegend->item(col - 1)->text().left(2));
  }
}

bool TTavrinForm::GuardRailsAllow(const TStagedChanges& staged) {
  // Without an account every row fails on its own ("no account chosen").
  if (!shownAccount_) return true;
  TvmSidCenter account;
  account.SetSid(shownAccount_.get());
  const std::vector<TGuardFlag> flags =
      CheckGuardRails(account.SidString(), ProgramAccountSid(), staged.Rows());
  if (flags.empty()) return true;
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Commit all changes"),
                  QStringLiteral("These changes can lock people or services out:\n\n") +
                      QString::fromLocal8Bit(GuardFlagsText(flags).c_str()) +
                      QStringLiteral("\nCommit them all the same?"),
                  QMessageBox::Yes | QMessageBox::No, this);
  box.setObjectName(QStringLiteral("GuardRailsQuestion"));
  box.setDefaultButton(QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}
