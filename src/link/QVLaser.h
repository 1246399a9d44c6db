// TLaser: one laser power supply on one serial port. It owns the command catalogue, the command
// queue, the four worker threads (writer, reader, parser, inner timer) and the background poller,
// runs identification, detection, error clearing and reset, and keeps the last value of every
// quantity the laser reports. Public operations, handlers and events run on the main thread.
#pragma once

#include <atomic>
#include <cmath>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <limits>
#include <memory>
#include <mutex>
#include <set>
#include <shared_mutex>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/LaserCommand.h"
#include "link/ComPort.h"
#include "link/CommandQueue.h"
#include "link/QVUtils.h"
#include "platform/Event.h"

class TLaser;
class TBkgrndPool;
class TOutputMonitor;
class TInputMonitor;
class TBufferMonitor;
class TInnerTimer;
namespace qv {
struct PatternMatch;
}

enum TTriggerMode : std::uint8_t {
  tmInternal,
  tmExternal,
  tmCW,
  tmExternLVDS,
  tmGatedBNC,
  tmGatedLVDS,
  tmnop,
  tmHVOn,
  tmError
};

// A set of branches: bit b stands for branch b (1..4).
struct TBranchMask {
  std::uint8_t Bits = 0;

  static constexpr TBranchMask Of(std::initializer_list<int> branches) {
    TBranchMask m;
    for (int b : branches) m.Include(b);
    return m;
  }
  constexpr bool Contains(int branch) const {
    return branch >= 0 && branch < 8 && (Bits >> branch) & 1u;
  }
  constexpr void Include(int branch) {
    if (branch >= 0 && branch < 8) Bits = static_cast<std::uint8_t>(Bits | (1u << branch));
  }
  constexpr bool Empty() const { return Bits == 0; }
  constexpr bool operator==(const TBranchMask&) const = default;
};

struct TFirmwareVersion {
  std::uint8_t Day = 0;
  std::uint8_t Month = 0;
  std::uint16_t Year = 0;
  std::uint8_t Minor = 0;
  std::uint8_t Major = 0;
  // The console's comparison value: Year * 65536 + Month * 256 + Day.
  constexpr std::uint32_t Value() const {
    return static_cast<std::uint32_t>(Year) * 65536u + Month * 256u + Day;
  }
};

struct TOvenValues {
  double OvenTemperature = std::numeric_limits<double>::quiet_NaN();
  double ActualOvenTemperature = std::numeric_limits<double>::quiet_NaN();
  double OvenTempError = std::numeric_limits<double>::quiet_NaN();
  std::int16_t HeatingValue = -1;
};

// Whole match (element 0) and each capture group, each cut to 255 characters.
using TLaserMsg = std::vector<std::string>;

// How a command failed, for HandleFailure.
enum class TFailureKind : std::uint8_t { Timeout, ErrorAnswer, NotInCatalogue };

// Event types; the laser passes itself as Sender. TNotifyEvent (sender only) is TComPort's.
using TNotifyStr = std::function<void(TLaser& Sender, const std::string& buf)>;
using TNotifyStrEx =
    std::function<void(TLaser& Sender, std::uint8_t SubID, const std::string& buf)>;
using TNotifyFloat = std::function<void(TLaser& Sender, double value)>;
using TNotifyFloatEx = std::function<void(TLaser& Sender, std::uint8_t Branch, double Value)>;
using TNotifyFloatCat =
    std::function<void(TLaser& Sender, std::uint8_t Branch, std::uint8_t Category, double Value)>;
using TNotifyIntValue = std::function<void(TLaser& Sender, std::int32_t Value)>;
using TNotifyIntEx = std::function<void(TLaser& Sender, std::uint8_t Branch, std::int32_t Value)>;
using TNotifyOnOff = std::function<void(TLaser& Sender, bool IsOn)>;
using TNotifyRunningTime = std::function<void(TLaser& Sender, std::uint32_t value)>;
using TNotifyTriggerMode =
    std::function<void(TLaser& Sender, std::uint8_t Branch, TTriggerMode Mode)>;
