#include "platform/Event.h"

#include <algorithm>
#include <chrono>

namespace qv {

// One waitForAny call; every event it waits on holds a pointer to it while it waits.
struct Event::Waiter {
  std::mutex mutex;  // guards fired
  std::condition_variable cv;
  bool fired = false;
};

namespace {
using Clock = std::chrono::steady_clock;

Clock::time_point deadlineFor(int timeoutMs) {
  return Clock::now() + std::chrono::milliseconds(timeoutMs);
}
}  // namespace

Event::Event(Reset mode, bool initiallySet) : mode_(mode), set_(initiallySet) {}

Event::~Event() = default;

void Event::set() {
  std::lock_guard lock(mutex_);
  set_ = true;
  changed_.notify_all();
  for (Waiter* w : waiters_) {
    std::lock_guard wl(w->mutex);
    w->fired = true;
    w->cv.notify_one();
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
