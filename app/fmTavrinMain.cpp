#include "app/fmTavrinMain.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>

#include "app/Anchors.h"
#include "app/AppHelp.h"
#include "app/ClickLabel.h"
#include "app/GridExport.h"
#include "app/ImageLists.h"
#include "app/RightsGrid.h"
#include "app/UiHandOver.h"
#include "app/WindowParts.h"
#include "app/fmAbout.h"
#include "computers/ComputerList.h"
#include "passes/RowWork.h"
#include "pickers/controls/Velmar_SidSourceComboBox.h"
#include "pickers/controls/Velmar_UsersComboBox.h"
#include "platform/ComputerNames.h"
#include "platform/PlatformInit.h"
#include "rights/Velmar_RightsCenter.h"
#include "sid/Velmar_SidCenter.h"

TTavrinForm::TTavrinForm(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle(QStringLiteral("Tavrin"));
  setWindowIcon(tavrin::ApplicationIcon());
  setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
  setMinimumSize(SmallestSize);
  resize(DesignedSize);

  CreateActions();
  CreateMenus();
  CreateControls();
  CreateByRightMode();
  CreateStatusBar();
  CreateDesktopCommands();
  CreateViewMenu();
  CreateJournalCommands();
  passNews_ = new TUiHandOver([this] { PumpPass(); }, this);

  Timer = new QTimer(this);
  Timer->setObjectName(QStringLiteral("Timer"));
  Timer->setInterval(100);
  connect(Timer, &QTimer::timeout, this, &TTavrinForm::TimerTimer);
  AccountRest = new QTimer(this);
  AccountRest->setObjectName(QStringLiteral("AccountRest"));
  AccountRest->setSingleShot(true);
  AccountRest->setInterval(AccountRestMilliseconds);
  connect(AccountRest, &QTimer::timeout, this, &TTavrinForm::ReadChosenAccount);
  connect(CBxUsers, &TvmUsersComboBox::Filled, this, &TTavrinForm::AccountsFilled);

  components_ = std::make_unique<TComponent>();
  SC = new TvmSidCenter(components_.get());
  SC->SetName("SC");
  SC->SetWellKnown(wkAdminsAlias);
  SC->SetSource(ssWellKnown);
  ARC = new TvmAccountRigthsCenter(components_.get());
  ARC->SetName("ARC");
  ARC->SetSidCenter(SC);
  ARC->SetNewPrivileges({spServiceLogon});
  Computers = new TComputerList(components_.get());
  Computers->SetName("Computers");

  // The form is built: the pickers fill their lists.
  CBxSidSource->Loaded();
  CBxUsers->Loaded();

  FormCreate();
  RestoreSettings();
}

// A scan still running is asked to stop when Computers goes; its thread ends by itself.
// A holders pass still running is abandoned, as a closing account pass is.
TTavrinForm::~TTavrinForm() {
  if (holdersPass_) holdersPass_->Abandon();
  for (const std::unique_ptr<TPassEngine>& pass : holdersRetiring_) pass->Abandon();
}

void TTavrinForm::aExportExecute() {
  const QString status = tavrin::ExportGridWithDialog(this, *GrRights, CBxUsers->currentText());
  if (!status.isEmpty()) SetStatusText(2, status);
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
  // 4. The right columns of the view chosen last: 21 pixels wide, headed by
  //    their codes, named in the legend.
  ShowRights(aAllRights->isChecked() ? TRightsView::All : TRightsView::Classic);
  // 5. Point the account picker at the source of the last run, else the first.
  CBxSidSource->setCurrentIndex(RememberedSource());
  CBxSidSourceClick();
  // 6. The first account, once the picker has filled (AccountsFilled).
  if (!CBxUsers->Filling()) AccountsFilled();
  // 7. Scan the network; its end reads every computer found.
  aUpdate->trigger();
}

void TTavrinForm::CellsChanged() {
  SetActionEnabled(aCommit, true);
  SetActionEnabled(aDiscard, true);
}

// ------------------------------------------------------------------ passes

void TTavrinForm::SetActionEnabled(QAction* action, bool enabled) {
  if (wanted_.contains(action)) wanted_[action] = enabled;
  action->setEnabled(enabled && !PassRunning() && !ByRightBlocks(action));
}

