// The laser's worker threads: writer, reader, parser and inner timer.
#include "link/QVLaserThreads.h"

#include <pthread.h>

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "catalogue/Pattern.h"
#include "platform/Clock.h"

namespace {

std::string trimBelow33(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) < 33) ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) < 33) --e;
  return s.substr(b, e - b);
}

bool readNumber(const std::string& s, double& v) {
  if (s.empty()) return false;
  auto r = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::fixed);
  return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

// The delay of a WAIT text: the whole number after the command text; nothing otherwise.
bool waitDelay(const std::string& text, const std::string& cmd, std::uint32_t& ms) {
  if (text.size() < cmd.size()) return false;
  const std::string arg = trimBelow33(text.substr(cmd.size()));
  if (arg.empty()) return false;
  auto r = std::from_chars(arg.data(), arg.data() + arg.size(), ms);
  return r.ec == std::errc() && r.ptr == arg.data() + arg.size();
}

}  // namespace

void TLaserMonitorThread::ReportError() {
  char buf[512];
  std::snprintf(buf, sizeof buf, "%s failed with error %d: %s", ClassName(),
                static_cast<int>(ErrorCode), ErrorMessage.c_str());
  const std::string text = buf;
  Laser.Synced([&] {
    if (Laser.OnMointorError) Laser.OnMointorError(Laser, text);
  });
}

// --- Writer ----------------------------------------------------------------------------------

void TOutputMonitor::Shutdown() {
  Terminate();
  Laser.ErrorAnswerEvent.set();
  TMonitorThread::Shutdown();
}

// Parks; wakes again at once when workAgain() holds after parking, so that an activation that
// came while this thread was deciding to park is not lost.
void TOutputMonitor::Park(const std::function<bool()>& workAgain) {
  Deactivate();
  if (!Terminated() && workAgain()) Activate();
}

bool TOutputMonitor::WaitForWork() {
  TBkgrndPool& pool = *Laser.Pool_;
  const std::int64_t ticksPerMs = qv::counterFrequency() / 1000;
  for (;;) {
    if (Terminated()) return false;
    const std::int64_t due = pool.Due();
    if (due == 0 || Active()) {
      WaitUntilActive();
      return !Terminated();
    }
    const std::int64_t left = due - qv::counterNow();
    if (left <= 0) {
      // The queue stayed empty for the whole delay: this thread feeds the next read, which
      // activates it again through the queue's change notification.
      if (pool.Due() == due) pool.Tick();
      continue;
    }
    const int ms = static_cast<int>((left + ticksPerMs - 1) / ticksPerMs);
    if (RunEvent.wait(ms)) return !Terminated();
  }
}

