// The four worker threads of TLaser: the writer sends the head of the command queue and waits
// for its outcome, the reader moves received bytes into the receive text, the parser cuts lines
// and matches them against the catalogue, and the inner timer runs the timed phases.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "link/ComPort.h"
#include "link/QVLaser.h"
#include "link/QVUtils.h"
#include "platform/Event.h"

// A worker of one laser; a failure that ends its loop goes to the laser's OnMointorError.
class TLaserMonitorThread : public TMonitorThread {
 public:
  explicit TLaserMonitorThread(TLaser& laser) : Laser(laser) {}
  // "<class> failed with error <code>: <message>", raised on the main thread.
  void ReportError() override;
  virtual const char* ClassName() const = 0;

  TLaser& Laser;
};

class TOutputMonitor : public TLaserMonitorThread {
 public:
  explicit TOutputMonitor(TLaser& laser) : TLaserMonitorThread(laser) {}
  ~TOutputMonitor() override { Shutdown(); }
  void Shutdown() override;  // also releases an exchange wait
  const char* ClassName() const override { return "TOutputMonitor"; }

  std::string LastCmd;  // writer thread only

 protected:
  void Execute() override;

 private:
  void Park(const std::function<bool()>& workAgain);
  // Parks until activated; while the poller's delay is armed, only until it ends, and then
  // feeds the background read itself. False once the end is requested.
  bool WaitForWork();
};

class TInputMonitor : public TLaserMonitorThread {
 public:
  explicit TInputMonitor(TLaser& laser) : TLaserMonitorThread(laser) {}
  ~TInputMonitor() override { Shutdown(); }
  void Activate() override;
  void Deactivate() override;
  void Shutdown() override;
  const char* ClassName() const override { return "TInputMonitor"; }

 protected:
  void Execute() override;

 private:
  friend class TReceivePathProbe;  // feeds reads without a port (fuzz/)
  void Append(const char* bytes, std::uint32_t count);

  char ReadBuf[128];
};

class TBufferMonitor : public TLaserMonitorThread {
 public:
  explicit TBufferMonitor(TLaser& laser) : TLaserMonitorThread(laser) {}
  ~TBufferMonitor() override { Shutdown(); }
  const char* ClassName() const override { return "TBufferMonitor"; }

 protected:
  void Execute() override;

 private:
  class Lines;
  bool MatchAnswer(const TCommandSyntax& entry, const TLaser::TPending* pending,
                   const std::string& answer);
  // The pending exchange has no catalogue entry: a bare "OK" or "ERROR" is its outcome.
  bool MatchRawOutcome(const TLaser::TPending& pending, const std::string& answer);
  // Reads an error (or warning) code list for the pending exchange; false when it did not
  // complete before the deadline.
  bool ReadCodeList(bool errorList);
  bool CompleteLineBuffered();
  void CapPartialLine();
  // A copy of the receive text.
  std::string Snapshot();
  // Runs fn on the main thread (after the dialogue logged so far is raised).
  void Hand(const std::function<void()>& fn);

  // How long reads without a complete line wait for more before OnReceive reports them.
  static constexpr int kReceiveBatchMs = 5;
  static constexpr std::size_t kReceiveBatchReads = 64;
};

// One-shot timer for the WAIT delay, error clearing and reset. Start cuts a running delay short
// and starts over; Deactivate cancels it.
class TInnerTimer : public TLaserMonitorThread {
 public:
  explicit TInnerTimer(TLaser& laser) : TLaserMonitorThread(laser) {}
  ~TInnerTimer() override { Shutdown(); }
  void Deactivate() override;
  void Shutdown() override;
  const char* ClassName() const override { return "TInnerTimer"; }

  // Main thread: the handler to run when the delay ends, and the start of a delay of ms
  // (0: keep the last interval).
  void SetOnElapsed(void (TLaser::*handler)());
  void Start(std::uint32_t ms);
  std::uint32_t Interval() const;

 protected:
  void Execute() override;

 private:
  qv::Event WakeEvent{qv::Event::Reset::Auto};
  mutable std::mutex Mutex;  // guards Interval_, OnElapsed_ and Generation_
  std::uint32_t Interval_ = 1000;
  void (TLaser::*OnElapsed_)() = nullptr;
  std::uint64_t Generation_ = 0;  // bumped by Start and Deactivate: a stale firing is dropped
};
