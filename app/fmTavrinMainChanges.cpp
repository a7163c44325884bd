// The main window's handling of accounts, staged marks and what passes
// report: choosing an account reads it, marks are never lost or carried to
// another account unasked, a commit asks first and sums up afterwards, and
// every failure keeps its reason.
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "app/ClickLabel.h"
#include "app/HistoryDialog.h"
#include "app/ReportDialogs.h"
#include "app/RightsGrid.h"
#include "app/WindowSettings.h"
#include "app/fmTavrinMain.h"
#include "computers/ComputerList.h"
#include "platform/ComputerNames.h"

namespace {

bool SameSid(PSID a, PSID b) {
  if (a == nullptr || b == nullptr) return a == b;
  return EqualSid(a, b) != FALSE;
}

QString Local(const std::string& text) { return QString::fromLocal8Bit(text); }

}  // namespace

// ----------------------------------------------------------------- accounts

void TTavrinForm::CBxUsersClick() {
  PSID chosen = CBxUsers->SelectedSid();
  SetActionEnabled(aRefresh, chosen != nullptr);
  if (SameSid(chosen, shownAccount_.get())) return;
  const int index = CBxUsers->currentIndex();
  const auto backToShown = [this] {
    for (int i = 0; i < CBxUsers->count(); ++i)
      if (const TvmUserInfo* info = CBxUsers->UserInfo(i);
          info && SameSid(info->Sid(), shownAccount_.get()))
        return CBxUsers->setCurrentIndex(i);
  };
  switch (AskAboutMarks(QStringLiteral("Choosing another account"))) {
    case TMarksAnswer::Cancel:
      backToShown();
      SetActionEnabled(aRefresh, shownAccount_ ? true : false);
      return;
    case TMarksAnswer::Commit:
      // The marks are the shown account's: committed for it, and the
      // choice taken afterwards.
      backToShown();
      StartCommit();
      if (PassRunning()) accountAfterCommit_ = index;
      return;
    case TMarksAnswer::Discard:
      SwitchAccount();
      return;
  }
}

void TTavrinForm::CBxSidSourceClick() {
  const int index = CBxSidSource->currentIndex();
  const auto* source = CBxSidSource->Sources(index);
  if (source == nullptr) return;
  if (index != shownSource_) {
    switch (AskAboutMarks(QStringLiteral("Choosing another source of accounts"))) {
      case TMarksAnswer::Cancel:
        if (shownSource_ >= 0) CBxSidSource->setCurrentIndex(shownSource_);
        return;
      case TMarksAnswer::Commit:
        if (shownSource_ >= 0) CBxSidSource->setCurrentIndex(shownSource_);
        StartCommit();
        if (PassRunning()) sourceAfterCommit_ = index;
        return;
      case TMarksAnswer::Discard:
        break;
    }
  }
  shownSource_ = index;
  // The account picker lists the accounts of the chosen source; the account
  // it selects afterwards is read (AccountsFilled).
  CBxUsers->SetDomain(source->Domain());
  CBxUsers->SetServer(source->Server());
  CBxUsers->UpdateList();
}

void TTavrinForm::AccountsFilled() {
  if (StatusText(2) == QLatin1String(FillingAccountsText)) SetStatusText(2, QString());
  if (CBxUsers->currentIndex() < 0 && CBxUsers->count() > 0) CBxUsers->setCurrentIndex(0);
  SetActionEnabled(aRefresh, CBxUsers->SelectedSid() != nullptr);
  // The marks were dealt with when the source was chosen.
  if (!SameSid(CBxUsers->SelectedSid(), shownAccount_.get())) SwitchAccount();
}

