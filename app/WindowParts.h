// The main window's own widgets: its tool bar with etched edges and
// separators, and the legend of the rights, which fills its box column by
// column.
#pragma once

#include <QListWidget>
#include <QString>
#include <QToolBar>
#include <QWidget>

// A label caption with its accelerator ("&Domain") drawn with the letter
// underlined, for labels that hand the focus to no control.
QString UnderlinedAccelerator(const QString& caption);

// The tool bar: flat buttons inside a one-pixel etched edge on all four
// sides.
class TEdgedToolBar : public QToolBar {
 public:
  using QToolBar::QToolBar;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// A tool-bar separator of a fixed width with an etched line in its middle.
class TToolSeparator : public QWidget {
 public:
  TToolSeparator(int width, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent*) override;
};

// The legend: one column of items as wide as the box, one line of
// `itemHeight` each, read top to bottom and scrolled only up and down.
class TLegendList : public QListWidget {
 public:
  TLegendList(int itemHeight, QWidget* parent);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool viewportEvent(QEvent* event) override;

 private:
  void FitColumn();
  const int itemHeight_;
};
