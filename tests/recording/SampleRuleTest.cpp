// Which parsed laser values become recording samples, with which code and value.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "recording/QVLaserParam_Bin.h"

namespace {

qv::LaserParamValues sampleValues() {
  qv::LaserParamValues v;
  v.FlowRate = 3.25;
  v.Current = {0, 11, 12, 13, 14};
  v.CurrentMonitor = {0, 21, 22, 23, 24};
  v.CurrentDA = {0, 31, 32, 33, 34};
  v.VoltageMonitor = {0, 41, 42, 43, 44};
  v.Frequency = {0, 1000, 2000, 0, 0};
  v.TriggerMode = {2, 1, 8, 2, 2};
  v.Temperature = {20.5, 21.5, 22.5, 23.5, 24.5};
  v.Humidity = {0, 51, 52, 53, 54, 55};
  v.Oven[2] = {35.5, 35.25, -0.25, -1};
  v.Oven[3] = {40, 41, 1, 300};
  v.Power = 0.75;
  v.RawState = 3.5;
  v.PulsePickerCount = -7;
  v.PulsePickerNumber = 123456;
  v.NominalRegulatorLevel = 80;
  v.ActualRegulatorLevel = 79.5;
  v.RegulatorOn = false;
  v.ActualSeederFrequency = 5e6;
  v.FreeTriggerMode = 0;
  v.FreeTriggerPPB = 65535;
  return v;
}

struct Case {
  TLaserCommand command;
  uint8_t sub;
  const char* cmdStr;
  std::optional<int16_t> code;  // none: no sample
  double value;
};

class SampleRule : public ::testing::TestWithParam<Case> {};

TEST_P(SampleRule, OneValueOrNone) {
  const Case& c = GetParam();
  const auto samples = qv::makeParamSamples(sampleValues(), c.command, c.sub, c.cmdStr, 12345);
  if (!c.code) {
    EXPECT_TRUE(samples.empty()) << LaserCommandName(c.command);
    return;
  }
  ASSERT_EQ(samples.size(), 1u);
  EXPECT_EQ(samples[0].Code, *c.code);
  EXPECT_EQ(samples[0].Time, 12345);
  EXPECT_EQ(qv::paramDouble(samples[0].Value), c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SampleRule,
    ::testing::Values(
        Case{lcReadFlowRate, 0, "r71", 71, 3.25}, Case{lcReadCurrent, 3, "r161", 161, 13},
        Case{lcReadCurrentMonitor, 4, "r64", 64, 24}, Case{lcReadCurrentDA, 1, "r65", 65, 31},
        Case{lcReadVoltageMonitor, 2, "r66", 66, 42}, Case{lcReadFrequency, 2, "r82", 82, 2000},
        Case{lcReadTriggerMode, 2, "r83", 83, 8}, Case{lcReadTemperature, 0, "r40", 40, 20.5},
        Case{lcReadHumidity, 5, "r45", 45, 55}, Case{lcReadPower, 0, "r90", 90, 0.75},
        Case{lcReadOvenTemperature, 2, "r31", 31, 35.5},
        Case{lcReadActualOvenTemperature, 2, "r32", 32, 35.25},
        Case{lcReadOvenTempError, 2, "r33", 33, -0.25},
        // -1 (never read) is recorded as its 16 bits unsigned.
        Case{lcReadOvenHeatingValue, 2, "r34", 34, 65535},
        Case{lcReadOvenHeatingValue, 3, "r34", 34, 300}, Case{lcReadState, 0, "r60", 60, 3.5},
        Case{lcReadPulseCount, 0, "r20", 20, -7}, Case{lcReadPulseNumber, 0, "r21", 21, 123456},
        Case{lcReadRegulatorLevel, 0, "r22", 22, 80},
        Case{lcReadActualRegulatorLevel, 0, "r23", 23, 79.5},
        Case{lcReadRegulatorState, 0, "r24", 24, 0},
        Case{lcReadActualSeederFrequency, 0, "r25", 25, 5e6},
        Case{lcReadFreeTriggerMode, 0, "r26", 26, 1}, Case{lcReadFreeTriggerPPB, 0, "r27", 27, 65535},
        // Not recorded.
        Case{lcReadMaxCurrent, 1, "r62", std::nullopt, 0},
        Case{lcReadCurrentLimit, 1, "r63", std::nullopt, 0},
        Case{lcReadFirmwareVersion, 0, "r03", std::nullopt, 0},
        Case{lcReadLDRunningTime, 1, "r05", std::nullopt, 0},
        Case{lcReadSeederFrequency, 0, "r28", std::nullopt, 0},
        Case{lcReadSN, 0, "r01", std::nullopt, 0}, Case{lcSetCurrent, 1, "w61", std::nullopt, 0},
        // Sub-ids outside the value's range make no sample rather than read past it.
        Case{lcReadCurrent, 0, "r61", std::nullopt, 0},
        Case{lcReadCurrent, 5, "r61", std::nullopt, 0},
        Case{lcReadHumidity, 6, "r45", std::nullopt, 0},
        Case{lcReadOvenTemperature, 0, "r31", std::nullopt, 0},
        Case{lcReadOvenHeatingValue, 4, "r34", std::nullopt, 0},
        // A text without a code makes no sample.
        Case{lcReadPower, 0, "rx", std::nullopt, 0}),
    [](const ::testing::TestParamInfo<Case>& info) {
      return std::string(LaserCommandName(info.param.command)) + "_" +
             std::to_string(info.param.sub) + "_" + std::to_string(info.index);
    });

TEST(SampleRule, FreeTriggerModeGivesBackTheNumberSent) {
  auto v = sampleValues();
  for (auto [stored, recorded] : {std::pair{0, 1.0}, {1, 0.0}, {65535, -65534.0}}) {
    v.FreeTriggerMode = static_cast<uint16_t>(stored);
    const auto s = qv::makeParamSamples(v, lcReadFreeTriggerMode, 0, "r26", 0);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(qv::paramDouble(s[0].Value), recorded) << stored;
  }
}

TEST(SampleRule, CodeFromCommandText) {
  const std::pair<const char*, std::optional<int16_t>> cases[] = {
      {"r71", 71},        {"r161", 161},         {"r161 2", 161},     {"w61 12.50", 61},
      {"r007", 7},        {"r-5", -5},           {"r70000", 4464},    {"r65535", -1},
      {"r", std::nullopt}, {"", std::nullopt},   {"r 5", std::nullopt}, {"rx1", std::nullopt},
      {"r1a", std::nullopt}, {"r-", std::nullopt}, {"r99999999999", std::nullopt},
      {"r2147483648", std::nullopt}, {"r-2147483648", 0}};
  for (const auto& [text, code] : cases) EXPECT_EQ(qv::paramCode(text), code) << text;
}

TEST(SampleRule, CodeListsPackEightLowBytesPerSample) {
  auto v = sampleValues();
  for (uint16_t c = 1; c <= 10; ++c) v.ErrorCodes.push_back(c);
  v.ErrorCodes[0] = 0x1F01;  // only the low byte is kept
  auto s = qv::makeParamSamples(v, lcReadErrorCode, 0, "r70", 999);
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0].Code, 70);
  EXPECT_EQ(s[1].Code, 70);
  EXPECT_EQ(s[0].Time, 999);
  EXPECT_EQ(s[1].Time, 999);
  EXPECT_EQ(s[0].Value, (TParamValue{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(s[1].Value, (TParamValue{9, 10, 0, 0, 0, 0, 0, 0}));

  v.WarningCodes = {1, 2, 3, 4, 5, 6, 7, 8};
  s = qv::makeParamSamples(v, lcReadWarningCode, 0, "r72", 0);
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s[0].Code, 72);

  v.WarningCodes.clear();
  EXPECT_TRUE(qv::makeParamSamples(v, lcReadWarningCode, 0, "r72", 0).empty());
}

}  // namespace
