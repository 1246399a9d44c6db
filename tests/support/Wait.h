// Waiting for a condition in tests, with a generous deadline instead of a fixed sleep.
#pragma once

#include <functional>

#include "platform/Clock.h"

namespace qv::test {

// Polls pred() every millisecond until it holds or timeoutMs passed; returns pred().
inline bool waitUntil(const std::function<bool()>& pred, int timeoutMs = 5000) {
  const int64_t end = counterNow() + int64_t(timeoutMs) * counterFrequency() / 1000;
  while (!pred()) {
    if (counterNow() >= end) return pred();
    sleepMs(1);
  }
  return true;
}

}  // namespace qv::test
