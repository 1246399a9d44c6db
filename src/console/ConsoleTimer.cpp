#include "console/ConsoleTimer.h"

#include <algorithm>

#include "link/QVUtils.h"
#include "platform/Clock.h"

namespace qv {

namespace {
int64_t ticksFor(int ms) { return int64_t(ms) * counterFrequency() / 1000; }
}  // namespace

void LoopTimer::setInterval(int ms) {
  interval_ = std::max(ms, 1);
  if (enabled_) due_ = counterNow() + ticksFor(interval_);
}

void LoopTimer::setEnabled(bool on) {
  if (on && !enabled_) due_ = counterNow() + ticksFor(interval_);
  enabled_ = on;
}

bool LoopTimer::poll() {
  if (!enabled_ || counterNow() < due_) return false;
  due_ = counterNow() + ticksFor(interval_);
  if (onTimer) onTimer();
  return true;
}

int LoopTimer::dueInMs() const {
  if (!enabled_) return -1;
  const double ms = counterMs(counterNow(), due_);
  return ms <= 0 ? 0 : static_cast<int>(ms) + 1;
}

bool runConsoleLoop(LoopTimer* timer, const std::function<bool()>& done, int timeoutMs,
                    int lookMs) {
  const int64_t end = counterNow() + ticksFor(std::max(timeoutMs, 0));
  while (!done()) {
    int wait = std::max(lookMs, 1);
    if (timeoutMs >= 0) {
      const double left = counterMs(counterNow(), end);
      if (left <= 0) return done();
      wait = std::min(wait, static_cast<int>(left) + 1);
    }
    if (timer) {
      const int due = timer->dueInMs();
      if (due >= 0) wait = std::min(wait, due);
    }
    CheckSynchronize(wait);
    if (timer) timer->poll();
  }
  return true;
}

}  // namespace qv
