// The high-resolution counter (monotonic, nanosecond ticks) and millisecond sleeps.
#pragma once

#include <cstdint>

namespace qv {

// Current counter value in ticks; only differences mean anything.
int64_t counterNow();
// Ticks per second (fixed for the life of the process).
int64_t counterFrequency();
// Milliseconds between two counter values.
double counterMs(int64_t from, int64_t to);
// Sleeps for ms milliseconds (0 yields).
void sleepMs(int ms);

}  // namespace qv
