// TLaser: forming and queueing commands, and the typed read and set operations.
#include <cstdio>

#include "link/QVLaser.h"

namespace {

std::string formatFixed2(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.2f", v);  // the process keeps "." as decimal separator
  return buf;
}

}  // namespace

void TLaser::SendCommand(TLaserCommand Command, std::uint8_t SubID, const std::string& Argument) {
  const int index = CommandList_->IndexOfCommand(Command, SubID);
  TCommandSyntaxPtr entry = index >= 0 ? CommandList_->TryItem(index) : nullptr;
  if (!entry) {
    TCommandSyntax missing;
    missing.Command = Command;
    missing.SubID = SubID;
    (void)HandleFailure(missing, TFailureKind::NotInCatalogue, false);
    return;
  }
  std::string text = entry->CmdStr;
  if (!Argument.empty()) text += " " + Argument;
  if (text.size() > kMaxCommandText) text.resize(kMaxCommandText);
  Send(text, index);
}

void TLaser::Send(const std::string& CmdStr, std::int32_t Index) {
  if (!Connected()) return;
  if (RecordingBackground_)
    Pool_->Add(CmdStr, Index);
  else
    Enqueue(CmdStr, Index);
}

void TLaser::SendFloat(TLaserCommand Command, std::uint8_t SubID, double Value) {
  SendCommand(Command, SubID, formatFixed2(Value));
}

void TLaser::QueueWait(std::uint32_t ms) {
  const int index = CommandList_->IndexOfCommand(lcWaitBeforeNext, 0);
  TCommandSyntaxPtr entry = index >= 0 ? CommandList_->TryItem(index) : nullptr;
  if (entry) Enqueue(entry->CmdStr + " " + std::to_string(ms), index);
}

void TLaser::ReadStatus() {
  SendCommand(lcReadStatus, 0);
}
void TLaser::ReadState() {
  SendCommand(lcReadState, 0);
}
void TLaser::ReadLHCSN() {
  SendCommand(lcReadLHC03SN, 0);
}
void TLaser::ReadFirmwareVersion() {
  SendCommand(lcReadFirmwareVersion, 0);
}
void TLaser::ReadRunningTime() {
  SendCommand(lcReadRunningTime, 0);
}
void TLaser::ReadCurrent(std::uint8_t Branch) {
  SendCommand(lcReadCurrent, Branch);
}
void TLaser::ReadMaxCurrent(std::uint8_t Branch) {
  SendCommand(lcReadMaxCurrent, Branch);
}
void TLaser::ReadFrequency(std::uint8_t Branch) {
  SendCommand(lcReadFrequency, Branch);
}
void TLaser::ReadTriggerMode(std::uint8_t Branch) {
  SendCommand(lcReadTriggerMode, Branch);
}
void TLaser::ReadTemperature(std::uint8_t Index) {
  SendCommand(lcReadTemperature, Index);
}
void TLaser::ReadPulseCount() {
  SendCommand(lcReadPulseCount, 0);
}
void TLaser::ReadPulseNumber() {
  SendCommand(lcReadPulseNumber, 0);
}
void TLaser::ReadRegulatorLevel() {
  SendCommand(lcReadRegulatorLevel, 0);
}
void TLaser::ReadActualRegulatorLevel() {
  SendCommand(lcReadActualRegulatorLevel, 0);
}
void TLaser::ReadRegulatorState() {
  SendCommand(lcReadRegulatorState, 0);
}
void TLaser::ReadProtectionPulseRange(std::uint8_t Index) {
  SendCommand(lcReadProtectionPulseRange, Index);
}
void TLaser::ReadProtectionCurrentLimit(std::uint8_t Branch, std::uint8_t PeriodClass) {
  SendCommand(lcReadProtectionCurrentLimit, static_cast<std::uint8_t>(Branch * 16 + PeriodClass));
}

void TLaser::ReadOvenHeatingValue(std::uint8_t Oven) {
  SendCommand(lcReadOvenHeatingValue, Oven);
  // The heating read switches the oven's display mode; this puts it back.
  if (Oven >= 1 && Oven <= 10) Send(std::string("w") + char('0' + Oven - 1) + "9 0", -1);
}

void TLaser::SetCurrent(std::uint8_t Branch, double Value) {
  SendCommand(lcSetCurrent, Branch, formatFixed2(Value));
}
void TLaser::SetFrequency(std::uint8_t Branch, double Value) {
  SendCommand(lcSetFrequency, Branch, formatFixed2(Value));
}
void TLaser::SetRegulatorLevel(double Value) {
  SendCommand(lcSetRegulatorLevel, 0, formatFixed2(Value));
}
void TLaser::SetPulseCount(std::int32_t N) {
  SendCommand(lcSetPulseCount, 0, std::to_string(N));
}
void TLaser::SetPulseNumber(std::int32_t N) {
  SendCommand(lcSetPulseNumber, 0, std::to_string(N));
}
void TLaser::SetRegulator(bool On) {
  SendCommand(lcSetRegulator, 0, On ? "1" : "0");
}
void TLaser::SetLaserOn(bool On) {
  SendCommand(lcSetStatus, 0, On ? "1" : "0");
}
void TLaser::WarmUp() {
  SendCommand(lcSetStatus, 0, "2");
}

void TLaser::SetTriggerMode(TTriggerMode Mode, std::uint8_t Branch) {
  switch (Mode) {
    case tmInternal:
      SendCommand(lcSetInternal, Branch);
      break;
    case tmExternal:
      SendCommand(lcSetExternal, Branch);
      break;
    case tmHVOn:
      SendCommand(lcSetHVOn, Branch);
      break;
    default:
      SendCommand(lcSetCW, Branch);
      break;
  }
}

void TLaser::ClearError() {
  SendCommand(lcClearError, 0);
}
void TLaser::Reset() {
  SendCommand(lcReset, 0);
}
void TLaser::SaveSettings() {
  SendCommand(lcSaveSettings, 0);
}
