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

}  // namespace qv
