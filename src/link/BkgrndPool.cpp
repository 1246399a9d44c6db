// TBkgrndPool: background reads fed one at a time, round-robin, whenever the queue runs empty.
#include <pthread.h>

#include "link/QVLaser.h"
#include "platform/Clock.h"

namespace {

// The poller's 10 ms one-shot: a TCounter that sleeps once until it is due instead of looking
// at the clock every millisecond, so that polling costs one wake-up per read.
class TPoolTimer : public TCounter {
 public:
  ~TPoolTimer() override { Shutdown(); }
  void Activate() override {
    TCounter::Activate();
    wake_.set();
  }
  void Deactivate() override {
    TCounter::Deactivate();
    wake_.set();
  }
  void Shutdown() override {
    Terminate();
    wake_.set();
    TCounter::Shutdown();
  }

 protected:
  void Execute() override {
    pthread_setname_np(pthread_self(), "qv-poll");
    while (KeepRunning()) {
      bool fire = false;
      std::int64_t due = 0;
      while (!Terminated() && Active()) {
        due = Due();
        const std::int64_t left = due - qv::counterNow();
        if (left <= 0) {
          fire = true;
          break;
        }
        (void)wake_.wait(static_cast<int>(left * 1000 / qv::counterFrequency()) + 1);
      }
      if (Terminated()) break;
      if (!fire) continue;  // stopped before it was due
      if (OnTimerThd) OnTimerThd(this);
      if (OnTimer) Synchronize([this] { OnTimer(this); });
      // Park unless a Start during the handlers set a new deadline.
      Deactivate();
      if (!Terminated() && Due() != due) Activate();
    }
  }

 private:
  qv::Event wake_{qv::Event::Reset::Auto};  // a Start, a stop or the end cuts the sleep short
};

}  // namespace

TBkgrndPool::TBkgrndPool(TLaser& laser) : Laser_(laser), Timer_(std::make_unique<TPoolTimer>()) {
  Timer_->SetInterval(10);
  // Tick touches only the locked list and the locked command queue, so it runs in the timer's
  // own thread: a background read costs no hand-over to the main thread.
  Timer_->OnTimerThd = [this](TObject*) { Tick(); };
}

TBkgrndPool::~TBkgrndPool() {
  Timer_->Shutdown();
  std::unique_lock lk(Lock_);
  List_.Clear();
}

void TBkgrndPool::Clear() {
  StopTimer();
  std::unique_lock lk(Lock_);
  List_.Clear();
}

int TBkgrndPool::Count() const {
  std::shared_lock lk(Lock_);
  return List_.Count();
}

void TBkgrndPool::Add(const std::string& CmdStr, std::int32_t Index) {
  std::unique_lock lk(Lock_);
  List_.Add(TLaserCommandItem{CmdStr, Index});
}

std::vector<TLaserCommandItem> TBkgrndPool::Items() const {
  std::shared_lock lk(Lock_);
  std::vector<TLaserCommandItem> v;
  for (int i = 0; i < List_.Count(); ++i) v.push_back(List_[i]);
  return v;
}

void TBkgrndPool::SetEnabled(bool Value) {
  if (Value == Enabled_) return;
  Enabled_ = Value;
  if (!Value) StopTimer();
}

void TBkgrndPool::StopTimer() {
  Timer_->Deactivate();
}

void TBkgrndPool::Kick() {
  if (Enabled_ && Count() > 0) Timer_->Start();
}

TLaserCommandItem TBkgrndPool::Next() {
  if (List_.Position == 1) {
    std::lock_guard lk(Laser_.SpecialLock_);
    if (ErrorCodeRequested_.exchange(false))
      return TLaserCommandItem{Laser_.ErrorCodeCmd_, Laser_.ErrorCodeIndex_};
    if (WarningCodeRequested_.exchange(false))
      return TLaserCommandItem{Laser_.WarningCodeCmd_, Laser_.WarningCodeIndex_};
  }
  TLaserCommandItem item;
  List_.Next(item);
  return item;
}

void TBkgrndPool::Tick() {
  TLaser& L = Laser_;
  if (L.Destroying_ || !L.Connected() || L.RecordingBackground_ || !Enabled_) return;
  std::unique_lock lk(Lock_);
  if (List_.Count() == 0) return;
  if (!L.Waiting_) {
    // A user command that arrived since the kick goes first; the writer kicks again after it.
    if (!L.QueueEmpty()) return;
    const TLaserCommandItem item = Next();
    L.Send(item.CmdStr, item.Index);
  } else {
    std::unique_lock q(L.QueueLock_);
    const TStrQueueNode* head = L.Queue_.Peek();
    if (head && head->Sent) return;  // never in front of the command in flight
    const TLaserCommandItem item = Next();
    L.Queue_.PushFront(item.CmdStr, item.Index);
  }
}
