#include "console/QVLaserControl.h"

#include <cmath>
#include <ctime>

#include "console/ConsoleTexts.h"
#include "link/QVUtils.h"
#include "platform/Clock.h"
#include "recording/QVLaserParam.h"
#include "recording/QVLaserParam_Bin.h"

namespace {

constexpr int kTimerDefaultInterval = 500;
constexpr uint32_t kFreeTextTagBits = 0xF0000000u;
constexpr const char* kStopRecordingQuestion =
    "Do you want to stop recording the laser's parameters?\r\n\r\nClick Yes to stop it.\r\nClick "
    "No to go on recording.";

bool inMask(TBranchMask mask, int b) { return mask.Contains(b); }

// A nominal current is never negative: what lies below 0 (a typed "-5", or a small negative
// that would go out as "-0.00") is set as 0, as what lies above the maximum is set as the maximum.
double notBelowZero(double current) {
  return current > 0 ? current : 0.0;
}

}  // namespace

void TQVLaserControlView::Pause(int ms) { qv::sleepMs(ms); }

TQVLaserControl::TQVLaserControl(std::unique_ptr<qv::ConsoleTimer> timer,
                                 TQVLaserControlView* view)
    : Laser_(std::make_unique<TLaser>()),
      UpdateTimer_(timer ? std::move(timer) : std::make_unique<qv::LoopTimer>()),
      ParamBuffer_(std::make_unique<TLaserParamBuffer>()),
      View_(view) {
  UpdateTimer_->setEnabled(false);
  UpdateTimer_->setInterval(kTimerDefaultInterval);
  Laser_->SetAllowedErrors(2);
  bindLaserEvents();
  ParamBuffer_->OnFinished = [this](TObject*) { RecordingFinished(); };
  ParamBuffer_->OnWriteError = [this](TObject*, const std::string& why) {
    // The recorder thread waits for this handler: the box opens after it has gone on.
    const std::string text = "The recording stopped: " + why;
    showMessageAfterHandOver("Error", text, TQVLaserControlView::MessageKind::Error);
    if (OnNotice) OnNotice(*this, text);
  };
  Display_.selectedTab = "Current";
}

TQVLaserControl::~TQVLaserControl() {
  Alive_.reset();  // nothing queued for the operator opens any more
  if (RecordingState_ == 1 || RecordingState_ == 2) {
    RecordingState_ = 3;
    ParamBuffer_->Stop();
  }
  // The buffer's destruction writes what a stop left pending; its finish has nobody to tell.
  ParamBuffer_->OnFinished = nullptr;
  ParamBuffer_.reset();
  if (AutoDetect_) AutoDetect_->SetActive(false);
  UpdateTimer_->setEnabled(false);
  Laser_->SetBkQueryEnabled(false);
  Laser_->OnDisconnect = nullptr;
  Laser_->Disconnect();
  CheckSynchronize(0);
  AutoDetect_.reset();
  for (auto& wnd : CustomizedWnds_) wnd->Close();
  CustomizedWnds_.clear();
  Laser_.reset();
}

void TQVLaserControl::bindLaserEvents() {
  TLaser& l = *Laser_;
  l.OnConnect = [this](TObject*) { LaserConnect(); };
  l.OnDisconnect = [this](TObject*) { LaserDisconnect(); };
  l.OnConnectFail = [this](TObject*) { LaserConnectFail(); };
  l.OnConnectLaserFail = [this](TObject*) { LaserConnectLaserFail(); };
  l.OnLaserConnected = [this](TObject*) { LaserLaserConnected(); };
  l.OnCurrentCounted = [this](TLaser&, TBranchMask b) { LaserCurrentCounted(b); };
  l.OnPSLaserChecked = [this](TObject*) { LaserPSLaserChecked(); };
  l.OnTriggerCounted = [this](TLaser&, TBranchMask b) { LaserTriggerCounted(b); };
  l.OnFrequencyCounted = [this](TLaser&, TBranchMask b) { LaserFrequencyCounted(b); };
  l.OnSN = [this](TLaser& s, int32_t v) {
    if (OnLaserSN) OnLaserSN(s, v);
  };
  l.OnLHCSN = nullptr;  // LaserLHCSN does nothing
  attachFailureHandlers(true);
  l.OnCurrent = [this](TLaser& s, uint8_t b, double v) {
    if (b >= 1 && b <= 4) Display_.nomCurrent[b] = ShowValue(v);
    displayChanged();
    if (OnLaserCurrent) OnLaserCurrent(s, b, v);
  };
  l.OnMaxCurrent = [this](TLaser& s, uint8_t b, double v) {
    if (b >= 1 && b <= 4) Display_.maxCurrent[b] = ShowValue(v);
    displayChanged();
    if (OnLaserMaxCurrent) OnLaserMaxCurrent(s, b, v);
  };
  l.OnFrequency = [this](TLaser& s, uint8_t b, double v) {
    Display_.actFrequency[b == 1 ? 1 : 2] = ShowValue(v);
    displayChanged();
    if (OnLaserFrequency) OnLaserFrequency(s, b, v);
  };
  l.OnTriggerMode = [this](TLaser& s, uint8_t b, TTriggerMode m) {
    Display_.triggerMode[b == 1 ? 1 : 2] = TriggerModeName(m);
    displayChanged();
    if (OnLaserTriggerMode) OnLaserTriggerMode(s, b, m);
  };
  l.OnPulsePickerCount = [this](TLaser& s, double v) {
    // The read-out shows the output pulse rate: the seeder frequency over the division count.
    if (v != 0) v = s.SeederFrequency() / v;
    Display_.actFrequency[2] = ShowValue(v);
    displayChanged();
    if (OnLaserPulsePickerCount) OnLaserPulsePickerCount(s, v);
  };
  l.OnPulsePickerNumber = [this](TLaser& s, double v) {
    if (OnLaserPulsePickerNumber) OnLaserPulsePickerNumber(s, v);
  };
  l.OnNominalRegulatorLevel = [this](TLaser& s, double v) {
    Display_.regulatorLevel = FormatFixed2(v);
    displayChanged();
    if (OnLaserNominalRegulatorLevel) OnLaserNominalRegulatorLevel(s, v);
  };
  l.OnRegualtorState = [this](TLaser& s, bool on) {
    Display_.regulatorOn = on;
    displayChanged();
    if (OnLaserRegualtorState) OnLaserRegualtorState(s, on);
  };
  l.OnLaserState = [this](TLaser&, int32_t v) { LaserLaserState(v); };
  l.OnLaserON = [this](TLaser&, bool on) { LaserLaserON(on); };
  l.OnLaserError = [this](TObject*) { LaserLaserError(); };
  l.OnLaserWarning = [this](TObject*) { LaserLaserWarning(); };
  l.OnReseted = [this](TObject*) { LaserReseted(); };
  l.OnClearedError = nullptr;  // LaserClearedError does nothing
  l.OnRunningTime = [this](TLaser&, uint32_t v) { LaserRunningTime(v); };
  l.OnLaserParam = [this](TLaser&, TLaserCommand c, uint8_t s) { LaserLaserParam(c, s); };
  l.OnProtectionCurrentLimit = [this](TLaser&, uint8_t b, uint8_t k, double v) {
    LaserProtectionCurrentLimit(b, k, v);
  };
}

