// The main window's undo of a journalled pass: the pass's account chosen,
// its computers read, and the inverse of what it wrote staged as marks
// where nothing has changed since.
#include <QMessageBox>
#include <QTimer>

#include "app/ReportDialogs.h"
#include "app/RightsGrid.h"
#include "app/WindowSettings.h"
#include "app/fmTavrinMain.h"
#include "platform/ComputerNames.h"

namespace {

QString Local(const std::string& text) { return QString::fromLocal8Bit(text); }

}  // namespace

void TTavrinForm::UndoPass(const QString& id) {
  const QString title = QStringLiteral("Undo this pass");
  if (PassRunning()) {
    SetStatusText(2, QStringLiteral("Undo waits until the pass under way has ended."));
    return;
  }
  if (AfterAccountsFilled([this, id] { UndoPass(id); })) return;
  std::vector<std::string> warnings;
  std::vector<TJournalRecord> journal = TJournal(tavrin::JournalPath()).Read(warnings);
  TUndoPlan plan;
  try {
    plan = PlanUndo(journal, id.toStdString());
  } catch (const std::exception& e) {
    QMessageBox::warning(this, title, QStringLiteral("Cannot undo: %1.").arg(Local(e.what())));
    return;
  }
  const int account = AccountIndex(plan.sid);
  if (account < 0) {
    QMessageBox::warning(this, title,
                         QStringLiteral("The account of pass %1, %2 (%3), is not among the "
                                        "accounts listed. Choose the source of accounts that "
                                        "holds it, then undo again.")
                             .arg(Local(plan.pass), Local(plan.account), Local(plan.sid)));
    return;
  }
  switch (AskAboutMarks(QStringLiteral("Undoing a pass"))) {
    case TMarksAnswer::Cancel:
      return;
    case TMarksAnswer::Commit:
      StartCommit();
      if (PassRunning()) undoAfterCommit_ = id;
      return;
    case TMarksAnswer::Discard:
      break;
  }
  // The rights the pass wrote are shown, whichever view was chosen.
  const TvmPrivileges shown = ViewSet(GrRights->Model()->View());
  for (const TUndoComputer& computer : plan.computers)
    for (const TUndoRight& right : computer.rights)
      if (!shown.Contains(right.right)) ChooseRightsView(TRightsView::All);
  if (CBxUsers->currentIndex() != account || !shownAccount_) {
    CBxUsers->setCurrentIndex(account);
    SwitchAccount();  // reads every row once the choice has rested
  } else {
    AccountRest->start();
  }
  for (const TUndoComputer& computer : plan.computers)
    if (const QString name = Local(computer.computer); GrRights->FindRow(name) < 0)
      GrRights->SetCells(0, GrRights->AppendRow(name), name);
  undo_ = std::make_unique<TUndoPlan>(std::move(plan));
  undoJournal_ = std::move(journal);
  undoGeneration_ = accountGeneration_;
  undoReading_ = false;
  SetStatusText(2, QStringLiteral("Reading the computers of pass %1...").arg(Local(undo_->pass)));
}

int TTavrinForm::AccountIndex(const std::string& sid) const {
  for (int i = 0; i < CBxUsers->count(); ++i)
    if (const TvmUserInfo* info = CBxUsers->UserInfo(i); info && info->SidString() == sid) return i;
  return -1;
}

void TTavrinForm::StageUndo(int row, const TRowResult& result) {
  if (!undo_ || passGeneration_ != undoGeneration_) return;
  for (TUndoComputer& computer : undo_->computers) {
    if (!tavrin::SameComputerName(computer.computer, result.name)) continue;
    if (result.read.failed) {
      computer.read = false;
      computer.problem = ErrorWithCode(result.read.errorText, result.read.error);
      return;
    }
    CheckUndo(*undo_, computer, result.read.rights, undoJournal_);
    TRightsGridModel* model = GrRights->Model();
    model->SetRowCodes(row, UndoMarks(computer, model->RowCodes(row)));
    return;
  }
}

void TTavrinForm::FinishUndo() {
  const std::unique_ptr<TUndoPlan> plan = std::move(undo_);
  undoJournal_.clear();
  undoReading_ = false;
  for (TUndoComputer& computer : plan->computers)
    if (!computer.read && computer.problem.empty())
      computer.problem = "the read was stopped before it";
  const TUndoReport report = UndoReport(*plan);
  if (report.changes > 0) stagedUndo_ = plan->pass;
  UpdateMarkActions();
  SetStatusText(2, QString());
  tavrin::ShowSummary(this, Local(report.headline), Local(report.details), false,
                      QStringLiteral("Undo this pass"), QStringLiteral("UndoSummary"));
}
