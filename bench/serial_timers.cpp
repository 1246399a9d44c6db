// Timer figures: firing delay of a 10 ms TCounter, period error of a 400 ms TThreadTimer, and the
// CPU time used by parked threads and by a running 10 ms counter.
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <vector>

#include "link/ComPort.h"
#include "link/QVUtils.h"
#include "platform/Clock.h"

namespace {

double cpuMs() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_utime.tv_sec * 1e3 + ru.ru_utime.tv_usec / 1e3 + ru.ru_stime.tv_sec * 1e3 +
         ru.ru_stime.tv_usec / 1e3;
}

void pumpFor(int ms) {
  const int64_t end = qv::counterNow() + int64_t(ms) * qv::counterFrequency() / 1000;
  while (qv::counterNow() < end) CheckSynchronize(5);
}

class Parked : public TMonitorThread {
 public:
  ~Parked() override { Shutdown(); }

 protected:
  void Execute() override {
    while (KeepRunning()) Deactivate();
  }
};

void counterDelay() {
  constexpr int kRuns = 1000;
  TCounter c;
  c.SetInterval(10);
  std::atomic<int64_t> firedThd{0};
  int64_t firedMain = 0;
  c.OnTimerThd = [&](TObject*) { firedThd = qv::counterNow(); };
  c.OnTimer = [&](TObject*) { firedMain = qv::counterNow(); };
  std::vector<double> thd, main;
  for (int i = 0; i < kRuns; ++i) {
    firedMain = 0;
    const int64_t start = qv::counterNow();
    c.Start();
    while (!firedMain) CheckSynchronize(50);
    thd.push_back(qv::counterMs(start, firedThd.load()) - 10.0);
    main.push_back(qv::counterMs(start, firedMain) - 10.0);
  }
  for (auto* v : {&thd, &main}) std::sort(v->begin(), v->end());
  std::printf(
      "TCounter 10 ms, %d starts: lateness in the timer thread median %.3f ms, worst %.3f ms; "
      "on the main thread median %.3f ms, worst %.3f ms\n",
      kRuns, thd[kRuns / 2], thd.back(), main[kRuns / 2], main.back());
}

void threadTimerPeriod() {
  constexpr int kPeriods = 20;
  TThreadTimer t;
  t.SetInterval(400);
  std::vector<int64_t> at;
  t.OnTimerThread = [&](TObject*) { at.push_back(qv::counterNow()); };
  std::atomic<int> count{0};
  t.OnTimer = [&](TObject*) { count++; };
  const int64_t enabled = qv::counterNow();
  t.SetEnabled(true);
  while (count.load() < kPeriods) CheckSynchronize(50);
  t.Shutdown();
  double worst = 0, sum = 0;
  for (int k = 0; k < kPeriods; ++k) {
    double err = qv::counterMs(enabled, at[k]) - 400.0 * (k + 1);
    worst = std::max(worst, std::fabs(err));
    sum += err;
  }
  double last = qv::counterMs(enabled, at[kPeriods - 1]) - 400.0 * kPeriods;
  std::printf(
      "TThreadTimer 400 ms, %d periods: firing error mean %.3f ms, worst %.3f ms, "
      "after the 20th period %.3f ms (no drift means this stays near the mean)\n",
      kPeriods, sum / kPeriods, worst, last);
}

void cpuUse() {
  {
    std::vector<std::unique_ptr<Parked>> threads;
    for (int i = 0; i < 6; ++i) {
      threads.push_back(std::make_unique<Parked>());
      threads.back()->Activate();  // starts and parks again at once
    }
    TCounter counter;
    counter.SetInterval(10);
    TThreadTimer timer;
    timer.SetInterval(400);
    qv::sleepMs(100);
    const double c0 = cpuMs();
    const int64_t t0 = qv::counterNow();
    qv::sleepMs(2000);
    const double used = cpuMs() - c0;
    std::printf(
        "parked set (6 monitor threads, a counter, a disabled timer): %.3f ms CPU per second\n",
        used / (qv::counterMs(t0, qv::counterNow()) / 1000.0));
    for (auto& t : threads) t->Shutdown();
  }
  {
    TCounter counter;
    counter.SetInterval(10);
    counter.OnTimer = [&](TObject*) { counter.Start(); };  // like the background poller's feed
    counter.Start();
    pumpFor(100);
    const double c0 = cpuMs();
    const int64_t t0 = qv::counterNow();
    pumpFor(2000);
    const double used = cpuMs() - c0;
    std::printf(
        "running 10 ms counter (restarted from the main thread on every firing): "
        "%.3f ms CPU per second\n",
        used / (qv::counterMs(t0, qv::counterNow()) / 1000.0));
    counter.OnTimer = nullptr;
    counter.Deactivate();
  }
}

}  // namespace

int main() {
  counterDelay();
  threadTimerPeriod();
  cpuUse();
  return 0;
}
