// The one way background work hands its news to the window's thread. A pass's
// workers, the account list's fill and the like call Notify() on their own
// threads; `arrived` then runs on the thread the hand-over lives on, from
// its event loop. Each Notify() gives one call. Destroying the hand-over
// drops the notices not yet delivered; it must not be notified afterwards.
#pragma once

#include <QObject>
#include <functional>

class TUiHandOver : public QObject {
 public:
  TUiHandOver(std::function<void()> arrived, QObject* parent);

  // Safe on any thread.
  void Notify();

 protected:
  bool event(QEvent* event) override;

 private:
  const std::function<void()> arrived_;
};