void TQVLaserControl::attachFailureHandlers(bool on) {
  if (on) {
    Laser_->OnCommandError = [this](TLaser&, TLaserCommand c, uint8_t s, const std::string& t) {
      LaserCommandError(c, s, t);
    };
    Laser_->OnCommandTimeout = [this](TLaser&, TLaserCommand c, uint8_t s, const std::string& t) {
      LaserCommandTimeout(c, s, t);
    };
  } else {
    Laser_->OnCommandError = nullptr;
    Laser_->OnCommandTimeout = nullptr;
  }
}

void TQVLaserControl::attachTerminalHandlers(bool on) {
  if (on) {
    Laser_->OnReceive = [this](TLaser&, const std::string& t) { LaserReceive(t); };
    Laser_->OnSend = [this](TLaser&, const std::string& t) { LaserSend(t); };
  } else {
    Laser_->OnReceive = nullptr;
    Laser_->OnSend = nullptr;
  }
}

void TQVLaserControl::pause(int ms) {
  if (View_) View_->Pause(ms);
  else qv::sleepMs(ms);
}

void TQVLaserControl::afterHandOver(std::function<void()> fn) {
  ForceQueue([alive = std::weak_ptr<bool>(Alive_), fn = std::move(fn)] {
    if (alive.lock()) fn();
  });
}

void TQVLaserControl::showMessageAfterHandOver(const std::string& title, const std::string& text,
                                               TQVLaserControlView::MessageKind kind) {
  if (!View_) return;
  afterHandOver([this, title, text, kind] {
    if (View_) View_->ShowMessage(title, text, kind);
  });
}

void TQVLaserControl::displayChanged() {
  if (OnDisplayChanged) OnDisplayChanged(*this);
}

void TQVLaserControl::conversionError(const std::string& text) {
  if (View_) View_->ShowConversionError("'" + text + "' is not a valid floating point value");
}

// --- Automatic detection ----------------------------------------------------------------------

void TQVLaserControl::SetAutoDetect(std::unique_ptr<TLaserCtrlAutomation> value) {
  if (!value) {
    AutoDetect_.reset();
    return;
  }
  if (value.get() == AutoDetect_.get()) return;
  if (!AutoDetect_) {
    AutoDetect_ = std::move(value);
    AutoDetect_->OnChange = [this](TLaserCtrlAutomation&) { ArmDetectionTimer(); };
    ArmDetectionTimer();
    return;
  }
  AutoDetect_->Assign(*value);
}

void TQVLaserControl::SetAutoDetect(const TLaserCtrlAutomation& value) {
  if (&value == AutoDetect_.get()) return;
  if (!AutoDetect_) {
    auto copy = std::make_unique<TLaserCtrlAutomation>();
    copy->Assign(value);
    SetAutoDetect(std::move(copy));
    return;
  }
  AutoDetect_->Assign(value);
}

void TQVLaserControl::ArmDetectionTimer() {
  if (Laser_->Connected() || !AutoDetect_) return;
  UpdateTimer_->setInterval(AutoDetect_->Interval());
  UpdateTimer_->onTimer = [this] { DetectionTimerTick(); };
  UpdateTimer_->setEnabled(AutoDetect_->Active());
}

