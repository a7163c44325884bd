// The main window.
#pragma once

#include <QMainWindow>

class TTavrinForm : public QMainWindow {
  Q_OBJECT
 public:
  explicit TTavrinForm(QWidget* parent = nullptr);
};
