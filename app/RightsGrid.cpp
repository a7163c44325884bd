#include "app/RightsGrid.h"

#include <QFocusEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>
#include <algorithm>
#include <climits>
#include <optional>

#include "app/ImageLists.h"
#include "rights/Velmar_RightsCenter.h"

namespace {

constexpr int kImageSize = 16;
// The space a header text leaves: 2 pixels before it, 1 after it and the
// cell's two edges.
constexpr int kTextMargin = 5;

// Focus moves that the administrator makes inside the window; a window that
// is merely deactivated or a menu that pops up neither leaves nor enters the
// grid.
bool IsMoveWithinWindow(Qt::FocusReason reason) {
  return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
         reason != Qt::MenuBarFocusReason;
}

int VirtualKeyOf(const QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return 13;  // VK_RETURN
    case Qt::Key_Insert:
      return 45;  // VK_INSERT
    case Qt::Key_Delete:
      return 46;  // VK_DELETE
    case Qt::Key_Space:
      return 32;  // VK_SPACE
    default:
      return 0;
  }
}

}  // namespace

// ------------------------------------------------------------------ delegate

void TRightsGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
  const auto* model = qobject_cast<const TRightsGridModel*>(index.model());
  if (!model || model->IsSpareRow(index.row())) {
    QStyledItemDelegate::paint(painter, option, index);
    return;
  }
  QStyleOptionViewItem opt(option);
  initStyleOption(&opt, index);
  const QPalette::ColorGroup group = !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
                                     : (opt.state & QStyle::State_Active) ? QPalette::Active
                                                                          : QPalette::Inactive;
  const bool selected = opt.state & QStyle::State_Selected;
  const QRect& rect = opt.rect;
  // The cell's own colour wipes the code's text and keeps the selection.
  painter->fillRect(rect,
                    opt.palette.brush(group, selected ? QPalette::Highlight : QPalette::Base));
  const TCellCode code = model->Code(index.column(), index.row());
  const int x = rect.left() + (rect.width() - kImageSize) / 2;
  const int y = rect.top() + (rect.height() - kImageSize) / 2;
  if (code.State() == ' ' || code.length < 2) {
    // Not read yet for the chosen account: a light hatch, never a state.
    painter->fillRect(rect.adjusted(2, 2, -2, -2),
                      QBrush(opt.palette.color(group, QPalette::Mid), Qt::BDiagPattern));
  }
  const int image = index.data(TRightsGridModel::StateImageRole).toInt();
  if (image >= 0) painter->drawPixmap(x, y, tavrin::StateImage(image));
  if ((code.State() == 'E' || code.State() == ' ' || code.length < 2) &&
      (code.Mark() == 'Y' || code.Mark() == 'N')) {
    // A change staged on a row that was not read: the mark beside the
    // error sign, half size in the lower right corner, so that it is seen.
    const int small = kImageSize * 5 / 8;
    painter->drawPixmap(QRect(rect.right() - small, rect.bottom() - small, small, small),
                        tavrin::StateImage(code.Mark() == 'Y' ? 0 : 1));
  }
  if (opt.state & QStyle::State_HasFocus) {
    QStyleOptionFocusRect focus;
    focus.QStyleOption::operator=(opt);
    focus.backgroundColor =
        opt.palette.color(group, selected ? QPalette::Highlight : QPalette::Base);
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : nullptr;
    if (style) style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
  }
}

// ------------------------------------------------------------------- headers

TGridHeader::TGridHeader(Qt::Orientation orientation, QWidget* parent)
    : QHeaderView(orientation, parent) {
  setSectionsClickable(false);
  setSectionsMovable(false);
  setHighlightSections(false);
  setSectionResizeMode(QHeaderView::Fixed);
  setMinimumSectionSize(1);
}

void TGridHeader::paintEvent(QPaintEvent* event) {
  QHeaderView::paintEvent(event);
  // Beyond the last row or column the grid shows its own background.
  const int last = count() - 1;
  const int end = last < 0 ? 0 : sectionViewportPosition(last) + sectionSize(last);
  const QRect area = viewport()->rect();
  const QRect beyond = orientation() == Qt::Vertical
                           ? QRect(area.left(), end, area.width(), area.bottom() - end + 1)
                           : QRect(end, area.top(), area.right() - end + 1, area.height());
  if (beyond.isValid()) QPainter(viewport()).fillRect(beyond, palette().brush(QPalette::Base));
}

void TGridHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
  if (!rect.isValid()) return;
  painter->save();
  const QPalette& pal = palette();
  painter->fillRect(rect, pal.button());
  // A raised face: light on the top and left, dark on the right and bottom.
  painter->setPen(pal.color(QPalette::Light));
  painter->drawLine(rect.topLeft(), rect.topRight());
  painter->drawLine(rect.topLeft(), rect.bottomLeft());
  painter->setPen(pal.color(QPalette::Dark));
  painter->drawLine(rect.topRight(), rect.bottomRight());
  painter->drawLine(rect.bottomLeft(), rect.bottomRight());
  const QString text = ShownText(logicalIndex);
  if (!text.isEmpty()) {
    // A head with a colour of its own (a deny right's) is drawn in it, bold.
    const QVariant colour = model()->headerData(logicalIndex, orientation(), Qt::ForegroundRole);
    painter->setPen(colour.canConvert<QColor>() ? colour.value<QColor>()
                                                : pal.color(QPalette::ButtonText));
    if (colour.isValid()) {
      QFont bold = painter->font();
      bold.setBold(true);
      painter->setFont(bold);
    }
    painter->setClipRect(rect.adjusted(1, 1, -1, -1));
    painter->drawText(rect.adjusted(2, 0, -1, 0),
                      Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
  }
  painter->restore();
}

void TGridHeader::setModel(QAbstractItemModel* model) {
  if (this->model())
    disconnect(this->model(), &QAbstractItemModel::headerDataChanged, this, nullptr);
  QHeaderView::setModel(model);
  if (!model) return;
  // The header's own connection is made by signature.
  disconnect(model, SIGNAL(headerDataChanged(Qt::Orientation, int, int)), this,
             SLOT(headerDataChanged(Qt::Orientation, int, int)));
  connect(model, &QAbstractItemModel::headerDataChanged, this, &TGridHeader::TextsChanged);
  // Cells are no concern of a header whose sections never size to them:
  // each code written would otherwise be told to both headers as well.
  disconnect(model, SIGNAL(dataChanged(QModelIndex, QModelIndex, QList<int>)), this,
             SLOT(dataChanged(QModelIndex, QModelIndex, QList<int>)));
}

void TGridHeader::TextsChanged(Qt::Orientation orientation) {
  if (orientation == this->orientation()) viewport()->update();
}

QString TGridHeader::ShownText(int logicalIndex) const {
  if (!model()) return {};
  const QString text = model()->headerData(logicalIndex, orientation()).toString();
  // The codes of the rights are clipped to their narrow columns as they are.
  if (orientation() == Qt::Horizontal) return text;
  return fontMetrics().elidedText(text, Qt::ElideRight, minimumWidth() - kTextMargin);
}

QString TGridHeader::ToolTip(int logicalIndex) const {
  if (!model() || logicalIndex < 0 || logicalIndex >= count()) return {};
  // A right's head: its code, Windows' name and constant, as the model says.
  if (orientation() == Qt::Horizontal)
    return model()->headerData(logicalIndex, orientation(), Qt::ToolTipRole).toString();
  const QString name = model()->headerData(logicalIndex, orientation()).toString();
  if (ShownText(logicalIndex) == name) return {};
  const QString own = model()->headerData(logicalIndex, orientation(), Qt::ToolTipRole).toString();
  return own.isEmpty() ? name : name + QLatin1Char('\n') + own;
}

bool TGridHeader::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    const auto* help = static_cast<QHelpEvent*>(event);
    const QString tip = ToolTip(logicalIndexAt(help->pos()));
    if (!tip.isEmpty()) {
      QToolTip::showText(help->globalPos(), tip, viewport());
      return true;
    }
  }
  return QHeaderView::viewportEvent(event);
}

// ---------------------------------------------------------------------- grid