void TQVLaserControl::DetectionTimerTick() {
  if (Laser_->Connected()) return;
  UpdateTimer_->setEnabled(false);
  AutoReconnect_ = true;
  UserConnect_ = false;
  Laser_->Connect();
}

// --- Connection -------------------------------------------------------------------------------

void TQVLaserControl::ConnectLaserClick() {
  if (Laser_->Connecting() || Laser_->Detecting()) return;
  if (Laser_->Connected()) {
    AutoReconnect_ = false;
    Laser_->Disconnect();
    return;
  }
  UserConnect_ = true;
  Laser_->Connect();
}

void TQVLaserControl::ChangeOptionsClick() {
  if (BeforeChangeOption) BeforeChangeOption(*this);
  const bool changed = View_ && View_->EditOptions(*this);
  if (changed && AfterChangeOption) AfterChangeOption(*this);
}

void TQVLaserControl::LaserConnect() {
  Display_.terminalOnlyButton = false;
  UpdateTimer_->setEnabled(false);
  Laser_->BuildCommandCatalogue();
  displayChanged();
}

void TQVLaserControl::LaserConnectFail() {
  if (OnConnectFail) OnConnectFail(*this);
  if (UserConnect_) {
    showMessageAfterHandOver("Error",
                             PortMessage(Laser_->Port(), OpenFailureHint(Laser_->LastOpenError(), Laser_->DevicePath())),
                             TQVLaserControlView::MessageKind::Warning);
  }
  if (AutoDetect_ && AutoDetect_->Active()) UpdateTimer_->setEnabled(true);
}

void TQVLaserControl::LaserConnectLaserFail() {
  if (OnLaserConnectFail) OnLaserConnectFail(*this);
  if (AutoDetect_ && AutoDetect_->Active() && AutoReconnect_) UpdateTimer_->setEnabled(true);
  Display_.serialLabel = kNoSerialLabel;
  displayChanged();
}

void TQVLaserControl::LaserLaserConnected() {
  TLaser& l = *Laser_;
  const int psSerial = AdjustSerial(l.SN());
  for (int b = 1; b <= 4; ++b) Display_.currentField[b].clear();
  l.BuildCommandCatalogue();
  int headSerial = -1;
  if (l.LHCVersion() == 3) {
    headSerial = AdjustSerial(l.LHCSN());
    Display_.serialLabel =
        headSerial == psSerial ? SerialLabel(headSerial) : SerialLabel(headSerial, psSerial);
    ErrorExplanations_.LoadGeneration3Errors();
    WarningExplanations_.LoadGeneration3Warnings();
  } else {
    Display_.serialLabel = SerialLabel(psSerial);
    // An older controller has no head serial, so it never reaches the pulse-picker check that
    // would load its table: it gets its texts now, as it is identified.
    ErrorExplanations_.LoadOlderGenerationErrors();
  }
  displayChanged();
  if (headSerial > 0) {
    l.CountCurrents(false);
  } else {
    LaserFrequencyCounted(TBranchMask{});
  }
}

void TQVLaserControl::LaserCurrentCounted(TBranchMask branches) {
  if (!Laser_->Connected()) return;
  if (branches == TBranchMask::Of({2})) {
    Laser_->AddSingleBranchCommands();
    ErrorExplanations_.LoadSingleBranchErrors();
    Laser_->CountTriggerModes(false);
  } else {
    Laser_->CheckPulsePicker();
  }
}

void TQVLaserControl::LaserPSLaserChecked() {
  TLaser& l = *Laser_;
  l.AddBranchCommands();
  if (l.LHCVersion() == 2) ErrorExplanations_.LoadOlderGenerationErrors();
  if (l.HasPulsePicker() || l.HasRegulator()) l.AddPickerRegulatorCommands();
  l.CountTriggerModes(false);
}

void TQVLaserControl::LaserTriggerCounted(TBranchMask) { Laser_->CountFrequencies(false); }

void TQVLaserControl::LaserFrequencyCounted(TBranchMask branches) {
  TLaser& l = *Laser_;
  const TBranchMask currents = l.CurrentMask();
  for (int b = 1; b <= 7; ++b) {
    if (inMask(currents, b)) l.ReadMaxCurrent(static_cast<uint8_t>(b));
  }
  Display_.layout = ArrangePanels(currents.Bits, branches.Bits, l.TriggerMask().Bits,
                                  l.HasPulsePicker(), l.HasRegulator(), l.LHCVersion());
  if (l.HasRegulator()) l.ReadRegulatorState();
  Display_.connectedGlyph = true;
  Display_.selectedTab.clear();
  TabSet1Change(Display_.layout.tabs.front());

  const int32_t key = l.LHCVersion() > 2 ? l.LHCSN() : l.SN();
  for (auto& wnd : CustomizedWnds_) {
    if (wnd->ServesLaser(key)) wnd->OpenFor(*this);
  }

  registerBackgroundQueries();
  l.SetBkQueryEnabled(true);
  AutoReconnect_ = true;
  if (OnLaserConnected) OnLaserConnected(&l);
  if (l.HasPulsePicker() && l.LHCVersion() >= 3) protectionReadsAtSetup();
  Display_.coverShown = !l.Connected();
  displayChanged();
}