void TTavrinForm::SwitchAccount() {
  shownAccount_ = CloneSid(CBxUsers->SelectedSid());  // the picker's SIDs are valid copies
  const TvmUserInfo* info = CBxUsers->UserInfo(CBxUsers->currentIndex());
  shownAccountName_ = info == nullptr ? CBxUsers->currentText()
                      : info->Domain().empty()
                          ? Local(info->Name())
                          : Local(info->Domain()) + QLatin1Char('\\') + Local(info->Name());
  shownAccountSid_ = info == nullptr ? std::string() : info->SidString();
  ++accountGeneration_;
  undo_.reset();  // an undo chooses its account before it waits for the reads
  stagedUndo_.clear();
  // What is read or shown for the previous account goes; nothing of it is
  // ever shown under the new one.
  if (PassRunning()) pass_->Stop();
  GrRights->Model()->ForgetStates();
  failures_.clear();
  aFailures->setEnabled(false);
  PassProgress->setVisible(PassRunning());
  UpdateMarkActions();
  readAfterPass_ = false;
  if (shownAccount_)
    AccountRest->start();
  else
    AccountRest->stop();
}

void TTavrinForm::ReadChosenAccount() {
  if (PassRunning())
    readAfterPass_ = true;
  else
    aRefreshExecute();
}

TTavrinForm::TMarksAnswer TTavrinForm::AskAboutMarks(const QString& before) {
  const TRightsGridModel::TMarks marks = GrRights->Model()->Marks();
  if (marks.changes == 0) {
    // Failed changes are reports of the past: they go with the account.
    GrRights->Model()->ClearMarks();
    return TMarksAnswer::Discard;
  }
  QMessageBox box(QMessageBox::Question, QStringLiteral("Tavrin"),
                  QStringLiteral("%1 of %2 are staged and not committed. %3 drops them.")
                      .arg(marks.changes == 1 ? QStringLiteral("1 change")
                                              : QStringLiteral("%1 changes").arg(marks.changes),
                           shownAccountName_, before),
                  QMessageBox::NoButton, this);
  box.setObjectName(QStringLiteral("MarksQuestion"));
  QPushButton* commit = box.addButton(QStringLiteral("&Commit"), QMessageBox::AcceptRole);
  QPushButton* discard = box.addButton(QStringLiteral("&Discard"), QMessageBox::DestructiveRole);
  box.addButton(QMessageBox::Cancel);
  box.setDefaultButton(QMessageBox::Cancel);
  box.exec();
  if (box.clickedButton() == commit) return TMarksAnswer::Commit;
  if (box.clickedButton() != discard) return TMarksAnswer::Cancel;
  aDiscardExecute();
  return TMarksAnswer::Discard;
}

void TTavrinForm::UpdateMarkActions() {
  const bool any = GrRights->Model()->Marks().any;
  SetActionEnabled(aCommit, any);
  SetActionEnabled(aDiscard, any);
}

// --------------------------------------------------- committing, discarding

void TTavrinForm::aCommitExecute() {
  if (AfterAccountsFilled([this] { aCommitExecute(); })) return;
  StartCommit();
}

void TTavrinForm::StartCommit() {
  if (PassRunning()) return;
  TStagedChanges staged;
  QStringList names;
  const TRightsGridModel* model = GrRights->Model();
  for (int row = 0; row < model->DataRowCount(); ++row) {
    names << model->Name(row);
    staged.Add(model->Name(row).toLocal8Bit().toStdString(), model->RowCodes(row));
  }
  if (!staged.Empty() && askBeforeCommit_) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Commit all changes"),
                    Local(staged.Question(shownAccountName_.toLocal8Bit().toStdString())),
                    QMessageBox::NoButton, this);
    box.setObjectName(QStringLiteral("CommitQuestion"));
    box.setDetailedText(Local(staged.Details()));
    QPushButton* commit = box.addButton(QStringLiteral("&Commit"), QMessageBox::AcceptRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Cancel);
    auto* dontAsk = new QCheckBox(QStringLiteral("Don't ask again until Tavrin closes"), &box);
    box.setCheckBox(dontAsk);
    box.exec();
    if (box.clickedButton() != commit) return;
    if (dontAsk->isChecked()) askBeforeCommit_ = false;
  }
  if (!staged.Empty() && !GuardRailsAllow(staged)) return;
  // What is written is journalled: a journal that cannot be written is
  // said before anything is.
  if (!staged.Empty()) {
    if (const std::string why = TJournal(tavrin::JournalPath()).CheckWritable(); !why.empty()) {
      QMessageBox box(QMessageBox::Warning, QStringLiteral("Commit all changes"),
                      QStringLiteral("The journal of changes cannot be written: %1.\n\nCommit "
                                     "without a record in the journal?")
                          .arg(Local(why)),
                      QMessageBox::Yes | QMessageBox::No, this);
      box.setObjectName(QStringLiteral("JournalQuestion"));
      box.setDefaultButton(QMessageBox::No);
      if (box.exec() != QMessageBox::Yes) return;
    }
  }
  SetActionEnabled(aCommit, false);
  SetActionEnabled(aDiscard, false);
  if (!names.isEmpty())
    StartPass(TRowJobKind::Commit, names);
  else
    SetStatusText(2, QString());
}

