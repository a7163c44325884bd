#include "app/Anchors.h"

#include <QEvent>
#include <QSizePolicy>
#include <QWidget>

TAnchors::TAnchors(QWidget* container, QSize designSize)
    : QObject(container), container_(container), designSize_(designSize) {
  container->installEventFilter(this);
}

void TAnchors::Add(QWidget* control, QRect design, Qt::Edges edges) {
  if (!edges) edges = Qt::TopEdge | Qt::LeftEdge;
  const QSizePolicy policy = control->sizePolicy();
  if (policy.horizontalPolicy() == QSizePolicy::Fixed &&
      policy.verticalPolicy() == QSizePolicy::Fixed)
    design.setSize(control->sizeHint());
  items_.push_back({control, design, edges});
  control->setGeometry(Place(design, edges, designSize_, container_->size()));
}

QRect TAnchors::Place(QRect design, Qt::Edges edges, QSize designSize, QSize containerSize) {
  const int dx = containerSize.width() - designSize.width();
  const int dy = containerSize.height() - designSize.height();
  QRect place = design;
  if (edges & Qt::RightEdge) {
    if (edges & Qt::LeftEdge)
      place.setWidth(design.width() + dx);
    else
      place.moveLeft(design.left() + dx);
  }
  if (edges & Qt::BottomEdge) {
    if (edges & Qt::TopEdge)
      place.setHeight(design.height() + dy);
    else
      place.moveTop(design.top() + dy);
  }
  if (place.width() < 0) place.setWidth(0);
  if (place.height() < 0) place.setHeight(0);
  return place;
}

bool TAnchors::eventFilter(QObject* watched, QEvent* event) {
  if (watched == container_ && event->type() == QEvent::Resize) Apply();
  return QObject::eventFilter(watched, event);
}

void TAnchors::Apply() {
  const QSize size = container_->size();
  for (const Item& item : items_)
    item.control->setGeometry(Place(item.design, item.edges, designSize_, size));
}