// The background read set of a connected laser: the state, then the head serial while none is
// known, else the current of every branch.
void TQVLaserControl::registerBackgroundQueries() {
  TLaser& l = *Laser_;
  l.BeginBackgroundQueries();
  l.ReadState();
  if (l.LHCSN() < 0) {
    l.ReadLHCSN();
  } else {
    for (int b = 1; b <= 7; ++b) {
      if (inMask(l.CurrentMask(), b)) l.ReadCurrent(static_cast<uint8_t>(b));
    }
  }
  l.EndBackgroundQueries();
}

void TQVLaserControl::LaserDisconnect() {
  StopRecording();
  LaserStatus_ = TQVLaserStatus{};
  OnLaserParam = nullptr;
  Display_.coverShown = true;
  ClickNotDrag_ = true;
  for (auto& wnd : CustomizedWnds_) wnd->Close();
  Display_.closeAdvancedEnabled = true;
  UpdateTimer_->setEnabled(false);
  ErrorExplanations_.Clear();
  WarningExplanations_.Clear();
  ResetStatusDisplay(Display_.status);
  Display_.protectionPanelVisible = false;
  Display_.connectedGlyph = false;
  Display_.serialLabel = kNoSerialLabel;
  Log_.Clear();
  History_.Clear();
  if (Display_.advancedOpen) {
    Display_.advancedOpen = false;
    Display_.advancedSlides = false;
    Display_.warnSymbolVisible = true;
  }
  Display_.terminalOnlyMode = false;
  if (AutoReconnect_ && AutoDetect_ && AutoDetect_->Active()) {
    UpdateTimer_->setInterval(AutoDetect_->Interval());
    UpdateTimer_->onTimer = [this] { DetectionTimerTick(); };
    UpdateTimer_->setEnabled(true);
  }
  Display_.terminalOnlyButton = true;
  displayChanged();
  if (OnLaserDisconnected) OnLaserDisconnected(Laser_.get());
  if (OnLaserStatusChanged) OnLaserStatusChanged(*this, TQVLaserStatus{});
}

// --- Failure rule -----------------------------------------------------------------------------

void TQVLaserControl::failureRule(bool timeout, TLaserCommand command, uint8_t subId,
                                  const std::string& cmdStr) {
  TLaser& l = *Laser_;
  if (Display_.advancedOpen) {
    l.ResetCommandErrors();
    return;
  }
  const bool limit = l.VariousCommandErrors() >= l.AllowedErrors() ||
                     (timeout && l.CommandErrors() > l.AllowedErrors());
  if (RecordingState_ == 0 && limit) {
    l.Disconnect();
    return;
  }
  const std::string text = cmdStr.substr(0, 255);
  if (timeout) {
    if (OnLaserCommandTimeout) OnLaserCommandTimeout(l, command, subId, text);
  } else if (OnLaserCommandError) {
    OnLaserCommandError(l, command, subId, text);
  }
}

void TQVLaserControl::LaserCommandError(TLaserCommand c, uint8_t s, const std::string& t) {
  failureRule(false, c, s, t);
}

void TQVLaserControl::LaserCommandTimeout(TLaserCommand c, uint8_t s, const std::string& t) {
  failureRule(true, c, s, t);
}

// --- Status, errors and warnings -------------------------------------------------------------

std::string TQVLaserControl::explainedList(bool errors) const {
  const TExplanationList& list = errors ? ErrorExplanations_ : WarningExplanations_;
  const TExplainFn explain = [&list](int code) -> std::optional<std::string> {
    if (const TErrorCodeExplanation* e = list.FindExplanation(static_cast<int16_t>(code))) {
      return e->Explanation;
    }
    return std::nullopt;
  };
  return errors ? ErrorListText(Laser_->ErrorCodes(), explain)
                : WarningListText(Laser_->WarningCodes(), explain);
}

void TQVLaserControl::LaserLaserState(int32_t value) {
  const TQVLaserStatus next =
      StatusFromState(static_cast<uint32_t>(value), !Laser_->ErrorCodes().empty());
  const TQVLaserStatus previous = LaserStatus_;
  const TStatusChange change =
      ApplyStatus(Display_.status, previous, next, Laser_->WarmUpRequired());
  if (!change.changed) return;
  displayChanged();
  if (change.errorDismissed && OnLaserErrorDismissed) OnLaserErrorDismissed(*this);
  if (change.warningDismissed && OnLaserWarningDismissed) OnLaserWarningDismissed(*this);
  LaserStatus_ = next;
  if (OnLaserStatusChanged) OnLaserStatusChanged(*this, next);
}

void TQVLaserControl::LaserLaserON(bool isOn) {
  const bool passOn = ApplyOnOff(Display_.status, LaserStatus_, isOn, Laser_->IsErrorFree());
  displayChanged();
  if (passOn && OnLaserON) OnLaserON(*Laser_, isOn);
}

void TQVLaserControl::LaserLaserError() {
  TStatusDisplay& d = Display_.status;
  if (Laser_->IsErrorFree()) {
    if (d.symbol == kSymbolError) {
      d.symbolHint.clear();
      if (!UpdateTimer_->enabled()) Laser_->ReadStatus();
    }
  } else {
    d.symbol = kSymbolError;
    d.caption = kCaptionNone;
    d.laserOnCaption = Laser_->WarmUpRequired() ? kWarmUpCaption : kLaserOnCaption;
    d.symbolHint = explainedList(true);
  }
  displayChanged();
  if (OnLaserError) OnLaserError(*this);
}

