#include "link/QVUtils.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/Clock.h"
#include "support/MainLoop.h"

namespace {

using qv::test::pumpUntil;

TEST(HandOverTest, RunsOnTheMainThreadAndWakesTheLoop) {
  ASSERT_TRUE(IsMainThread());
  bool ranHere = false;
  Synchronize([&] { ranHere = true; });  // on the main thread: at once
  EXPECT_TRUE(ranHere);

  std::atomic<int> hooks{0};
  SetMainThreadWakeHook([&] { hooks++; });
  std::atomic<bool> onMain{false}, returned{false};
  std::thread worker([&] {
    EXPECT_FALSE(IsMainThread());
    Synchronize([&] { onMain = IsMainThread(); });
    returned = true;
  });
  EXPECT_TRUE(pumpUntil([&] { return returned.load(); }));
  worker.join();
  SetMainThreadWakeHook(nullptr);
  EXPECT_TRUE(onMain.load());
  EXPECT_EQ(hooks.load(), 1);
  EXPECT_FALSE(CheckSynchronize(0));  // nothing left
}

TEST(HandOverTest, ExceptionOfTheHandlerReachesTheWorker) {
  std::atomic<bool> caught{false};
  std::thread worker([&] {
    try {
      Synchronize([] { throw std::runtime_error("boom"); });
    } catch (const std::runtime_error&) {
      caught = true;
    }
  });
  EXPECT_TRUE(pumpUntil([&] { return caught.load(); }));
  worker.join();
}

// A worker whose loop hands something to the main thread on every turn.
class SyncingThread : public TMonitorThread {
 public:
  ~SyncingThread() override { Shutdown(); }
  std::atomic<int> handed{0};
  std::atomic<bool> inSynchronize{false};

 protected:
  void Execute() override {
    while (KeepRunning()) {
      inSynchronize = true;
      Synchronize([this] { handed++; });
      inSynchronize = false;
    }
  }
};

TEST(MonitorThreadTest, ShutdownWhileTheWorkerWaitsInSynchronizeDoesNotDeadlock) {
  SyncingThread t;
  t.Activate();
  // The main thread does not pump, so the worker is stuck in its hand-over when Shutdown starts.
  ASSERT_TRUE(qv::test::waitUntil([&] { return t.inSynchronize.load(); }));
  t.Shutdown();
  EXPECT_GE(t.handed.load(), 1);
  EXPECT_TRUE(t.Terminated());
}

class CountingThread : public TMonitorThread {
 public:
  ~CountingThread() override { Shutdown(); }
  std::atomic<int> steps{0};

 protected:
  void Execute() override {
    while (KeepRunning()) {
      steps++;
      qv::sleepMs(1);
    }
  }
};

TEST(MonitorThreadTest, ParksWhenDeactivatedAndEndsEvenIfDeactivatedAfterTermination) {
  CountingThread t;
  qv::sleepMs(20);
  EXPECT_EQ(t.steps.load(), 0);  // parked from the start
  t.Activate();
  ASSERT_TRUE(qv::test::waitUntil([&] { return t.steps.load() > 3; }));
  t.Deactivate();
  qv::sleepMs(10);
  const int parkedAt = t.steps.load();
  qv::sleepMs(30);
  EXPECT_LE(t.steps.load(), parkedAt + 1);
  t.Activate();
  ASSERT_TRUE(qv::test::waitUntil([&] { return t.steps.load() > parkedAt + 3; }));
  t.Terminate();
  t.Deactivate();  // ignored: the run event stays set so the loop reaches its end
  EXPECT_TRUE(t.Active());
  t.Shutdown();
}

class ThrowingThread : public TMonitorThread {
 public:
  ~ThrowingThread() override { Shutdown(); }
  std::atomic<int> reports{0};
  void ReportError() override { reports++; }

