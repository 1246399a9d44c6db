// TLaser: what a matched answer does to the state and which events it raises, the detection
// steps, and the failure policy for time-outs, "ERROR" answers and missing catalogue entries.
#include <charconv>
#include <cmath>
#include <limits>

#include "link/QVLaser.h"

namespace {

// The text of value group k of the entry ("" when the entry or the answer has no such group).
std::string valueText(const TCommandSyntax& e, const TLaserMsg& c, std::size_t k) {
  if (k >= e.Groups.size()) return {};
  const int g = e.Groups[k];
  if (g < 0 || static_cast<std::size_t>(g) >= c.size()) return {};
  return c[static_cast<std::size_t>(g)];
}

bool toInt(const std::string& s, long long& v) {
  if (s.empty()) return false;
  const char* b = s.data();
  const char* end = b + s.size();
  if (*b == '+') ++b;
  auto r = std::from_chars(b, end, v);
  return r.ec == std::errc() && r.ptr == end;
}

bool toFloat(const std::string& s, double& v) {
  if (s.empty()) return false;
  const char* b = s.data();
  const char* end = b + s.size();
  if (*b == '+') ++b;
  auto r = std::from_chars(b, end, v, std::chars_format::fixed);
  return r.ec == std::errc() && r.ptr == end && std::isfinite(v);
}

std::int32_t roundHalfEven(double v) {
  const double r = std::nearbyint(v);
  if (r >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (r <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(r);
}

double unitFactor(const std::string& prefix) {
  if (!prefix.empty() && prefix[0] == 'K') return 1000.0;
  if (!prefix.empty() && prefix[0] == 'M') return 1000000.0;
  return 1.0;
}

}  // namespace

void TLaser::DispatchAnswer(const TCommandSyntax& Entry, const TLaserMsg& Captures) {
  const TLaserCommand cmd = Entry.Command;
  const std::uint8_t sub = Entry.SubID;
  {
    std::lock_guard lk(CountersLock_);
    FailedCommands_.erase({cmd, sub});
  }
  auto V = [&](std::size_t k) { return valueText(Entry, Captures, k); };
  // A captured value that does not convert (the patterns accept any character where a point
  // is expected) stores nothing and raises no value event; the exchange still counts as answered.
  double f = 0, f2 = 0;
  long long i1 = 0, i2 = 0;
  auto F = [&](std::size_t k, double& out) { return toFloat(V(k), out); };
  auto I = [&](std::size_t k, long long& out) { return toInt(V(k), out); };
  auto param = [&] {
    if (OnLaserParam) OnLaserParam(*this, cmd, sub);
  };
  const bool branch = sub >= 1 && sub <= 4;
  const int b = sub - 1;

  switch (cmd) {
    case lcReadStatus:
      LaserIsOn_ = V(1) == "LASER_ON";
      if (OnLaserON) OnLaserON(*this, LaserIsOn_);
      param();
      break;
    case lcReadSN:
      if (I(1, i1)) {
        SN_ = static_cast<std::uint16_t>(i1);
        if (ConnectingFlag_) SendCommand(lcReadLHC03SN, 0);
        if (OnSN) OnSN(*this, SN_);
        param();
      } else if (ConnectingFlag_) {
        SendCommand(lcReadLHC03SN, 0);
      }
      break;
    case lcReadLHC03SN: {
      LHCVersion_ = 3;
      if (!I(1, i1) || i1 < std::numeric_limits<std::int32_t>::min() ||
          i1 > std::numeric_limits<std::int32_t>::max())
        break;
      const auto v = static_cast<std::int32_t>(i1);
      if (ConnectingFlag_) {
        if (v != LHCSN_) {
          LHCSN_ = v;
          FirmwareVersion_.Minor = 0;
          FirmwareVersion_.Major = 0;
          SendCommand(lcReadFirmwareVersion, 0);
          if (OnLaserConnected) OnLaserConnected(this);
        }
        // Identification ends here whatever the head serial: a laser without a head (0 or
        // below) must fail, be disconnected and be reconnected like any other.
        ConnectingFlag_ = false;
      } else {
        LHCSN_ = v;
      }
      if (OnLHCSN) OnLHCSN(*this, LHCSN_);
      param();
      if (LHCSN_ >= 0 && LHCSN_ != SN_ && OnSNMismatch) OnSNMismatch(this);
      break;
    }
    case lcReadRunningTime:
      if (I(1, i1) && I(2, i2) && i1 >= 0 && i2 >= 0 && i1 <= 71582788) {
        RunningTime_ = static_cast<std::uint32_t>(i1 * 60 + i2);
        if (OnRunningTime) OnRunningTime(*this, RunningTime_);
        param();
      }
      break;
    case lcReadFlowRate:
      if (F(1, f)) {
        FlowRate_ = f;
        if (OnFlowRate) OnFlowRate(*this, f);
        param();
      }
      break;
    case lcReadCurrent:
      if (F(1, f) && branch) {
        if (Entry.Groups.size() > 2 && F(2, f2)) f += f2 * 0.00001;
        Current_[b] = f;
        if (OnCurrent) OnCurrent(*this, sub, f);
        param();
      }
      if (CountingCurrents_) {
        if (sub == 1) {
          CurrentMask_ = TBranchMask::Of({1});
          ReadCurrent(2);
        } else if (sub == 2 || sub == 3) {
          CurrentMask_.Include(sub);
          ReadCurrent(static_cast<std::uint8_t>(sub + 1));
        } else {
          CurrentMask_.Include(sub);
          CountingCurrents_ = false;
          if (OnCurrentCounted) OnCurrentCounted(*this, CurrentMask_);
        }
      }
      break;
    case lcReadCurrentMonitor:
      if (F(1, f) && branch) {
        CurrentMonitor_[b] = f;
        param();
      }
      break;
    case lcReadCurrentDA:
      if (F(1, f) && branch) {
        CurrentDA_[b] = f;
        param();
      }
      break;
    case lcReadVoltageMonitor:
      if (F(1, f) && branch) {
        VoltageMonitor_[b] = f;
        param();
      }
      break;
    case lcReadMaxCurrent:
      if (F(1, f) && branch) {
        MaxCurrent_[b] = f;
        if (OnMaxCurrent) OnMaxCurrent(*this, sub, f);
        param();
      }
      break;
    case lcReadFrequency:
      if (F(1, f) && branch) {
        Frequency_[b] = f;
        if (OnFrequency) OnFrequency(*this, sub, f);
        param();
      }
      if (CountingFrequencies_) {
        if (sub == 1) {
          FrequencyMask_ = TBranchMask::Of({1});
          if (LHCVersion_ < 3) {
            ReadFrequency(2);
          } else {
            CountingFrequencies_ = false;
            if (OnFrequencyCounted) OnFrequencyCounted(*this, FrequencyMask_);
          }
        } else {
          FrequencyMask_.Include(sub);
          CountingFrequencies_ = false;
          if (OnFrequencyCounted) OnFrequencyCounted(*this, FrequencyMask_);
        }
      }
      break;
    case lcReadTriggerMode: {
      const std::string w = V(1);
      const TTriggerMode m = w == "CW"         ? tmCW
                             : w == "EXTERNAL" ? tmExternal
                             : w == "INTERNAL" ? tmInternal
                                               : tmHVOn;
      if (branch) {
        TriggerMode_[b] = m;
        if (OnTriggerMode) OnTriggerMode(*this, sub, m);
        param();
      }
      if (CountingTriggerModes_) {
        if (sub == 1) {
          TriggerMask_ = TBranchMask::Of({1});
          ReadTriggerMode(2);
        } else {
          TriggerMask_.Include(sub);
          CountingTriggerModes_ = false;
          if (OnTriggerCounted) OnTriggerCounted(*this, TriggerMask_);
        }
      }
      break;
    }
    case lcReadTemperature:
      if (F(1, f) && sub <= 4) {
        Temperature_[sub] = f;
        if (OnTemperature) OnTemperature(*this, sub, f);
        param();
      }
      break;
    case lcReadHumidity:
      if (F(1, f) && sub >= 1 && sub <= 5) {
        Humidity_[sub - 1] = f;
        if (OnHumidity) OnHumidity(*this, sub, f);
        param();
      }
      break;
    case lcReadFirmwareVersion: {
      long long v[5];
      bool ok = true;
      for (std::size_t k = 0; k < 5; ++k) ok = ok && I(k + 1, v[k]) && v[k] >= 0 && v[k] <= 65535;
      if (ok) {
        FirmwareVersion_.Major = static_cast<std::uint8_t>(v[0]);
        FirmwareVersion_.Minor = static_cast<std::uint8_t>(v[1]);
        FirmwareVersion_.Day = static_cast<std::uint8_t>(v[2]);
        FirmwareVersion_.Month = static_cast<std::uint8_t>(v[3]);
        FirmwareVersion_.Year = static_cast<std::uint16_t>(v[4]);
        if (OnFirmwareVersion) OnFirmwareVersion(*this, FirmwareVersion_);
        param();
      }
      break;
    }
    case lcReadPower:
      if (F(1, f)) {
        Power_ = f;
        param();
      }
      break;
    case lcReadOvenTemperature:
    case lcReadActualOvenTemperature:
    case lcReadOvenTempError:
      if (F(1, f) && sub >= 1 && sub <= 3) {
        TOvenValues& o = Oven_[sub - 1];
        (cmd == lcReadOvenTemperature         ? o.OvenTemperature
         : cmd == lcReadActualOvenTemperature ? o.ActualOvenTemperature
                                              : o.OvenTempError) = f;
        param();
      }
      break;
    case lcReadOvenHeatingValue:
      if (I(1, i1) && sub >= 1 && sub <= 3 && i1 >= -32768 && i1 <= 32767) {
        Oven_[sub - 1].HeatingValue = static_cast<std::int16_t>(i1);
        param();
      }
      break;
    case lcReadLDRunningTime:
      if (I(1, i1) && I(2, i2) && sub >= 1 && sub <= 2 && i1 >= 0 && i2 >= 0 && i1 <= 35791393) {
        LDRunningTime_[sub - 1] = static_cast<std::int32_t>(i1 * 60 + i2);
        param();
      }
      break;
    case lcReadState:
      DispatchState(Entry, Captures);
      break;
    case lcReadPulseCount:
      if (F(1, f)) {
        PulsePickerCount_ = roundHalfEven(f);
        if (OnPulsePickerCount) OnPulsePickerCount(*this, f);
        param();
      }
      PickerAnswerStep(cmd);
      break;
    case lcReadPulseNumber:
      if (F(1, f)) {
        PulsePickerNumber_ = roundHalfEven(f);
        if (OnPulsePickerNumber) OnPulsePickerNumber(*this, f);
        param();
      }
      PickerAnswerStep(cmd);
      break;
    case lcReadRegulatorLevel:
      if (F(1, f)) {
        NominalRegulatorLevel_ = f;
        if (OnNominalRegulatorLevel) OnNominalRegulatorLevel(*this, f);
        param();
      }
      PickerAnswerStep(cmd);
      break;
    case lcReadActualRegulatorLevel:
      if (F(1, f)) {
        ActualRegulatorLevel_ = f;
        if (OnActualRegulatorLevel) OnActualRegulatorLevel(*this, f);
        param();
      }
      break;
    case lcReadRegulatorState:
      if (F(1, f)) {
        RegulatorOn_ = std::fabs(f - 1.0) <= 0.001;
        if (OnRegualtorState) OnRegualtorState(*this, RegulatorOn_);
        param();
      }
      break;
    case lcReadSeederFrequency:
      if (F(1, f)) {
        SeederFrequency_ = f * unitFactor(V(2));
        if (OnSeederFrequency) OnSeederFrequency(*this, SeederFrequency_);
        param();
      }
      PickerAnswerStep(cmd);
      break;
    case lcReadActualSeederFrequency:
      if (F(1, f)) {
        ActualSeederFrequency_ = f * unitFactor(V(2));
        if (OnActualSeederFrequency) OnActualSeederFrequency(*this, ActualSeederFrequency_);
        param();
      }
      PickerAnswerStep(cmd);
      break;
    case lcReadProtectionPulseRange:
      if (I(1, i1) && sub >= 1 && sub <= 4 && i1 >= std::numeric_limits<std::int32_t>::min() &&
          i1 <= std::numeric_limits<std::int32_t>::max()) {
        ProtectionPulseRange_[sub - 1] = static_cast<std::int32_t>(i1);
        if (OnProtectionPulseRange)
          OnProtectionPulseRange(*this, sub, static_cast<std::int32_t>(i1));
        param();
      }
      break;
    case lcReadProtectionCurrentLimit: {
      const int category = sub % 16, current = sub / 16;
      if (F(1, f) && category >= 1 && category <= 4 && current >= 1 && current <= 4) {
        ProtectionCurrentLimit_[category - 1][current - 1] = f;
        if (OnProtectionCurrentLimit)
          OnProtectionCurrentLimit(*this, static_cast<std::uint8_t>(current),
                                   static_cast<std::uint8_t>(category), f);
        param();
      }
      break;
    }
    case lcReadFreeTriggerMode:
      if (I(1, i1) && i1 >= 0 && i1 <= 65535) {
        FreeTriggerMode_ = static_cast<std::uint16_t>(i1 < 2 ? 1 - i1 : i1);
        param();
      }
      break;
    case lcReadFreeTriggerPPB:
      if (I(1, i1) && i1 >= 0 && i1 <= 65535) {
        FreeTriggerPPB_ = static_cast<std::uint16_t>(i1);
        param();
      }
      break;
    case lcClearError:
      ClearErrorCodes();
      EndErrorClearing();
      break;
    case lcReset:
      BeginReset();
      break;
    case lcCustomized:
      if (OnCustomizedCmd) OnCustomizedCmd(*this, sub, V(1));
      break;
    default:
      break;
  }
  if (OnLaserCommand) OnLaserCommand(*this, Entry.CmdStr, Captures.empty() ? "" : Captures[0]);
}

void TLaser::DispatchState(const TCommandSyntax& Entry, const TLaserMsg& Captures) {
  long long s = 0;
  if (!toInt(valueText(Entry, Captures, 1), s) || s < 0 || s > 0xFFFFFFFFll) return;
  std::uint32_t state = static_cast<std::uint32_t>(s);
  std::uint32_t cls = state & 3;
  if (LHCSN_ > 0 && cls == 1) {
    state &= ~3u;
    cls = 0;
  }
  if (!RecordingBackground_) {
    if (cls < 2) Pool_->RequestErrorCode();
    if (state > 7999) Pool_->RequestWarningCode();
  }
  LaserIsOn_ = cls == 3;
  double y = 0;
  const bool hasFraction = Entry.Groups.size() > 2 && Entry.Groups[2] >= 0 &&
                           static_cast<std::size_t>(Entry.Groups[2]) < Captures.size() &&
                           toFloat(valueText(Entry, Captures, 2), y);
  if (hasFraction) {
    RawState_ = state + y;
    if (cls == 2) {
      WarmUpRequired_ = true;
      if (y > 0.499)
        state |= 0x8000;
      else if (y == 0.25)
        state |= 0x4000;
    }
  } else {
    RawState_ = state;
  }
  State_ = state;
  if (OnLaserState) OnLaserState(*this, static_cast<std::int32_t>(State_));
  if (OnLaserParam) OnLaserParam(*this, Entry.Command, Entry.SubID);
}

void TLaser::PickerAnswerStep(TLaserCommand Command) {
  if (!CheckingPulsePicker_) return;
  switch (Command) {
    case lcReadSeederFrequency:
    case lcReadActualSeederFrequency:
      SendCommand(lcReadPulseCount, 0);
      break;
    case lcReadPulseCount:
      SendCommand(lcReadPulseNumber, 0);
      break;
    case lcReadPulseNumber:
      HasPulsePicker_ = true;
      if (LHCVersion_ < 3) {
        HasRegulator_ = false;
        CheckingPulsePicker_ = false;
        if (OnPSLaserChecked) OnPSLaserChecked(this);
      } else {
        SendCommand(lcReadRegulatorLevel, 0);
      }
      break;
    case lcReadRegulatorLevel:
      HasRegulator_ = true;
      CheckingPulsePicker_ = false;
      if (OnPSLaserChecked) OnPSLaserChecked(this);
      break;
    default:
      break;
  }
}

// --- Failures --------------------------------------------------------------------------------

void TLaser::HandleTimeout(const std::string& CmdStr) {
  {
    std::lock_guard lk(CountersLock_);
    if (CommandErrors_ < 255) ++CommandErrors_;
  }
  const int index = CommandList_->IndexOfText(CmdStr);
  TCommandSyntaxPtr entry = index >= 0 ? CommandList_->TryItem(index) : nullptr;
  if (!entry) return;
  {
    std::lock_guard lk(CountersLock_);
    if (FailedCommands_.insert({entry->Command, entry->SubID}).second &&
        VariousCommandErrors_ < 255)
      ++VariousCommandErrors_;
  }
  if (HandleFailure(*entry, TFailureKind::Timeout, true) && OnCommandTimeout)
    OnCommandTimeout(*this, entry->Command, entry->SubID, CmdStr);
}

bool TLaser::RetryCheck(const TCommandSyntax& Entry, bool RetriesAllowed) {
  if (RetriesAllowed && CommandErrors() < AllowedErrors_) {
    if (Connected()) Enqueue(Entry.CmdStr, -1);
    return true;
  }
  return false;
}

void TLaser::DetectionFailureStep(const TCommandSyntax& Entry) {
  const std::uint8_t sub = Entry.SubID;
  auto zeroErrors = [this] {
    std::lock_guard lk(CountersLock_);
    CommandErrors_ = 0;
  };
  switch (Entry.Command) {
    case lcReadCurrent:
      if (sub == 1) {
        CurrentMask_ = TBranchMask{};
        zeroErrors();
        ReadCurrent(2);
      } else {
        CountingCurrents_ = false;
        zeroErrors();
        if (OnCurrentCounted) OnCurrentCounted(*this, CurrentMask_);
      }
      break;
    case lcReadTriggerMode:
      if (sub == 1) {
        TriggerMask_ = TBranchMask{};
        zeroErrors();
        ReadTriggerMode(2);
      } else {
        CountingTriggerModes_ = false;
        zeroErrors();
        if (OnTriggerCounted) OnTriggerCounted(*this, TriggerMask_);
      }
      break;
    case lcReadFrequency:
      if (sub == 1) {
        FrequencyMask_ = TBranchMask{};
        zeroErrors();
        if (LHCVersion_ < 3) {
          ReadFrequency(2);
        } else {
          CountingFrequencies_ = false;
          if (OnFrequencyCounted) OnFrequencyCounted(*this, FrequencyMask_);
        }
      } else {
        CountingFrequencies_ = false;
        zeroErrors();
        if (OnFrequencyCounted) OnFrequencyCounted(*this, FrequencyMask_);
      }
      break;
    default:
      break;
  }
}

bool TLaser::HandleFailure(const TCommandSyntax& Entry, TFailureKind Kind, bool RetriesAllowed) {
  const TLaserCommand cmd = Entry.Command;
  if (ConnectingFlag_) {
    if (cmd == lcReadSN) {
      if (RetryCheck(Entry, RetriesAllowed)) return false;
      ConnectingFlag_ = false;
      Disconnect();
      if (OnConnectLaserFail) OnConnectLaserFail(this);
    } else if (cmd == lcReadLHC03SN) {
      if (RetryCheck(Entry, RetriesAllowed)) return false;
      ConnectingFlag_ = false;
      if (Kind == TFailureKind::ErrorAnswer) {
        LHCVersion_ = 2;
        if (OnLaserConnected) OnLaserConnected(this);
      } else {
        // A controller that gives its serial but never its head serial is not identified; left
        // open, the port would hold a laser nobody sets up, polls or fails, and automatic
        // detection would never try again. It ends as a laser that did not answer at all.
        Disconnect();
        if (OnConnectLaserFail) OnConnectLaserFail(this);
      }
    }
    return false;
  }
  if ((CountingCurrents_ && cmd == lcReadCurrent) ||
      (CountingFrequencies_ && cmd == lcReadFrequency) ||
      (CountingTriggerModes_ && cmd == lcReadTriggerMode)) {
    if (!RetryCheck(Entry, RetriesAllowed)) DetectionFailureStep(Entry);
    return false;
  }
  if (CheckingPulsePicker_) {
    if (RetryCheck(Entry, RetriesAllowed)) return false;
    switch (cmd) {
      case lcReadSeederFrequency:
        SendCommand(lcReadPulseCount, 0);
        break;
      case lcReadPulseCount:
      case lcReadPulseNumber:
        HasPulsePicker_ = false;
        if (LHCVersion_ >= 3) {
          SendCommand(lcReadRegulatorLevel, 0);
        } else {
          CheckingPulsePicker_ = false;
          CommandList_->DeleteCommand(lcReadPulseCount, 0);
          CommandList_->DeleteCommand(lcReadPulseNumber, 0);
          if (OnPSLaserChecked) OnPSLaserChecked(this);
        }
        break;
      case lcReadRegulatorLevel:
        HasRegulator_ = false;
        CheckingPulsePicker_ = false;
        if (OnPSLaserChecked) OnPSLaserChecked(this);
        break;
      default:
        break;
    }
    return false;
  }
  return true;
}