void TOutputMonitor::Execute() {
  pthread_setname_np(pthread_self(), "qv-writer");
  std::unique_ptr<TOverlapped> ov = CreateOverlapped();
  TLaser& L = Laser;
  while (WaitForWork()) {
    if (!L.Connected()) {
      L.Pool_->Clear();
      L.AbandonQueue();
      Park([&] { return L.Connected() && !L.QueueEmpty(); });
      continue;
    }
    if (L.Lost()) {
      // The reader hands the hang-up to the main thread, which closes the port.
      Park([] { return false; });
      continue;
    }
    if (L.QueueEmpty()) {
      L.Pool_->Kick();
      Park([&] { return L.Connected() && !L.QueueEmpty(); });
      continue;
    }
    L.Pool_->StopTimer();
    L.AnswerEvent.reset();
    L.ErrorAnswerEvent.reset();
    TLaser::THead head = L.TakeHead();
    if (Terminated() || !L.Connected() || !head.Valid) continue;

    if (head.IsWait) {
      if (!L.Waiting_) {
        TCommandSyntaxPtr e = L.CommandList_->TryItem(head.Index);
        std::uint32_t ms = 0;
        if (!e || !waitDelay(head.CmdStr, e->CmdStr, ms) || ms == 0) {
          // No whole, positive number of milliseconds: nothing to wait for.
          std::unique_lock lk(L.QueueLock_);
          L.Queue_.Remove(head.Index, 0);
          continue;
        }
        L.WaitIndex_ = head.Index;
        L.Synced([&] {
          if (L.Connected() && L.HeadIsWait(head.Index)) L.StartWait(ms);
        });
      }
      L.Pool_->Kick();
      Park([&] {
        return L.Connected() && !L.Destroying_ && (!L.Waiting_ || !L.HeadIsWait(head.Index));
      });
      continue;
    }

    // What this exchange means for the phases, decided before it goes out.
    std::string clearCmd, resetCmd;
    {
      std::lock_guard lk(L.SpecialLock_);
      clearCmd = L.ClearErrorCmd_;
      resetCmd = L.ResetCmd_;
    }
    const bool isClear = !clearCmd.empty() && SameCommandText(head.CmdStr, clearCmd);
    TCommandSyntaxPtr entry = L.EntryFor(head.Index, head.CmdStr);
    // A reset the catalogue names is started by its answer's dispatch; the writer starts only
    // those it recognises by the command text alone.
    const bool isOtherReset = !resetCmd.empty() && SameCommandText(head.CmdStr, resetCmd) &&
                              !(entry && entry->Command == lcReset);
    const int statusIndex = L.CommandList_->IndexOfCommand(lcSetStatus, 0);
    if (head.Index >= 0 && head.Index == statusIndex && head.CmdStr.size() > 3) {
      double v = 0;
      if (readNumber(trimBelow33(head.CmdStr.substr(3)), v)) {
        if (v == 1) L.LaserOnRequested_ = true;
        if (v == 0) L.LaserOnRequested_ = false;
      }
    }
    LastCmd = head.CmdStr;
    // Logged before the bytes go out, so that OnSend comes before the answer's OnReceive; a
    // "clear error" begins its phase now, so that its answer cannot end the phase first.
    // A typed command (no catalogue index) is shown at once rather than with its answer.
    L.LogDialogue(true, LastCmd);
    if (isClear || head.Index < 0) {
      L.Synced([&] {
        if (isClear) L.BeginErrorClearing();
      });
      if (L.CurrentSeq_ != head.Seq) continue;  // disconnected meanwhile: the node is gone
    }
    ov->event().reset();
    L.WriteText(head.CmdStr + "\r", *ov);
    (void)ov->waitDone(static_cast<int>(TLaser::ResponseTimeout));
    ov->event().reset();
    if (Terminated() || !L.Connected()) continue;
    if (ov->status() == qv::IoStatus::Lost) continue;

    switch (L.AwaitOutcome(head.Seq)) {
      case TLaser::TOutcome::Answered:
        if (!Terminated() && L.Connected() && isOtherReset) L.Synced([&] { L.BeginReset(); });
        break;
      case TLaser::TOutcome::Failed:
        if (!Terminated() && L.Connected() && isClear) L.Synced([&] { L.EndErrorClearing(); });
        break;
      case TLaser::TOutcome::TimedOut:
        if (!Terminated() && L.Connected()) {
          LastCmd = head.CmdStr;
          // Not for an exchange that a disconnection abandoned meanwhile: its failure must not
          // reach the next connection's identification.
          L.Synced([&] {
            if (L.CurrentSeq_ == head.Seq) L.HandleTimeout(LastCmd);
          });
        }
        break;
      case TLaser::TOutcome::Cancelled:
        break;
    }
    if (!Terminated() && L.Connected()) L.DropCommand(head.Seq);
    // An exchange that ended without a hand-over (no answer dispatched) still reports its text.
    if (!Terminated() && L.DialoguePending()) L.Synced(nullptr);
  }
}

// --- Reader ----------------------------------------------------------------------------------

void TInputMonitor::Activate() {
  Laser.InputWakeEvent.reset();
  TMonitorThread::Activate();
}

void TInputMonitor::Deactivate() {
  TMonitorThread::Deactivate();
  Laser.InputWakeEvent.set();
  Laser.InterruptInputWait();
}

void TInputMonitor::Shutdown() {
  Terminate();
  Laser.InputWakeEvent.set();
  Laser.InterruptInputWait();
  TMonitorThread::Shutdown();
}