using TNotifyBranches = std::function<void(TLaser& Sender, TBranchMask Branches)>;
using TNotifyFirmwareVersion = std::function<void(TLaser& Sender, TFirmwareVersion version)>;
using TNotifyLaserParam =
    std::function<void(TLaser& Sender, TLaserCommand Command, std::uint8_t SubID)>;
using TNotifyLaserCommand =
    std::function<void(TLaser& Sender, const std::string& Command, const std::string& Result)>;
using TNotifyCommandError = std::function<void(TLaser& Sender, TLaserCommand Command,
                                               std::uint8_t SubID, const std::string& CmdStr)>;

// The background poller: a fixed list of reads fed into the command queue one at a time,
// round-robin, 10 ms after the queue runs empty. The delay is kept by the writer thread, which
// is the one that finds the queue empty: it parks until the delay is over (or until a command
// comes) and then feeds the read itself, so a background read costs no thread of its own and no
// wake-up besides the exchange.
class TBkgrndPool {
 public:
  explicit TBkgrndPool(TLaser& laser);
  ~TBkgrndPool();
  TBkgrndPool(const TBkgrndPool&) = delete;
  TBkgrndPool& operator=(const TBkgrndPool&) = delete;

  void Clear();  // stops the timer and empties the list (the next pass starts at item 0)
  int Count() const;
  void Add(const std::string& CmdStr, std::int32_t Index);
  void RequestErrorCode() { ErrorCodeRequested_ = true; }
  void RequestWarningCode() { WarningCodeRequested_ = true; }
  bool ErrorCodeRequested() const { return ErrorCodeRequested_; }
  bool WarningCodeRequested() const { return WarningCodeRequested_; }
  bool Enabled() const { return Enabled_; }
  void SetEnabled(bool Value);
  // Writer thread: arm the 10 ms delay when enabled and the list is not empty / disarm it.
  void Kick();
  void StopTimer();
  // The counter value at which the armed delay ends; 0 while disarmed.
  std::int64_t Due() const { return Due_.load(); }
  static constexpr std::uint32_t Interval = 10;  // ms
  // The next item: round-robin, with a requested error-code (then warning-code) read inserted
  // before item 1. Caller holds the write lock.
  TLaserCommandItem Next();
  // The end of the delay (writer thread): disarm, and queue one read, ahead of a pending WAIT if
  // there is one.
  void Tick();

  // Items as currently listed (for tests and the console's display).
  std::vector<TLaserCommandItem> Items() const;

 private:
  TLaser& Laser_;
  std::atomic<std::int64_t> Due_{0};  // end of the armed delay (counter value), 0: disarmed
  std::atomic<bool> Enabled_{true};
  std::atomic<bool> ErrorCodeRequested_{false};
  std::atomic<bool> WarningCodeRequested_{false};
  mutable std::shared_mutex Lock_;  // guards List_; taken before the laser's QueueLock
  TCircularQueue<TLaserCommandItem> List_;
};

class TLaser : public TComPort {
 public:
  static constexpr unsigned ResponseTimeout = 800;  // ms
  // Values that stand for "not reported yet".
  static constexpr std::int32_t kUnknownLHCSN = -32767;
  static constexpr std::uint32_t kUnknownRunningTime = 4294967295u;
  static constexpr std::uint16_t kUnknownFreeTrigger = 65535;
  static constexpr std::int32_t kUnknownLDRunningTime = -1;
  static constexpr std::int16_t kUnknownHeatingValue = -1;
  static constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  // Longest run of received bytes without a carriage return that is kept (the oldest go).
  static constexpr std::size_t kMaxPartialLine = 64 * 1024;
  // Most received bytes held while the parser is busy; later bytes are dropped.
  static constexpr std::size_t kMaxReceived = 1024 * 1024;

  TLaser();
  ~TLaser() override;
  TLaser(const TLaser&) = delete;
  TLaser& operator=(const TLaser&) = delete;

  // --- Connection and identity ---------------------------------------------------------------
  bool Open() override;  // raises OnConnect (reader running) or OnConnectFail
  // Also drops the commands queued for the port that closed (a port change reopens at once).
  bool Close() override;
  bool Connect();     // Open, then read the serial number with the connecting flag set
  bool Disconnect();  // Close (OnDisconnect) and restore every unknown value
  void ResetIdentity();

