// TLaser: lifetime, connection, identity, phases, counters and the queue access of the workers.
#include "link/QVLaser.h"

#include "catalogue/CommandCatalogue.h"
#include "link/QVLaserThreads.h"
#include "platform/Clock.h"

TLaser::TLaser() {
  CommandList_ = std::make_unique<TCommandList>();
  Pool_ = std::make_unique<TBkgrndPool>(*this);
  Parser_ = std::make_unique<TBufferMonitor>(*this);
  Reader_ = std::make_unique<TInputMonitor>(*this);
  Writer_ = std::make_unique<TOutputMonitor>(*this);
  InnerTimer_ = std::make_unique<TInnerTimer>(*this);
  InnerTimer_->SetOnElapsed(&TLaser::ResetTimeout);
  Queue_.OnChange = [this](TStrQueue&) { WakeWriter(); };
  AddInitialCommands(*CommandList_);
  CommandList_->OnChange = [this](TCommandList&) { CacheSpecialCommands(); };
  ResetIdentity();
}

TLaser::~TLaser() {
  Disconnect();
  // From here on nothing reaches the application: a worker blocked in a hand-over is released
  // by the shutdown waits below, which keep serving the main thread's queue.
  Destroying_ = true;
  InnerTimer_->Shutdown();
  Parser_->Shutdown();
  Writer_->Shutdown();
  Reader_->Shutdown();
  Pool_.reset();
  CommandList_->OnChange = nullptr;
  Queue_.OnChange = nullptr;
}

void TLaser::Synced(const std::function<void()>& fn) {
  if (Destroying_) return;
  Synchronize([&] {
    if (Destroying_) return;
    RaiseDialogue();
    if (fn) fn();
  });
}

void TLaser::LogDialogue(bool sent, std::string text) {
  std::lock_guard lk(ReceiveLock_);
  if (DialogueBytes_ >= kMaxReceived) return;  // nobody runs the main thread: keep it bounded
  DialogueBytes_ += text.size();
  Dialogue_.push_back(TDialogue{sent, std::move(text)});
}

bool TLaser::DialoguePending() const {
  std::lock_guard lk(ReceiveLock_);
  return !Dialogue_.empty();
}

std::size_t TLaser::DialogueItems() const {
  std::lock_guard lk(ReceiveLock_);
  return Dialogue_.size();
}

void TLaser::RaiseDialogue() {
  std::vector<TDialogue> items;
  {
    std::lock_guard lk(ReceiveLock_);
    items.swap(Dialogue_);
    DialogueBytes_ = 0;
  }
  for (const TDialogue& d : items) {
    if (d.Sent && OnSend) OnSend(*this, d.Text);
    if (!d.Sent && OnReceive) OnReceive(*this, d.Text);
  }
}

// --- Connection ------------------------------------------------------------------------------

bool TLaser::Open() {
  if (Connected()) return true;
  // A new connection starts with an empty queue (a WAIT queued while closed would stall it).
  AbandonQueue();
  TNotifyEvent onConnect = std::move(OnConnect);
  OnConnect = nullptr;
  const bool ok = TComPort::Open();
  OnConnect = std::move(onConnect);
  if (ok) {
    HasPulsePicker_ = false;
    HasRegulator_ = false;
    WarmUpRequired_ = false;
    Waiting_ = false;
    // A port that closed without Disconnect (a port change) must not hand its half-done
    // identification or detection to this connection.
    EndSequences();
    // Drop what the driver holds now, before any command goes out: a reader thread that purged
    // on its first start could throw away the answer to the first command.
    PurgeInput();
    Reader_->Activate();
    if (OnConnect) OnConnect(this);
  } else if (OnConnectFail) {
    OnConnectFail(this);
  }
  return ok;
}

bool TLaser::Close() {
  const bool closed = TComPort::Close();
  if (closed) AbandonQueue();
  return closed;
}

bool TLaser::Connect() {
  const bool ok = Open();
  if (ok) {
    ConnectingFlag_ = true;
    SendCommand(lcReadSN, 0);
  }
  return ok;
}