void TInputMonitor::Append(const char* bytes, std::uint32_t count) {
  std::string upper(bytes, count);
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  {
    std::lock_guard lk(Laser.ReceiveLock_);
    const std::size_t room = TLaser::kMaxReceived > Laser.ReceivedText_.size()
                                 ? TLaser::kMaxReceived - Laser.ReceivedText_.size()
                                 : 0;
    Laser.ReceivedText_.append(upper, 0, std::min<std::size_t>(room, upper.size()));
    if (Laser.DialogueBytes_ < TLaser::kMaxReceived) {
      Laser.Dialogue_.push_back(TLaser::TDialogue{false, std::string(bytes, count)});
      Laser.DialogueBytes_ += count;
    }
  }
  Laser.ReceiveEvent.set();
  Laser.Parser_->Activate();
}

void TInputMonitor::Execute() {
  pthread_setname_np(pthread_self(), "qv-reader");
  std::unique_ptr<TOverlapped> ov = CreateOverlapped();
  TLaser& L = Laser;
  // Waits are bounded so that a hang-up that lands between a look and a wait is seen soon.
  constexpr int kLook = 500;
  while (!Terminated()) {
    WaitUntilActive();
    if (Terminated()) break;
    if (!L.Connected()) {
      Deactivate();
      continue;
    }
    if (L.Lost()) {
      L.Synced([&] { L.PortLost(); });
      if (L.Connected()) (void)L.InputWakeEvent.wait(10);
      continue;
    }
    if (ov->status() == qv::IoStatus::Pending) (void)ov->waitDone(kLook);
    if (ov->status() == qv::IoStatus::Pending) continue;
    std::uint32_t count = 0;
    int queued = L.QueuedBytes();
    if (queued <= 0) {
      // The reader waits on the line itself: bytes wake this thread directly, not the port's
      // I/O thread first.
      const qv::SerialDevice::InputWait w = L.WaitInputHere(kLook);
      if (w == qv::SerialDevice::InputWait::Closed) {
        // Closed under a port that still reads as connected for a moment: the disconnection
        // deactivates this thread next; wait for that instead of spinning.
        (void)L.InputWakeEvent.wait(10);
        continue;
      }
      if (w != qv::SerialDevice::InputWait::Ready) continue;
      queued = L.QueuedBytes();
    }
    // Read what is there rather than a full 128 bytes: a full read would complete only after
    // the line has been quiet for the read interval, which delays every answer by it.
    count = queued > 0 ? static_cast<std::uint32_t>(std::min(queued, 128)) : 128;
    ov->event().reset();
    L.Read(ReadBuf, count, *ov);
    if (!L.Connected()) continue;
    // What was queued is read at once, without waiting for the I/O thread.
    if (ov->status() == qv::IoStatus::Pending &&
        qv::waitForAny({&ov->event(), &L.InputWakeEvent}, kLook) != 0)
      continue;
    std::uint32_t got = 0;
    // The parser raises OnReceive for this read, before it dispatches what the read carries.
    if (L.GetOverlappedResult(*ov, got, false) && got > 0) Append(ReadBuf, got);
  }
}

// --- Parser ----------------------------------------------------------------------------------

// Lines at the front of a snapshot of the receive text, found as they are asked for.
class TBufferMonitor::Lines {
 public:
  explicit Lines(std::function<std::string()> snapshot) : snapshot_(std::move(snapshot)) {
    refresh();
  }

  // The first line must be there now; later lines get one more look after 10 ms.
  bool has(std::size_t n) {
    while (ends_.size() < n) {
      if (missing_) return false;
      if (!findNext()) {
        if (ends_.empty()) return false;
        qv::sleepMs(10);
        refresh();
        if (!findNext()) {
          missing_ = true;
          return false;
        }
      }
    }
    return true;
  }
  const std::string& text() const { return snap_; }
  std::size_t end(std::size_t n) const { return ends_[n - 1]; }
  // The answer made of the first n lines, trimmed.
  std::string answer(std::size_t n) const { return trimBelow33(snap_.substr(0, end(n))); }