TRightsGrid::TRightsGrid(QWidget* parent) : QTableView(parent), model_(new TRightsGridModel(this)) {
  auto* columns = new TGridHeader(Qt::Horizontal, this);
  auto* rows = new TGridHeader(Qt::Vertical, this);
  setHorizontalHeader(columns);
  setVerticalHeader(rows);
  setModel(model_);
  setItemDelegate(new TRightsGridDelegate(this));

  setSelectionMode(QAbstractItemView::ContiguousSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setTabKeyNavigation(false);
  setWordWrap(false);
  setCornerButtonEnabled(false);
  setShowGrid(true);

  columns->setDefaultSectionSize(RightColWidth);
  columns->setFixedHeight(DefaultRowHeight);
  rows->setDefaultSectionSize(DefaultRowHeight);
  rows->setFixedWidth(DefaultColWidth);
  columns->viewport()->installEventFilter(this);
  rows->viewport()->installEventFilter(this);

  connect(model_, &QAbstractItemModel::rowsInserted, this,
          [this](const QModelIndex&, int first, int last) { MeasureNames(first, last); });
  connect(model_, &QAbstractItemModel::headerDataChanged, this,
          [this](Qt::Orientation orientation, int first, int last) {
            if (orientation == Qt::Vertical) MeasureNames(first, last);
          });
  connect(model_, &QAbstractItemModel::rowsRemoved, this, &TRightsGrid::MeasureAllNames);
  connect(model_, &QAbstractItemModel::modelReset, this, &TRightsGrid::MeasureAllNames);

  SelectCurrentIfNone();
}

void TRightsGrid::MeasureNames(int first, int last) {
  std::optional<QFontMetrics> metrics;  // made for the first name: spare rows have none
  for (int row = std::max(first, 0); row <= last && row < model_->rowCount(); ++row) {
    const QString& name = model_->Name(row);
    if (name.trimmed().isEmpty()) continue;
    if (!metrics) metrics.emplace(verticalHeader()->font(), verticalHeader());
    widestName_ = std::max(widestName_, metrics->horizontalAdvance(name) + kTextMargin + 1);
  }
  FitNameColumn();
}

void TRightsGrid::MeasureAllNames() {
  widestName_ = 0;
  MeasureNames(0, model_->rowCount() - 1);
}

void TRightsGrid::FitNameColumn() {
  const int width = std::clamp(widestName_, int(DefaultColWidth), int(MaxNameColWidth));
  if (width == verticalHeader()->minimumWidth()) return;
  verticalHeader()->setFixedWidth(width);
  emit NameColumnResized();
}

int TRightsGrid::FullWidth() const {
  int width = 2 * frameWidth() + verticalHeader()->minimumWidth() +
              style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, verticalScrollBar());
  for (int col = 0; col < model_->columnCount(); ++col) width += columnWidth(col);
  return width;
}

void TRightsGrid::Reset() {
  model_->Clear();
  SelectCurrentIfNone();
}

int TRightsGrid::ColWidths(int col) const {
  if (col == 0) return verticalHeader()->minimumWidth();
  return col > 0 && col < ColCount() ? columnWidth(col - 1) : 0;
}

void TRightsGrid::SetColWidths(int col, int width) {
  if (col == 0)
    verticalHeader()->setFixedWidth(width);
  else if (col > 0 && col < ColCount())
    setColumnWidth(col - 1, width);
}

int TRightsGrid::RowHeights(int row) const {
  if (row == 0) return horizontalHeader()->minimumHeight();
  return row > 0 && row < RowCount() ? rowHeight(row - 1) : 0;
}

QString TRightsGrid::Cells(int col, int row) const {
  if (row == 0) return col > 0 ? model_->HeaderText(col - 1) : QString();
  if (col == 0) return model_->Name(row - 1);
  return QString::fromLatin1(model_->Code(col - 1, row - 1).Text());
}

void TRightsGrid::SetCells(int col, int row, const QString& text) {
  if (row == 0) {
    if (col > 0) model_->SetHeaderText(col - 1, text);
  } else if (col == 0) {
    model_->SetName(row - 1, text);
  } else {
    model_->SetCode(col - 1, row - 1, TCellCode::FromText(text.toLatin1().toStdString()));
  }
}

TCellCode TRightsGrid::Code(int col, int row) const { return model_->Code(col - 1, row - 1); }

void TRightsGrid::SetCode(int col, int row, const TCellCode& code) {
  model_->SetCode(col - 1, row - 1, code);
}