bool TLaser::Disconnect() {
  RaiseDialogue();  // what was said on this connection, before OnDisconnect
  const bool wasOpen = Connected();
  const bool closed = Close();
  if (closed || !wasOpen) {
    Reader_->Deactivate();
    // Commands queued for this connection must never reach the next one, and the writer must
    // not wait out an exchange whose port is gone.
    AbandonQueue();
    Pool_->Clear();
    Writer_->Activate();
    if (Waiting_) {
      StopPhaseTimer();
      Waiting_ = false;
    }
    // Identification and detection belong to the connection that ended: the next one runs
    // them afresh, and nothing waits for answers that can no longer come.
    EndSequences();
    ResetCommandErrors();
    ResetIdentity();
    {
      std::lock_guard lk(ReceiveLock_);
      ReceivedText_.clear();
      Dialogue_.clear();
      DialogueBytes_ = 0;
    }
    for (auto& r : ProtectionPulseRange_) r = 0;
    for (auto& row : ProtectionCurrentLimit_)
      for (auto& v : row) v = 0;
    // A reset or error clearing cannot finish on a closed port: it ends now, with its event,
    // so that whoever waits for it learns at once (raised last, with the state already reset).
    if (Reseting_) {
      StopPhaseTimer();
      Reseting_ = false;
      if (PhaseIsReset_) {
        if (OnReseted) OnReseted(this);
      } else if (OnClearedError) {
        OnClearedError(this);
      }
    }
  }
  return closed;
}

void TLaser::EndSequences() {
  ConnectingFlag_ = false;
  CountingCurrents_ = false;
  CountingTriggerModes_ = false;
  CountingFrequencies_ = false;
  CheckingPulsePicker_ = false;
}

void TLaser::PortLost() {
  if (Connected() && Lost()) Disconnect();
}

void TLaser::ResetIdentity() {
  SN_ = 0;
  LHCSN_ = kUnknownLHCSN;
  LHCVersion_ = 3;
  CurrentMask_ = TriggerMask_ = FrequencyMask_ = TBranchMask{};
  HasRegulator_ = false;
  HasPulsePicker_ = false;
  RegulatorOn_ = true;
  {
    std::lock_guard lk(CodesLock_);
    ErrorCodes_.clear();
    WarningCodes_.clear();
  }
  FreeTriggerPPB_ = kUnknownFreeTrigger;
  FreeTriggerMode_ = kUnknownFreeTrigger;
  LDRunningTime_[0] = LDRunningTime_[1] = kUnknownLDRunningTime;
  RunningTime_ = kUnknownRunningTime;
  WarmUpRequired_ = false;
  LaserOnRequested_ = false;
  for (auto& o : Oven_) o = TOvenValues{};
  for (int b = 0; b < 4; ++b) CurrentMonitor_[b] = VoltageMonitor_[b] = CurrentDA_[b] = kNaN;
  Power_ = kNaN;
  for (auto& t : Temperature_) t = kNaN;
  for (auto& h : Humidity_) h = kNaN;
  FlowRate_ = kNaN;
  NominalRegulatorLevel_ = kNaN;
  ActualRegulatorLevel_ = kNaN;
}

bool TLaser::Detecting() const {
  return Connected() && (CountingCurrents_ || CountingFrequencies_ || CountingTriggerModes_ ||
                         CheckingPulsePicker_);
}

// --- Detection sequences ---------------------------------------------------------------------

void TLaser::WaitForSequence(const std::atomic<bool>& Running) {
  while (Running && Connected() && !Destroying_) {
    if (IsMainThread())
      CheckSynchronize(10);
    else
      qv::sleepMs(10);
  }
}

TBranchMask TLaser::CountCurrents(bool Wait) {
  if (!Connected()) return CurrentMask_;
  if (!CountingCurrents_) {
    CountingCurrents_ = true;
    ReadCurrent(1);
  }
  if (Wait) WaitForSequence(CountingCurrents_);
  return CurrentMask_;
}