 private:
  void refresh() { snap_ = snapshot_(); }
  bool findNext() {
    const std::size_t from = ends_.empty() ? 0 : ends_.back();
    const std::size_t cr = snap_.find('\r', from);
    if (cr == std::string::npos) return false;
    std::size_t e = cr + 1;
    if (e < snap_.size() && snap_[e] == '\n') ++e;
    ends_.push_back(e);
    return true;
  }

  std::function<std::string()> snapshot_;
  std::string snap_;
  std::vector<std::size_t> ends_;
  bool missing_ = false;
};

std::string TBufferMonitor::Snapshot() {
  std::lock_guard lk(Laser.ReceiveLock_);
  return Laser.ReceivedText_;
}

void TBufferMonitor::Hand(const std::function<void()>& fn) {
  Laser.Synced(fn);
}

bool TBufferMonitor::CompleteLineBuffered() {
  std::lock_guard lk(Laser.ReceiveLock_);
  return Laser.ReceivedText_.find('\r') != std::string::npos;
}

void TBufferMonitor::CapPartialLine() {
  std::lock_guard lk(Laser.ReceiveLock_);
  std::string& t = Laser.ReceivedText_;
  if (t.size() > TLaser::kMaxPartialLine && t.find('\r') == std::string::npos)
    t.erase(0, t.size() - TLaser::kMaxPartialLine);
}

bool TBufferMonitor::MatchAnswer(const TCommandSyntax& entry, const TLaser::TPending* pending,
                                 const std::string& answer) {
  TLaser& L = Laser;
  if (std::optional<qv::PatternMatch> m = MatchCommandReply(entry, answer)) {
    TLaserMsg captures;
    captures.reserve(m->groups.size());
    for (const auto& g : m->groups) {
      std::string s = g.value_or(std::string());
      if (s.size() > kMaxCommandText) s.resize(kMaxCommandText);
      captures.push_back(std::move(s));
    }
    bool released = false;
    if (L.Connected() &&
        (pending || (entry.Command != lcReadCurrent && entry.Command != lcReadOvenHeatingValue)))
      Hand([&] {
        // An answer of a closed connection (the port closed while this waited for the main
        // thread) must not change what its disconnection reset.
        if (L.Connected() && (!pending || L.CurrentSeq_ == pending->Seq)) {
          L.DispatchAnswer(entry, captures);
        }
        // The main thread releases the writer as soon as the answer is handled, so the next
        // command goes out while this thread is still waking up from the hand-over.
        if (pending) {
          L.ResetCommandErrors();
          L.Answered(pending->Seq);
          released = true;
        }
      });
    if (!released) {
      if (pending) L.Answered(pending->Seq);
      L.ResetCommandErrors();
    }
    return true;
  }
  if (pending && !Terminated() && answer == "ERROR") {
    bool released = false;
    L.CountFailure(entry.Command, entry.SubID);
    if (L.Connected()) {
      const std::string cmdStr = pending->CmdStr;
      Hand([&] {
        if (L.CurrentSeq_ == pending->Seq &&  // not abandoned by a disconnection
            L.HandleFailure(entry, TFailureKind::ErrorAnswer, true) && L.OnCommandError)
          L.OnCommandError(L, entry.Command, entry.SubID, cmdStr);
        L.Failed(pending->Seq);  // released from the main thread, as for an answer
        released = true;
      });
    }
    if (!released) L.Failed(pending->Seq);
    return true;
  }
  return false;
}

bool TBufferMonitor::MatchRawOutcome(const TLaser::TPending& pending, const std::string& answer) {
  // A text the catalogue does not know (typed in the terminal, or sent raw by the console, such
  // as the oven display switch after a heating read) has no pattern, but the laser still says
  // "OK" or "ERROR" to it: that ends the exchange at once instead of after the response time.
  TLaser& L = Laser;
  if (answer == "OK") {
    L.Answered(pending.Seq);
    L.ResetCommandErrors();
    return true;
  }
  if (answer == "ERROR" && !Terminated()) {
    // Counted like the time-out it replaces; with no catalogue entry there is nothing to name
    // in a failure event.
    {
      std::lock_guard lk(L.CountersLock_);
      if (L.CommandErrors_ < 255) ++L.CommandErrors_;
    }
    L.Failed(pending.Seq);
    return true;
  }
  return false;
}