  // Detection sequences: each returns its current result; Wait polls until it ended.
  TBranchMask CountCurrents(bool Wait = false);
  TBranchMask CountTriggerModes(bool Wait = false);
  TBranchMask CountFrequencies(bool Wait = false);
  void CheckPulsePicker();

  // Catalogue builders for the current LHCVersion (each ends with one change notification).
  void BuildCommandCatalogue();
  void AddBranchCommands(bool RebuildFirst = false);
  void AddSingleBranchCommands(bool RebuildFirst = false);
  void AddPickerRegulatorCommands(bool RebuildFirst = false);

  // --- Commands --------------------------------------------------------------------------------
  void SendCommand(TLaserCommand Command, std::uint8_t SubID, const std::string& Argument = "");
  void SendCommand(TLaserCommand Command) { SendCommand(Command, 0, ""); }
  void Send(const std::string& CmdStr, std::int32_t Index);  // -1: no catalogue entry
  void SendFloat(TLaserCommand Command, std::uint8_t SubID, double Value);
  void QueueWait(std::uint32_t ms);
  void StoreSeederFrequency(double Value) { SeederFrequency_ = Value; }

  void ReadStatus();
  void ReadState();
  void ReadLHCSN();
  void ReadFirmwareVersion();
  void ReadRunningTime();
  void ReadCurrent(std::uint8_t Branch);
  void ReadMaxCurrent(std::uint8_t Branch);
  void ReadFrequency(std::uint8_t Branch);
  void ReadTriggerMode(std::uint8_t Branch);
  void ReadTemperature(std::uint8_t Index);
  void ReadPulseCount();
  void ReadPulseNumber();
  void ReadRegulatorLevel();
  void ReadActualRegulatorLevel();
  void ReadRegulatorState();
  void ReadProtectionPulseRange(std::uint8_t Index);
  void ReadProtectionCurrentLimit(std::uint8_t Branch, std::uint8_t PeriodClass);
  void ReadOvenHeatingValue(std::uint8_t Oven);
  void SetCurrent(std::uint8_t Branch, double Value);
  void SetFrequency(std::uint8_t Branch, double Value);
  void SetRegulatorLevel(double Value);
  void SetPulseCount(std::int32_t N);
  void SetPulseNumber(std::int32_t N);
  void SetRegulator(bool On);
  void SetLaserOn(bool On);
  void WarmUp();
  void SetTriggerMode(TTriggerMode Mode, std::uint8_t Branch);
  void ClearError();
  void Reset();
  void SaveSettings();

  // Background polling: between Begin and End every Send goes to the background list.
  void BeginBackgroundQueries();
  void EndBackgroundQueries();
  TBkgrndPool& BkgrndPool() { return *Pool_; }

  // --- Phases and counters ---------------------------------------------------------------------
  void ClearErrorCodes();
  void ResetCommandErrors();
  bool IsErrorFree() const;
  bool IsWarningFree() const { return State_ < 4096; }

  // --- Published properties --------------------------------------------------------------------
  TCommandList& CommandList() { return *CommandList_; }
  const TCommandList& CommandList() const { return *CommandList_; }
  std::uint8_t AllowedErrors() const { return AllowedErrors_; }
  void SetAllowedErrors(std::uint8_t Value) { AllowedErrors_ = Value; }
  std::uint8_t CommandErrors() const;
  std::uint8_t VariousCommandErrors() const;
  std::uint32_t ResetingDuration() const { return ResetingDuration_; }
  void SetResetingDuration(std::uint32_t ms) { ResetingDuration_ = ms; }
  std::uint32_t ErrorClearingDuration() const { return ErrorClearingDuration_; }
  void SetErrorClearingDuration(std::uint32_t ms) { ErrorClearingDuration_ = ms; }
  bool Reseting() const { return Reseting_; }
  bool Connecting() const { return Connected() && ConnectingFlag_; }
  bool Detecting() const;
  bool BkQueryEnabled() const;
  void SetBkQueryEnabled(bool Value);
  std::uint16_t SN() const { return SN_; }
  std::int32_t LHCSN() const { return LHCSN_; }
  std::uint8_t LHCVersion() const { return LHCVersion_; }
  bool HasPulsePicker() const { return HasPulsePicker_; }
  bool HasRegulator() const { return HasRegulator_; }
  std::uint32_t State() const { return State_; }
  double RawState() const { return RawState_; }
  double Power() const { return Power_; }
  std::uint32_t RunningTime() const { return RunningTime_; }
  double SeederFrequency() const { return SeederFrequency_; }
  double ActualSeederFrequency() const { return ActualSeederFrequency_; }

