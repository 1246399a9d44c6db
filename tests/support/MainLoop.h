// Waiting for conditions in tests while the main thread runs the queued hand-overs.
#pragma once

#include <functional>

#include "link/QVUtils.h"
#include "platform/Clock.h"
#include "support/Wait.h"

namespace qv::test {

// Runs queued hand-overs until pred() holds or timeoutMs passed; returns pred().
inline bool pumpUntil(const std::function<bool()>& pred, int timeoutMs = 5000) {
  const int64_t end = counterNow() + int64_t(timeoutMs) * counterFrequency() / 1000;
  while (!pred()) {
    if (counterNow() >= end) return pred();
    CheckSynchronize(2);
  }
  return true;
}

}  // namespace qv::test