bool TBufferMonitor::ReadCodeList(bool errorList) {
  TLaser& L = Laser;
  const std::int64_t deadline =
      qv::counterNow() + std::int64_t(TLaser::ResponseTimeout) * qv::counterFrequency() / 1000;
  enum class S { Start, Blank, AfterCR, Text } state = S::Start;
  std::size_t scanned = 0;
  std::string snap;
  bool present = false;
  while (!present) {
    snap = Snapshot();
    if (scanned > snap.size()) scanned = 0, state = S::Start;
    for (; scanned < snap.size() && !present; ++scanned) {
      switch (snap[scanned]) {
        case ' ':
        case '\t':
          if (state != S::Text) state = S::Blank;
          break;
        case '\r':
          state = S::AfterCR;
          break;
        case '\n':
          if (state != S::Text) present = true;
          break;
        default:
          state = S::Text;
          break;
      }
    }
    if (present) break;
    const std::int64_t now = qv::counterNow();
    if (now >= deadline || Terminated()) return false;
    const int left = static_cast<int>((deadline - now) * 1000 / qv::counterFrequency()) + 1;
    (void)L.ReceiveEvent.wait(std::min(left, 50));
  }

  static const char* const kCodeList =
      "^(([ \\t]*?\\d+?[ \\t]*?(\\r\\n|\\n|\\r))*?)[ \\t]*?(\\r\\n|\\n|\\r)";
  std::vector<std::uint16_t> codes;
  bool newly1042 = false;
  if (auto m = qv::Pattern::match(kCodeList, snap, qv::PatternSyntax::Plain)) {
    const std::string whole = m->group(0);
    {
      std::lock_guard lk(L.ReceiveLock_);
      L.ReceivedText_.erase(0, std::min(whole.size(), L.ReceivedText_.size()));
    }
    std::size_t pos = 0;
    while (pos < whole.size()) {
      std::size_t e = whole.find_first_of("\r\n", pos);
      if (e == std::string::npos) e = whole.size();
      const std::string line = trimBelow33(whole.substr(pos, e - pos));
      pos = e + 1;
      if (line.empty()) continue;
      unsigned long long v = 0;
      auto r = std::from_chars(line.data(), line.data() + line.size(), v);
      if (r.ec == std::errc::result_out_of_range)
        v = 65535;
      else if (r.ec != std::errc())
        continue;
      const auto code = static_cast<std::uint16_t>(std::min<unsigned long long>(v, 65535));
      codes.push_back(code);
      if (code == 1042 && !L.WarmUpRequired_.exchange(true)) newly1042 = true;
    }
  }
  const bool autoWarmUp = errorList && newly1042 && codes.size() == 1 && L.LaserOnRequested_;
  L.StoreCodes(errorList, std::move(codes));
  if (autoWarmUp) {
    // The laser was asked to switch on but needs its warm-up first: clear the error, give the
    // controller a moment, and start the warm-up.
    Hand([&] {
      L.ClearError();
      L.QueueWait(50);
      L.WarmUp();
    });
  }
  return true;
}

