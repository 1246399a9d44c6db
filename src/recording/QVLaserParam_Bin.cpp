#include "recording/QVLaserParam_Bin.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstring>

#include "recording/ParamCodec.h"

namespace qv {

void encodeSample(const TLaserParams& s, uint8_t* out) {
  putLe32(out, static_cast<uint32_t>(s.TimeOffset));
  std::memcpy(out + 4, s.Value.data(), 8);
  putLe16(out + 12, static_cast<uint16_t>(s.Code));
}

TLaserParams decodeSample(const uint8_t* in) {
  TLaserParams s;
  s.TimeOffset = static_cast<int32_t>(getLe32(in));
  std::memcpy(s.Value.data(), in + 4, 8);
  s.Code = static_cast<int16_t>(getLe16(in + 12));
  return s;
}

void encodeHeader(const TParamFileHeader& h, uint8_t* out) {
  out[0] = h.Reserved;
  putLe16(out + 1, h.HeadSerial);
  putLe16(out + 3, h.LaserSerial);
  putLe32(out + 5, h.RunningMinutes);
  putLe32(out + 9, h.Diode1Minutes);
  putLe32(out + 13, h.Diode2Minutes);
  putLe64(out + 17, static_cast<uint64_t>(h.StartTime));
}

TParamFileHeader decodeHeader(const uint8_t* in) {
  TParamFileHeader h;
  h.Reserved = in[0];
  h.HeadSerial = getLe16(in + 1);
  h.LaserSerial = getLe16(in + 3);
  h.RunningMinutes = getLe32(in + 5);
  h.Diode1Minutes = getLe32(in + 9);
  h.Diode2Minutes = getLe32(in + 13);
  h.StartTime = static_cast<int64_t>(getLe64(in + 17));
  return h;
}

TParamValue paramValue(double v) {
  TParamValue out;
  putLe64(out.data(), std::bit_cast<uint64_t>(v));
  return out;
}

double paramDouble(const TParamValue& v) { return std::bit_cast<double>(getLe64(v.data())); }

}  // namespace qv

namespace qv {

std::optional<int16_t> paramCode(const std::string& cmdStr) {
  if (cmdStr.size() < 2) return std::nullopt;
  const size_t end = std::min(cmdStr.find(' ', 1), cmdStr.size());
  size_t i = 1;
  bool negative = false;
  if (cmdStr[i] == '+' || cmdStr[i] == '-') negative = cmdStr[i++] == '-';
  if (i >= end) return std::nullopt;
  int64_t n = 0;
  for (; i < end; ++i) {
    const char c = cmdStr[i];
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
    if (n > int64_t{1} << 31) return std::nullopt;  // beyond a 32-bit integer
  }
  if (negative) n = -n;
  if (n > INT32_MAX) return std::nullopt;
  return static_cast<int16_t>(static_cast<uint16_t>(n & 0xFFFF));
}

namespace {

// Up to eight low code bytes a sample; one sample per started group of eight.
void packCodes(const std::vector<uint16_t>& codes, int16_t code, int64_t time,
               std::vector<ParamSample>& out) {
  for (size_t at = 0; at < codes.size(); at += 8) {
    ParamSample s{code, {}, time};
    for (size_t k = 0; k < 8 && at + k < codes.size(); ++k)
      s.Value[k] = static_cast<uint8_t>(codes[at + k] & 0xFF);
    out.push_back(s);
  }
}

// The value of an indexed quantity, or none for an index outside first..size-1.
template <class T, size_t N>
std::optional<double> at(const std::array<T, N>& a, uint8_t index, size_t first = 1) {
  if (index < first || index >= N) return std::nullopt;
  return static_cast<double>(a[index]);
}

std::optional<double> ovenValue(const LaserParamValues& v, uint8_t o,
                                double LaserParamValues::OvenValues::*field) {
  if (o < 1 || o >= v.Oven.size()) return std::nullopt;
  return v.Oven[o].*field;
}

std::optional<double> singleValue(const LaserParamValues& v, TLaserCommand command,
                                  uint8_t sub) {
  switch (command) {
    case lcReadFlowRate: return v.FlowRate;
    case lcReadCurrent: return at(v.Current, sub);
    case lcReadCurrentMonitor: return at(v.CurrentMonitor, sub);
    case lcReadCurrentDA: return at(v.CurrentDA, sub);
    case lcReadVoltageMonitor: return at(v.VoltageMonitor, sub);
    case lcReadFrequency: return at(v.Frequency, sub);
    case lcReadTriggerMode: return at(v.TriggerMode, sub);
    case lcReadTemperature: return at(v.Temperature, sub, 0);
    case lcReadHumidity: return at(v.Humidity, sub);
    case lcReadPower: return v.Power;
    case lcReadOvenTemperature:
      return ovenValue(v, sub, &LaserParamValues::OvenValues::OvenTemperature);
    case lcReadActualOvenTemperature:
      return ovenValue(v, sub, &LaserParamValues::OvenValues::ActualOvenTemperature);
    case lcReadOvenTempError:
      return ovenValue(v, sub, &LaserParamValues::OvenValues::OvenTempError);
    case lcReadOvenHeatingValue:
      if (sub < 1 || sub >= v.Oven.size()) return std::nullopt;
      return static_cast<uint16_t>(v.Oven[sub].HeatingValue);  // -1 (never read) gives 65535
    case lcReadState: return v.RawState;
    case lcReadPulseCount: return v.PulsePickerCount;
    case lcReadPulseNumber: return v.PulsePickerNumber;
    case lcReadRegulatorLevel: return v.NominalRegulatorLevel;
    case lcReadActualRegulatorLevel: return v.ActualRegulatorLevel;
    case lcReadRegulatorState: return v.RegulatorOn ? 1.0 : 0.0;
    case lcReadActualSeederFrequency: return v.ActualSeederFrequency;
    // The laser object stores the answer's 0 and 1 exchanged; this gives back what was sent.
    case lcReadFreeTriggerMode: return 1 - static_cast<int>(v.FreeTriggerMode);
    case lcReadFreeTriggerPPB: return v.FreeTriggerPPB;
    default: return std::nullopt;
  }
}

}  // namespace

std::vector<ParamSample> makeParamSamples(const LaserParamValues& values, TLaserCommand command,
                                          uint8_t subId, const std::string& cmdStr,
                                          int64_t time) {
  std::vector<ParamSample> out;
  const bool codeList = command == lcReadErrorCode || command == lcReadWarningCode;
  std::optional<double> value;
  if (!codeList) {
    value = singleValue(values, command, subId);
    if (!value) return out;
  }
  const std::optional<int16_t> code = paramCode(cmdStr);
  if (!code) return out;
  if (codeList)
    packCodes(command == lcReadErrorCode ? values.ErrorCodes : values.WarningCodes, *code, time,
              out);
  else
    out.push_back({*code, paramValue(*value), time});
  return out;
}

int64_t unixTimeMs() {
  using namespace std::chrono;
  const auto us = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
  return (us + (us >= 0 ? 500 : -500)) / 1000;
}

}  // namespace qv