  // --- Last reported values (index outside its range: the unknown value) ------------------------
  double Current(int Branch) const { return at(Current_, Branch, 1, 0.0); }
  double MaxCurrent(int Branch) const { return at(MaxCurrent_, Branch, 1, 0.0); }
  double Frequency(int Branch) const { return at(Frequency_, Branch, 1, 0.0); }
  TTriggerMode TriggerMode(int Branch) const { return at(TriggerMode_, Branch, 1, tmCW); }
  double CurrentMonitor(int Branch) const { return at(CurrentMonitor_, Branch, 1, kNaN); }
  double CurrentDA(int Branch) const { return at(CurrentDA_, Branch, 1, kNaN); }
  double VoltageMonitor(int Branch) const { return at(VoltageMonitor_, Branch, 1, kNaN); }
  double Temperature(int Index) const { return at(Temperature_, Index, 0, kNaN); }  // 0..4
  double Humidity(int Index) const { return at(Humidity_, Index, 1, kNaN); }        // 1..5
  double FlowRate() const { return FlowRate_; }
  TOvenValues Oven(int Index) const { return at(Oven_, Index, 1, TOvenValues{}); }  // 1..3
  std::int32_t LDRunningTime(int Index) const {                                     // 1..2, minutes
    return at(LDRunningTime_, Index, 1, kUnknownLDRunningTime);
  }
  std::int32_t PulsePickerCount() const { return PulsePickerCount_; }
  std::int32_t PulsePickerNumber() const { return PulsePickerNumber_; }
  double NominalRegulatorLevel() const { return NominalRegulatorLevel_; }
  double ActualRegulatorLevel() const { return ActualRegulatorLevel_; }
  bool RegulatorOn() const { return RegulatorOn_; }
  std::uint16_t FreeTriggerMode() const { return FreeTriggerMode_; }
  std::uint16_t FreeTriggerPPB() const { return FreeTriggerPPB_; }
  std::int32_t ProtectionPulseRange(int Index) const {  // 1..4
    return at(ProtectionPulseRange_, Index, 1, 0);
  }
  // Category (period class) 1..4, branch 1..4.
  double ProtectionCurrentLimit(int Category, int Branch) const;
  TFirmwareVersion FirmwareVersion() const { return FirmwareVersion_; }
  TBranchMask CurrentMask() const { return CurrentMask_; }
  TBranchMask TriggerMask() const { return TriggerMask_; }
  TBranchMask FrequencyMask() const { return FrequencyMask_; }
  std::vector<std::uint16_t> ErrorCodes() const;
  std::vector<std::uint16_t> WarningCodes() const;
  bool LaserIsOn() const { return LaserIsOn_; }
  bool WarmUpRequired() const { return WarmUpRequired_; }
  bool LaserOnRequested() const { return LaserOnRequested_; }

  // Internal flags, readable for the console and tests.
  bool CountingCurrents() const { return CountingCurrents_; }
  bool CountingTriggerModes() const { return CountingTriggerModes_; }
  bool CountingFrequencies() const { return CountingFrequencies_; }
  bool CheckingPulsePicker() const { return CheckingPulsePicker_; }
  bool RecordingBackground() const { return RecordingBackground_; }
  bool Waiting() const { return Waiting_; }
  std::size_t QueuedCommands() const;  // commands in the queue, the one in flight included
  std::size_t ReceivedBytes() const;   // received bytes not yet consumed

