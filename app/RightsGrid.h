// The rights grid: a fixed header row with the two-letter codes of the
// rights, a fixed column with the computer names, and the state images in
// the right cells.
//
// Grid coordinates count the fixed column and the fixed row: column 0 holds
// the computer names and columns 1 to 27 the rights; row 0 is the header row,
// rows 1 to RowCount() - 2 are computers and RowCount() - 1 is the spare row.
#pragma once

#include <QHeaderView>
#include <QStyledItemDelegate>
#include <QTableView>

#include "app/RightsGridModel.h"

// Draws the right cells of computer rows as their state image on the cell's
// background; every other cell keeps the usual drawing.
class TRightsGridDelegate : public QStyledItemDelegate {
  Q_OBJECT
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
};

// The fixed cells: a raised face with the text at the top left (a name cut
// with an ellipsis when wider than its column), never highlighted, never
// clickable.
class TGridHeader : public QHeaderView {
  Q_OBJECT
 public:
  explicit TGridHeader(Qt::Orientation orientation, QWidget* parent = nullptr);

  void setModel(QAbstractItemModel* model) override;
  // The text a section shows, and its tool tip: for a right's column the
  // right's name and constant, for a name cut short the whole name (and the
  // row's own tool tip below it); empty when the row's own tool tip applies.
  QString ShownText(int logicalIndex) const;
  QString ToolTip(int logicalIndex) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
  bool viewportEvent(QEvent* event) override;

 private:
  // A header text changed: the header is drawn again. (The header's own
  // handler looks up where the changed rows are, which after every insert
  // adds up all the row heights again: filling row by row became quadratic.)
  void TextsChanged(Qt::Orientation orientation);
};

class TRightsGrid : public QTableView {
  Q_OBJECT
 public:
  static constexpr int FixedCols = 1;
  static constexpr int FixedRows = 1;
  static constexpr int DefaultColWidth = 100;
  // The name column grows with the longest name up to this width; longer
  // names end in an ellipsis.
  static constexpr int MaxNameColWidth = 260;
  static constexpr int DefaultRowHeight = 18;
  static constexpr int RightColWidth = 21;

  explicit TRightsGrid(QWidget* parent = nullptr);

  TRightsGridModel* Model() const { return model_; }

  int ColCount() const { return FixedCols + model_->columnCount(); }
  int RowCount() const { return FixedRows + model_->rowCount(); }
  bool IsSpareRow(int row) const { return row == RowCount() - 1; }

  // Back to the header row and an empty spare row.
  void Reset();

  int ColWidths(int col) const;
  void SetColWidths(int col, int width);
  int RowHeights(int row) const;

  // The texts of the cells: header codes in row 0, names in column 0, cell
  // codes elsewhere.
  QString Cells(int col, int row) const;
  void SetCells(int col, int row, const QString& text);
  TCellCode Code(int col, int row) const;
  void SetCode(int col, int row, const TCellCode& code);

  // The selected block; fixed cells are never part of it.
  TGridRect Selection() const;
  void SetSelection(const TGridRect& rect);
  // Where a cell lies in the viewport.
  QRect CellRect(int col, int row) const;
  // The width that shows every column whole, with the vertical scroll bar.
  int FullWidth() const;

  // Rows of computers, in grid rows: see TRightsGridModel.
  int FindRow(const QString& name) const;
  int AppendRow(const QString& name);
  void RemoveRows(int top, int bottom);

  // Stores `change(code)` in every cell of the block (grid coordinates),
  // column by column, stopping each column at the spare row; answers
  // whether any code changed.
  bool ChangeBlock(const TGridRect& rect, const std::function<TCellCode(const TCellCode&)>& change);

 signals:
  // A selection made with the mouse has ended, or the keyboard moved the
  // current cell.
  void Click();
  // A double-click of the left button anywhere on the grid, fixed cells
  // included; it concerns the selection the grid holds.
  void DblClick();
  // Enter, Insert, Delete and Space, as virtual-key codes (13, 45, 46, 32).
  void KeyDown(int virtualKey);
  void Enter();
  void Exit();
  // The name column changed its width to fit the names.
  void NameColumnResized();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  // Letters have no role in the grid: typing one moves nothing.
  void keyboardSearch(const QString& search) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void SelectCurrentIfNone();
  // The name column follows the widest name: rows measured as they come or
  // change, all again after a removal.
  void MeasureNames(int first, int last);
  void MeasureAllNames();
  void FitNameColumn();

  TRightsGridModel* model_;
  int widestName_ = 0;
  bool pressedOnCell_ = false;
};