 protected:
  void Execute() override {
    WaitUntilActive();
    throw std::runtime_error("worker failed");
  }
};

TEST(MonitorThreadTest, AnEscapingExceptionIsReportedAndEndsTheThread) {
  ThrowingThread t;
  t.Activate();
  t.Shutdown();
  EXPECT_EQ(t.reports.load(), 1);
  EXPECT_EQ(t.ErrorMessage, "worker failed");
}

TEST(CounterTest, IntervalAndCheckIntervalRules) {
  TCounter c;
  struct Step {
    int setInterval;       // -1: leave
    int setCheckInterval;  // -1: leave
    uint32_t interval, checkInterval;
  } steps[] = {
      {10, -1, 10, 1},     // short intervals look every millisecond
      {100, -1, 100, 10},  // raised: a tenth of it
      {10, -1, 10, 10},    // lowered: CheckInterval is not below the interval, so it stays
      {-1, 0, 10, 10},     // 0 refused
      {-1, 11, 10, 10},    // above Interval refused
      {-1, 5, 10, 5},     {400, -1, 400, 40},
  };
  for (const auto& s : steps) {
    if (s.setInterval >= 0) c.SetInterval(s.setInterval);
    if (s.setCheckInterval >= 0) c.SetCheckInterval(s.setCheckInterval);
    EXPECT_EQ(c.Interval(), s.interval);
    EXPECT_EQ(c.CheckInterval(), s.checkInterval);
  }
  EXPECT_EQ(c.Ticks(), int64_t(400) * qv::counterFrequency() / 1000);
  EXPECT_TRUE(c.Stopped());
}

TEST(CounterTest, FiresOncePerStartThreadHandlerFirst) {
  TCounter c;
  c.SetInterval(10);
  std::vector<char> order;
  std::atomic<int> thd{0};
  int onMain = 0;
  c.OnTimerThd = [&](TObject* s) {
    EXPECT_EQ(s, &c);
    EXPECT_FALSE(IsMainThread());
    thd++;
  };
  c.OnTimer = [&](TObject*) {
    EXPECT_TRUE(IsMainThread());
    EXPECT_EQ(thd.load(), onMain + 1);  // the thread's handler ran first
    onMain++;
  };
  c.Start();
  EXPECT_FALSE(c.Stopped());
  EXPECT_TRUE(pumpUntil([&] { return onMain == 1; }));
  pumpUntil([] { return false; }, 100);  // ten intervals later still one firing
  EXPECT_EQ(onMain, 1);
  EXPECT_FALSE(c.Active());
  c.Start();
  EXPECT_TRUE(pumpUntil([&] { return onMain == 2; }));
  pumpUntil([] { return false; }, 100);
  EXPECT_EQ(onMain, 2);
  EXPECT_EQ(thd.load(), 2);
}

TEST(CounterTest, DeactivateCancelsADelayThatHasNotFired) {
  TCounter c;
  c.SetInterval(500);
  std::atomic<int> fired{0};
  c.OnTimerThd = [&](TObject*) { fired++; };
  c.Start();
  c.Deactivate();
  pumpUntil([] { return false; }, 700);
  EXPECT_EQ(fired.load(), 0);
  c.Start();  // and a new Start runs again
  EXPECT_TRUE(pumpUntil([&] { return fired.load() == 1; }));
}

TEST(ThreadTimerTest, PeriodicOnTheMainThreadAndStopsWhenDisabled) {
  TThreadTimer t;
  EXPECT_EQ(t.Interval(), 1000u);
  t.SetInterval(10);
  EXPECT_EQ(t.Period(), int64_t(10) * qv::counterFrequency() / 1000);
  int fired = 0;
  t.OnTimer = [&](TObject*) {
    EXPECT_TRUE(IsMainThread());
    ++fired;
  };
  t.SetEnabled(true);
  EXPECT_TRUE(pumpUntil([&] { return fired >= 5; }));
  t.SetEnabled(false);
  pumpUntil([] { return false; }, 200);  // a firing already under way may still arrive
  const int stoppedAt = fired;
  pumpUntil([] { return false; }, 100);
  EXPECT_EQ(fired, stoppedAt);
}

TEST(ThreadTimerTest, DeadlinesAdvanceByPeriodAndCatchUpAfterASlowHandler) {
  TThreadTimer t;
  t.SetInterval(10);
  const int64_t period = t.Period();
  struct Firing {
    int64_t due, now;
  };
  std::vector<Firing> firings;  // written on the timer thread only, read after Shutdown
  std::atomic<int> count{0};
  t.OnTimerThread = [&](TObject*) {
    firings.push_back({t.Due(), qv::counterNow()});
    if (count++ == 0) qv::sleepMs(60);  // six periods late
  };
  t.SetEnabled(true);
  ASSERT_TRUE(qv::test::waitUntil([&] { return count.load() >= 12; }));
  t.Shutdown();
  int behind = 0;
  for (size_t i = 1; i < firings.size(); ++i) {
    EXPECT_EQ(firings[i].due - firings[i - 1].due, period) << i;  // no drift
    if (firings[i].now > firings[i].due + period) behind++;       // fired while a period late
  }
  EXPECT_GE(behind, 2);  // back to back after the slow handler
}

}  // namespace