  // --- Events (OnConnect and OnDisconnect come from TComPort) ----------------------------------
  TNotifyEvent OnConnectFail;
  TNotifyEvent OnConnectLaserFail;
  TNotifyEvent OnLaserConnected;
  TNotifyIntValue OnSN;
  TNotifyIntValue OnLHCSN;
  TNotifyEvent OnSNMismatch;
  TNotifyFirmwareVersion OnFirmwareVersion;
  TNotifyOnOff OnLaserON;
  TNotifyIntValue OnLaserState;
  TNotifyEvent OnLaserError;
  TNotifyEvent OnLaserWarning;
  TNotifyLaserParam OnLaserParam;
  TNotifyLaserCommand OnLaserCommand;
  TNotifyFloatEx OnCurrent;
  TNotifyFloatEx OnMaxCurrent;
  TNotifyFloatEx OnFrequency;
  TNotifyFloatEx OnTemperature;
  TNotifyFloatEx OnHumidity;
  TNotifyBranches OnCurrentCounted;
  TNotifyBranches OnFrequencyCounted;
  TNotifyBranches OnTriggerCounted;
  TNotifyTriggerMode OnTriggerMode;
  TNotifyRunningTime OnRunningTime;
  TNotifyFloat OnFlowRate;
  TNotifyFloat OnPulsePickerCount;
  TNotifyFloat OnPulsePickerNumber;
  TNotifyFloat OnNominalRegulatorLevel;
  TNotifyFloat OnActualRegulatorLevel;
  TNotifyFloat OnSeederFrequency;
  TNotifyFloat OnActualSeederFrequency;
  TNotifyOnOff OnRegualtorState;
  TNotifyIntEx OnProtectionPulseRange;
  TNotifyFloatCat OnProtectionCurrentLimit;
  TNotifyStrEx OnCustomizedCmd;
  TNotifyEvent OnPSLaserChecked;
  TNotifyCommandError OnCommandError;
  TNotifyCommandError OnCommandTimeout;
  TNotifyStr OnSend;
  TNotifyStr OnReceive;
  TNotifyStr OnMointorError;
  TNotifyEvent OnClearError;
  TNotifyEvent OnClearedError;
  TNotifyEvent OnReset;
  TNotifyEvent OnReseted;

  // --- Handlers the worker threads hand to the main thread ------------------------------------
  // Public so that tests can drive them; the application does not call them.
  void DispatchAnswer(const TCommandSyntax& Entry, const TLaserMsg& Captures);
  bool HandleFailure(const TCommandSyntax& Entry, TFailureKind Kind, bool RetriesAllowed);
  void HandleTimeout(const std::string& CmdStr);
  void StartWait(std::uint32_t ms);
  void WaitFinished();
  void BeginErrorClearing();
  void EndErrorClearing();
  void ClearingTimeout();
  void BeginReset();
  void ResetTimeout();
  void ResetFinished();

 private:
  friend class TLaserMonitorThread;
  friend class TOutputMonitor;
  friend class TInputMonitor;
  friend class TBufferMonitor;
  friend class TInnerTimer;
  friend class TBkgrndPool;
  friend class TReceivePathProbe;  // plays reader and writer around the parser (fuzz/)

  template <typename T, std::size_t N>
  static T at(const T (&a)[N], int i, int first, T unknown) {
    int k = i - first;
    return (k >= 0 && k < static_cast<int>(N)) ? a[k] : unknown;
  }

  // The head of the queue as the writer takes it.
  struct THead {
    bool Valid = false;
    bool IsWait = false;  // a WAIT node: never sent
    std::int32_t Index = -1;
    std::string CmdStr;
    std::uint64_t Seq = 0;  // exchange number given when it was marked sent
  };
  // The in-flight command as the parser sees it.
  struct TPending {
    bool Valid = false;
    std::uint64_t Seq = 0;
    std::string CmdStr;
    TCommandSyntaxPtr Entry;  // null when no catalogue entry names it
    int Index = -1;
  };
  enum class TOutcome { Answered, Failed, TimedOut, Cancelled };

