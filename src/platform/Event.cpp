#include "platform/Event.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace qv {

// One waitForAny call; every event it waits on holds a pointer to it while it waits.
struct Event::Waiter {
  std::mutex mutex;  // guards fired
  std::condition_variable cv;
  bool fired = false;
  // set() calls that still use this waiter after releasing their event's lock; the waiter
  // outlives them.
  std::atomic<int> pins{0};
};

namespace {
using Clock = std::chrono::steady_clock;

Clock::time_point deadlineFor(int timeoutMs) {
  return Clock::now() + std::chrono::milliseconds(timeoutMs);
}
}  // namespace

Event::Event(Reset mode, bool initiallySet) : mode_(mode), set_(initiallySet) {}

Event::~Event() {
  while (notifying_.load(std::memory_order_acquire) != 0) std::this_thread::yield();
}

// The waiters are told after the lock is released: a woken thread that preempts this one then
// finds the lock free instead of blocking on it at once.
void Event::set() {
  constexpr std::size_t kMaxPinned = 8;
  Waiter* pinned[kMaxPinned];
  std::size_t n = 0;
  {
    std::lock_guard lock(mutex_);
    set_ = true;
    notifying_.fetch_add(1, std::memory_order_relaxed);
    for (Waiter* w : waiters_) {
      if (n < kMaxPinned) {
        w->pins.fetch_add(1, std::memory_order_relaxed);
        pinned[n++] = w;
      } else {
        std::lock_guard wl(w->mutex);
        w->fired = true;
        w->cv.notify_one();
      }
    }
  }
  changed_.notify_all();
  notifying_.fetch_sub(1, std::memory_order_release);
  for (std::size_t i = 0; i < n; ++i) {
    Waiter* w = pinned[i];
    {
      std::lock_guard wl(w->mutex);
      w->fired = true;
    }
    w->cv.notify_one();
    w->pins.fetch_sub(1, std::memory_order_release);
  }
}

void Event::reset() {
  std::lock_guard lock(mutex_);
  set_ = false;
}

bool Event::isSet() const {
  std::lock_guard lock(mutex_);
  return set_;
}

bool Event::takeLocked() {
  if (!set_) return false;
  if (mode_ == Reset::Auto) set_ = false;
  return true;
}

bool Event::wait(int timeoutMs) {
  std::unique_lock lock(mutex_);
  if (timeoutMs < 0) {
    changed_.wait(lock, [this] { return set_; });
  } else if (!changed_.wait_until(lock, deadlineFor(timeoutMs), [this] { return set_; })) {
    return false;
  }
  return takeLocked();
}

int waitForAny(const std::vector<Event*>& events, int timeoutMs) {
  const auto deadline = deadlineFor(std::max(timeoutMs, 0));
  Event::Waiter waiter;
  for (Event* e : events) {
    std::lock_guard lock(e->mutex_);
    e->waiters_.push_back(&waiter);
  }
  int found = -1;
  for (;;) {
    {
      std::lock_guard wl(waiter.mutex);
      waiter.fired = false;
    }
    for (size_t i = 0; i < events.size() && found < 0; ++i) {
      std::lock_guard lock(events[i]->mutex_);
      if (events[i]->takeLocked()) found = static_cast<int>(i);
    }
    if (found >= 0) break;
    std::unique_lock wl(waiter.mutex);
    if (timeoutMs < 0) {
      waiter.cv.wait(wl, [&] { return waiter.fired; });
    } else if (!waiter.cv.wait_until(wl, deadline, [&] { return waiter.fired; })) {
      break;
    }
  }
  for (Event* e : events) {
    std::lock_guard lock(e->mutex_);
    auto& ws = e->waiters_;
    ws.erase(std::find(ws.begin(), ws.end(), &waiter));
  }
  // No event can pin the waiter any more; wait for those that still hold it.
  while (waiter.pins.load(std::memory_order_acquire) != 0) std::this_thread::yield();
  if (found < 0) {
    // A set that raced with the time-out still counts.
    for (size_t i = 0; i < events.size() && found < 0; ++i) {
      std::lock_guard lock(events[i]->mutex_);
      if (events[i]->takeLocked()) found = static_cast<int>(i);
    }
  }
  return found;
}

}  // namespace qv
