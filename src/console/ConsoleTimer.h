// The console's automatic-detection timer as an interface: the window gives it a toolkit timer,
// the command line tool and the tests a LoopTimer that their own loop polls.
#pragma once

#include <cstdint>
#include <functional>

namespace qv {

class ConsoleTimer {
 public:
  virtual ~ConsoleTimer() = default;
  virtual void setInterval(int ms) = 0;
  virtual int interval() const = 0;
  virtual void setEnabled(bool on) = 0;
  virtual bool enabled() const = 0;
  // Runs on the main thread at every tick while enabled.
  std::function<void()> onTimer;
};

// A timer that fires from poll(): the owner calls poll() from its main-thread loop.
class LoopTimer : public ConsoleTimer {
 public:
  void setInterval(int ms) override;
  int interval() const override { return interval_; }
  void setEnabled(bool on) override;
  bool enabled() const override { return enabled_; }
  // Fires onTimer once when a tick is due; true when it fired.
  bool poll();
  // Milliseconds until the next tick (-1 while disabled).
  int dueInMs() const;

 private:
  int interval_ = 500;
  bool enabled_ = false;
  int64_t due_ = 0;  // counter ticks
};

// Runs the main thread's hand-overs and the loop timer until done() holds or timeoutMs passed
// (timeoutMs < 0: no limit); returns done(). done() is looked at after every hand-over and at
// least every lookMs (what worker threads change without a hand-over, and signals, are seen that
// late); a loop whose done() only reads main-thread state may look seldom and sleep longer.
bool runConsoleLoop(LoopTimer* timer, const std::function<bool()>& done, int timeoutMs,
                    int lookMs = 5);

}  // namespace qv
