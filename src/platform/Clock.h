// The high-resolution counter (monotonic, nanosecond ticks) and millisecond sleeps.
#pragma once

#include <cstdint>
#include <ctime>

namespace qv {

// Current counter value in ticks; only differences mean anything.
int64_t counterNow();
// Ticks per second (fixed for the life of the process).
int64_t counterFrequency();
// Milliseconds between two counter values.
double counterMs(int64_t from, int64_t to);
// Sleeps for ms milliseconds (0 yields).
void sleepMs(int ms);

// A moment in Unix milliseconds as calendar fields, in local time or in UTC, with its
// milliseconds 0..999 (moments before 1970 still count forward within their second).
struct CalendarTime {
  std::tm fields{};
  int ms = 0;
};
CalendarTime calendarTime(int64_t unixMs, bool local);

}  // namespace qv
