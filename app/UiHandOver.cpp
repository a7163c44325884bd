#include "app/UiHandOver.h"

#include <QCoreApplication>
#include <QEvent>
#include <mutex>

namespace {

const QEvent::Type kNotice = static_cast<QEvent::Type>(QEvent::registerEventType());

// ThreadSanitizer does not see the locks inside Qt's event queue (Qt is not
// built with it), so it would take what a notice hands over from another
// thread for a race. The hand-over is told to it: released before the notice
// is posted, acquired before it is read. Nothing happens in other builds.
#if defined(__SANITIZE_THREAD__)
#define TAVRIN_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TAVRIN_TSAN 1
#endif
#endif
#ifdef TAVRIN_TSAN
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
void HandedOver(void* tag) { __tsan_release(tag); }
void TakenOver(void* tag) { __tsan_acquire(tag); }
#else
void HandedOver(void*) {}
void TakenOver(void*) {}
#endif

}  // namespace

TUiHandOver::TUiHandOver(std::function<void()> arrived, QObject* parent)
    : QObject(parent), arrived_(std::move(arrived)) {}

void TUiHandOver::Notify() {
  auto* notice = new QEvent(kNotice);
  // Workers post one at a time: Qt's own lock around its queue is unseen by
  // ThreadSanitizer, which took two workers posting at once for a race.
  static std::mutex posting;
  std::lock_guard<std::mutex> lock(posting);
  HandedOver(this);
  QCoreApplication::postEvent(this, notice);
}

bool TUiHandOver::event(QEvent* event) {
  // Before the event is read at all: a notice was made on another thread.
  TakenOver(this);
  if (event->type() != kNotice) return QObject::event(event);
  if (arrived_) arrived_();
  return true;
}
