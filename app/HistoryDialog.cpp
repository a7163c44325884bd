#include "app/HistoryDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/ImageLists.h"

namespace {

QString Local(const std::string& text) { return QString::fromLocal8Bit(text); }

// "2026-12-07T19:04:14Z" as "2026-12-07 19:04:14" (the column says UTC).
QString TimeText(const std::string& time) {
  QString text = Local(time);
  if (text.size() == 20 && text[10] == QLatin1Char('T') && text.endsWith(QLatin1Char('Z')))
    text = text.left(10) + QLatin1Char(' ') + text.mid(11, 8);
  return text;
}

// The state image a result is shown with: a cross for a failure, a tick for
// a right written or already in force.
QIcon ResultIcon(const std::string& result) {
  if (result.rfind("written", 0) == 0 || result.rfind("in force", 0) == 0)
    return QIcon(tavrin::StateImage(3));
  if (result.rfind("failed", 0) == 0 || result.rfind("skipped", 0) == 0 ||
      result.rfind("not written", 0) == 0 || result.rfind("unverified", 0) == 0)
    return QIcon(tavrin::StateImage(2));
  return {};
}

QTreeWidget* NewList(QWidget* parent, const char* name, const QStringList& heads) {
  auto* list = new QTreeWidget(parent);
  list->setObjectName(QLatin1String(name));
  list->setRootIsDecorated(false);
  list->setUniformRowHeights(true);
  list->setAlternatingRowColors(true);
  list->setHeaderLabels(heads);
  list->header()->setSectionResizeMode(QHeaderView::Interactive);
  list->header()->setStretchLastSection(true);
  return list;
}

}  // namespace

