// The History window: the journal of changes read back, its passes newest
// first and the rows of the one selected, filtered by computer, account,
// right and date, exported as CSV. Modeless; it reads the journal again on
// Refresh, since commits keep adding to it while it is open.
#pragma once

#include <QDialog>
#include <QString>
#include <string>
#include <vector>

#include "passes/JournalQuery.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

class THistoryDialog : public QDialog {
  Q_OBJECT
 public:
  // The journal at `journalPath` (TJournal's path; empty: the default).
  explicit THistoryDialog(const std::string& journalPath, QWidget* parent = nullptr);

  // Reads another journal (the window chose another file).
  void SetJournalPath(const std::string& journalPath);
  // Reads the journal again, keeping the filters and the pass selected.
  void Refresh();
  // The lines the filters keep, in the order they are listed.
  std::vector<THistoryLine> FilteredLines() const { return HistoryLines(passes_); }
  // Writes FilteredLines() as CSV; empty when written, else why not.
  QString WriteCsv(const QString& path) const;
  // The pass selected in the list; empty for none.
  QString SelectedPass() const;

 signals:
  // "Undo this pass": the pass selected when the button was pressed.
  void UndoRequested(QString passId);

 private:
  void Filter();
  void ShowPassRows();
  void ExportCsv();
  TJournalFilter CurrentFilter() const;

  std::string journalPath_;
  std::vector<TJournalRecord> records_;
  std::vector<std::string> warnings_;
  std::vector<THistoryPass> passes_;  // as the filters keep them, newest first

  QLineEdit* computer_ = nullptr;
  QLineEdit* account_ = nullptr;
  QComboBox* right_ = nullptr;
  QCheckBox* useSince_ = nullptr;
  QDateEdit* since_ = nullptr;
  QLabel* warning_ = nullptr;
  QLabel* counts_ = nullptr;
  QTreeWidget* passList_ = nullptr;
  QTreeWidget* rowList_ = nullptr;
  QPushButton* undo_ = nullptr;
};
