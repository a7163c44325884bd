#include "app/WindowParts.h"

#include <qdrawutil.h>

#include <QPainter>
#include <QResizeEvent>
#include <QStyledItemDelegate>
#include <algorithm>

QString UnderlinedAccelerator(const QString& caption) {
  QString html;
  for (int i = 0; i < caption.size(); ++i) {
    if (caption[i] == QLatin1Char('&') && i + 1 < caption.size()) {
      ++i;
      if (caption[i] == QLatin1Char('&'))
        html += QStringLiteral("&amp;");
      else
        html +=
            QStringLiteral("<u>") + QString(caption[i]).toHtmlEscaped() + QStringLiteral("</u>");
    } else {
      html += QString(caption[i]).toHtmlEscaped();
    }
  }
  return html;
}

void TEdgedToolBar::paintEvent(QPaintEvent* event) {
  QToolBar::paintEvent(event);
  QPainter painter(this);
  qDrawShadeRect(&painter, rect(), palette(), true, 1);
}

TToolSeparator::TToolSeparator(int width, QWidget* parent) : QWidget(parent) {
  setFixedWidth(width);
}

void TToolSeparator::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const int x = width() / 2 - 1;
  qDrawShadeLine(&painter, x, 2, x, height() - 3, palette(), true, 1, 0);
}

namespace {

// The legend's items: one line of text each, as high as the list's item
// height; the text is not clipped to its line, so that a font taller than
// the line stays readable.
class TLegendDelegate : public QStyledItemDelegate {
 public:
  TLegendDelegate(int itemHeight, QObject* parent)
      : QStyledItemDelegate(parent), itemHeight_(itemHeight) {}

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
    return {option.rect.width(), itemHeight_};
  }

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const QPalette::ColorGroup group =
        (opt.state & QStyle::State_Active) ? QPalette::Active : QPalette::Inactive;
    const bool selected = opt.state & QStyle::State_Selected;
    painter->save();
    if (selected) painter->fillRect(opt.rect, opt.palette.brush(group, QPalette::Highlight));
    painter->setPen(
        opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setFont(opt.font);
    const QFontMetrics metrics(opt.font);
    const int baseline =
        opt.rect.top() + (opt.rect.height() - metrics.height()) / 2 + metrics.ascent();
    painter->drawText(opt.rect.left() + 2, baseline, opt.text);
    painter->restore();
  }

 private:
  const int itemHeight_;
};

}  // namespace

TLegendList::TLegendList(int itemHeight, QWidget* parent)
    : QListWidget(parent), itemHeight_(itemHeight) {
  setFlow(QListView::TopToBottom);
  setWrapping(false);
  setResizeMode(QListView::Adjust);
  setUniformItemSizes(true);
  setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setItemDelegate(new TLegendDelegate(itemHeight, this));
}

void TLegendList::resizeEvent(QResizeEvent* event) {
  QListWidget::resizeEvent(event);
  FitColumn();
}

bool TLegendList::viewportEvent(QEvent* event) {
  // The viewport narrows or widens when the scroll bar comes or goes.
  if (event->type() == QEvent::Resize) FitColumn();
  return QListWidget::viewportEvent(event);
}

void TLegendList::FitColumn() {
  const QSize grid(std::max(1, viewport()->width()), itemHeight_);
  if (gridSize() != grid) setGridSize(grid);
}