void TTavrinForm::aDiscardExecute() {
  SetActionEnabled(aCommit, false);
  SetActionEnabled(aDiscard, false);
  GrRights->Model()->ClearMarks();
  stagedUndo_.clear();
}

// ------------------------------------------------------- what passes report

void TTavrinForm::TakeResult(const TRowResult& result) {
  TRightsGridModel* model = GrRights->Model();
  const int row = result.row - 1;
  const QString name = Local(result.name);
  if (result.kind == TRowJobKind::Read) {
    // A read for an account no longer chosen is never shown.
    if (passGeneration_ != accountGeneration_) return;
    model->SetRowCodes(row,
                       ApplyRead(model->RowCodes(row), result.read.failed, result.read.rights));
    const QString reason = result.read.failed
                               ? Local(ErrorWithCode(result.read.errorText, result.read.error))
                               : QString();
    model->SetReadProblem(row, reason);
    if (result.read.failed) failures_.append({name, reason});
    StageUndo(row, result);
    return;
  }
  const TRowCommit& commit = result.commit;
  const QString problem = Local(CommitProblem(commit));
  const QString reason = Local(ErrorWithCode(commit.errorText, commit.error));
  switch (commit.outcome) {
    case TCommitOutcome::InForce:
    case TCommitOutcome::Written:
      model->SetRowCodes(row, commit.codes);
      model->SetReadProblem(row, QString());
      model->SetWriteProblem(row, QString());
      break;
    case TCommitOutcome::Unverified:
      model->SetRowCodes(row, commit.codes);
      model->SetReadProblem(row, reason);
      model->SetWriteProblem(row, problem);
      break;
    case TCommitOutcome::Failed:
      // The marks staged now, some perhaps while the row was written.
      model->SetRowCodes(row, FailedRow(model->RowCodes(row)));
      model->SetWriteProblem(row, problem);
      break;
    case TCommitOutcome::Skipped:
      if (commit.error != 0) model->SetReadProblem(row, reason);
      break;
    case TCommitOutcome::Cancelled:
      break;
  }
  if (RowFailed(result)) failures_.append({name, problem});
  if (summary_) summary_->Add(result.name, commit, HasChanges(committedCodes_.value(result.row)));
  journalRecords_.push_back(JournalRecord(journalPass_, result, committedCodes_.value(result.row)));
}

