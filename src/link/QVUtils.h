// Worker-thread bases and timers, and the hand-over of work from worker threads to the main
// thread.
//
// Hand-over: a worker calls Synchronize(fn) and blocks until the main thread has run fn inside
// CheckSynchronize; on the main thread Synchronize runs fn at once. The wake hook (set by the GUI
// to post an event that calls CheckSynchronize(0)) is called whenever something is queued. Every
// wait of the main thread for a worker (Shutdown) keeps running CheckSynchronize, so a worker that
// waits in Synchronize can never deadlock it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "platform/Event.h"

// Base of the components whose events carry their sender.
class TObject {
 public:
  virtual ~TObject() = default;
};
using TNotifyEvent = std::function<void(TObject* Sender)>;

void Synchronize(std::function<void()> fn);
// Queues fn for the main thread without waiting for it, from any thread, the main thread
// included: it runs in a later CheckSynchronize, after the item being run has returned (so a
// worker that handed over the current item goes on). For work that must not hold a worker, such
// as a dialog opened while an answer is being handled.
void ForceQueue(std::function<void()> fn);
// Main thread: runs every queued item, waiting up to timeoutMs for the first; true when one ran.
bool CheckSynchronize(int timeoutMs = 0);
void SetMainThreadWakeHook(std::function<void()> hook);
bool IsMainThread();
// Names the calling thread as the main thread (by default the process's initial thread).
void SetMainThread();
// Waits until e is set; on the main thread it keeps running queued items meanwhile.
// True when e was set within timeoutMs (qv::kInfinite: no limit).
bool WaitKeepingSynchronize(qv::Event& e, int timeoutMs = qv::kInfinite);

// A worker thread that parks on RunEvent until it is activated and loops in Execute.
// The thread starts at the first Activate (or Shutdown), so Execute never runs while a derived
// constructor is still running. Every concrete class calls Shutdown() in its destructor; owners
// call Shutdown() before they destroy it. Shutdown joins the thread.
class TMonitorThread : public TObject {
 public:
  TMonitorThread();
  ~TMonitorThread() override;
  TMonitorThread(const TMonitorThread&) = delete;
  TMonitorThread& operator=(const TMonitorThread&) = delete;

  virtual void ReportError() {}
  virtual void Activate();
  virtual void Deactivate();
  // Requests the end, wakes the thread and waits for it. Descendants that block on other events
  // override it: Terminate(), set those events, then TMonitorThread::Shutdown().
  virtual void Shutdown();

  void WaitUntilActive();
  // WaitUntilActive, then true unless the end was requested.
  bool KeepRunning();
  bool Terminated() const { return terminated_.load(); }
  void Terminate() { terminated_.store(true); }
  bool Active() const { return RunEvent.isSet(); }

  uint32_t ErrorCode = 0;
  std::string ErrorMessage;

 protected:
  // The thread's loop. An exception that escapes it is stored in ErrorCode/ErrorMessage and
  // passed to ReportError, and the thread ends.
  virtual void Execute() = 0;

  qv::Event RunEvent{qv::Event::Reset::Manual};

 private:
  void ensureStarted();
  void body();

  std::atomic<bool> terminated_{false};
  qv::Event finished_{qv::Event::Reset::Manual};
  std::mutex threadMutex_;  // guards thread_ and started_
  std::thread thread_;
  bool started_ = false;
};

// One-shot delay: Start, and Interval ms later OnTimerThd runs in the timer thread, then OnTimer
// on the main thread; then the thread parks until the next Start. Deactivate cancels a delay
// that has not fired yet. The thread sleeps until the deadline in one wait (a Start, a stop or a
// new interval cut it short), so a delay costs one wake-up, not one per CheckInterval.
class TCounter : public TMonitorThread {
 public:
  TCounter();
  ~TCounter() override;
  void Deactivate() override;
  void Shutdown() override;

  uint32_t Interval() const { return interval_.load(); }
  void SetInterval(uint32_t v);
  // The clock-look step of the published interface; kept and validated, but the wait ends at
  // the deadline itself.
  uint32_t CheckInterval() const { return checkInterval_.load(); }
  void SetCheckInterval(uint32_t v);  // accepted only when 0 < v <= Interval
  void Start();
  bool Stopped() const { return stopped_.load(); }
  int64_t Due() const { return due_.load(); }
  int64_t Ticks() const { return ticks_.load(); }

  TNotifyEvent OnTimer;     // main thread
  TNotifyEvent OnTimerThd;  // timer thread, before OnTimer

 protected:
  void Execute() override;

 private:
  std::mutex setMutex_;    // serialises SetInterval / SetCheckInterval
  std::mutex startMutex_;  // makes Start and the thread's "fired, now park" step exclusive
  std::atomic<uint32_t> interval_{0};
  std::atomic<uint32_t> checkInterval_{1};
  std::atomic<int64_t> due_{0};
  std::atomic<int64_t> ticks_{0};
  std::atomic<bool> stopped_{true};
  qv::Event wake_{qv::Event::Reset::Auto};  // cuts the sleep short: Start, stop, new interval
};

// Periodic timer: while Enabled, fires every Interval ms, deadlines advanced from the previous
// deadline (no drift; after a slow handler it fires back to back until it has caught up). It
// sleeps until each deadline in one wait; disabled, it parks without waking.
class TThreadTimer : public TMonitorThread {
 public:
  TThreadTimer();
  ~TThreadTimer() override;
  void Shutdown() override;

  bool Enabled() const { return enabled_.load(); }
  void SetEnabled(bool b);
  uint32_t Interval() const { return interval_.load(); }
  void SetInterval(uint32_t ms);
  int64_t Period() const { return period_.load(); }
  int64_t Due() const { return due_.load(); }
  // The clock-look step of the published interface; kept, but the wait ends at the deadline.
  std::atomic<uint16_t> SleepStep{5};

  TNotifyEvent OnTimer;        // main thread
  TNotifyEvent OnTimerThread;  // timer thread, before OnTimer

 protected:
  void Execute() override;
  // Raises OnTimer on the main thread and waits until it has run.
  virtual void DoTimer();

 private:
  std::atomic<bool> enabled_{false};
  std::atomic<uint32_t> interval_{1000};
  std::atomic<int64_t> period_;
  std::atomic<int64_t> due_{0};
  qv::Event wake_{qv::Event::Reset::Auto};  // cuts the sleep short: enabling, disabling, the end
};