void TBufferMonitor::Execute() {
  pthread_setname_np(pthread_self(), "qv-parser");
  TLaser& L = Laser;
  while (!Terminated()) {
    // No pause for the writer between exchanges: an exchange that got its answer is no longer
    // pending (its number is recorded), so the next line is never matched to it twice.
    TLaser::TPending pending = L.PeekPending();

    if (pending.Valid && pending.Entry &&
        (pending.Entry->Command == lcReadErrorCode ||
         pending.Entry->Command == lcReadWarningCode)) {
      const bool errorList = pending.Entry->Command == lcReadErrorCode;
      const bool read = ReadCodeList(errorList);
      L.Answered(pending.Seq);
      if (read && L.Connected()) {
        Hand([&] {
          if (!L.Connected()) return;  // closed while this waited, as for the answers above
          if (errorList && L.OnLaserError) L.OnLaserError(&L);
          if (!errorList && L.OnLaserWarning) L.OnLaserWarning(&L);
          if (L.OnLaserParam) L.OnLaserParam(L, errorList ? lcReadErrorCode : lcReadWarningCode, 0);
        });
      }
      continue;
    }

    Lines lines([this] { return Snapshot(); });
    if (!lines.has(1)) {
      CapPartialLine();
      Deactivate();
      if (!Terminated() && CompleteLineBuffered()) Activate();
      // A line that arrives byte by byte (a real line at 57600 baud) would cost one hand-over
      // per byte: give the rest of the line a moment and hand the reads over with its answer.
      // A stream without line ends is still reported every few dozen reads.
      const std::size_t logged = L.DialogueItems();
      if (logged > 0 && logged < kReceiveBatchReads && !Terminated() &&
          RunEvent.wait(kReceiveBatchMs))
        continue;
    } else {
      std::size_t consume = lines.end(1);
      bool done = false;
      if (L.Reseting_ && lines.text().compare(0, 6, "READY\r") == 0) {
        Hand([&] { L.ResetFinished(); });
        done = true;
      }
      if (!done && pending.Valid && pending.Entry && lines.has(pending.Entry->LineCount)) {
        if (MatchAnswer(*pending.Entry, &pending, lines.answer(pending.Entry->LineCount))) {
          consume = lines.end(pending.Entry->LineCount);
          done = true;
        }
      }
      if (!done && pending.Valid && !pending.Entry)
        done = MatchRawOutcome(pending, lines.answer(1));
      if (!done) {
        const auto entries = L.CommandList_->Snapshot();
        for (const TCommandSyntaxPtr& e : entries) {
          if (Terminated()) break;
          if (pending.Entry && e == pending.Entry) continue;
          if (e->Pattern.empty() || !lines.has(std::max<std::size_t>(1, e->LineCount))) continue;
          const std::size_t n = std::max<std::size_t>(1, e->LineCount);
          if (MatchAnswer(*e, nullptr, lines.answer(n))) {
            consume = lines.end(n);
            break;
          }
        }
      }
      std::lock_guard lk(L.ReceiveLock_);
      L.ReceivedText_.erase(0, std::min(consume, L.ReceivedText_.size()));
    }
    if (L.DialoguePending()) Hand(nullptr);  // reads that carried no answer
    if (!Terminated()) WaitUntilActive();
  }
}

// --- Inner timer -----------------------------------------------------------------------------

void TInnerTimer::SetOnElapsed(void (TLaser::*handler)()) {
  std::lock_guard lk(Mutex);
  OnElapsed_ = handler;
}

std::uint32_t TInnerTimer::Interval() const {
  std::lock_guard lk(Mutex);
  return Interval_;
}

void TInnerTimer::Start(std::uint32_t ms) {
  {
    std::lock_guard lk(Mutex);
    if (ms != 0) Interval_ = ms;
    ++Generation_;
  }
  WakeEvent.set();  // cuts a running delay short; it starts over with the new interval
  Activate();
}

void TInnerTimer::Deactivate() {
  {
    std::lock_guard lk(Mutex);
    ++Generation_;
  }
  TMonitorThread::Deactivate();
  WakeEvent.set();
}

void TInnerTimer::Shutdown() {
  Terminate();
  WakeEvent.set();
  TMonitorThread::Shutdown();
}

void TInnerTimer::Execute() {
  pthread_setname_np(pthread_self(), "qv-phases");
  while (!Terminated()) {
    WaitUntilActive();
    if (Terminated()) break;
    std::uint32_t interval;
    std::uint64_t generation;
    {
      std::lock_guard lk(Mutex);
      interval = Interval_;
      generation = Generation_;
    }
    if (WakeEvent.wait(static_cast<int>(std::min<std::uint32_t>(interval, 0x7FFFFFFF))))
      continue;  // cut short: start over with the current interval
    if (Terminated()) break;
    TLaser& L = Laser;
    L.Synced([&] {
      void (TLaser::*handler)() = nullptr;
      {
        std::lock_guard lk(Mutex);
        if (Generation_ == generation) handler = OnElapsed_;
      }
      if (handler) (L.*handler)();
    });
    std::lock_guard lk(Mutex);
    if (Generation_ == generation) TMonitorThread::Deactivate();
  }
}