  // Queue access (QueueLock).
  void Enqueue(const std::string& CmdStr, std::int32_t Index);
  THead TakeHead();                     // writer: copy the head; mark it sent unless a WAIT
  TPending PeekPending() const;         // parser: the sent head not yet answered
  void DropCommand(std::uint64_t Seq);  // writer: pop the head if it is still that exchange
  bool QueueEmpty() const;
  bool HeadIsWait(std::int32_t WaitIndex) const;
  void AbandonQueue();  // empty the queue and cancel the exchange in flight
  void WakeWriter();    // the queue's OnChange, called with QueueLock held
  TOutcome AwaitOutcome(std::uint64_t Seq);
  void Answered(std::uint64_t Seq);  // parser: the exchange got its answer (or code list)
  void Failed(std::uint64_t Seq);    // parser: the exchange got "ERROR"
  TCommandSyntaxPtr EntryFor(std::int32_t Index, const std::string& CmdStr) const;

  void CacheSpecialCommands();
  // Runs fn on the main thread and waits for it, unless the laser is being destroyed.
  void Synced(const std::function<void()>& fn);
  void CountFailure(TLaserCommand Command, std::uint8_t SubID);
  void PortLost();      // main thread: the line hung up
  void EndSequences();  // clears the connecting flag and the four detection flags
  bool RetryCheck(const TCommandSyntax& Entry, bool RetriesAllowed);
  void DetectionFailureStep(const TCommandSyntax& Entry);
  void PickerAnswerStep(TLaserCommand Command);
  void DispatchState(const TCommandSyntax& Entry, const TLaserMsg& Captures);
  void StartPhase(void (TLaser::*Handler)(), std::uint32_t ms);
  void StopPhaseTimer();
  void StoreCodes(bool ErrorList, std::vector<std::uint16_t> Codes);
  void WaitForSequence(const std::atomic<bool>& Running);

  // Owned parts. The threads are shut down in the destructor before anything below goes.
  std::unique_ptr<TCommandList> CommandList_;
  std::unique_ptr<TBkgrndPool> Pool_;
  std::unique_ptr<TBufferMonitor> Parser_;
  std::unique_ptr<TInputMonitor> Reader_;
  std::unique_ptr<TOutputMonitor> Writer_;
  std::unique_ptr<TInnerTimer> InnerTimer_;

  qv::Event InputWakeEvent{qv::Event::Reset::Manual};    // breaks the reader's waits
  qv::Event AnswerEvent{qv::Event::Reset::Manual};       // the exchange got its answer
  qv::Event ErrorAnswerEvent{qv::Event::Reset::Manual};  // "ERROR", a shutdown or a disconnect
  qv::Event ReceiveEvent{qv::Event::Reset::Auto};        // bytes were appended (code-list read)

  mutable std::shared_mutex QueueLock_;  // guards Queue_, NextSeq_ and CurrentSeq_
  TStrQueue Queue_;
  std::uint64_t NextSeq_ = 0;
  std::atomic<std::uint64_t> CurrentSeq_{0};   // exchange of the sent head; 0: none
  std::atomic<std::uint64_t> AnsweredSeq_{0};  // last exchange that got its answer
  std::atomic<std::uint64_t> FailedSeq_{0};    // last exchange answered "ERROR"
  mutable std::mutex ReceiveLock_;             // guards ReceivedText_, Dialogue_ and DialogueBytes_
  std::string ReceivedText_;                   // received, upper-cased, not yet consumed
  // Commands written and raw reads, in order, not yet raised as OnSend / OnReceive. The next
  // hand-over to the main thread raises them first, so the dialogue is reported in order and
  // before the answers it carries, without a hand-over of its own.
  struct TDialogue {
    bool Sent;  // OnSend; otherwise OnReceive
    std::string Text;
  };
  std::vector<TDialogue> Dialogue_;
  std::size_t DialogueBytes_ = 0;
  void LogDialogue(bool sent, std::string text);
  bool DialoguePending() const;
  std::size_t DialogueItems() const;
  void RaiseDialogue();  // main thread
  // Guards CommandErrors_, VariousCommandErrors_ and FailedCommands_.
  mutable std::mutex CountersLock_;
  std::uint8_t CommandErrors_ = 0;
  std::uint8_t VariousCommandErrors_ = 0;
  std::set<std::pair<TLaserCommand, std::uint8_t>> FailedCommands_;
  mutable std::mutex CodesLock_;  // guards ErrorCodes_ and WarningCodes_
  std::vector<std::uint16_t> ErrorCodes_;
  std::vector<std::uint16_t> WarningCodes_;

