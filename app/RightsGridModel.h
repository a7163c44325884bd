// The content of the rights grid: one row per computer, one column per right,
// a two-character code in every right cell, and the spare row at the bottom.
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QHash>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "passes/CellCode.h"
#include "rights/Velmar_RightsCenter.h"

// A block of cells, inclusive on all sides.
struct TGridRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  friend bool operator==(const TGridRect&, const TGridRect&) = default;
};

// The table model behind the grid. Model coordinates: row 0 to
// DataRowCount() - 1 are the computers, row DataRowCount() is the spare row;
// column n shows the n-th right of the view (in the classic view, the right
// of ordinal n). Every row holds the codes of all the rights, shown or not.
// The header texts of the columns and the computer names are header data.
class TRightsGridModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Role { StateImageRole = Qt::UserRole + 1 };
  // The colour that sets deny rights apart (their column heads and legend).
  static QColor DenyColor() { return QColor(0xA0, 0x00, 0x00); }

  explicit TRightsGridModel(QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  int DataRowCount() const { return static_cast<int>(rows_.size()) - 1; }
  int SpareRow() const { return DataRowCount(); }
  bool IsSpareRow(int row) const { return row == SpareRow(); }

  // Leaves only the spare row, empty.
  void Clear();

  // The rights shown as columns, and the right of a column (column 0 as
  // fallback for a column outside the view). Changing the view resets the
  // model: the codes stay, the header texts go.
  TRightsView View() const { return view_; }
  void SetView(TRightsView view);
  int ColumnCount() const { return static_cast<int>(columns_.size()); }
  TvmPrivilege ColumnRight(int column) const;

  QString HeaderText(int column) const;
  void SetHeaderText(int column, const QString& text);

  const QString& Name(int row) const;
  void SetName(int row, const QString& name);

  TCellCode Code(int column, int row) const;
  void SetCode(int column, int row, const TCellCode& code);
  // Why the row's last read went wrong ("Access is denied (5)"), and what
  // its last commit wrote before it failed and why; empty when nothing did.
  // Both show in the tool tip of the row's name and cells (RowProblem).
  QString ReadProblem(int row) const;
  void SetReadProblem(int row, const QString& problem);
  QString WriteProblem(int row) const;
  void SetWriteProblem(int row, const QString& problem);
  QString RowProblem(int row) const;

  // How many cells stage a change, and whether any cell carries a mark at
  // all (failed changes included).
  struct TMarks {
    int changes = 0;
    bool any = false;
  };
  TMarks Marks() const;
  // Every computer row as not read yet, for another account: blank states,
  // no marks, no problems.
  void ForgetStates();
  // Every mark blank, and the failed changes' reasons with them.
  void ClearMarks();

  // The codes of a row (every right, shown or not), and their write with one
  // change notice.
  TRowCodes RowCodes(int row) const;
  void SetRowCodes(int row, const TRowCodes& codes);

  // The first computer row whose name equals `name` ignoring letter case, or
  // -1. The spare row is never found.
  int FindRow(const QString& name) const;

  // The spare row becomes a computer row named `name` and a new spare row is
  // added below it; gives the new computer row.
  int AppendRow(const QString& name);

  // Removes computer rows first to last (clipped to the computer rows; the
  // spare row is never removed). The rows below move up; every cell of the
  // spare row, name included, then holds two blanks. Nothing happens when no
  // computer row is in the range.
  void RemoveRows(int first, int last);

  // For every cell of the block, column by column and row by row within a
  // column, stopping each column at the spare row, stores `change(code)`.
  // Rows and columns outside the model are skipped. Sends one change notice
  // over the block and answers whether any code differs from before.
  bool ChangeBlock(const TGridRect& block,
                   const std::function<TCellCode(const TCellCode&)>& change);

 private:
  struct Row {
    QString name;
    TRowCodes codes{};
    QString readProblem;
    QString writeProblem;
  };

  static QString Key(const QString& name);
  void RebuildIndex() const;

  std::vector<Row> rows_;  // the computer rows, then the spare row
  TRightsView view_ = TRightsView::Classic;
  std::vector<TvmPrivilege> columns_ = ViewRights(TRightsView::Classic);
  std::vector<QString> headers_ = std::vector<QString>(columns_.size());
  // Case-folded name -> first computer row with it; rebuilt on demand after
  // a rename or a removal.
  mutable QHash<QString, int> index_;
  mutable bool indexValid_ = true;
};
