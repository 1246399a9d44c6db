#include "ui/MainThreadBridge.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>

#include "link/QVUtils.h"

namespace qv {

namespace {
const QEvent::Type kWakeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
}

MainThreadBridge::MainThreadBridge(QObject* parent) : QObject(parent) {
  SetMainThread();
  SetMainThreadWakeHook([this] { wake(); });
  // Anything queued before the hook existed still needs its wake-up.
  wake();
}

MainThreadBridge::~MainThreadBridge() { SetMainThreadWakeHook(nullptr); }

void MainThreadBridge::wake() {
  if (posted_.exchange(true)) return;
  auto* e = new QEvent(kWakeEvent);
  // Qt's event queue is locked by Qt's own means; this release (paired with the acquire in
  // event()) states the hand-over of the event in terms a thread checker can follow.
  handedOver_.fetch_add(1, std::memory_order_release);
  QCoreApplication::postEvent(this, e);
}

bool MainThreadBridge::event(QEvent* e) {
  (void)handedOver_.load(std::memory_order_acquire);
  if (e->type() != kWakeEvent) return QObject::event(e);
  // Cleared before running, so an item queued while they run posts a new wake-up.
  posted_.store(false);
  wakeUps_.fetch_add(1);
  CheckSynchronize(0);
  return true;
}

void pauseMainThread(int ms) {
  if (ms <= 0) return;
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void processPendingEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

bool runEventLoopUntil(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    const qint64 left = timeoutMs - clock.elapsed();
    if (left <= 0) return done();
    // Wakes for any event; the short cap re-checks done() for conditions no event announces.
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(std::min<qint64>(left, 5)), &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

}  // namespace qv
