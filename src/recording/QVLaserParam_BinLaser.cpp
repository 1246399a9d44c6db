// The sample rule and the header, fed from the laser object.
#include "link/QVLaser.h"
#include "recording/QVLaserParam_Bin.h"

namespace qv {

LaserParamValues laserParamValues(const TLaser& laser) {
  LaserParamValues v;
  v.FlowRate = laser.FlowRate();
  for (int b = 1; b <= 4; ++b) {
    v.Current[b] = laser.Current(b);
    v.CurrentMonitor[b] = laser.CurrentMonitor(b);
    v.CurrentDA[b] = laser.CurrentDA(b);
    v.VoltageMonitor[b] = laser.VoltageMonitor(b);
    v.Frequency[b] = laser.Frequency(b);
    v.TriggerMode[b] = static_cast<uint8_t>(laser.TriggerMode(b));
  }
  for (int t = 0; t <= 4; ++t) v.Temperature[t] = laser.Temperature(t);
  for (int h = 1; h <= 5; ++h) v.Humidity[h] = laser.Humidity(h);
  for (int o = 1; o <= 3; ++o) {
    const TOvenValues oven = laser.Oven(o);
    v.Oven[o] = {oven.OvenTemperature, oven.ActualOvenTemperature, oven.OvenTempError,
                 oven.HeatingValue};
  }
  v.ErrorCodes = laser.ErrorCodes();
  v.WarningCodes = laser.WarningCodes();
  v.Power = laser.Power();
  v.RawState = laser.RawState();
  v.PulsePickerCount = laser.PulsePickerCount();
  v.PulsePickerNumber = laser.PulsePickerNumber();
  v.NominalRegulatorLevel = laser.NominalRegulatorLevel();
  v.ActualRegulatorLevel = laser.ActualRegulatorLevel();
  v.RegulatorOn = laser.RegulatorOn();
  v.ActualSeederFrequency = laser.ActualSeederFrequency();
  v.FreeTriggerMode = laser.FreeTriggerMode();
  v.FreeTriggerPPB = laser.FreeTriggerPPB();
  return v;
}

std::vector<ParamSample> makeParamSamples(const TLaser& laser, TLaserCommand command,
                                          uint8_t subId, int64_t time) {
  const TCommandList& list = laser.CommandList();
  const TCommandSyntaxPtr entry = list.TryItem(list.IndexOfCommand(command, subId));
  if (!entry) return {};
  return makeParamSamples(laserParamValues(laser), command, subId, entry->CmdStr, time);
}

TParamFileHeader paramFileHeader(const TLaser& laser, int64_t startTime) {
  TParamFileHeader h;
  h.Reserved = 0;
  h.HeadSerial = static_cast<uint16_t>(laser.LHCSN() & 0xFFFF);
  h.LaserSerial = laser.SN();
  h.RunningMinutes = laser.RunningTime();
  h.Diode1Minutes = static_cast<uint32_t>(laser.LDRunningTime(1));
  h.Diode2Minutes = static_cast<uint32_t>(laser.LDRunningTime(2));
  h.StartTime = startTime;
  return h;
}

}  // namespace qv
