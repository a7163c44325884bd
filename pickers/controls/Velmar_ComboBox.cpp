#include "pickers/controls/Velmar_ComboBox.h"

#include <QAbstractItemDelegate>
#include <QAbstractItemView>
#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOptionComboBox>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <algorithm>

// ---------------------------------------------------------------- images

TvmImageList::TvmImageList(int width, int height, QObject* parent)
    : QObject(parent), width_(width), height_(height) {}

void TvmImageList::Draw(QPainter* painter, int x, int y, int index, bool enabled) const {
  if (index < 0 || index >= Count()) return;
  painter->save();
  if (!enabled) painter->setOpacity(0.4);
  painter->drawImage(QPoint(x, y), images_[static_cast<size_t>(index)]);
  painter->restore();
}

// ---------------------------------------------------------------- popup

namespace {

// Draws the items of the drop-down list through the control, at the
// control's fixed item height.
class ItemDelegate : public QAbstractItemDelegate {
 public:
  explicit ItemDelegate(TvmCustomComboBox* box) : QAbstractItemDelegate(box), box_(box) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    box_->DrawItemRequest(painter, index.row(), option.rect, option.state);
  }
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
    return QSize(option.rect.width(), box_->ItemHeight());
  }

 private:
  TvmCustomComboBox* box_;
};

// The style of the application, but for the drop-down list, which opens
// below the control as on Windows rather than over it like a menu (a menu
// measures every line each time it opens: slow with ten thousand accounts).
class DropDownStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* answer) const override {
    if (hint == SH_ComboBox_Popup) return 0;
    return QProxyStyle::styleHint(hint, option, widget, answer);
  }
};

}  // namespace

// ---------------------------------------------------------------- control

TvmCustomComboBox::TvmCustomComboBox(QWidget* parent) : QComboBox(parent) {
  setEditable(false);
  setIconSize(QSize(0, 0));
  setItemDelegate(new ItemDelegate(this));
  auto* dropDown = new DropDownStyle;
  dropDown->setParent(this);
  setStyle(dropDown);
  ComputeHeights();
}

TvmCustomComboBox::~TvmCustomComboBox() {
  destroying_ = true;
  disconnect(imagesGone_);
}

void TvmCustomComboBox::SetImages(TvmImageList* value) {
  disconnect(imagesGone_);
  images_ = value;
  // An image list that goes away is detached, and the heights follow.
  if (value != nullptr)
    imagesGone_ = connect(value, &QObject::destroyed, this, [this] { SetImages(nullptr); });
  ComputeHeights();
}

void TvmCustomComboBox::Loaded() { loading_ = false; }

bool TvmCustomComboBox::GetItemEnabled(int) const { return true; }
int TvmCustomComboBox::GetItemCount() const { return 0; }
int TvmCustomComboBox::GetImageIndex(int) const { return -1; }
std::string TvmCustomComboBox::GetItemText(int) const { return {}; }
int TvmCustomComboBox::GetImageWidth() const { return 0; }
int TvmCustomComboBox::GetImageHeight() const { return 0; }
void TvmCustomComboBox::DrawImage(QPainter*, const QRect&, int) {}

void TvmCustomComboBox::ComputeHeights() {
  const QFontMetrics metrics(font());
  textHeight_ = metrics.size(Qt::TextSingleLine, QStringLiteral("Wg")).height();
  const int imageHeight = images_ ? images_->Height() : GetImageHeight();
  itemHeight_ = std::max(textHeight_, imageHeight);
  if (view() != nullptr) view()->doItemsLayout();
}

int TvmCustomComboBox::ImageWidth() const { return images_ ? images_->Width() : GetImageWidth(); }

QRect TvmCustomComboBox::ImageCell(const QRect& rect) const {
  const int width = ImageWidth();
  if (layoutDirection() == Qt::RightToLeft)
    return QRect(rect.x() + rect.width(), rect.y(), width, rect.height());
  return QRect(rect.x() - width, rect.y(), width, rect.height());
}

QPoint TvmCustomComboBox::TextOrigin(const QRect& rect) const {
  return QPoint(rect.x() + 2, rect.y() + (itemHeight_ - textHeight_) / 2);
}

void TvmCustomComboBox::DrawItemRequest(QPainter* painter, int position, QRect rect,
                                        QStyle::State state) {
  const int width = ImageWidth();
  if (layoutDirection() == Qt::RightToLeft)
    rect.setRight(rect.right() - width);
  else
    rect.setLeft(rect.left() + width);

  painter->save();
  painter->setFont(font());
  const bool selected = state & QStyle::State_Selected;
  painter->setBrush(palette().brush(selected ? QPalette::Highlight : QPalette::Base));
  painter->setPen(palette().color(selected ? QPalette::HighlightedText : QPalette::Text));
  if (position >= 0)
    DrawItem(painter, position, rect, state);
  else
    painter->fillRect(rect, painter->brush());
  if (state & QStyle::State_HasFocus) {
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = rect;
    focus.backgroundColor = painter->brush().color();
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, this);
  }
  painter->restore();
}

void TvmCustomComboBox::DrawItem(QPainter* painter, int position, const QRect& rect,
                                 QStyle::State state) {
  if (position < count()) {
    const QRect cell = ImageCell(rect);
    if (images_)
      images_->Draw(painter, cell.x(), cell.y(), GetImageIndex(position), GetItemEnabled(position));
    else
      DrawImage(painter, cell, position);
  }
  if (onDrawItem_) {
    onDrawItem_(this, painter, position, rect, state);
    return;
  }
  painter->fillRect(rect, painter->brush());
  const QPoint origin = TextOrigin(rect);
  const QFontMetrics metrics(painter->font());
  painter->drawText(QPoint(origin.x(), origin.y() + metrics.ascent()), itemText(position));
}

void TvmCustomComboBox::RefreshItems(int position) {
  if (destroying_) return;
  const int selected = currentIndex();
  try {
    if (position == -1) {
      QStringList texts;
      const int count = GetItemCount();
      texts.reserve(count);
      for (int i = 0; i < count; ++i) texts.push_back(QString::fromLocal8Bit(GetItemText(i)));
      const QSignalBlocker quiet(this);
      clear();
      addItems(texts);
    } else {
      const QString text = QString::fromLocal8Bit(GetItemText(position));
      if (position >= 0 && position < count() && itemText(position) != text)
        setItemText(position, text);
    }
  } catch (...) {
    if (currentIndex() != selected) setCurrentIndex(selected < count() ? selected : -1);
    throw;
  }
  if (currentIndex() != selected) setCurrentIndex(selected < count() ? selected : -1);
}

void TvmCustomComboBox::changeEvent(QEvent* event) {
  QComboBox::changeEvent(event);
  switch (event->type()) {
    case QEvent::FontChange:
      ComputeHeights();
      break;
    case QEvent::ParentChange:
      if (parentWidget() != nullptr) ParentWindowChanged();
      break;
    default:
      break;
  }
}

void TvmCustomComboBox::paintEvent(QPaintEvent*) {
  // The frame and button as the style draws them, then the current item
  // drawn like the items of the list.
  QStylePainter painter(this);
  QStyleOptionComboBox option;
  initStyleOption(&option);
  option.currentText.clear();
  option.currentIcon = QIcon();
  painter.drawComplexControl(QStyle::CC_ComboBox, option);
  const QRect field =
      style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
  QStyle::State state = QStyle::State_None;
  if (hasFocus()) state |= QStyle::State_Selected | QStyle::State_HasFocus;
  DrawItemRequest(&painter, currentIndex(), field, state);
}