TBranchMask TLaser::CountTriggerModes(bool Wait) {
  if (!CountingTriggerModes_) {
    CountingTriggerModes_ = true;
    ReadTriggerMode(1);
  }
  if (Wait) WaitForSequence(CountingTriggerModes_);
  return TriggerMask_;
}

TBranchMask TLaser::CountFrequencies(bool Wait) {
  if (!CountingFrequencies_) {
    CountingFrequencies_ = true;
    ReadFrequency(1);
  }
  if (Wait) WaitForSequence(CountingFrequencies_);
  return FrequencyMask_;
}

void TLaser::CheckPulsePicker() {
  if (!Connected() || CheckingPulsePicker_) return;
  CheckingPulsePicker_ = true;
  if (LHCVersion_ == 2)
    SendCommand(lcReadPulseCount, 0);
  else
    SendCommand(lcReadSeederFrequency, 0);
}

// --- Catalogue -------------------------------------------------------------------------------

void TLaser::BuildCommandCatalogue() {
  ::BuildCommandCatalogue(*CommandList_, LHCVersion_);
}
void TLaser::AddBranchCommands(bool RebuildFirst) {
  ::AddBranchCommands(*CommandList_, LHCVersion_, RebuildFirst);
}
void TLaser::AddSingleBranchCommands(bool RebuildFirst) {
  ::AddSingleBranchCommands(*CommandList_, LHCVersion_, RebuildFirst);
}
void TLaser::AddPickerRegulatorCommands(bool RebuildFirst) {
  ::AddPickerRegulatorCommands(*CommandList_, LHCVersion_, RebuildFirst);
}

void TLaser::CacheSpecialCommands() {
  const auto entries = CommandList_->Snapshot();
  std::lock_guard lk(SpecialLock_);
  for (int i = 0; i < static_cast<int>(entries.size()); ++i) {
    const TCommandSyntax& e = *entries[static_cast<std::size_t>(i)];
    switch (e.Command) {
      case lcReadErrorCode:
        ErrorCodeCmd_ = e.CmdStr;
        ErrorCodeIndex_ = i;
        break;
      case lcReadWarningCode:
        WarningCodeCmd_ = e.CmdStr;
        WarningCodeIndex_ = i;
        break;
      case lcClearError:
        ClearErrorCmd_ = e.CmdStr;
        break;
      case lcReset:
        ResetCmd_ = e.CmdStr;
        break;
      default:
        break;
    }
  }
}

// --- Phases and counters ---------------------------------------------------------------------

void TLaser::ClearErrorCodes() {
  std::lock_guard lk(CodesLock_);
  ErrorCodes_.clear();
}

void TLaser::StoreCodes(bool ErrorList, std::vector<std::uint16_t> Codes) {
  std::lock_guard lk(CodesLock_);
  (ErrorList ? ErrorCodes_ : WarningCodes_) = std::move(Codes);
}

std::vector<std::uint16_t> TLaser::ErrorCodes() const {
  std::lock_guard lk(CodesLock_);
  return ErrorCodes_;
}

std::vector<std::uint16_t> TLaser::WarningCodes() const {
  std::lock_guard lk(CodesLock_);
  return WarningCodes_;
}

bool TLaser::IsErrorFree() const {
  const std::uint32_t cls = State_ & 3;
  if (cls >= 2) return true;
  std::lock_guard lk(CodesLock_);
  return cls == 1 && ErrorCodes_.empty();
}

void TLaser::ResetCommandErrors() {
  std::lock_guard lk(CountersLock_);
  FailedCommands_.clear();
  CommandErrors_ = 0;
  VariousCommandErrors_ = 0;
}

void TLaser::CountFailure(TLaserCommand Command, std::uint8_t SubID) {
  std::lock_guard lk(CountersLock_);
  if (CommandErrors_ < 255) ++CommandErrors_;
  if (FailedCommands_.insert({Command, SubID}).second && VariousCommandErrors_ < 255)
    ++VariousCommandErrors_;
}

