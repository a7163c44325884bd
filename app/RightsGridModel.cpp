#include "app/RightsGridModel.h"

#include <algorithm>

#include "platform/WideText.h"

TRightsGridModel::TRightsGridModel(QObject* parent) : QAbstractTableModel(parent) {
  rows_.emplace_back();
}

int TRightsGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TRightsGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ColumnCount();
}

QVariant TRightsGridModel::data(const QModelIndex& index, int role) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
  const TCellCode& code = rows_[index.row()].codes[ColumnRight(index.column())];
  switch (role) {
    case Qt::DisplayRole:
      return QString::fromLatin1(code.Text());
    case StateImageRole:
      return IsSpareRow(index.row()) ? -1 : StateImageIndex(code);
    case Qt::ToolTipRole: {
      const QString problem = RowProblem(index.row());
      return problem.isEmpty() ? QVariant() : QVariant(problem);
    }
    default:
      return {};
  }
}

QVariant TRightsGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role == Qt::ToolTipRole && orientation == Qt::Vertical && section >= 0 &&
      section < rowCount() && !RowProblem(section).isEmpty())
    return RowProblem(section);
  // A column head names its right in full; deny rights stand out.
  if (orientation == Qt::Horizontal && section >= 0 && section < ColumnCount()) {
    const TvmPrivilege right = ColumnRight(section);
    if (role == Qt::ToolTipRole) return QString::fromStdString(RightDescription(right));
    if (role == Qt::ForegroundRole && RightInfo(right).deny) return DenyColor();
  }
  if (role != Qt::DisplayRole || section < 0) return {};
  if (orientation == Qt::Horizontal)
    return section < ColumnCount() ? QVariant(headers_[section]) : QVariant();
  return section < rowCount() ? QVariant(rows_[section].name) : QVariant();
}

Qt::ItemFlags TRightsGridModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void TRightsGridModel::SetView(TRightsView view) {
  if (view == view_) return;
  beginResetModel();
  view_ = view;
  columns_ = ViewRights(view);
  headers_.assign(columns_.size(), QString());
  endResetModel();
}

TvmPrivilege TRightsGridModel::ColumnRight(int column) const {
  return column >= 0 && column < ColumnCount() ? columns_[column] : columns_[0];
}

void TRightsGridModel::Clear() {
  beginResetModel();
  rows_.assign(1, Row{});
  index_.clear();
  indexValid_ = true;
  endResetModel();
}

QString TRightsGridModel::Key(const QString& name) {
  return QString::fromLocal8Bit(tavrin::platform::text::UpperKey(name.toLocal8Bit().toStdString()));
}

QString TRightsGridModel::ReadProblem(int row) const {
  return row >= 0 && row < rowCount() ? rows_[row].readProblem : QString();
}

QString TRightsGridModel::WriteProblem(int row) const {
  return row >= 0 && row < rowCount() ? rows_[row].writeProblem : QString();
}

QString TRightsGridModel::RowProblem(int row) const {
  if (row < 0 || row >= rowCount()) return {};
  const Row& r = rows_[row];
  QString text;
  if (!r.readProblem.isEmpty()) text = QStringLiteral("not read: ") + r.readProblem;
  if (!r.writeProblem.isEmpty())
    text += (text.isEmpty() ? QString() : QStringLiteral("\n")) + r.writeProblem;
  return text;
}

void TRightsGridModel::SetReadProblem(int row, const QString& problem) {
  if (row < 0 || row >= DataRowCount() || rows_[row].readProblem == problem) return;
  rows_[row].readProblem = problem;
  emit dataChanged(index(row, 0), index(row, ColumnCount() - 1), {Qt::ToolTipRole});
  emit headerDataChanged(Qt::Vertical, row, row);
}

void TRightsGridModel::SetWriteProblem(int row, const QString& problem) {
  if (row < 0 || row >= DataRowCount() || rows_[row].writeProblem == problem) return;
  rows_[row].writeProblem = problem;
  emit dataChanged(index(row, 0), index(row, ColumnCount() - 1), {Qt::ToolTipRole});
  emit headerDataChanged(Qt::Vertical, row, row);
}

TRightsGridModel::TMarks TRightsGridModel::Marks() const {
  TMarks marks;
  for (int row = 0; row < DataRowCount(); ++row)
    for (const TCellCode& code : rows_[row].codes) {
      if (IsStagedChange(code)) ++marks.changes;
      if (HasMark(code)) marks.any = true;
    }
  return marks;
}

void TRightsGridModel::ForgetStates() {
  if (DataRowCount() == 0) return;
  for (int row = 0; row < DataRowCount(); ++row) {
    rows_[row].codes.fill(TCellCode::Blanks());
    rows_[row].readProblem.clear();
    rows_[row].writeProblem.clear();
  }
  emit dataChanged(index(0, 0), index(DataRowCount() - 1, ColumnCount() - 1),
                   {Qt::DisplayRole, StateImageRole, Qt::ToolTipRole});
  emit headerDataChanged(Qt::Vertical, 0, DataRowCount() - 1);
}

