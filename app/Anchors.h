// Places controls at their designed pixel positions and keeps the distance
// to the sides they are anchored to when their container is resized.
#pragma once

#include <QObject>
#include <QRect>
#include <QSize>
#include <vector>

class QWidget;

class TAnchors : public QObject {
 public:
  // `designSize` is the size of the container the positions were designed in.
  TAnchors(QWidget* container, QSize designSize);

  // Places `control` at `design` and anchors it to `edges` (top and left
  // when none is given). A control of fixed size policy both ways keeps its
  // size hint: of `design` only the top-left corner counts.
  void Add(QWidget* control, QRect design, Qt::Edges edges = {});

  // The place of a designed rectangle in a container of the given size.
  static QRect Place(QRect design, Qt::Edges edges, QSize designSize, QSize containerSize);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Item {
    QWidget* control;
    QRect design;
    Qt::Edges edges;
  };
  void Apply();

  QWidget* container_;
  QSize designSize_;
  std::vector<Item> items_;
};