void TQVLaserControl::LaserLaserWarning() {
  if (Laser_->IsWarningFree()) {
    Display_.status.badgeVisible = false;
  } else {
    Display_.status.badgeHint = explainedList(false);
  }
  displayChanged();
  if (OnLaserWarning) OnLaserWarning(*this);
}

void TQVLaserControl::LaserReseted() {
  RequestAllValues();
  for (auto& wnd : CustomizedWnds_) {
    if (wnd->IsOpen()) wnd->SendStartupCommands();
  }
}

void TQVLaserControl::LaserWarnSymbolClick() {
  if (!Display_.status.symbolHint.empty() && View_) {
    View_->ShowMessage("Laser Error", Display_.status.symbolHint,
                       TQVLaserControlView::MessageKind::Error);
  }
}

void TQVLaserControl::IconLaserWarningClick() {
  if (View_) {
    View_->ShowMessage("Laser Warning", Display_.status.badgeHint,
                       TQVLaserControlView::MessageKind::Warning);
  }
}

void TQVLaserControl::ClearErrorClick() { Laser_->ClearError(); }
void TQVLaserControl::ResetClick() { Laser_->Reset(); }
void TQVLaserControl::SaveSettingsClick() { Laser_->SaveSettings(); }

// --- Tabs and the terminal -------------------------------------------------------------------

bool TQVLaserControl::SelectTab(const std::string& caption, bool ctrlDown) {
  for (const std::string& tab : Display_.layout.tabs) {
    if (tab == caption) {
      if (Display_.selectedTab != caption) TabSet1Change(caption, ctrlDown);
      return true;
    }
  }
  return false;
}

void TQVLaserControl::TabSet1Change(const std::string& rawCaption, bool ctrlDown) {
  const std::string caption = qv::trimBlanks(rawCaption);
  if (caption == "Advanced" && ctrlDown && View_) {
    if (auto password = View_->PasswordQuery("Service", "Please input the service password")) {
      Laser_->Send(PasswordCommand(*password), -1);
      pause(200);
    }
  }
  Display_.selectedTab = caption;
  if (caption == "Advanced") {
    if (RecordingState_ == 0) Laser_->SetBkQueryEnabled(false);
    Display_.advancedOpen = true;
    Display_.advancedSlides = true;
    Display_.warnSymbolVisible = false;
    attachFailureHandlers(false);
    displayChanged();
    pause(50);
    attachTerminalHandlers(true);
  } else {
    if (Display_.advancedOpen) {
      Display_.advancedOpen = false;
      Display_.advancedSlides = true;
      Display_.warnSymbolVisible = true;
    }
    attachTerminalHandlers(false);
    Laser_->SetBkQueryEnabled(true);
    attachFailureHandlers(true);
    displayChanged();
  }
}

std::string TQVLaserControl::NomCurrentClick(int branch) {
  if (!ClickNotDrag_ || !SelectTab("Current")) return "";
  if (branch < 1 || branch > 4 || !Display_.layout.currentEntry[branch]) return "";
  return "Current" + std::to_string(branch);
}

std::string TQVLaserControl::ActFrequencyClick(int tag) {
  if (!ClickNotDrag_ || !SelectTab("Frequency")) return "";
  const int field = tag == 1 ? 1 : 2;
  return Display_.layout.frequencyField[field] ? "Frequency" + std::to_string(field) : "";
}

void TQVLaserControl::TriggerModeClick() {
  if (ClickNotDrag_) SelectTab("Trigger");
}

std::string TQVLaserControl::NomRegulatorLevelClick() {
  if (!ClickNotDrag_ || !SelectTab("Regulator")) return "";
  return "PowerRegulator";
}

void TQVLaserControl::CloseAdvancedPanelClick() {
  if (!Display_.closeAdvancedEnabled) return;
  Display_.advancedOpen = false;
  Display_.advancedSlides = true;
  Display_.warnSymbolVisible = true;
  RequestAllValues();
  if (!Display_.layout.tabs.empty()) TabSet1Change(Display_.layout.tabs.front());
}

void TQVLaserControl::TerminalOnlyClick() {
  if (!Laser_->Open()) return;
  UpdateTimer_->setEnabled(false);
  Display_.advancedOpen = true;
  Display_.advancedSlides = false;
  Display_.terminalOnlyMode = true;
  Display_.warnSymbolVisible = false;
  attachFailureHandlers(false);
  attachTerminalHandlers(true);
  Display_.coverShown = false;
  Display_.closeAdvancedEnabled = false;
  Display_.connectedGlyph = true;
  displayChanged();
}

void TQVLaserControl::SendCmdClick() {
  const std::string text = qv::trimBlanks(Display_.cmdBox);
  SendCommandLine(text);
  Display_.cmdBox.clear();
  displayChanged();
}