void TRightsGridModel::ClearMarks() {
  if (DataRowCount() == 0) return;
  ChangeBlock({0, 0, ColumnCount() - 1, DataRowCount() - 1},
              [](const TCellCode& code) { return code.length < 2 ? code : WithMark(code, ' '); });
  for (int row = 0; row < DataRowCount(); ++row) SetWriteProblem(row, QString());
}

QString TRightsGridModel::HeaderText(int column) const {
  return column >= 0 && column < ColumnCount() ? headers_[column] : QString();
}

void TRightsGridModel::SetHeaderText(int column, const QString& text) {
  if (column < 0 || column >= ColumnCount() || headers_[column] == text) return;
  headers_[column] = text;
  emit headerDataChanged(Qt::Horizontal, column, column);
}

const QString& TRightsGridModel::Name(int row) const {
  static const QString none;
  return row >= 0 && row < rowCount() ? rows_[row].name : none;
}

void TRightsGridModel::SetName(int row, const QString& name) {
  if (row < 0 || row >= rowCount()) return;
  QString& current = rows_[row].name;
  if (current == name) return;
  // A change that keeps the case-folded name keeps the index as it is.
  if (row < DataRowCount() && Key(current) != Key(name)) indexValid_ = false;
  current = name;
  emit headerDataChanged(Qt::Vertical, row, row);
}

TCellCode TRightsGridModel::Code(int column, int row) const {
  if (column < 0 || column >= ColumnCount() || row < 0 || row >= rowCount()) return {};
  return rows_[row].codes[columns_[column]];
}

void TRightsGridModel::SetCode(int column, int row, const TCellCode& code) {
  if (column < 0 || column >= ColumnCount() || row < 0 || row >= rowCount()) return;
  TCellCode& cell = rows_[row].codes[columns_[column]];
  if (cell == code) return;
  cell = code;
  const QModelIndex changed = index(row, column);
  emit dataChanged(changed, changed, {Qt::DisplayRole, StateImageRole});
}

TRowCodes TRightsGridModel::RowCodes(int row) const {
  return row >= 0 && row < rowCount() ? rows_[row].codes : TRowCodes{};
}

void TRightsGridModel::SetRowCodes(int row, const TRowCodes& codes) {
  if (row < 0 || row >= rowCount() || rows_[row].codes == codes) return;
  rows_[row].codes = codes;
  emit dataChanged(index(row, 0), index(row, ColumnCount() - 1), {Qt::DisplayRole, StateImageRole});
}

void TRightsGridModel::RebuildIndex() const {
  index_.clear();
  index_.reserve(DataRowCount());
  // From the bottom up, so that the first of equal names is the one kept.
  for (int row = DataRowCount() - 1; row >= 0; --row) index_.insert(Key(rows_[row].name), row);
  indexValid_ = true;
}

int TRightsGridModel::FindRow(const QString& name) const {
  if (!indexValid_) RebuildIndex();
  return index_.value(Key(name), -1);
}

int TRightsGridModel::AppendRow(const QString& name) {
  // The spare row keeps its place and becomes the computer's row, so that a
  // selection on it stays where it is; the new spare row comes below.
  const int row = SpareRow();
  beginInsertRows(QModelIndex(), row + 1, row + 1);
  rows_.emplace_back();
  endInsertRows();
  rows_[row].name = name;
  // An earlier row of the same name stays the one found.
  if (indexValid_) {
    const QString key = Key(name);
    if (!index_.contains(key)) index_.insert(key, row);
  }
  emit headerDataChanged(Qt::Vertical, row, row);
  emit dataChanged(index(row, 0), index(row, ColumnCount() - 1), {Qt::DisplayRole, StateImageRole});
  return row;
}

void TRightsGridModel::RemoveRows(int first, int last) {
  first = std::max(first, 0);
  last = std::min(last, DataRowCount() - 1);
  if (last < first) return;
  beginRemoveRows(QModelIndex(), first, last);
  rows_.erase(rows_.begin() + first, rows_.begin() + last + 1);
  endRemoveRows();
  indexValid_ = false;
  Row& spare = rows_.back();
  spare.name = QStringLiteral("  ");
  spare.codes.fill(TCellCode::Blanks());
  const int row = SpareRow();
  emit headerDataChanged(Qt::Vertical, row, row);
  emit dataChanged(index(row, 0), index(row, ColumnCount() - 1), {Qt::DisplayRole, StateImageRole});
}

bool TRightsGridModel::ChangeBlock(const TGridRect& block,
                                   const std::function<TCellCode(const TCellCode&)>& change) {
  const int left = std::max(block.Left, 0);
  const int right = std::min(block.Right, ColumnCount() - 1);
  const int top = std::max(block.Top, 0);
  const int bottom = std::min(block.Bottom, DataRowCount() - 1);
  if (left > right || top > bottom) return false;
  bool changed = false;
  for (int column = left; column <= right; ++column) {
    for (int row = top; row <= bottom; ++row) {
      TCellCode& cell = rows_[row].codes[columns_[column]];
      const TCellCode next = change(cell);
      if (next != cell) changed = true;
      cell = next;
    }
  }
  if (changed)
    emit dataChanged(index(top, left), index(bottom, right), {Qt::DisplayRole, StateImageRole});
  return changed;
}