THistoryDialog::THistoryDialog(const std::string& journalPath, QWidget* parent)
    : QDialog(parent), journalPath_(journalPath) {
  setObjectName(QStringLiteral("HistoryDialog"));
  setWindowTitle(QStringLiteral("History"));
  setWindowFlag(Qt::WindowMaximizeButtonHint);
  setModal(false);

  // The filters, applied as they are typed or chosen.
  auto* filters = new QGridLayout;
  computer_ = new QLineEdit(this);
  computer_->setObjectName(QStringLiteral("FilterComputer"));
  computer_->setPlaceholderText(QStringLiteral("any computer"));
  computer_->setClearButtonEnabled(true);
  account_ = new QLineEdit(this);
  account_->setObjectName(QStringLiteral("FilterAccount"));
  account_->setPlaceholderText(QStringLiteral("any account"));
  account_->setToolTip(QStringLiteral("A SID, DOMAIN\\name or a name without its domain"));
  account_->setClearButtonEnabled(true);
  right_ = new QComboBox(this);
  right_->setObjectName(QStringLiteral("FilterRight"));
  right_->setEditable(true);
  right_->setInsertPolicy(QComboBox::NoInsert);
  right_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  right_->setMinimumContentsLength(16);
  right_->addItem(QString());
  for (int ordinal = 0; ordinal < RightCount; ++ordinal) {
    const TRightInfo& info = RightsCatalogue[ordinal];
    right_->addItem(QString::fromLatin1(info.code) + QStringLiteral(" - ") +
                        QString::fromLatin1(info.policyName),
                    ordinal);
  }
  right_->lineEdit()->setPlaceholderText(QStringLiteral("any right"));
  right_->setToolTip(
      QStringLiteral("A right's two-letter code, its constant (SeDebugPrivilege) or "
                     "Windows' name for it"));
  useSince_ = new QCheckBox(QStringLiteral("&From (UTC):"), this);
  useSince_->setObjectName(QStringLiteral("FilterUseSince"));
  since_ = new QDateEdit(QDate::currentDate(), this);
  since_->setObjectName(QStringLiteral("FilterSince"));
  since_->setCalendarPopup(true);
  since_->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
  since_->setEnabled(false);
  const auto label = [this](const QString& text, QWidget* buddy) {
    auto* caption = new QLabel(text, this);
    caption->setBuddy(buddy);
    return caption;
  };
  filters->addWidget(label(QStringLiteral("&Computer:"), computer_), 0, 0);
  filters->addWidget(computer_, 0, 1);
  filters->addWidget(label(QStringLiteral("&Account:"), account_), 0, 2);
  filters->addWidget(account_, 0, 3);
  filters->addWidget(label(QStringLiteral("R&ight:"), right_), 1, 0);
  filters->addWidget(right_, 1, 1);
  filters->addWidget(useSince_, 1, 2);
  filters->addWidget(since_, 1, 3);
  filters->setColumnStretch(1, 1);
  filters->setColumnStretch(3, 1);

  // A journal line that could not be read is said here, never fatal.
  warning_ = new QLabel(this);
  warning_->setObjectName(QStringLiteral("HistoryWarning"));
  warning_->setWordWrap(true);
  warning_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  warning_->setStyleSheet(QStringLiteral("color: #a00000"));
  warning_->hide();

  passList_ =
      NewList(this, "PassList",
              {QStringLiteral("Time (UTC)"), QStringLiteral("Operator"), QStringLiteral("Account"),
               QStringLiteral("Outcome"), QStringLiteral("Computers")});
  rowList_ = NewList(this, "RowList",
                     {QStringLiteral("Computer"), QStringLiteral("Account"),
                      QStringLiteral("Right"), QStringLiteral("Action"), QStringLiteral("Result")});
  auto* splitter = new QSplitter(Qt::Vertical, this);
  splitter->addWidget(passList_);
  splitter->addWidget(rowList_);
  splitter->setStretchFactor(0, 1);
  splitter->setStretchFactor(1, 1);

  counts_ = new QLabel(this);
  counts_->setObjectName(QStringLiteral("HistoryCounts"));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  undo_ = buttons->addButton(QStringLiteral("&Undo this pass"), QDialogButtonBox::ActionRole);
  undo_->setObjectName(QStringLiteral("UndoPass"));
  undo_->setEnabled(false);
  undo_->setToolTip(QStringLiteral("Stage the reverse of every right the selected pass wrote"));
  QPushButton* csv =
      buttons->addButton(QStringLiteral("&Export CSV..."), QDialogButtonBox::ActionRole);
  csv->setObjectName(QStringLiteral("ExportCsv"));
  csv->setToolTip(QStringLiteral("Write the rows the filters keep to a CSV file"));
  QPushButton* refresh =
      buttons->addButton(QStringLiteral("&Refresh"), QDialogButtonBox::ActionRole);
  refresh->setObjectName(QStringLiteral("RefreshHistory"));
  refresh->setIcon(tavrin::ActionImage(5));
  refresh->setToolTip(QStringLiteral("Read the journal again (F5)"));
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(counts_, 1);
  bottom->addWidget(buttons);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(filters);
  layout->addWidget(warning_);
  layout->addWidget(splitter, 1);
  layout->addLayout(bottom);

  connect(computer_, &QLineEdit::textChanged, this, &THistoryDialog::Filter);
  connect(account_, &QLineEdit::textChanged, this, &THistoryDialog::Filter);
  connect(right_, &QComboBox::currentTextChanged, this, &THistoryDialog::Filter);
  connect(useSince_, &QCheckBox::toggled, since_, &QWidget::setEnabled);
  connect(useSince_, &QCheckBox::toggled, this, &THistoryDialog::Filter);
  connect(since_, &QDateEdit::dateChanged, this, &THistoryDialog::Filter);
  connect(passList_, &QTreeWidget::itemSelectionChanged, this, &THistoryDialog::ShowPassRows);
  connect(refresh, &QPushButton::clicked, this, &THistoryDialog::Refresh);
  connect(new QShortcut(QKeySequence(Qt::Key_F5), this), &QShortcut::activated, this,
          &THistoryDialog::Refresh);
  connect(csv, &QPushButton::clicked, this, &THistoryDialog::ExportCsv);
  connect(undo_, &QPushButton::clicked, this, [this] {
    if (const QString pass = SelectedPass(); !pass.isEmpty()) emit UndoRequested(pass);
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  resize(760, 520);
  Refresh();
}

void THistoryDialog::SetJournalPath(const std::string& journalPath) {
  journalPath_ = journalPath;
  Refresh();
}

void THistoryDialog::Refresh() {
  const TJournal journal(journalPath_);
  warnings_.clear();
  passes_.clear();  // its lines point into the records
  records_ = journal.Read(warnings_);
  setWindowTitle(QStringLiteral("History - ") +
                 QDir::toNativeSeparators(QFile::decodeName(journal.Path().c_str())));
  if (warnings_.empty()) {
    warning_->hide();
  } else {
    QString text = warnings_.size() == 1
                       ? QStringLiteral("1 line of the journal could not be read and was skipped:")
                       : QStringLiteral(
                             "%1 lines of the journal could not be read and were "
                             "skipped:")
                             .arg(warnings_.size());
    for (const std::string& warning : warnings_) text += QLatin1Char('\n') + Local(warning);
    warning_->setText(text);
    warning_->show();
  }
  Filter();
}

TJournalFilter THistoryDialog::CurrentFilter() const {
  TJournalFilter filter;
  filter.computer = computer_->text().trimmed().toLocal8Bit().toStdString();
  filter.account = account_->text().trimmed().toLocal8Bit().toStdString();
  if (useSince_->isChecked()) filter.since = since_->date().toString(Qt::ISODate).toStdString();
  // A right chosen from the list, or typed as the command line takes it.
  const QString text = right_->currentText().trimmed();
  const int listed = right_->findText(text);
  if (listed > 0)
    filter.right = static_cast<TvmPrivilege>(right_->itemData(listed).toInt());
  else if (!text.isEmpty())
    filter.right = RightFromUserText(text.toStdString());
  return filter;
}

void THistoryDialog::Filter() {
  const QString selected = SelectedPass();
  const QString rightText = right_->currentText().trimmed();
  const TJournalFilter filter = CurrentFilter();
  const bool unknownRight = !rightText.isEmpty() && !filter.right;
  passes_ = unknownRight ? std::vector<THistoryPass>{} : QueryHistory(records_, filter);

  const QSignalBlocker quiet(passList_);
  passList_->clear();
  QTreeWidgetItem* keep = nullptr;
  size_t rows = 0;
  for (const THistoryPass& pass : passes_) {
    QStringList computers;
    for (const std::string& name : pass.computers) computers << Local(name);
    QString outcomes = Local(pass.outcomes);
    if (!pass.undoes.empty())
      outcomes = QStringLiteral("undo of %1: ").arg(Local(pass.undoes)) + outcomes;
    auto* item = new QTreeWidgetItem({TimeText(pass.time), Local(pass.user), Local(pass.account),
                                      outcomes, computers.join(QStringLiteral(", "))});
    item->setData(0, Qt::UserRole, Local(pass.pass));
    item->setToolTip(0, QStringLiteral("Pass ") + Local(pass.pass));
    item->setToolTip(2, Local(pass.sid));
    item->setToolTip(4, item->text(4));
    passList_->addTopLevelItem(item);
    if (item->data(0, Qt::UserRole).toString() == selected) keep = item;
    rows += pass.lines.size();
  }
  if (keep == nullptr && passList_->topLevelItemCount() > 0) keep = passList_->topLevelItem(0);
  if (keep) passList_->setCurrentItem(keep);
  for (int column = 0; column < passList_->columnCount() - 1; ++column)
    passList_->resizeColumnToContents(column);
  counts_->setText(unknownRight
                       ? QStringLiteral("No right is named \"%1\".").arg(rightText)
                       : QStringLiteral("%1 passes, %2 rows").arg(passes_.size()).arg(rows));
  ShowPassRows();
}

QString THistoryDialog::SelectedPass() const {
  const QTreeWidgetItem* item = passList_->currentItem();
  return item && item->isSelected() ? item->data(0, Qt::UserRole).toString() : QString();
}

void THistoryDialog::ShowPassRows() {
  const QString pass = SelectedPass();
  undo_->setEnabled(!pass.isEmpty());
  rowList_->clear();
  for (const THistoryPass& shown : passes_) {
    if (Local(shown.pass) != pass) continue;
    for (const THistoryLine& line : shown.lines) {
      auto* item = new QTreeWidgetItem({Local(line.computer), Local(line.account),
                                        Local(line.right), Local(line.action), Local(line.result)});
      item->setToolTip(1, Local(line.sid));
      item->setToolTip(4, item->text(4));
      item->setIcon(4, ResultIcon(line.result));
      rowList_->addTopLevelItem(item);
    }
  }
  for (int column = 0; column < rowList_->columnCount() - 1; ++column)
    rowList_->resizeColumnToContents(column);
}

QString THistoryDialog::WriteCsv(const QString& path) const {
  QFile file(path);
  const std::string text = HistoryCsv(FilteredLines());
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
      file.write(text.data(), static_cast<qint64>(text.size())) !=
          static_cast<qint64>(text.size()) ||
      !file.flush())
    return file.errorString();
  return {};
}

void THistoryDialog::ExportCsv() {
  QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export CSV"), QString(),
                                              QStringLiteral("CSV (*.csv)"));
  if (path.isEmpty()) return;
  if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".csv");
  if (const QString why = WriteCsv(path); !why.isEmpty()) {
    QMessageBox::warning(this, QStringLiteral("Export CSV"),
                         QStringLiteral("The history could not be written to %1: %2.")
                             .arg(QDir::toNativeSeparators(path), why));
    return;
  }
  counts_->setText(QStringLiteral("Exported %1 rows to %2")
                       .arg(FilteredLines().size())
                       .arg(QDir::toNativeSeparators(path)));
}
