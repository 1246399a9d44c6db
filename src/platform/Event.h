// Events in the Windows style: a set flag that stays set (manual reset) or is consumed by the one
// wait it releases (auto reset), waits with a time-out, and a wait for the first of several events.
#pragma once

#include <atomic>
#include <condition_variable>
#include <initializer_list>
#include <mutex>
#include <vector>

namespace qv {

// Wait without a time limit.
constexpr int kInfinite = -1;

class Event {
 public:
  enum class Reset { Manual, Auto };

  explicit Event(Reset mode = Reset::Manual, bool initiallySet = false);
  ~Event();
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void set();
  void reset();
  bool isSet() const;
  // Waits until the event is set or timeoutMs passed (kInfinite: no limit, 0: just look).
  // True when it was set; an auto-reset event is then reset again.
  [[nodiscard]] bool wait(int timeoutMs);

 private:
  friend int waitForAny(const std::vector<Event*>& events, int timeoutMs);
  struct Waiter;
  // Consumes the set state of an auto-reset event; caller holds mutex_.
  bool takeLocked();

  const Reset mode_;
  // set() calls still notifying after they released mutex_; the destructor waits for them.
  std::atomic<int> notifying_{0};
  mutable std::mutex mutex_;  // guards set_ and waiters_
  std::condition_variable changed_;
  bool set_;
  std::vector<Waiter*> waiters_;  // waitForAny calls that are waiting on this event among others
};

// Waits until one of the events is set; returns the index of the first set event in the list
// (consuming it if it is auto reset), or -1 when timeoutMs passed.
[[nodiscard]] int waitForAny(const std::vector<Event*>& events, int timeoutMs);
[[nodiscard]] inline int waitForAny(std::initializer_list<Event*> events, int timeoutMs) {
  return waitForAny(std::vector<Event*>(events), timeoutMs);
}

}  // namespace qv
