#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "link/QVUtils.h"
#include "support/Wait.h"
#include "ui/MainThreadBridge.h"

namespace {

// A worker's hand-over runs on the Qt event loop without anyone calling CheckSynchronize, and a
// ForceQueue'd item made inside a hand-over runs after that hand-over has returned.
TEST(MainThreadBridge, HandOversRunOnTheEventLoopAndForceQueueRunsAfterTheHandOver) {
  std::atomic<int> step{0};
  bool workerReleasedFirst = false;
  std::atomic<bool> workerBack{false};
  std::thread worker([&] {
    Synchronize([&] {
      step = 1;
      // Runs while the worker is already on its way: it can see the worker return.
      ForceQueue([&] {
        workerReleasedFirst = qv::test::waitUntil([&] { return workerBack.load(); }, 3000);
      });
    });
    workerBack = true;
    step = 2;
  });
  ASSERT_TRUE(qv::runEventLoopUntil([&] { return workerBack.load(); }, 5000));
  worker.join();
  ASSERT_TRUE(qv::runEventLoopUntil([&] { return workerReleasedFirst; }, 5000));
}

// The pause keeps hand-overs flowing.
TEST(MainThreadBridge, PauseKeepsHandOversFlowing) {
  std::atomic<bool> ran{false};
  std::thread worker([&] { Synchronize([&] { ran = true; }); });
  qv::pauseMainThread(100);
  EXPECT_TRUE(ran.load());
  worker.join();
}

}  // namespace
