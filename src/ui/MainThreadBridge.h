// The hand-over to the main thread on Qt's event loop: a worker's Synchronize (and ForceQueue)
// wakes the loop through a posted event, which runs CheckSynchronize. One per process, made by
// the program (or the test main) right after the QApplication, on the main thread.
#pragma once

#include <QObject>
#include <atomic>
#include <functional>

namespace qv {

class MainThreadBridge : public QObject {
 public:
  // Names the calling thread the main thread and installs the wake hook.
  explicit MainThreadBridge(QObject* parent = nullptr);
  // Removes the hook; what is still queued runs in the next CheckSynchronize of whoever waits.
  ~MainThreadBridge() override;
  MainThreadBridge(const MainThreadBridge&) = delete;
  MainThreadBridge& operator=(const MainThreadBridge&) = delete;

  // Hand-overs run so far by this bridge's events (for benchmarks).
  long wakeUps() const { return wakeUps_.load(); }

 protected:
  bool event(QEvent* e) override;

 private:
  void wake();

  // Set while a wake-up event is on its way, so a burst of hand-overs posts one event.
  std::atomic<bool> posted_{false};
  std::atomic<long> wakeUps_{0};
  // Wake-up events created by other threads so far (see wake()).
  std::atomic<unsigned long> handedOver_{0};
};

// A pause of the main thread (the console's 200 ms after Laser On, 50 ms before the terminal
// opens): hand-overs, timers and paints go on, the operator's input waits until it is over.
void pauseMainThread(int ms);

// Lets pending events run once, operator input included (the animations' steps).
void processPendingEvents();

// Runs the Qt event loop until done() holds or timeoutMs passed; returns done(). For tests and
// programs that wait for the laser without a window of their own.
bool runEventLoopUntil(const std::function<bool()>& done, int timeoutMs);

}  // namespace qv