std::uint8_t TLaser::CommandErrors() const {
  std::lock_guard lk(CountersLock_);
  return CommandErrors_;
}

std::uint8_t TLaser::VariousCommandErrors() const {
  std::lock_guard lk(CountersLock_);
  return VariousCommandErrors_;
}

double TLaser::ProtectionCurrentLimit(int Category, int Branch) const {
  if (Category < 1 || Category > 4 || Branch < 1 || Branch > 4) return 0;
  return ProtectionCurrentLimit_[Category - 1][Branch - 1];
}

bool TLaser::BkQueryEnabled() const {
  return Pool_->Enabled();
}

void TLaser::SetBkQueryEnabled(bool Value) {
  Pool_->SetEnabled(Value);
  // An idle writer kicks the poller only when it next looks at the queue: let it look now.
  if (Value && Connected()) Writer_->Activate();
}

void TLaser::EndBackgroundQueries() {
  RecordingBackground_ = false;
  if (Connected()) Writer_->Activate();
}

void TLaser::BeginBackgroundQueries() {
  if (!RecordingBackground_) Pool_->Clear();
  RecordingBackground_ = true;
}

void TLaser::StartPhase(void (TLaser::*Handler)(), std::uint32_t ms) {
  InnerTimer_->SetOnElapsed(Handler);
  InnerTimer_->Start(ms);
}

void TLaser::StopPhaseTimer() {
  InnerTimer_->Deactivate();
}

void TLaser::StartWait(std::uint32_t ms) {
  if (Waiting_) return;
  Waiting_ = true;
  StartPhase(&TLaser::WaitFinished, ms);
}

void TLaser::WaitFinished() {
  StopPhaseTimer();
  if (!Connected()) return;
  Waiting_ = false;
  std::unique_lock lk(QueueLock_);
  Queue_.Remove(WaitIndex_, 1);
}

void TLaser::BeginErrorClearing() {
  Reseting_ = true;
  PhaseIsReset_ = false;
  ClearErrorCodes();
  StartPhase(&TLaser::ClearingTimeout, ErrorClearingDuration_);
  if (OnClearError) OnClearError(this);
}

void TLaser::EndErrorClearing() {
  Reseting_ = false;
  if (OnClearedError) OnClearedError(this);
  StopPhaseTimer();
}

void TLaser::ClearingTimeout() {
  StopPhaseTimer();
  if (Reseting_) {
    Reseting_ = false;
    if (OnClearedError) OnClearedError(this);
  }
}

void TLaser::BeginReset() {
  WarmUpRequired_ = false;
  LaserOnRequested_ = false;
  Reseting_ = true;
  PhaseIsReset_ = true;
  ClearErrorCodes();
  StartPhase(&TLaser::ResetTimeout, ResetingDuration_);
  if (OnReset) OnReset(this);
}

void TLaser::ResetFinished() {
  Reseting_ = false;
  if (OnReseted) OnReseted(this);
  StopPhaseTimer();
}

void TLaser::ResetTimeout() {
  StopPhaseTimer();
  if (Reseting_) {
    Reseting_ = false;
    if (OnReseted) OnReseted(this);
  }
}

// --- Queue access ----------------------------------------------------------------------------

void TLaser::Enqueue(const std::string& CmdStr, std::int32_t Index) {
  std::unique_lock lk(QueueLock_);
  Queue_.Push(CmdStr, Index);
}

void TLaser::WakeWriter() {
  // Called inside QueueLock by the queue itself.
  if (Connected() && Queue_.Count > 0) Writer_->Activate();
}

bool TLaser::QueueEmpty() const {
  std::shared_lock lk(QueueLock_);
  return Queue_.Count == 0;
}

std::size_t TLaser::QueuedCommands() const {
  std::shared_lock lk(QueueLock_);
  return static_cast<std::size_t>(Queue_.Count);
}

std::size_t TLaser::ReceivedBytes() const {
  std::lock_guard lk(ReceiveLock_);
  return ReceivedText_.size();
}