  // Flags that worker threads read or write.
  std::atomic<bool> Destroying_{false};
  std::atomic<bool> Waiting_{false};
  std::atomic<std::int32_t> WaitIndex_{-1};  // index carried by the WAIT node being waited on
  std::atomic<bool> Reseting_{false};
  std::atomic<bool> LaserOnRequested_{false};
  std::atomic<bool> WarmUpRequired_{false};
  std::atomic<bool> ConnectingFlag_{false};
  std::atomic<bool> CountingCurrents_{false};
  std::atomic<bool> CountingTriggerModes_{false};
  std::atomic<bool> CountingFrequencies_{false};
  std::atomic<bool> CheckingPulsePicker_{false};
  std::atomic<bool> RecordingBackground_{false};
  std::atomic<std::uint8_t> AllowedErrors_{3};

  // Catalogue texts cached by CacheSpecialCommands.
  mutable std::mutex SpecialLock_;  // guards the four texts and two indices below
  std::string ErrorCodeCmd_, WarningCodeCmd_, ClearErrorCmd_, ResetCmd_;
  std::int32_t ErrorCodeIndex_ = -1, WarningCodeIndex_ = -1;

  // Main-thread state.
  bool PhaseIsReset_ = false;  // the phase shown by Reseting is a reset, not an error clearing
  std::uint32_t ResetingDuration_ = 19000;
  std::uint32_t ErrorClearingDuration_ = 19000;
  std::uint16_t SN_ = 0;
  std::int32_t LHCSN_ = kUnknownLHCSN;
  std::atomic<std::uint8_t> LHCVersion_{3};
  bool HasPulsePicker_ = false;
  bool HasRegulator_ = false;
  std::uint32_t State_ = 0;
  double RawState_ = 0;
  double Power_ = kNaN;
  std::uint32_t RunningTime_ = kUnknownRunningTime;
  double SeederFrequency_ = 1.0;
  double ActualSeederFrequency_ = 0;
  double Current_[4] = {0, 0, 0, 0};
  double MaxCurrent_[4] = {0, 0, 0, 0};
  double Frequency_[4] = {0, 0, 0, 0};
  TTriggerMode TriggerMode_[4] = {tmCW, tmCW, tmCW, tmCW};
  double CurrentMonitor_[4] = {kNaN, kNaN, kNaN, kNaN};
  double CurrentDA_[4] = {kNaN, kNaN, kNaN, kNaN};
  double VoltageMonitor_[4] = {kNaN, kNaN, kNaN, kNaN};
  double Temperature_[5] = {kNaN, kNaN, kNaN, kNaN, kNaN};
  double Humidity_[5] = {kNaN, kNaN, kNaN, kNaN, kNaN};
  double FlowRate_ = kNaN;
  TOvenValues Oven_[3];
  std::int32_t LDRunningTime_[2] = {-1, -1};
  std::int32_t PulsePickerCount_ = 0;
  std::int32_t PulsePickerNumber_ = 0;
  double NominalRegulatorLevel_ = kNaN;
  double ActualRegulatorLevel_ = kNaN;
  bool RegulatorOn_ = true;
  std::uint16_t FreeTriggerMode_ = kUnknownFreeTrigger;
  std::uint16_t FreeTriggerPPB_ = kUnknownFreeTrigger;
  std::int32_t ProtectionPulseRange_[4] = {0, 0, 0, 0};
  double ProtectionCurrentLimit_[4][4] = {};  // [class-1][branch-1]
  TFirmwareVersion FirmwareVersion_;
  TBranchMask CurrentMask_, TriggerMask_, FrequencyMask_;
  bool LaserIsOn_ = false;
};