void TQVLaserControl::SendCommandLine(const std::string& text) {
  if (text.empty()) return;
  std::string entry;
  for (const std::string& part : SplitCommandList(text)) {
    Laser_->Send(part, -1);
    if (ShowsInTerminal(part)) entry += (entry.empty() ? "" : "|") + part;
  }
  const size_t before = History_.Entries().size();
  History_.Add(entry);
  if (History_.Entries().size() != before) displayChanged();
}

void TQVLaserControl::SendCommandList(const std::string& text) {
  for (const std::string& part : SplitCommandList(text)) Laser_->Send(part, -1);
}

void TQVLaserControl::CmdHistoryClick(int index) {
  const auto& entries = History_.Entries();
  if (index < 0 || index >= static_cast<int>(entries.size()) || !Display_.cmdBox.empty()) return;
  Display_.cmdBox = entries[index];
  displayChanged();
}

void TQVLaserControl::CmdHistoryDblClick(int index) {
  const auto& entries = History_.Entries();
  if (index < 0 || index >= static_cast<int>(entries.size())) return;
  const std::string entry = entries[index];
  SendCommandList(entry);
  if (qv::trimBlanks(Display_.cmdBox) == entry) {
    Display_.cmdBox.clear();
    displayChanged();
  }
}

void TQVLaserControl::ClearRcvBufferClick() { Log_.Clear(); }

void TQVLaserControl::LaserSend(const std::string& text) {
  if (text.empty() || !ShowsInTerminal(text)) return;
  Log_.Sent(text);
  if (OnTerminalSent) OnTerminalSent(*this, text);
}

void TQVLaserControl::LaserReceive(const std::string& text) {
  Log_.Received(text);
  if (OnTerminalReceived) OnTerminalReceived(*this, text);
}

// --- Parameter entry --------------------------------------------------------------------------

bool TQVLaserControl::ApplyCurrent(int branch) {
  if (branch < 1 || branch > 4) return false;
  return ApplyCurrent(branch, Display_.currentField[branch]);
}

bool TQVLaserControl::ApplyCurrent(int branch, const std::string& text) {
  const auto value = qv::parseDecimal(text);
  if (!value || branch < 1 || branch > 255) return false;
  Laser_->SetCurrent(static_cast<uint8_t>(branch), notBelowZero(*value));
  Laser_->ReadCurrent(static_cast<uint8_t>(branch));
  return true;
}

void TQVLaserControl::SetAllCurrents(double value) {
  for (int b = 1; b <= 4; ++b) {
    if (!Display_.layout.currentEntry[b]) continue;
    const double max = Laser_->MaxCurrent(b);
    Laser_->SetCurrent(static_cast<uint8_t>(b), notBelowZero(value > max ? max : value));
    Laser_->ReadCurrent(static_cast<uint8_t>(b));
  }
}

bool TQVLaserControl::ApplyFrequency(uint32_t tag) {
  const uint32_t b = tag & ~kFreeTextTagBits;
  return ApplyFrequency(tag, Display_.frequencyField[b == 1 ? 1 : 2]);
}

bool TQVLaserControl::ApplyFrequency(uint32_t tag, const std::string& text) {
  const uint32_t b = tag & ~kFreeTextTagBits;
  const TFrequencyText f = ParseFrequencyText(text);
  if (f.kind == TFrequencyText::Empty) return true;
  if (f.kind == TFrequencyText::Invalid) {
    conversionError(qv::trimBlanks(text));
    return false;
  }
  if (b == 1) {
    Laser_->SetFrequency(1, f.value);
    Laser_->ReadFrequency(1);
  } else if (Laser_->HasPulsePicker()) {
    SetPulseRate(f.value);
  } else {
    Laser_->SetFrequency(2, f.value);
    Laser_->ReadFrequency(2);
  }
  return true;
}

bool TQVLaserControl::SetRegulatorLevel(const std::string& text) {
  const auto value = qv::parseDecimal(text);
  if (!value) {
    conversionError(text);
    return false;
  }
  Laser_->SetRegulatorLevel(*value);
  Laser_->ReadRegulatorLevel();
  return true;
}

void TQVLaserControl::ActivateRegulatorClick(int tag) {
  Laser_->SetRegulator(tag != 0);
  Laser_->ReadRegulatorState();
}

void TQVLaserControl::TriggerClick(int tag) {
  const int ordinal = tag & 0xFF;
  const auto branch = static_cast<uint8_t>((tag >> 8) & 0xFF);
  Laser_->SetTriggerMode(static_cast<TTriggerMode>(ordinal <= tmError ? ordinal : tmCW), branch);
  Laser_->ReadTriggerMode(branch);
}

void TQVLaserControl::LaserOffClick(int tag) {
  Laser_->SetLaserOn(tag != 0);
  if (!UpdateTimer_->enabled()) {
    pause(200);
    Laser_->ReadStatus();
  }
}

void TQVLaserControl::LaserOnClick(int tag) {
  if (!Laser_->WarmUpRequired() || LaserStatus_.Contains(lsWarmedUp)) {
    LaserOffClick(tag);
  } else {
    Laser_->WarmUp();
  }
}