void TTavrinForm::StartPass(TRowJobKind kind, const QStringList& names) {
  std::vector<std::string> texts;
  for (const QString& name : names) texts.push_back(name.toLocal8Bit().toStdString());
  passNames_ = names;
  for (auto it = wanted_.cbegin(); it != wanted_.cend(); ++it) it.key()->setEnabled(false);
  // A choice of account stops a pass that reads; a commit keeps its account.
  CBxSidSource->setEnabled(kind == TRowJobKind::Read);
  CBxUsers->setEnabled(kind == TRowJobKind::Read);
  aStop->setEnabled(true);
  failures_.clear();
  aFailures->setEnabled(false);
  committedCodes_.clear();
  journalRecords_.clear();
  summary_ = kind == TRowJobKind::Commit ? std::make_unique<TCommitSummary>() : nullptr;
  if (kind == TRowJobKind::Commit) {
    journalPass_ = NewJournalPass(shownAccountSid_, shownAccountName_.toStdString());
    journalPass_.undoes = stagedUndo_;
  }
  passGeneration_ = accountGeneration_;
  // The read an undo waits for goes over each of its computers.
  if (undo_ && kind == TRowJobKind::Read && passGeneration_ == undoGeneration_) {
    undoReading_ = true;
    for (const TUndoComputer& computer : undo_->computers)
      undoReading_ &= std::any_of(names.begin(), names.end(), [&](const QString& name) {
        return tavrin::SameComputerName(name.toLocal8Bit().toStdString(), computer.computer);
      });
  }
  // The results come back on the workers' threads; the window takes them
  // from its own event loop.
  pass_ = std::make_unique<TPassEngine>(kind, shownAccount_, std::move(texts), PassWorkers,
                                        [news = passNews_] { news->Notify(); });
  PassProgress->show();
  PumpPass();
}

bool TTavrinForm::PrepareRow(TRowJob& job) {
  const QString name = passNames_.value(job.row);  // the name's index, until the row is found
  int row = GrRights->FindRow(name);
  if (job.kind == TRowJobKind::Read) {
    SetStatusText(2, QStringLiteral("Get rights from \"%1\"...").arg(name));
    if (row < 0) row = GrRights->AppendRow(name);
    GrRights->SetCells(0, row, name);
  } else {
    SetStatusText(2, QStringLiteral("Searching changes for: %1...").arg(name));
    if (row < 0) return false;
    // Marks staged until now count; later ones wait for the next commit.
    job.codes = GrRights->Model()->RowCodes(row - 1);
    committedCodes_.insert(row, job.codes);
  }
  job.row = row;
  return true;
}

void TTavrinForm::PumpPass() {
  if (!pass_) return;
  for (const TRowResult& result : pass_->Pump([this](TRowJob& job) { return PrepareRow(job); }))
    TakeResult(result);
  if (!pass_->Problem().empty()) SetStatusText(2, QString::fromLocal8Bit(pass_->Problem()));
  PassProgress->setText(QStringLiteral("%1 of %2 done, %3 failed")
                            .arg(pass_->Done())
                            .arg(pass_->Total())
                            .arg(pass_->Failed()));
  if (pass_->Ended()) FinishPass();
}

void TTavrinForm::FinishPass() {
  const bool stoppedBySelf = !pass_->Problem().empty();
  const bool resetCursor = passResetsCursor_;
  passResetsCursor_ = false;
  const int done = pass_->Done(), failed = pass_->Failed();
  pass_.reset();
  aStop->setEnabled(false);
  for (auto it = wanted_.cbegin(); it != wanted_.cend(); ++it)
    it.key()->setEnabled(it.value() && !ByRightBlocks(it.key()));
  CBxSidSource->setEnabled(true);
  CBxUsers->setEnabled(true);
  if (!stoppedBySelf) SetStatusText(2, QString());
  if (resetCursor) unsetCursor();
  // The counts stay while there are failures to look at.
  PassProgress->setText(QStringLiteral("%1 done, %2 failed").arg(done).arg(failed));
  PassProgress->setVisible(!failures_.isEmpty());
  aFailures->setEnabled(!failures_.isEmpty());
  AfterPass();
}

void TTavrinForm::aStopExecute() {
  if (!PassRunning()) return;
  pass_->Stop();
  PumpPass();
}

// ------------------------------------------------------------ grid events

