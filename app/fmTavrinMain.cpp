#include "app/fmTavrinMain.h"

TTavrinForm::TTavrinForm(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle("Tavrin");
  resize(700, 400);
}
