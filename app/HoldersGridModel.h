// The grid of the window's By-right mode: one row per computer, one column
// per account found holding the right on any of them, headed by its name
// with its SID in the head's tool tip. A cell reads "Y" where the row's
// computer lists the column's account; an unreadable computer's cells read
// "E", with its reason as their tool tip, as the rights grid shows one.
#pragma once

#include <QAbstractTableModel>
#include <QSet>
#include <QStringList>
#include <vector>

#include "passes/RowWork.h"

class THoldersGridModel : public QAbstractTableModel {
 public:
  explicit THoldersGridModel(QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // Every computer not read yet, and no account columns.
  void Reset(const QStringList& computers);
  // What a computer's read found: its holders (new accounts get a column,
  // in the order of their names), or why it could not be read.
  void SetHolders(int row, const std::vector<THolder>& holders);
  void SetProblem(int row, const QString& reason);

  QString Computer(int row) const;
  QString RowProblem(int row) const;  // empty for a row read, or not read yet
  bool RowRead(int row) const;
  QString ColumnName(int column) const;
  QString ColumnSid(int column) const;
  bool Holds(int row, int column) const;

 private:
  struct Row {
    QString name;
    bool read = false;
    QString problem;
    QSet<QString> sids;
  };
  struct Column {
    QString sid, name;
  };
  std::vector<Row> rows_;
  std::vector<Column> columns_;
};