namespace {

// "Unable read — Access is denied (5)": the short text and why.
QString WithReason(const QString& text, const QString& reason) {
  return reason.isEmpty() ? text : text + QStringLiteral(" \u2014 ") + reason;
}

}  // namespace

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
            change = WithReason(QStringLiteral("Can't change"),
                                GrRights->Model()->WriteProblem(selection.Top - 1));
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
          SetStatusText(1, WithReason(QStringLiteral("Unable read"),
                                      GrRights->Model()->ReadProblem(selection.Top - 1)));
          break;
        default:
          SetStatusText(
              1, GrRights->IsSpareRow(selection.Top) ? QString() : QStringLiteral("Not read yet"));
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

// ------------------------------------------------------------------ reading

void TTavrinForm::GetRights(const QString& Name) {
  if (PassRunning() || Name.isEmpty()) return;
  if (AfterAccountsFilled([this, Name] { GetRights(Name); })) return;
  StartPass(TRowJobKind::Read, {Name});
}

bool TTavrinForm::AfterAccountsFilled(const std::function<void()>& command) {
  // Rows read or committed without the account would only fail: the command
  // runs once the account picker has filled.
  if (!CBxUsers->Filling()) return false;
  SetStatusText(2, QLatin1String(FillingAccountsText));
  connect(CBxUsers, &TvmUsersComboBox::Filled, this, command, Qt::SingleShotConnection);
  return true;
}

void TTavrinForm::TimerTimer() {
  // The reads wait for the account picker too: a row read without an account fails.
  if (TComputerList::Running(Computers->State()) || CBxUsers->Filling()) return;
  Timer->stop();
  // The names are taken once: the pass reads what this scan found.
  QStringList names;
  const int count = Computers->Count();
  for (int i = 0; i < count; ++i) names << QString::fromLocal8Bit(Computers->Names(i));
  scanReport_ = ScanReport(names.isEmpty());
  names += TakeRemembered(names);
  if (names.isEmpty() || PassRunning()) {
    unsetCursor();
    SetStatusText(2, scanReport_);
    scanReport_.clear();
    return;
  }
  StartPass(TRowJobKind::Read, names);
  passResetsCursor_ = true;
}

void TTavrinForm::aRefreshExecute() {
  if (AfterAccountsFilled([this] { aRefreshExecute(); })) return;
  QStringList names;
  for (int row = 1; row <= GrRights->RowCount() - 2; ++row) names << GrRights->Cells(0, row);
  if (!names.isEmpty() && !PassRunning()) StartPass(TRowJobKind::Read, names);
}

// --------------------------------------------------------------- computers

void TTavrinForm::aUpdateExecute() {
  if (TComputerList::Running(Computers->State())) return;
  try {
    Computers->Scan();
  } catch (const std::exception& e) {
    SetStatusText(2, QString::fromLocal8Bit(e.what()));
    return;
  }
  Timer->start();
  SetStatusText(2, QStringLiteral("Updating list of computers..."));
  setCursor(Qt::WaitCursor);
}

void TTavrinForm::aAddExecute() {
  bool ok = false;
  const QString text =
      QInputDialog::getText(this, QStringLiteral("Add computer"),
                            QStringLiteral("Computer names, separated by commas or blanks:"),
                            QLineEdit::Normal, QString(), &ok);
  if (!ok) return;
  const std::vector<std::string> names =
      tavrin::SplitComputerNames(text.toLocal8Bit().toStdString());
  for (const std::string& name : names) {
    if (const std::string problem = tavrin::ComputerNameProblem(name); !problem.empty()) {
      QMessageBox::warning(this, QStringLiteral("Add computer"),
                           QString::fromLocal8Bit(problem) + QStringLiteral("."));
      return;
    }
  }
  QStringList rows;
  for (const std::string& name : names) rows << QString::fromLocal8Bit(name);
  // Names given by the one rule of computer lists: several at once are
  // read as one pass.
  if (rows.size() == 1) return GetRights(rows.front());
  if (rows.isEmpty() || PassRunning()) return;
  if (AfterAccountsFilled([this, rows] {
        if (!PassRunning()) StartPass(TRowJobKind::Read, rows);
      }))
    return;
  StartPass(TRowJobKind::Read, rows);
}

void TTavrinForm::aRemoveExecute() {
  const TGridRect selection = GrRights->Selection();
  int bottom = selection.Bottom;
  if (GrRights->IsSpareRow(bottom)) --bottom;
  if (bottom < selection.Top) return;
  GrRights->RemoveRows(selection.Top, bottom);
}
