// The operator console without widgets: owns the laser object, the explanation lists, the
// parameter buffer and the live settings record, handles every event of the laser, makes the
// console's decisions and publishes what a view shows as plain state (Display()) and events.
// Main thread only; the laser delivers its events there.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/ErrorExplain.h"
#include "console/ConsoleTimer.h"
#include "console/LaserStatus.h"
#include "console/PanelLayout.h"
#include "console/PulseRate.h"
#include "console/TerminalLog.h"
#include "console/TrendStore.h"
#include "link/QVLaser.h"
#include "settings/Options.h"

class TQVLaserControl;
class TLaserParamBuffer;

// Questions and boxes the console puts to its view. The defaults answer like an absent operator:
// messages go nowhere, dialogs are cancelled.
//
// The laser's events reach the console inside a hand-over, while a worker thread waits for the
// handler to return. So a dialog or box that a laser event calls for (the port message of a
// failed connection, the recording's save dialog, the recording's write-failure box) is never
// opened inside the handler: the console queues it (ForceQueue) and opens it from the main
// thread's loop once the hand-over has returned, and does what follows from the answer then.
// Answers keep being matched and polling goes on while the operator looks at it. Boxes the
// operator's own clicks ask for (error lists, the stop question, the password, the options,
// conversion errors) open at once.
class TQVLaserControlView {
 public:
  enum class MessageKind { Error, Warning, Information };
  virtual ~TQVLaserControlView() = default;
  virtual void ShowMessage(const std::string& /*title*/, const std::string& /*text*/,
                           MessageKind /*kind*/) {}
  // The standard conversion error of a typed number.
  virtual void ShowConversionError(const std::string& /*text*/) {}
  // The save dialog for a recording; nothing when cancelled.
  virtual std::optional<std::string> AskRecordingFile(const std::string& /*proposedName*/) {
    return std::nullopt;
  }
  virtual bool ConfirmStopRecording(const std::string& /*question*/) { return false; }
  virtual std::optional<std::string> PasswordQuery(const std::string& /*caption*/,
                                                   const std::string& /*prompt*/) {
    return std::nullopt;
  }
  // The options dialog (ChangeOptionsClick); true when the operator changed something.
  virtual bool EditOptions(TQVLaserControl& /*console*/) { return false; }
  // A pause of the main thread (the console's 200 ms and 50 ms waits).
  virtual void Pause(int ms);
};

// An extension window as the console sees it: opened for the lasers it names, closed at
// disconnection, asked to repeat its start-up commands after a reset.
class TCustomizedTab {
 public:
  virtual ~TCustomizedTab() = default;
  virtual bool ServesLaser(int32_t serial) const = 0;
  virtual void OpenFor(TQVLaserControl& console) = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  virtual void SendStartupCommands() = 0;
};

// Everything the view draws, kept current by the console.
struct TConsoleDisplay {
  std::string serialLabel = "TESSARIX";       // lblSN
  bool connectedGlyph = false;                // ConnectLaser's picture
  bool coverShown = true;                     // DisconnectedPanel
  bool terminalOnlyButton = true;             // TerminalOnly
  TStatusDisplay status;                      // symbol, status caption, Laser On, badge
  bool warnSymbolVisible = true;              // hidden while the terminal is open
  TPanelLayout layout = DesignedLayout();     // read-outs, entry items, tabs
  std::string selectedTab;                    // "" when none is selected
  // Read-out texts, index = branch.
  std::string nomCurrent[5] = {"", "ERROR", "ERROR", "ERROR", "ERROR"};
  std::string maxCurrent[5] = {"", "ERROR", "ERROR", "ERROR", "ERROR"};
  std::string actFrequency[3] = {"", "", ""};
  std::string triggerMode[3] = {"", "", ""};
  std::string regulatorLevel = "100.00";
  bool regulatorOn = true;                    // blue level, else silver
  // Entry fields.
  std::string currentField[5];
  std::string frequencyField[3] = {"", "1k", "1M"};
  std::string powerRegulatorField = "100";
  std::string cmdBox;
  // Terminal.
  bool advancedOpen = false;
  bool advancedSlides = true;  // the terminal's last opening or closing moves (not when the
                               // terminal alone is opened, nor at a disconnection)
  bool closeAdvancedEnabled = true;
  bool terminalOnlyMode = false;
  // Recording lamp.
  bool recordingLampVisible = false;
  bool recordingLampBlinking = false;
  // Protection limits.
  bool protectionPanelVisible = false;
  TProtectionPanel protection;
};

class TQVLaserControl {
 public:
  using TConsoleEvent = std::function<void(TQVLaserControl& Sender)>;
  using TNotifyLaserStatus = std::function<void(TQVLaserControl& Sender, TQVLaserStatus Status)>;
  using TNotifyText = std::function<void(TQVLaserControl& Sender, const std::string& Text)>;

  // timer: the automatic-detection timer (UpdateTimer); view may be null (no questions asked).
  explicit TQVLaserControl(std::unique_ptr<qv::ConsoleTimer> timer,
                           TQVLaserControlView* view = nullptr);
  ~TQVLaserControl();
  TQVLaserControl(const TQVLaserControl&) = delete;
  TQVLaserControl& operator=(const TQVLaserControl&) = delete;