bool TLaser::HeadIsWait(std::int32_t WaitIndex) const {
  std::shared_lock lk(QueueLock_);
  const TStrQueueNode* h = Queue_.Peek();
  return h && !h->Sent && h->Index == WaitIndex;
}

TCommandSyntaxPtr TLaser::EntryFor(std::int32_t Index, const std::string& CmdStr) const {
  // A queued index names the entry only while that entry still carries the text: after a
  // rebuild the same index may name another command.
  if (Index >= 0) {
    TCommandSyntaxPtr e = CommandList_->TryItem(Index);
    if (e && !e->CmdStr.empty() && CmdStr.compare(0, e->CmdStr.size(), e->CmdStr) == 0 &&
        (CmdStr.size() == e->CmdStr.size() || CmdStr[e->CmdStr.size()] == ' '))
      return e;
  }
  const int i = CommandList_->IndexOfText(CmdStr);
  return i >= 0 ? CommandList_->TryItem(i) : nullptr;
}

TLaser::THead TLaser::TakeHead() {
  THead h;
  std::unique_lock lk(QueueLock_);
  TStrQueueNode* n = Queue_.Peek();
  if (!n) return h;
  h.Valid = true;
  h.Index = n->Index;
  h.CmdStr = n->CmdStr;
  if (n->Index >= 0) {
    TCommandSyntaxPtr e = CommandList_->TryItem(n->Index);
    h.IsWait = e && e->Command == lcWaitBeforeNext && !n->Sent;
  }
  if (!h.IsWait) {
    n->Sent = 1;
    h.Seq = ++NextSeq_;
    CurrentSeq_ = h.Seq;
  }
  return h;
}

TLaser::TPending TLaser::PeekPending() const {
  TPending p;
  {
    std::shared_lock lk(QueueLock_);
    const TStrQueueNode* n = Queue_.Peek();
    if (!n || !n->Sent) return p;
    p.Seq = CurrentSeq_;
    if (p.Seq == 0 || p.Seq == AnsweredSeq_ || p.Seq == FailedSeq_) return p;
    p.CmdStr = n->CmdStr;
    p.Index = n->Index;
  }
  p.Valid = true;
  p.Entry = EntryFor(p.Index, p.CmdStr);
  return p;
}

void TLaser::DropCommand(std::uint64_t Seq) {
  std::unique_lock lk(QueueLock_);
  const TStrQueueNode* n = Queue_.Peek();
  if (n && n->Sent && CurrentSeq_ == Seq) {
    CurrentSeq_ = 0;
    Queue_.Pop();
  }
}

void TLaser::AbandonQueue() {
  {
    std::unique_lock lk(QueueLock_);
    Queue_.Clear();
    CurrentSeq_ = 0;
  }
  ErrorAnswerEvent.set();
}

void TLaser::Answered(std::uint64_t Seq) {
  AnsweredSeq_ = Seq;
  AnswerEvent.set();
}

void TLaser::Failed(std::uint64_t Seq) {
  FailedSeq_ = Seq;
  ErrorAnswerEvent.set();
}

TLaser::TOutcome TLaser::AwaitOutcome(std::uint64_t Seq) {
  const std::int64_t end =
      qv::counterNow() + std::int64_t(ResponseTimeout) * qv::counterFrequency() / 1000;
  for (;;) {
    if (AnsweredSeq_ == Seq) return TOutcome::Answered;
    if (FailedSeq_ == Seq) return TOutcome::Failed;
    if (CurrentSeq_ != Seq || Writer_->Terminated() || !Connected()) return TOutcome::Cancelled;
    const std::int64_t now = qv::counterNow();
    if (now >= end) return TOutcome::TimedOut;
    const int left = static_cast<int>((end - now) * 1000 / qv::counterFrequency()) + 1;
    if (qv::waitForAny({&AnswerEvent, &ErrorAnswerEvent}, left) >= 0) {
      // A wake for an older exchange or a disconnect: look again with the events cleared; the
      // parser stores the exchange number before it sets an event, so nothing is lost.
      AnswerEvent.reset();
      ErrorAnswerEvent.reset();
    }
  }
}
