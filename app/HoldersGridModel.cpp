#include "app/HoldersGridModel.h"

#include <algorithm>

THoldersGridModel::THoldersGridModel(QObject* parent) : QAbstractTableModel(parent) {}

int THoldersGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int THoldersGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant THoldersGridModel::data(const QModelIndex& index, int role) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
  const Row& row = rows_[index.row()];
  switch (role) {
    case Qt::DisplayRole:
      if (!row.problem.isEmpty()) return QStringLiteral("E");
      return Holds(index.row(), index.column()) ? QStringLiteral("Y") : QString();
    case Qt::TextAlignmentRole:
      return Qt::AlignCenter;
    case Qt::ToolTipRole:
      return row.problem.isEmpty() ? QVariant() : QVariant(row.problem);
    default:
      return {};
  }
}

QVariant THoldersGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal) {
    if (section < 0 || section >= columnCount()) return {};
    if (role == Qt::DisplayRole) return columns_[section].name;
    if (role == Qt::ToolTipRole) return columns_[section].sid;
    return {};
  }
  if (section < 0 || section >= rowCount()) return {};
  if (role == Qt::DisplayRole) return rows_[section].name;
  if (role == Qt::ToolTipRole && !rows_[section].problem.isEmpty()) return rows_[section].problem;
  return {};
}

void THoldersGridModel::Reset(const QStringList& computers) {
  beginResetModel();
  rows_.clear();
  columns_.clear();
  for (const QString& name : computers) rows_.push_back({name, false, {}, {}});
  endResetModel();
}

void THoldersGridModel::SetHolders(int row, const std::vector<THolder>& holders) {
  if (row < 0 || row >= rowCount()) return;
  Row& r = rows_[row];
  r.read = true;
  r.problem.clear();
  r.sids.clear();
  for (const THolder& holder : holders) {
    const QString sid = QString::fromStdString(holder.sid);
    r.sids.insert(sid);
    if (std::any_of(columns_.begin(), columns_.end(),
                    [&](const Column& c) { return c.sid == sid; }))
      continue;
    const QString name = QString::fromLocal8Bit(holder.name.c_str());
    const auto at = std::find_if(columns_.begin(), columns_.end(), [&](const Column& c) {
      return c.name.compare(name, Qt::CaseInsensitive) > 0;
    });
    const int column = static_cast<int>(at - columns_.begin());
    beginInsertColumns(QModelIndex(), column, column);
    columns_.insert(at, {sid, name});
    endInsertColumns();
  }
  if (columnCount() > 0) emit dataChanged(index(row, 0), index(row, columnCount() - 1));
  emit headerDataChanged(Qt::Vertical, row, row);
}

void THoldersGridModel::SetProblem(int row, const QString& reason) {
  if (row < 0 || row >= rowCount()) return;
  rows_[row] = {rows_[row].name, true, reason, {}};
  if (columnCount() > 0) emit dataChanged(index(row, 0), index(row, columnCount() - 1));
  emit headerDataChanged(Qt::Vertical, row, row);
}

QString THoldersGridModel::Computer(int row) const {
  return row >= 0 && row < rowCount() ? rows_[row].name : QString();
}

QString THoldersGridModel::RowProblem(int row) const {
  return row >= 0 && row < rowCount() ? rows_[row].problem : QString();
}

bool THoldersGridModel::RowRead(int row) const {
  return row >= 0 && row < rowCount() && rows_[row].read;
}

QString THoldersGridModel::ColumnName(int column) const {
  return column >= 0 && column < columnCount() ? columns_[column].name : QString();
}

QString THoldersGridModel::ColumnSid(int column) const {
  return column >= 0 && column < columnCount() ? columns_[column].sid : QString();
}

bool THoldersGridModel::Holds(int row, int column) const {
  return row >= 0 && row < rowCount() && column >= 0 && column < columnCount() &&
         rows_[row].sids.contains(columns_[column].sid);
}