  // --- Owned parts and state ----------------------------------------------------------------
  TLaser& Laser() { return *Laser_; }
  const TLaser& Laser() const { return *Laser_; }
  qv::ConsoleTimer& UpdateTimer() { return *UpdateTimer_; }
  TExplanationList& ErrorExplanations() { return ErrorExplanations_; }
  TExplanationList& WarningExplanations() { return WarningExplanations_; }
  TLaserParamBuffer& ParamBuffer() { return *ParamBuffer_; }
  TOptions& Options() { return Options_; }
  const TConsoleDisplay& Display() const { return Display_; }
  TConsoleDisplay& MutableDisplay() { return Display_; }  // for the view's entry fields
  const qv::TerminalLog& TerminalLog() const { return Log_; }
  qv::TerminalLog& TerminalLog() { return Log_; }  // for the view's OnEdit
  const qv::CommandHistory& CmdHistory() const { return History_; }
  TQVLaserStatus LaserStatus() const { return LaserStatus_; }
  int RecordingState() const { return RecordingState_; }
  bool AutoReconnect() const { return AutoReconnect_; }
  bool UserConnect() const { return UserConnect_; }
  void SetUserConnect(bool value) { UserConnect_ = value; }
  void SetView(TQVLaserControlView* view) { View_ = view; }

  // AutoDetect: the first object given is adopted; later ones are copied in (Assign); null
  // releases the held one.
  TLaserCtrlAutomation* AutoDetect() { return AutoDetect_.get(); }
  void SetAutoDetect(std::unique_ptr<TLaserCtrlAutomation> value);
  void SetAutoDetect(const TLaserCtrlAutomation& value);
  void ArmDetectionTimer();
  void DetectionTimerTick();

  // Extension windows, owned.
  std::vector<std::unique_ptr<TCustomizedTab>>& CustomizedWnds() { return CustomizedWnds_; }

  // --- Operator actions --------------------------------------------------------------------
  void ConnectLaserClick();
  void ChangeOptionsClick();
  void TerminalOnlyClick();
  // Tabs: SelectTab returns whether a tab with that caption exists; ctrlDown as at the click.
  bool SelectTab(const std::string& caption, bool ctrlDown = false);
  void TabSet1Change(const std::string& caption, bool ctrlDown = false);
  void CloseAdvancedPanelClick();
  // Entry: each returns false when the typed text did not convert (nothing sent).
  bool ApplyCurrent(int branch);                        // text of Display().currentField[branch]
  bool ApplyCurrent(int branch, const std::string& text);
  void SetAllCurrents(double value);
  bool ApplyFrequency(uint32_t tag);                    // tag $F0000001 / $F0000002 (or 1, 2)
  bool ApplyFrequency(uint32_t tag, const std::string& text);
  bool SetRegulatorLevel(const std::string& text);
  void ActivateRegulatorClick(int tag);                 // 1 Activate, 0 Deactivate
  void TriggerClick(int tag);                           // mode in the low byte, branch above
  void LaserOnClick(int tag);                           // LaserOn 1, LaserOff 0
  void LaserOffClick(int tag);
  void SaveSettingsClick();
  void ClearErrorClick();
  void ResetClick();
  void RequestAllValues();
  void SetPulseRate(double rate);
  // Clicks on read-outs select their tab and name the entry field to focus ("" for none). They
  // act only when the press did not drag the information panel (SetClickNotDrag).
  void SetClickNotDrag(bool value) { ClickNotDrag_ = value; }
  bool ClickNotDrag() const { return ClickNotDrag_; }
  std::string NomCurrentClick(int branch);
  std::string ActFrequencyClick(int tag);
  void TriggerModeClick();
  std::string NomRegulatorLevelClick();
  // Status clicks: the list shown in a box (an empty error list shows nothing).
  void LaserWarnSymbolClick();
  void IconLaserWarningClick();
  // Terminal.
  void SendCmdClick();                                  // the text of Display().cmdBox
  void SendCommandLine(const std::string& text);
  void SendCommandList(const std::string& text);
  void CmdHistoryClick(int index);
  void CmdHistoryDblClick(int index);
  void ClearRcvBufferClick();
  // Recording.
  void RecordParamClick();
  void RequestRecording();
  void StopRecording();

