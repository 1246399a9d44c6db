#include "link/QVUtils.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <stdexcept>

#include "platform/Clock.h"

namespace {

struct SyncItem {
  std::function<void()> fn;
  bool done = false;
  bool detached = false;  // ForceQueue: nobody waits; the runner frees it
  std::exception_ptr error;
};

std::mutex gSyncMutex;  // guards gQueue, gHook and every SyncItem::done
std::condition_variable gSyncDone;
std::deque<SyncItem*> gQueue;
std::function<void()> gHook;
// Set after an item is queued (outside gSyncMutex, so that the main thread it wakes does not find
// the lock still held), reset under gSyncMutex when the queue is found empty: a set that comes
// late costs the main thread one look at an empty queue, never a missed item.
qv::Event gPending{qv::Event::Reset::Manual};

std::atomic<bool> gMainNamed{false};
std::atomic<std::thread::id> gMainId{};

}  // namespace

bool IsMainThread() {
  if (gMainNamed.load()) return gMainId.load() == std::this_thread::get_id();
  return ::syscall(SYS_gettid) == ::getpid();
}

void SetMainThread() {
  gMainId.store(std::this_thread::get_id());
  gMainNamed.store(true);
}

void SetMainThreadWakeHook(std::function<void()> hook) {
  std::lock_guard lock(gSyncMutex);
  gHook = std::move(hook);
}

void Synchronize(std::function<void()> fn) {
  if (!fn) return;
  if (IsMainThread()) {
    fn();
    return;
  }
  SyncItem item;
  item.fn = std::move(fn);
  std::function<void()> hook;
  {
    std::lock_guard lock(gSyncMutex);
    gQueue.push_back(&item);
    hook = gHook;
  }
  gPending.set();
  if (hook) hook();
  {
    std::unique_lock lock(gSyncMutex);
    gSyncDone.wait(lock, [&] { return item.done; });
  }
  if (item.error) std::rethrow_exception(item.error);
}

void ForceQueue(std::function<void()> fn) {
  if (!fn) return;
  auto* item = new SyncItem;
  item->fn = std::move(fn);
  item->detached = true;
  std::function<void()> hook;
  {
    std::lock_guard lock(gSyncMutex);
    gQueue.push_back(item);
    hook = gHook;
  }
  gPending.set();
  if (hook) hook();
}

bool CheckSynchronize(int timeoutMs) {
  if (!IsMainThread()) return false;
  if (!gPending.wait(timeoutMs)) return false;
  bool ran = false;
  for (;;) {
    SyncItem* item = nullptr;
    {
      std::lock_guard lock(gSyncMutex);
      if (gQueue.empty()) {
        gPending.reset();
        break;
      }
      item = gQueue.front();
      gQueue.pop_front();
    }
    std::exception_ptr error;
    if (item->detached) {
      std::unique_ptr<SyncItem> owned(item);
      ran = true;
      owned->fn();  // nobody to hand an exception to: it leaves through the caller
      continue;
    }
    try {
      item->fn();
    } catch (...) {
      error = std::current_exception();
    }
    {
      std::lock_guard lock(gSyncMutex);
      item->error = error;
      item->done = true;
    }
    gSyncDone.notify_all();
    ran = true;
  }
  return ran;
}

bool WaitKeepingSynchronize(qv::Event& e, int timeoutMs) {
  if (!IsMainThread()) return e.wait(timeoutMs);
  const int64_t end = qv::counterNow() + int64_t(timeoutMs) * qv::counterFrequency() / 1000;
  for (;;) {
    int left = qv::kInfinite;
    if (timeoutMs >= 0) {
      left = static_cast<int>((end - qv::counterNow()) * 1000 / qv::counterFrequency());
      if (left < 0) left = 0;
    }
    int which = qv::waitForAny({&e, &gPending}, left);
    if (which == 0) return true;
    if (which < 0) return false;
    CheckSynchronize(0);
  }
}

// ---- TMonitorThread ----

TMonitorThread::TMonitorThread() = default;

TMonitorThread::~TMonitorThread() {
  // Normally the concrete class has shut the thread down already.
  TMonitorThread::Shutdown();
}

void TMonitorThread::ensureStarted() {
  std::lock_guard lock(threadMutex_);
  if (started_) return;
  started_ = true;
  thread_ = std::thread([this] { body(); });
}

void TMonitorThread::body() {
  try {
    Execute();
  } catch (const std::exception& e) {
    ErrorCode = 1;
    ErrorMessage = e.what();
    ReportError();
  } catch (...) {
    ErrorCode = 1;
    ErrorMessage = "unknown exception";
    ReportError();
  }
  finished_.set();
}

void TMonitorThread::Activate() {
  ensureStarted();
  RunEvent.set();
}