void TQVLaserControl::RequestAllValues() {
  TLaser& l = *Laser_;
  const TPanelLayout& v = Display_.layout;
  for (int b = 1; b <= 4; ++b) {
    if (v.nomCurrent[b]) l.ReadCurrent(static_cast<uint8_t>(b));
  }
  for (int b = 1; b <= 4; ++b) {
    if (v.nomCurrent[b]) l.ReadMaxCurrent(static_cast<uint8_t>(b));
  }
  if (v.actFrequency[1]) l.ReadFrequency(1);
  if (l.HasPulsePicker()) {
    l.ReadPulseNumber();
    l.ReadPulseCount();
    if (l.LHCVersion() == 3) {
      const bool first = PulseLimits().firstBranchLimits;
      for (uint8_t k = 1; k <= 3; ++k) l.ReadProtectionPulseRange(k);
      if (first) {
        for (uint8_t k = 1; k <= 3; ++k) l.ReadProtectionCurrentLimit(1, k);
      }
      for (uint8_t k = 1; k <= 3; ++k) l.ReadProtectionCurrentLimit(2, k);
      if (v.nomCurrent[3]) {
        for (uint8_t k = 1; k <= 3; ++k) l.ReadProtectionCurrentLimit(3, k);
      }
    }
  } else if (v.actFrequency[2]) {
    l.ReadFrequency(2);
  }
  if (l.HasRegulator()) {
    l.ReadRegulatorState();
    l.ReadRegulatorLevel();
  }
  if (v.triggerMode[1]) l.ReadTriggerMode(1);
  if (v.triggerMode[2]) l.ReadTriggerMode(2);
}

// --- Pulse rate and protection limits --------------------------------------------------------

TPulseLimits TQVLaserControl::PulseLimits() const {
  const TLaser& l = *Laser_;
  TPulseLimits p;
  p.seederFrequency = l.SeederFrequency();
  for (int k = 1; k <= 3; ++k) {
    p.pulseRange[k] = l.ProtectionPulseRange(k);
    for (int b = 1; b <= 3; ++b) p.currentLimit[k][b] = l.ProtectionCurrentLimit(k, b);
  }
  for (int b = 1; b <= 3; ++b) {
    p.current[b] = l.Current(b);
    p.maxCurrent[b] = l.MaxCurrent(b);
  }
  p.currentMask = l.CurrentMask().Bits;
  p.hasPulsePicker = l.HasPulsePicker();
  p.lhcVersion = l.LHCVersion();
  const TFirmwareVersion fw = l.FirmwareVersion();
  p.firstBranchLimits = FirstBranchLimits(fw.Year, fw.Month, fw.Day, l.SN());
  return p;
}

void TQVLaserControl::SetPulseRate(double rate) {
  const TPulsePlan plan = PlanPulseRate(rate, PulseLimits());
  TLaser& l = *Laser_;
  for (const TPulseStep& s : plan.steps) {
    const auto b = static_cast<uint8_t>(s.branch);
    switch (s.kind) {
      case TPulseStep::SetCurrent: l.SetCurrent(b, s.value); break;
      case TPulseStep::SetPulseNumber: l.SetPulseNumber(static_cast<int32_t>(s.value)); break;
      case TPulseStep::ReadPulseNumber: l.ReadPulseNumber(); break;
      case TPulseStep::SetPulseCount: l.SetPulseCount(static_cast<int32_t>(s.value)); break;
      case TPulseStep::ReadPulseCount: l.ReadPulseCount(); break;
      case TPulseStep::ReadMaxCurrent: l.ReadMaxCurrent(b); break;
    }
  }
  if (!plan.refusal.empty() && OnNotice) OnNotice(*this, plan.refusal);
}

void TQVLaserControl::protectionReadsAtSetup() {
  TLaser& l = *Laser_;
  Display_.protectionPanelVisible = true;
  for (uint8_t k = 1; k <= 3; ++k) l.ReadProtectionPulseRange(k);
  if (PulseLimits().firstBranchLimits) {
    for (uint8_t k = 1; k <= 3; ++k) l.ReadProtectionCurrentLimit(1, k);
    if (l.CurrentMask().Contains(3)) {
      for (uint8_t k = 1; k <= 3; ++k) l.ReadProtectionCurrentLimit(3, k);
    }
  }
  for (uint8_t k = 1; k <= 3; ++k) l.ReadProtectionCurrentLimit(2, k);
}

void TQVLaserControl::LaserProtectionCurrentLimit(uint8_t branch, uint8_t category, double) {
  if (branch == 2 && category == 3) refreshProtectionPanel();
}

void TQVLaserControl::refreshProtectionPanel() {
  Display_.protection = RefreshProtectionPanel(PulseLimits());
  displayChanged();
}

// --- Recording --------------------------------------------------------------------------------

void TQVLaserControl::RecordParamClick() {
  if (RecordingState_ == 0) {
    RequestRecording();
    Display_.recordingLampBlinking = false;
    Display_.recordingLampVisible = true;
    displayChanged();
    return;
  }
  if (View_ && View_->ConfirmStopRecording(kStopRecordingQuestion)) StopRecording();
}

void TQVLaserControl::RequestRecording() {
  if (RecordingState_ != 0) return;
  RecordingState_ = 1;
  Laser_->SendCommand(lcReadLDRunningTime, 1);
  Laser_->SendCommand(lcReadLDRunningTime, 2);
  Laser_->ReadRunningTime();
}