  // --- Published events ---------------------------------------------------------------------
  TConsoleEvent OnConnectFail;
  TConsoleEvent OnLaserConnectFail;
  TNotifyEvent OnLaserConnected;     // Sender = the laser object
  TNotifyEvent OnLaserDisconnected;  // Sender = the laser object
  TNotifyLaserStatus OnLaserStatusChanged;
  TConsoleEvent OnLaserError;
  TConsoleEvent OnLaserWarning;
  TConsoleEvent OnLaserErrorDismissed;
  TConsoleEvent OnLaserWarningDismissed;
  TNotifyOnOff OnLaserON;
  TNotifyIntValue OnLaserSN;
  TNotifyFloatEx OnLaserCurrent;
  TNotifyFloatEx OnLaserMaxCurrent;
  TNotifyFloatEx OnLaserFrequency;
  TNotifyTriggerMode OnLaserTriggerMode;
  TNotifyFloat OnLaserPulsePickerCount;
  TNotifyFloat OnLaserPulsePickerNumber;
  TNotifyFloat OnLaserNominalRegulatorLevel;
  TNotifyOnOff OnLaserRegualtorState;
  TNotifyLaserParam OnLaserParam;  // unassigned at every disconnection
  // Each number a parsed answer gives the live trends (trendSamples), stamped with the moment it
  // arrived. Unlike OnLaserParam it stays assigned across disconnections: a trend window keeps
  // its curves while the laser comes and goes.
  std::function<void(const qv::TrendSample&)> OnTrendSample;
  TNotifyCommandError OnLaserCommandError;
  TNotifyCommandError OnLaserCommandTimeout;
  TConsoleEvent BeforeChangeOption;
  TConsoleEvent AfterChangeOption;
  // Of this console's own making: the terminal log's traffic as shown, a recording that ended
  // (file written), and notes for the operator (a pulse rate that could not be set).
  TNotifyText OnTerminalSent;
  TNotifyText OnTerminalReceived;
  TNotifyText OnRecordingFinished;
  TNotifyText OnNotice;
  // Called after every change of Display().
  TConsoleEvent OnDisplayChanged;

  // --- Handlers of the laser's events (public for tests) ------------------------------------
  void LaserConnect();
  void LaserConnectFail();
  void LaserConnectLaserFail();
  void LaserLaserConnected();
  void LaserCurrentCounted(TBranchMask branches);
  void LaserPSLaserChecked();
  void LaserTriggerCounted(TBranchMask branches);
  void LaserFrequencyCounted(TBranchMask branches);
  void LaserDisconnect();
  void LaserCommandError(TLaserCommand command, uint8_t subId, const std::string& cmdStr);
  void LaserCommandTimeout(TLaserCommand command, uint8_t subId, const std::string& cmdStr);
  void LaserLaserState(int32_t value);
  void LaserLaserON(bool isOn);
  void LaserLaserError();
  void LaserLaserWarning();
  void LaserReseted();
  void LaserSend(const std::string& text);
  void LaserReceive(const std::string& text);
  void LaserRunningTime(uint32_t minutes);
  void LaserLaserParam(TLaserCommand command, uint8_t subId);
  void LaserProtectionCurrentLimit(uint8_t branch, uint8_t category, double value);
  void RecordingFinished();

  // The laser's values the pulse-rate and limits rules work on.
  TPulseLimits PulseLimits() const;

 private:
  void bindLaserEvents();
  void attachFailureHandlers(bool on);
  void attachTerminalHandlers(bool on);
  void failureRule(bool timeout, TLaserCommand command, uint8_t subId, const std::string& cmdStr);
  void protectionReadsAtSetup();
  void refreshProtectionPanel();
  void recordParameter(TLaserCommand command, uint8_t subId);
  // The recording's start once the running times are in: the save dialog and what follows.
  void startRecording();
  void registerBackgroundQueries();
  // Runs fn from the main thread's loop after the hand-over being handled has returned; not at
  // all when the console is gone by then.
  void afterHandOver(std::function<void()> fn);
  void showMessageAfterHandOver(const std::string& title, const std::string& text,
                                TQVLaserControlView::MessageKind kind);
  void pause(int ms);
  void displayChanged();
  void conversionError(const std::string& text);
  std::string explainedList(bool errors) const;

  std::unique_ptr<TLaser> Laser_;
  std::unique_ptr<qv::ConsoleTimer> UpdateTimer_;
  std::unique_ptr<TLaserParamBuffer> ParamBuffer_;
  std::unique_ptr<TLaserCtrlAutomation> AutoDetect_;
  std::vector<std::unique_ptr<TCustomizedTab>> CustomizedWnds_;
  TQVLaserControlView* View_ = nullptr;
  TExplanationList ErrorExplanations_;
  TExplanationList WarningExplanations_;
  TOptions Options_;
  TConsoleDisplay Display_;
  qv::TerminalLog Log_;
  qv::CommandHistory History_;
  TQVLaserStatus LaserStatus_;
  std::string RecordingFile_;
  int RecordingState_ = 0;
  bool RecordingDialogQueued_ = false;  // the save dialog is queued or open
  // Work queued by afterHandOver holds a weak reference: it runs only while this lives.
  std::shared_ptr<bool> Alive_ = std::make_shared<bool>(true);
  bool AutoReconnect_ = false;
  bool UserConnect_ = false;
  bool ClickNotDrag_ = true;
};

// ShowLaserSerial of the main window: the serial its caption shows for the connected laser. For
// a pulse-picker laser of a generation other than 3 it stores settingsSeederFrequency (the
// settings file's "Laser" "SeederFrequency") in the laser and queues a read of the pulse count.
uint16_t ShowLaserSerial(TLaser& laser, double settingsSeederFrequency);
