// The main window's journal of changes: the History window, and which file
// the window appends to and reads (Policy > Journal file...), kept with the
// window's settings.
#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>

#include "app/HistoryDialog.h"
#include "app/WindowSettings.h"
#include "app/fmTavrinMain.h"
#include "passes/Journal.h"

void TTavrinForm::CreateJournalCommands() {
  aHistory = new QAction(QStringLiteral("&History..."), this);
  aHistory->setObjectName(QStringLiteral("aHistory"));
  aHistory->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
  aHistory->setShortcutContext(Qt::WindowShortcut);
  aHistory->setStatusTip(QStringLiteral("What was changed, where, when, and whether it took"));
  addAction(aHistory);
  connect(aHistory, &QAction::triggered, this, &TTavrinForm::aHistoryExecute);
  aJournalFile = new QAction(QStringLiteral("&Journal file..."), this);
  aJournalFile->setObjectName(QStringLiteral("aJournalFile"));
  connect(aJournalFile, &QAction::triggered, this, &TTavrinForm::aJournalFileExecute);
  aDefaultJournal = new QAction(QStringLiteral("D&efault journal file"), this);
  aDefaultJournal->setObjectName(QStringLiteral("aDefaultJournal"));
  connect(aDefaultJournal, &QAction::triggered, this, &TTavrinForm::aDefaultJournalExecute);
  MI_Policy->addSeparator();
  MI_Policy->addActions({aHistory, aJournalFile, aDefaultJournal});
  // A commit appends to the journal it checked before it began.
  wanted_.insert(aJournalFile, true);
  wanted_.insert(aDefaultJournal, true);
  ShowJournalFile();
}

void TTavrinForm::aHistoryExecute() {
  if (!history_) {
    history_ = new THistoryDialog(tavrin::JournalPath(), this);
    history_->setAttribute(Qt::WA_DeleteOnClose);
    // The undo's marks are staged in this window, brought to the front.
    connect(history_, &THistoryDialog::UndoRequested, this, [this](const QString& pass) {
      raise();
      activateWindow();
      UndoPass(pass);
    });
  }
  history_->show();
  history_->raise();
  history_->activateWindow();
}

void TTavrinForm::ShowJournalFile() {
  const QString chosen = tavrin::ChosenJournalFile();
  const QString path =
      chosen.isEmpty() ? QFile::decodeName(TJournal::DefaultPath().c_str()) : chosen;
  aJournalFile->setStatusTip(QStringLiteral("Commits are recorded in ") +
                             QDir::toNativeSeparators(path));
  aJournalFile->setToolTip(aJournalFile->statusTip());
  SetActionEnabled(aDefaultJournal, !chosen.isEmpty());
  if (history_) history_->SetJournalPath(tavrin::JournalPath());
}

void TTavrinForm::aJournalFileExecute() {
  const QString chosen = tavrin::ChosenJournalFile();
  const QString start =
      chosen.isEmpty() ? QFile::decodeName(TJournal::DefaultPath().c_str()) : chosen;
  // A journal that does not exist yet is begun by the next commit.
  const QString path =
      QFileDialog::getSaveFileName(this, QStringLiteral("Journal file"), start,
                                   QStringLiteral("Journals (*.jsonl);;All files (*)"), nullptr,
                                   QFileDialog::DontConfirmOverwrite);
  if (path.isEmpty()) return;
  tavrin::ChooseJournalFile(QFileInfo(path).absoluteFilePath());
  ShowJournalFile();
  SetStatusText(2, QStringLiteral("Journal: ") + QDir::toNativeSeparators(path));
}

void TTavrinForm::aDefaultJournalExecute() {
  tavrin::ChooseJournalFile(QString());
  ShowJournalFile();
  SetStatusText(2, QStringLiteral("Journal: ") + QDir::toNativeSeparators(QFile::decodeName(
                                                     TJournal::DefaultPath().c_str())));
}
