// The main window's controls as tests, benchmarks and the screenshot tool
// reach them: by their object names, and the account and source choices as
// the user makes them.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QHash>
#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QThread>
#include <QTimer>
#include <functional>

#include "app/fmTavrinMain.h"
#include "pickers/controls/Velmar_SidSourceComboBox.h"
#include "pickers/controls/Velmar_UsersComboBox.h"

namespace tavrin::test {

// The child of `parent` named `name`; null when there is none.
template <class T>
T* Child(const QObject& parent, const char* name) {
  return parent.findChild<T*>(QLatin1String(name));
}

// Turns the event loop until `done` holds; false after 20 s or more.
inline bool WaitFor(const std::function<bool()>& done) {
  for (int i = 0; i < 10000 && !done(); ++i) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(2);
  }
  return done();
}

// Waits until the window rests: no scan, read or pass under way, the account picker filled.
inline bool WaitIdle(TTavrinForm& form) {
  return WaitFor([&form] {
    return !Child<QTimer>(form, "Timer")->isActive() &&
           !Child<QTimer>(form, "AccountRest")->isActive() && !form.PassRunning() &&
           !Child<TvmUsersComboBox>(form, "CBxUsers")->Filling();
  });
}

// Chooses the account, or the source, the picker shows now, as a click on it does.
inline void ChooseAccount(TTavrinForm& form) {
  auto* box = Child<TvmUsersComboBox>(form, "CBxUsers");
  emit box->activated(box->currentIndex());
}
inline void ChooseSource(TTavrinForm& form) {
  auto* box = Child<TvmSidSourceComboBox>(form, "CBxSidSource");
  emit box->activated(box->currentIndex());
}

// Answers the window's modal questions while it lives: a message box whose
// object name has an answer gets the button with that text (without '&')
// clicked. What each question said is kept.
class TAnswerer : public QObject {
 public:
  explicit TAnswerer(QHash<QString, QString> answers) : answers_(std::move(answers)) {
    auto* timer = new QTimer(this);
    timer->setInterval(5);
    connect(timer, &QTimer::timeout, this, [this] { Answer(); });
    timer->start();
  }
  void Set(const QString& question, const QString& button) { answers_[question] = button; }
  int Asked(const QString& question) const { return asked_.value(question); }
  QString LastText(const QString& question) const { return texts_.value(question); }
  QString LastDetails(const QString& question) const { return details_.value(question); }

 private:
  void Answer() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !answers_.contains(box->objectName()) ||
        box->property("answered").toBool())
      return;
    box->setProperty("answered", true);
    ++asked_[box->objectName()];
    texts_[box->objectName()] = box->text();
    details_[box->objectName()] = box->detailedText();
    for (QAbstractButton* button : box->buttons())
      if (button->text().remove(QLatin1Char('&')) == answers_.value(box->objectName())) {
        // Outside the timer's own call, as a user's click would come.
        QTimer::singleShot(0, button, &QAbstractButton::click);
        return;
      }
  }
  QHash<QString, QString> answers_;
  QHash<QString, int> asked_;
  QHash<QString, QString> texts_, details_;
};

}  // namespace tavrin::test