TGridRect TRightsGrid::Selection() const {
  const QItemSelection selection = selectionModel()->selection();
  if (selection.isEmpty()) {
    const QModelIndex current = currentIndex();
    if (!current.isValid()) return {1, 1, 1, 1};
    const int col = current.column() + 1;
    const int row = current.row() + 1;
    return {col, row, col, row};
  }
  TGridRect rect{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
  for (const QItemSelectionRange& range : selection) {
    rect.Left = std::min(rect.Left, range.left() + 1);
    rect.Top = std::min(rect.Top, range.top() + 1);
    rect.Right = std::max(rect.Right, range.right() + 1);
    rect.Bottom = std::max(rect.Bottom, range.bottom() + 1);
  }
  return rect;
}

void TRightsGrid::SetSelection(const TGridRect& rect) {
  const int lastCol = model_->columnCount() - 1;
  const int lastRow = model_->rowCount() - 1;
  const int left = std::clamp(rect.Left - 1, 0, lastCol);
  const int right = std::clamp(rect.Right - 1, left, lastCol);
  const int top = std::clamp(rect.Top - 1, 0, lastRow);
  const int bottom = std::clamp(rect.Bottom - 1, top, lastRow);
  const QModelIndex anchor = model_->index(top, left);
  selectionModel()->setCurrentIndex(anchor, QItemSelectionModel::NoUpdate);
  selectionModel()->select(QItemSelection(anchor, model_->index(bottom, right)),
                           QItemSelectionModel::ClearAndSelect);
}

QRect TRightsGrid::CellRect(int col, int row) const {
  return visualRect(model_->index(row - 1, col - 1));
}

int TRightsGrid::FindRow(const QString& name) const {
  const int row = model_->FindRow(name);
  return row < 0 ? -1 : row + 1;
}

int TRightsGrid::AppendRow(const QString& name) { return model_->AppendRow(name) + 1; }

void TRightsGrid::RemoveRows(int top, int bottom) {
  model_->RemoveRows(top - 1, bottom - 1);
  SelectCurrentIfNone();
}

bool TRightsGrid::ChangeBlock(const TGridRect& rect,
                              const std::function<TCellCode(const TCellCode&)>& change) {
  return model_->ChangeBlock({rect.Left - 1, rect.Top - 1, rect.Right - 1, rect.Bottom - 1},
                             change);
}

void TRightsGrid::SelectCurrentIfNone() {
  if (selectionModel()->hasSelection()) return;
  QModelIndex current = currentIndex();
  if (!current.isValid()) current = model_->index(0, 0);
  selectionModel()->setCurrentIndex(current, QItemSelectionModel::ClearAndSelect);
}

void TRightsGrid::mousePressEvent(QMouseEvent* event) {
  // Only a left press on a cell selects; elsewhere the selection stays.
  pressedOnCell_ =
      event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid();
  if (!pressedOnCell_) {
    event->accept();
    return;
  }
  QTableView::mousePressEvent(event);
}

void TRightsGrid::mouseReleaseEvent(QMouseEvent* event) {
  QTableView::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && pressedOnCell_) {
    pressedOnCell_ = false;
    emit Click();
  }
}

void TRightsGrid::mouseDoubleClickEvent(QMouseEvent* event) {
  // On a cell the press before has made it the selection; elsewhere the
  // selection stays, and the double-click acts on it all the same.
  if (event->button() != Qt::LeftButton) {
    event->accept();
    return;
  }
  if (indexAt(event->position().toPoint()).isValid()) {
    QTableView::mouseDoubleClickEvent(event);
    pressedOnCell_ = true;
  } else {
    event->accept();
  }
  emit DblClick();
}

void TRightsGrid::keyPressEvent(QKeyEvent* event) {
  if (const int key = VirtualKeyOf(event)) {
    // These keys only stage marks: the grid itself neither moves nor
    // changes its selection for them.
    event->accept();
    emit KeyDown(key);
    return;
  }
  const QModelIndex before = currentIndex();
  QTableView::keyPressEvent(event);
  if (currentIndex() != before) emit Click();
}

void TRightsGrid::keyboardSearch(const QString&) {}

bool TRightsGrid::eventFilter(QObject* watched, QEvent* event) {
  // A double-click on the fixed cells, or beside them, is the grid's too.
  if (event->type() == QEvent::MouseButtonDblClick &&
      (watched == horizontalHeader()->viewport() || watched == verticalHeader()->viewport())) {
    if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) emit DblClick();
    return true;
  }
  return QTableView::eventFilter(watched, event);
}

void TRightsGrid::focusInEvent(QFocusEvent* event) {
  QTableView::focusInEvent(event);
  SelectCurrentIfNone();
  if (IsMoveWithinWindow(event->reason())) emit Enter();
}

void TRightsGrid::focusOutEvent(QFocusEvent* event) {
  QTableView::focusOutEvent(event);
  if (IsMoveWithinWindow(event->reason())) emit Exit();
}
