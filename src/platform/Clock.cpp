#include "platform/Clock.h"

#include <chrono>
#include <thread>

namespace qv {

int64_t counterNow() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int64_t counterFrequency() {
  return 1'000'000'000;
}

double counterMs(int64_t from, int64_t to) {
  return static_cast<double>(to - from) * 1000.0 / static_cast<double>(counterFrequency());
}

void sleepMs(int ms) {
  if (ms <= 0) {
    std::this_thread::yield();
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

CalendarTime calendarTime(int64_t unixMs, bool local) {
  CalendarTime c;
  int64_t seconds = unixMs / 1000;
  int64_t ms = unixMs % 1000;
  if (ms < 0) {
    ms += 1000;
    --seconds;
  }
  const std::time_t t = static_cast<std::time_t>(seconds);
  if (local) {
    localtime_r(&t, &c.fields);
  } else {
    gmtime_r(&t, &c.fields);
  }
  c.ms = static_cast<int>(ms);
  return c;
}

}  // namespace qv
