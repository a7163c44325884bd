// Answers a file dialog in GUI tests as the user would.
#pragma once
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>
#include <memory>

namespace tavrin::test {

// Accepts the next file dialog with `path` as its file name (and `filter`
// chosen, when given), as typing it and pressing the dialog's button does; a
// dialog that has not come after five seconds fails the test and closes
// whatever is modal.
inline void AcceptFileDialog(const QString& path, const QString& filter = {}) {
  auto* timer = new QTimer;
  auto tries = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, [timer, tries, path, filter] {
    QWidget* modal = QApplication::activeModalWidget();
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    auto* name = dialog ? dialog->findChild<QLineEdit*>() : nullptr;
    if (name == nullptr && ++*tries <= 250) return;
    timer->stop();
    timer->deleteLater();
    if (name == nullptr) {
      ADD_FAILURE() << "no file dialog";
      if (modal) modal->close();
      return;
    }
    if (!filter.isEmpty()) dialog->selectNameFilter(filter);
    name->setText(path);
    static_cast<QDialog*>(dialog)->accept();  // as the dialog's button does
  });
  timer->start(20);
}

}  // namespace tavrin::test