void TTavrinForm::AfterPass() {
  const bool committed = summary_ != nullptr;
  if (committed) {
    UpdateMarkActions();
    if (const std::string why =
            TJournal(tavrin::JournalPath()).Append(std::exchange(journalRecords_, {}));
        !why.empty())
      QMessageBox::warning(this, QStringLiteral("Commit all changes"),
                           QStringLiteral("The changes were made but not recorded in the "
                                          "journal of changes: %1.")
                               .arg(Local(why)));
    if (history_) history_->Refresh();
    if (!summary_->Empty() && !(closeAsked_ && !summary_->AnyProblem()))
      tavrin::ShowSummary(this, Local(summary_->Headline()), Local(summary_->Details()),
                          closeAsked_);
    summary_.reset();
    stagedUndo_.clear();
  }
  if (!scanReport_.isEmpty()) {
    SetStatusText(2, scanReport_);
    scanReport_.clear();
  }
  // A close asked for during the pass happens now that nothing runs.
  if (closeAsked_) {
    QTimer::singleShot(0, this, &QWidget::close);
    return;
  }
  if (undo_ && undoReading_) FinishUndo();
  // The choice the commit was made for is taken now. Marks the commit could
  // not write go with the account; the summary names their computers.
  if (const QString undo = std::exchange(undoAfterCommit_, {}); !undo.isEmpty()) {
    GrRights->Model()->ClearMarks();
    UndoPass(undo);
  } else if (const int source = std::exchange(sourceAfterCommit_, -1); source >= 0) {
    GrRights->Model()->ClearMarks();
    CBxSidSource->setCurrentIndex(source);
    CBxSidSourceClick();
  } else if (const int account = std::exchange(accountAfterCommit_, -1); account >= 0) {
    GrRights->Model()->ClearMarks();
    CBxUsers->setCurrentIndex(account);
    CBxUsersClick();
  } else if (std::exchange(readAfterPass_, false)) {
    aRefreshExecute();
  }
}

void TTavrinForm::aFailuresExecute() { tavrin::ShowFailures(this, failures_); }

QString TTavrinForm::ScanReport(bool foundNone) const {
  static const QString instead = QStringLiteral(
      " Add computers by hand (Computer, Add computer...) or open a list of them (Computer, "
      "Open computer list...).");
  if (Computers->State() == lsFailed) {
    const DWORD code = Computers->ErrorCode();
    const QString reason = code != 0 ? Local(ErrorWithCode(ErrorDescription(code), code))
                                     : QStringLiteral("the scan could not be started");
    return QStringLiteral("The scan of the network failed: %1.").arg(reason) + instead;
  }
  if (foundNone) return QStringLiteral("The scan of the network found no computers.") + instead;
  return {};
}

void TTavrinForm::aOpenListExecute() {
  const QString path = QFileDialog::getOpenFileName(
      this, QStringLiteral("Open computer list"), QString(),
      QStringLiteral("Computer lists (*.txt *.lst *.csv);;All files (*)"));
  if (path.isEmpty()) return;
  std::vector<std::string> names;
  try {
    names = tavrin::ReadComputerList(path.toLocal8Bit().toStdString());
  } catch (const std::exception& e) {
    QMessageBox::warning(this, QStringLiteral("Open computer list"), Local(e.what()) + '.');
    return;
  }
  QStringList rows;
  for (const std::string& name : names) rows << Local(name);
  if (rows.isEmpty()) {
    SetStatusText(2, QStringLiteral("The list names no computers."));
    return;
  }
  if (PassRunning()) return;
  if (AfterAccountsFilled([this, rows] {
        if (!PassRunning()) StartPass(TRowJobKind::Read, rows);
      }))
    return;
  StartPass(TRowJobKind::Read, rows);
}

// ------------------------------------------------------------------- close

void TTavrinForm::closeEvent(QCloseEvent* event) {
  if (PassRunning()) {
    // The window goes now: rows waiting for a computer that stopped
    // answering are cut short rather than waited for.
    closeAsked_ = true;
    pass_->Abandon();
    PumpPass();
  }
  if (PassRunning()) {
    event->ignore();
    return;
  }
  // Nothing staged is lost unasked.
  switch (AskAboutMarks(QStringLiteral("Closing Tavrin"))) {
    case TMarksAnswer::Cancel:
      closeAsked_ = false;
      event->ignore();
      return;
    case TMarksAnswer::Commit:
      StartCommit();
      closeAsked_ = PassRunning();
      event->ignore();
      return;
    case TMarksAnswer::Discard:
      break;
  }
  SaveSettings();
  QMainWindow::closeEvent(event);
}
