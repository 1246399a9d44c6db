// The recording file's records: the sample (TLaserParams), the file header (TParamFileHeader) and
// the signature, with their little-endian encodings; and the rule that turns a parsed laser
// parameter into samples.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/LaserCommand.h"

class TLaser;

// The 8 value bytes of a sample exactly as they stand in the file: a little-endian IEEE double,
// or up to eight code bytes.
using TParamValue = std::array<uint8_t, 8>;

// Packed as on disk: read fields by value (a reference to one may be misaligned).
#pragma pack(push, 1)
// One recording sample, 14 bytes.
struct TLaserParams {
  int32_t TimeOffset = 0;  // ms since the recording's start (low 32 bits of both Unix times)
  TParamValue Value{};
  int16_t Code = 0;  // parameter code: the number in the command text
};

// The file header that follows the signature, 25 bytes.
struct TParamFileHeader {
  uint8_t Reserved = 0;
  uint16_t HeadSerial = 0;              // low 16 bits of the head serial
  uint16_t LaserSerial = 0;             // power-supply serial
  uint32_t RunningMinutes = 0xFFFFFFFF;  // 0xFFFFFFFF: never read
  uint32_t Diode1Minutes = 0xFFFFFFFF;
  uint32_t Diode2Minutes = 0xFFFFFFFF;
  int64_t StartTime = 0;  // Unix time in ms, UTC
};
#pragma pack(pop)

static_assert(sizeof(TLaserParams) == 14);
static_assert(sizeof(TParamFileHeader) == 25);

namespace qv {

inline constexpr std::string_view kParamFileSignature = "QuorvaneLaserParams";
inline constexpr size_t kSignatureSize = 19;
inline constexpr size_t kSampleSize = 14;
inline constexpr size_t kHeaderSize = 25;
inline constexpr size_t kFilePrologueSize = kSignatureSize + kHeaderSize;  // 44
static_assert(kParamFileSignature.size() == kSignatureSize);

void encodeSample(const TLaserParams& s, uint8_t* out);  // writes kSampleSize bytes
TLaserParams decodeSample(const uint8_t* in);
void encodeHeader(const TParamFileHeader& h, uint8_t* out);  // writes kHeaderSize bytes
TParamFileHeader decodeHeader(const uint8_t* in);

TParamValue paramValue(double v);
double paramDouble(const TParamValue& v);

// The laser object's values that samples are made of, indexed as the laser object indexes them
// (branches 1..4, temperatures 0..4, humidities 1..5, ovens 1..3; slot 0 unused where it starts
// at 1). Filled from the laser object after it parsed an answer.
struct LaserParamValues {
  struct OvenValues {
    double OvenTemperature = NAN, ActualOvenTemperature = NAN, OvenTempError = NAN;
    int16_t HeatingValue = -1;
  };
  double FlowRate = NAN;
  std::array<double, 5> Current{}, CurrentMonitor{}, CurrentDA{}, VoltageMonitor{}, Frequency{};
  std::array<uint8_t, 5> TriggerMode{};  // TTriggerMode ordinals, tmInternal 0 .. tmError 8
  std::array<double, 5> Temperature{};
  std::array<double, 6> Humidity{};
  std::array<OvenValues, 4> Oven{};
  std::vector<uint16_t> ErrorCodes, WarningCodes;
  double Power = NAN, RawState = NAN;
  int32_t PulsePickerCount = 0, PulsePickerNumber = 0;
  double NominalRegulatorLevel = NAN, ActualRegulatorLevel = NAN;
  bool RegulatorOn = true;
  double ActualSeederFrequency = 0;
  uint16_t FreeTriggerMode = 65535, FreeTriggerPPB = 65535;
};

// One sample as handed to TLaserParamBuffer::AddSample.
struct ParamSample {
  int16_t Code = 0;
  TParamValue Value{};
  int64_t Time = 0;  // Unix ms
};

// The parameter code of a command text: the integer formed by the characters after the first
// one, up to the first blank ("r71" 71, "r161 2" 161), kept in 16 bits; none if they do not form
// a decimal integer of 32 bits (an optional sign, then digits).
std::optional<int16_t> paramCode(const std::string& cmdStr);

// The samples for one parsed answer of (command, subId) whose catalogue text is cmdStr, all with
// the time given. Empty for commands that are not recorded, for a text without a code, and for
// a sub-id outside the range of the value it names.
std::vector<ParamSample> makeParamSamples(const LaserParamValues& values, TLaserCommand command,
                                          uint8_t subId, const std::string& cmdStr,
                                          int64_t time);

// The same for the laser object as it stands after parsing the answer: the command text comes
// from its catalogue (no sample for a pair the catalogue lacks).
LaserParamValues laserParamValues(const TLaser& laser);
std::vector<ParamSample> makeParamSamples(const TLaser& laser, TLaserCommand command,
                                          uint8_t subId, int64_t time);

// The header of a recording of this laser started at startTime (Unix ms, UTC).
TParamFileHeader paramFileHeader(const TLaser& laser, int64_t startTime);
// The system clock as Unix time in ms, UTC, rounded to the nearest millisecond.
int64_t unixTimeMs();

}  // namespace qv
