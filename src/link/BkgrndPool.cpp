// TBkgrndPool: background reads fed one at a time, round-robin, whenever the queue runs empty.
#include "link/QVLaser.h"
#include "platform/Clock.h"

TBkgrndPool::TBkgrndPool(TLaser& laser) : Laser_(laser) {}

TBkgrndPool::~TBkgrndPool() {
  StopTimer();
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
  Due_ = 0;
}

void TBkgrndPool::Kick() {
  if (Enabled_ && Count() > 0) {
    const std::int64_t due =
        qv::counterNow() + std::int64_t(Interval) * qv::counterFrequency() / 1000;
    Due_ = due != 0 ? due : 1;
  }
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
  Due_ = 0;
  if (L.Destroying_ || !L.Connected() || L.RecordingBackground_ || !Enabled_) return;
  std::unique_lock lk(Lock_);
  if (List_.Count() == 0) return;
  if (!L.Waiting_) {
    // A user command that arrived since the kick goes first; the writer kicks again after it.
    if (!L.QueueEmpty()) return;
    const TLaserCommandItem item = Next();
    // Queued directly: Send would add it to this list (under the lock held here) if a recording
    // of the list began since the look above.
    L.Enqueue(item.CmdStr, item.Index);
  } else {
    std::unique_lock q(L.QueueLock_);
    const TStrQueueNode* head = L.Queue_.Peek();
    if (head && head->Sent) return;  // never in front of the command in flight
    const TLaserCommandItem item = Next();
    L.Queue_.PushFront(item.CmdStr, item.Index);
  }
}