void TMonitorThread::Deactivate() {
  if (!Terminated()) RunEvent.reset();
}

void TMonitorThread::WaitUntilActive() {
  if (!Terminated()) (void)RunEvent.wait(qv::kInfinite);
}

bool TMonitorThread::KeepRunning() {
  WaitUntilActive();
  return !Terminated();
}

void TMonitorThread::Shutdown() {
  Terminate();
  RunEvent.set();
  {
    std::lock_guard lock(threadMutex_);
    if (!started_) {
      started_ = true;  // never ran, and never will
      finished_.set();
      return;
    }
    if (thread_.get_id() == std::this_thread::get_id()) return;  // the thread ends by itself
  }
  WaitKeepingSynchronize(finished_);
  std::lock_guard lock(threadMutex_);
  if (thread_.joinable()) thread_.join();
}

// ---- TCounter ----

TCounter::TCounter() = default;

TCounter::~TCounter() {
  Shutdown();
}

void TCounter::SetInterval(uint32_t v) {
  std::lock_guard lock(setMutex_);
  if (v == interval_.load()) return;
  if (checkInterval_.load() < v) checkInterval_.store(v < 20 ? 1 : v / 10);
  const int64_t ticks = int64_t(v) * qv::counterFrequency() / 1000;
  due_.fetch_add(ticks - ticks_.load());  // a running delay keeps its start point
  ticks_.store(ticks);
  interval_.store(v);
  wake_.set();  // a running delay looks at its new deadline
}

void TCounter::SetCheckInterval(uint32_t v) {
  std::lock_guard lock(setMutex_);
  if (v != 0 && v <= interval_.load()) checkInterval_.store(v);
}

void TCounter::Start() {
  std::lock_guard lock(startMutex_);
  due_.store(qv::counterNow() + ticks_.load());
  stopped_.store(false);
  Activate();
  wake_.set();
}

void TCounter::Deactivate() {
  TMonitorThread::Deactivate();
  wake_.set();
}

void TCounter::Shutdown() {
  Terminate();
  wake_.set();
  TMonitorThread::Shutdown();
}

namespace {
// Milliseconds until a counter value, rounded up so that a wait never ends before it.
int msUntil(int64_t due) {
  const int64_t left = due - qv::counterNow();
  if (left <= 0) return 0;
  const int64_t perMs = qv::counterFrequency() / 1000;
  return static_cast<int>(std::min<int64_t>((left + perMs - 1) / perMs, 0x7FFFFFFF));
}
}  // namespace

void TCounter::Execute() {
  while (KeepRunning()) {
    bool fire = false;
    int64_t due = 0;
    while (!Terminated() && Active() && !stopped_.load()) {
      due = due_.load();
      const int ms = msUntil(due);
      if (ms == 0) {
        fire = true;
        break;
      }
      (void)wake_.wait(ms);
    }
    if (Terminated()) break;
    if (!fire) continue;  // stopped before it was due
    if (OnTimerThd) OnTimerThd(this);
    if (OnTimer) Synchronize([this] { OnTimer(this); });
    // A Start during the handlers moved Due ahead: keep counting for it.
    std::lock_guard lock(startMutex_);
    if (!Terminated() && qv::counterNow() >= due_.load()) TMonitorThread::Deactivate();
  }
}

// ---- TThreadTimer ----

TThreadTimer::TThreadTimer() : period_(int64_t(1000) * qv::counterFrequency() / 1000) {}

TThreadTimer::~TThreadTimer() {
  Shutdown();
}

void TThreadTimer::Shutdown() {
  Terminate();
  wake_.set();
  TMonitorThread::Shutdown();
}

void TThreadTimer::SetInterval(uint32_t ms) {
  if (ms == interval_.load()) return;
  interval_.store(ms);
  period_.store(int64_t(ms) * qv::counterFrequency() / 1000);
}

void TThreadTimer::SetEnabled(bool b) {
  if (b == enabled_.load()) return;
  enabled_.store(b);
  if (b) {
    due_.store(qv::counterNow() + period_.load());
    Activate();
  } else {
    Deactivate();
  }
  wake_.set();
}

void TThreadTimer::DoTimer() {
  if (OnTimer) Synchronize([this] { OnTimer(this); });
}

void TThreadTimer::Execute() {
  while (!Terminated()) {
    for (int ms; Enabled() && !Terminated() && (ms = msUntil(due_.load())) > 0;)
      (void)wake_.wait(ms);
    if (Terminated()) break;
    if (Enabled()) {
      if (OnTimerThread) OnTimerThread(this);
      DoTimer();
      due_.fetch_add(period_.load());
    } else {
      WaitUntilActive();
    }
  }
}