void TQVLaserControl::LaserRunningTime(uint32_t) {
  if (RecordingState_ != 1 || RecordingDialogQueued_) return;
  // The answer's hand-over holds the parser thread: the save dialog opens after it has returned.
  RecordingDialogQueued_ = true;
  afterHandOver([this] { startRecording(); });
}

void TQVLaserControl::startRecording() {
  TLaser& l = *Laser_;
  std::optional<std::string> file;
  if (RecordingState_ == 1 && View_) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    file = View_->AskRecordingFile(RecordingFileName(l.LHCSN(), local));
  }
  RecordingDialogQueued_ = false;
  // Stopped, or the laser gone, while the dialog was open: that stop stands.
  if (RecordingState_ != 1) return;
  if (!file) {
    RecordingState_ = 0;
    Display_.recordingLampVisible = false;
    displayChanged();
    return;
  }
  Display_.recordingLampBlinking = true;
  displayChanged();
  l.BeginBackgroundQueries();
  std::string why;
  if (!ParamBuffer_->Start(*file, qv::paramFileHeader(l, qv::unixTimeMs()), &why)) {
    // No file: the normal background set comes back and the console is idle again.
    l.EndBackgroundQueries();
    registerBackgroundQueries();
    RecordingState_ = 0;
    Display_.recordingLampBlinking = false;
    Display_.recordingLampVisible = false;
    displayChanged();
    const std::string text = "Cannot record into " + *file + ": " + why;
    if (View_) View_->ShowMessage("Error", text, TQVLaserControlView::MessageKind::Error);
    if (OnNotice) OnNotice(*this, text);
    return;
  }
  RecordingFile_ = *file;
  RecordingState_ = 2;
  l.ReadState();
  for (uint8_t b = 1; b <= 4; ++b) {
    l.ReadCurrent(b);
    l.SendCommand(lcReadCurrentMonitor, b);
    l.SendCommand(lcReadCurrentDA, b);
    l.SendCommand(lcReadVoltageMonitor, b);
  }
  l.ReadTriggerMode(1);
  l.ReadFrequency(1);
  for (uint8_t o = 1; o <= 3; ++o) {
    l.SendCommand(lcReadOvenTemperature, o);
    l.SendCommand(lcReadActualOvenTemperature, o);
    l.SendCommand(lcReadOvenTempError, o);
    l.ReadOvenHeatingValue(o);
  }
  for (uint8_t t = 0; t <= 4; ++t) l.ReadTemperature(t);
  for (uint8_t h = 1; h <= 5; ++h) l.SendCommand(lcReadHumidity, h);
  l.SendCommand(lcReadFlowRate);
  l.ReadPulseCount();
  l.ReadPulseNumber();
  l.SendCommand(lcReadActualSeederFrequency);
  l.ReadRegulatorLevel();
  l.ReadActualRegulatorLevel();
  l.SendCommand(lcReadFreeTriggerMode);
  l.SendCommand(lcReadFreeTriggerPPB);
  l.SendCommand(lcReadPower);
  l.EndBackgroundQueries();
}

void TQVLaserControl::LaserLaserParam(TLaserCommand command, uint8_t subId) {
  if (RecordingState_ == 2) recordParameter(command, subId);
  if (OnTrendSample) {
    for (const qv::TrendSample& s : qv::trendSamples(*Laser_, command, subId, qv::unixTimeMs()))
      OnTrendSample(s);
  }
  if (OnLaserParam) OnLaserParam(*Laser_, command, subId);
}

void TQVLaserControl::recordParameter(TLaserCommand command, uint8_t subId) {
  const int64_t now = qv::unixTimeMs();
  for (const qv::ParamSample& s : qv::makeParamSamples(*Laser_, command, subId, now)) {
    ParamBuffer_->AddSample(s.Code, s.Value, s.Time);
  }
}

void TQVLaserControl::StopRecording() {
  if (RecordingState_ == 0 || RecordingState_ == 3) return;
  const bool fileOpen = RecordingState_ == 2;
  TLaser& l = *Laser_;
  l.BeginBackgroundQueries();
  l.ReadState();
  for (int b = 1; b <= 7; ++b) {
    if (l.CurrentMask().Contains(b)) l.ReadCurrent(static_cast<uint8_t>(b));
  }
  l.EndBackgroundQueries();
  l.Send("w9 0", -1);
  l.Send("w19 0", -1);
  l.Send("w29 0", -1);
  RecordingState_ = 3;
  ParamBuffer_->Stop();
  // Stopped before the running time arrived: no file was opened, so no finish will come.
  if (!fileOpen) RecordingFinished();
}

void TQVLaserControl::RecordingFinished() {
  RecordingState_ = 0;
  Display_.recordingLampBlinking = false;
  Display_.recordingLampVisible = false;
  displayChanged();
  const std::string file = std::move(RecordingFile_);
  RecordingFile_.clear();
  if (OnRecordingFinished) OnRecordingFinished(*this, file);
}

// --- Caption ----------------------------------------------------------------------------------

uint16_t ShowLaserSerial(TLaser& laser, double settingsSeederFrequency) {
  if (laser.LHCVersion() != 3 && laser.HasPulsePicker()) {
    laser.StoreSeederFrequency(settingsSeederFrequency);
    laser.ReadPulseCount();
  }
  return CaptionSerial(laser.LHCVersion(), laser.LHCSN(), laser.SN());
}
