// Real replies against the catalogue's own entries, with the branch rule applied. The expected
// groups were worked out independently with Python's re, on catalogues assembled from the entry
// lists and with every quantifier written out as lazy. An ordinary greedy engine fails several
// rows (for example it accepts LASER2 EXTERNAL for the branch-1 trigger-mode entry).
#include "catalogue/CommandCatalogue.h"
#include "catalogue/Pattern.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

const std::optional<std::string> kNo;  // a group that did not take part

// The catalogues the console's flow produces.
void build(TCommandList& list, const std::string& kind) {
  if (kind == "initial") AddInitialCommands(list);
  if (kind == "base3") BuildCommandCatalogue(list, 3);
  if (kind == "base2") BuildCommandCatalogue(list, 2);
  if (kind == "branch3") AddBranchCommands(list, 3, true);
  if (kind == "branch2") AddBranchCommands(list, 2, true);
  if (kind == "single3") AddSingleBranchCommands(list, 3, true);
  if (kind == "picker3") AddPickerRegulatorCommands(list, 3, true);
  if (kind == "picker2") AddPickerRegulatorCommands(list, 2, true);
}

struct Reply {
  const char* catalogue;
  TLaserCommand command;
  int subId;
  std::string reply;
  bool accepted;
  std::vector<std::optional<std::string>> groups;  // whole match, then up to the highest taken
};

void PrintTo(const Reply& r, std::ostream* os) {
  *os << r.catalogue << " " << LaserCommandName(r.command) << "/" << r.subId << " \"" << r.reply
      << "\"";
}

class CatalogueReply : public testing::TestWithParam<Reply> {};

TEST_P(CatalogueReply, MatchesLikeTheLazyOracle) {
  const Reply& c = GetParam();
  TCommandList list;
  build(list, c.catalogue);
  int index = list.IndexOfCommand(c.command, c.subId);
  ASSERT_GE(index, 0);
  std::optional<qv::PatternMatch> m = MatchCommandReply(*list.Items(index), c.reply);
  ASSERT_EQ(m.has_value(), c.accepted);
  if (m) {
    EXPECT_EQ(m->groups, c.groups);
  }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Replies, CatalogueReply, testing::ValuesIn(std::vector<Reply>{
    Reply{"initial", lcReadSN, 0, "S/N: 1234", true, {"S/N: 1234", "1234", "1234"}},
    Reply{"initial", lcReadSN, 0, "S/N:\t1234", true, {"S/N:\t1234", "1234", "1234"}},
    Reply{"base3", lcReadSN, 0, "S/N: 1234.000", true, {"S/N: 1234.000", "1234.000", "1234", ".000"}},
    Reply{"base3", lcReadSN, 0, "S/N:\t57\t", true, {"S/N:\t57\t", "57", "57"}},
    Reply{"base3", lcReadSN, 0, "S/N: 12.5", false, {}},
    Reply{"initial", lcReadStatus, 0, "LASER_ON", true, {"LASER_ON", "LASER_ON"}},
    Reply{"base3", lcReadStatus, 0, "LASER_OFF", true, {"LASER_OFF", "LASER_OFF"}},
    Reply{"base3", lcReadStatus, 0, "LASER_ONX", false, {}},
    Reply{"base3", lcReadCurrent, 1, "12.50 A", true, {"12.50 A", "12.50"}},
    Reply{"base3", lcReadCurrent, 2, " 0.00 A", true, {" 0.00 A", "0.00"}},
    Reply{"base3", lcReadCurrent, 1, "1234.50 A", false, {}},
    Reply{"base3", lcReadCurrentMonitor, 3, "IMON 3 = 1.20", true, {"IMON 3 = 1.20", "3", "1.20"}},
    Reply{"base3", lcReadCurrentMonitor, 1, "IMON 3 = 1.20", false, {}},
    Reply{"base3", lcReadCurrentDA, 2, "IDA 2 = 10.05", true, {"IDA 2 = 10.05", "2", "10.05"}},
    Reply{"base3", lcReadVoltageMonitor, 4, "VMON4=1.99", true, {"VMON4=1.99", "4", "1.99"}},
    Reply{"base3", lcReadRunningTime, 0, "1234 H\r\n 5 M", true, {"1234 H\r\n 5 M", "1234", "5"}},
    Reply{"base3", lcReadRunningTime, 0, "12 H\r\n123 M", false, {}},
    Reply{"base3", lcReadLHC03SN, 0, "S/N LASER-HEAD: 4711", true, {"S/N LASER-HEAD: 4711", "4711"}},
    Reply{"base3", lcReadLHC03SN, 0, "S/N LASER-HEAD : -1", true, {"S/N LASER-HEAD : -1", "-1"}},
    Reply{"base3", lcReadFirmwareVersion, 0, "VERSION: 3.2, 15.03.2019", true, {"VERSION: 3.2, 15.03.2019", "3", ".2", "2", "15", "03", "2019"}},
    Reply{"base3", lcReadFirmwareVersion, 0, "VERSION : 12.,1 1 2021", true, {"VERSION : 12.,1 1 2021", "12", ".", kNo, "1", "1", "2021"}},
    Reply{"base3", lcReadFirmwareVersion, 0, "VERSION: 3.2, 15.03.2031", false, {}},
    Reply{"base3", lcReadState, 0, "2.25", true, {"2.25", "2", kNo, ".25", "25"}},
    Reply{"base3", lcReadState, 0, "8003", true, {"8003", "8003", "800"}},
    Reply{"base3", lcReadState, 0, "4", true, {"4", "4"}},
    Reply{"base3", lcReadState, 0, "23", false, {}},
    Reply{"base3", lcReadSeederFrequency, 0, "SEEDER-FREQUENCY = 20.000 MHZ", true, {"SEEDER-FREQUENCY = 20.000 MHZ", "20.000", ".000", "M"}},
    Reply{"base3", lcReadActualSeederFrequency, 0, "ACT. SEEDER-FREQUENCY = 19998.5 KHZ", true, {"ACT. SEEDER-FREQUENCY = 19998.5 KHZ", "19998.5", ".5", "K"}},
    Reply{"base3", lcReadActualSeederFrequency, 0, "ACT. SEEDER-FREQUENCY = 80.0 HZ", true, {"ACT. SEEDER-FREQUENCY = 80.0 HZ", "80.0", ".0", ""}},
    Reply{"base3", lcReadPulseCount, 0, "PULSE COUNT = 1200", true, {"PULSE COUNT = 1200", "PULSE COUNT", "1200", "200"}},
    Reply{"base3", lcReadPulseCount, 0, "SFD = -5.00", true, {"SFD = -5.00", "SFD", "-5.00", ".00"}},
    Reply{"base3", lcReadPulseNumber, 0, "PPB = 3", true, {"PPB = 3", "PPB", "3"}},
    Reply{"base3", lcReadRegulatorLevel, 0, "VREG SOLL = 55.5 %", true, {"VREG SOLL = 55.5 %", "VREG SOLL", "55.5", ".5"}},
    Reply{"base3", lcReadRegulatorLevel, 0, "VMOD SETPOINT = 40%", true, {"VMOD SETPOINT = 40%", "VMOD SETPOINT", "40", "0"}},
    Reply{"base3", lcReadOvenHeatingValue, 2, "Y: 123 OF 4095", true, {"Y: 123 OF 4095", "123"}},
    Reply{"base3", lcReadFlowRate, 0, "WATER FLOW = 3.45 L/MIN", true, {"WATER FLOW = 3.45 L/MIN", "3.45"}},
    Reply{"base3", lcReadLDRunningTime, 2, "LD 2 OPERATING HOURS 1234.56 HH.MM", true, {"LD 2 OPERATING HOURS 1234.56 HH.MM", "2", "1234", "56"}},
    Reply{"base3", lcReadTemperature, 1, "TEMPERATURE LASER 1 = 25.3 \xB0""C", true, {"TEMPERATURE LASER 1 = 25.3 \xB0""C", "1", "25.3", ".3"}},
    Reply{"base3", lcReadTemperature, 2, "TEMPERATURE LASER 1 = 25.3 \xB0""C", false, {}},
    Reply{"base3", lcReadTemperature, 3, "TEMPERATURE RESONATOR 1 = -4 \xB0""C", true, {"TEMPERATURE RESONATOR 1 = -4 \xB0""C", "-4"}},
    Reply{"base3", lcReadTemperature, 0, "TEMPERATURE POWER-SUPPLY: 41.07\xB0""C", true, {"TEMPERATURE POWER-SUPPLY: 41.07\xB0""C", "41.07", ".07"}},
    Reply{"base3", lcReadTemperature, 1, "TEMPERATURE LASER 1 = 25.3 C", false, {}},
    Reply{"base3", lcReadHumidity, 2, "HUMIDITY LASER 2 = 35.1 %", true, {"HUMIDITY LASER 2 = 35.1 %", "2", "35.1", ".1"}},
    Reply{"base3", lcReadHumidity, 5, "HUMIDITY 5 = 12 %", true, {"HUMIDITY 5 = 12 %", "12", "2"}},
    Reply{"base3", lcReadPower, 0, "MED. POWER = 1.25 W", true, {"MED. POWER = 1.25 W", "1.25", ".25"}},
    Reply{"base3", lcReadOvenTemperature, 3, "W_O3 = 45.00", true, {"W_O3 = 45.00", "3", "45.00", ".00"}},
    Reply{"base3", lcReadActualOvenTemperature, 1, "X_O1=44.98", true, {"X_O1=44.98", "1", "44.98", ".98"}},
    Reply{"base3", lcReadOvenTempError, 2, "E_O2 = -0.02", true, {"E_O2 = -0.02", "2", "-0.02", ".02"}},
    Reply{"base3", lcReadOvenTempError, 2, "E_O1 = -0.02", false, {}},
    Reply{"base3", lcSetCurrent, 1, "OK", true, {"OK"}},
    Reply{"base3", lcSetCurrent, 1, "OK?", false, {}},
    Reply{"base3", lcReadErrorCode, 0, "OK", true, {"OK"}},
    Reply{"base2", lcReadFlowRate, 0, "FLOW: 3.45 L/MIN", true, {"FLOW: 3.45 L/MIN", "3.45"}},
    Reply{"base2", lcReadPulseCount, 0, "FACTOR = 10", true, {"FACTOR = 10", "10"}},
    Reply{"base2", lcReadPulseNumber, 0, "PULSES PER SHOT = 2", true, {"PULSES PER SHOT = 2", "2"}},
    Reply{"branch3", lcReadTriggerMode, 1, "LASER2 EXTERNAL", false, {}},
    Reply{"branch3", lcReadTriggerMode, 2, "LASER2 EXTERNAL", true, {"LASER2 EXTERNAL", "LASER2", "2", "EXTERNAL"}},
    Reply{"branch3", lcReadTriggerMode, 1, "TRIGGER MODE LASER1 HV-ON", true, {"TRIGGER MODE LASER1 HV-ON", "LASER1", "1", "HV-ON"}},
    Reply{"branch3", lcReadTriggerMode, 1, "TRIGGER MODE INTERNAL", true, {"TRIGGER MODE INTERNAL", kNo, kNo, "INTERNAL"}},
    Reply{"branch3", lcReadTriggerMode, 2, "CW", true, {"CW", kNo, kNo, "CW"}},
    Reply{"branch2", lcReadTriggerMode, 1, "LASER1 HV-ON", false, {}},
    Reply{"branch2", lcReadTriggerMode, 2, "LASER2 CW MODE", true, {"LASER2 CW MODE", "LASER2", "2", "CW"}},
    Reply{"branch3", lcReadFrequency, 1, "FREQUENCY = -1.00 HZ", true, {"FREQUENCY = -1.00 HZ", "-1.00"}},
    Reply{"branch2", lcReadFrequency, 1, "FREQUENCY = -1.00 HZ", false, {}},
    Reply{"branch2", lcReadFrequency, 2, "TRIGGER FREQUENCY = 10000.00 HZ", true, {"TRIGGER FREQUENCY = 10000.00 HZ", "10000.00"}},
    Reply{"branch3", lcReadMaxCurrent, 1, "IMAX1 = 35.00 A", true, {"IMAX1 = 35.00 A", "1", "35.00"}},
    Reply{"branch3", lcReadMaxCurrent, 2, "IMAX1 = 35.00 A", false, {}},
    Reply{"branch3", lcReadMaxCurrent, 2, "IMAX = 35.00A", true, {"IMAX = 35.00A", kNo, "35.00"}},
    Reply{"single3", lcReadMaxCurrent, 2, "I_GRENZ = 30.00 A", true, {"I_GRENZ = 30.00 A", "_GRENZ", "30.00"}},
    Reply{"single3", lcReadTriggerMode, 1, "TRIGGER_MODE: CW", true, {"TRIGGER_MODE: CW", "CW"}},
    Reply{"single3", lcReadFrequency, 1, "FREQUENCY = 5000.00 HZ", true, {"FREQUENCY = 5000.00 HZ", "5000.00"}},
    Reply{"picker3", lcReadActualRegulatorLevel, 0, "VREG = 51.2 %", true, {"VREG = 51.2 %", "REG", "51.2", ".2"}},
    Reply{"picker3", lcReadRegulatorState, 0, "VMOD ACTIVE = 1", true, {"VMOD ACTIVE = 1", "VMOD ACTIVE", "1"}},
    Reply{"picker3", lcReadProtectionPulseRange, 1, "MAX. PERIOD = 100 PULSES", true, {"MAX. PERIOD = 100 PULSES", "100"}},
    Reply{"picker3", lcReadProtectionPulseRange, 3, "HI PERIOD = 7 PULSES", true, {"HI PERIOD = 7 PULSES", "HI", "7"}},
    Reply{"picker3", lcReadProtectionCurrentLimit, 33, "MAX. PERIOD MAX. CURRENT = 12.5 A", true, {"MAX. PERIOD MAX. CURRENT = 12.5 A", "12.5", ".5"}},
    Reply{"picker3", lcReadProtectionCurrentLimit, 51, "MIN PERIOD, MAX. CURRENT = 30 A", true, {"MIN PERIOD, MAX. CURRENT = 30 A", "MIN", "30"}},
    Reply{"picker3", lcReadMaxCurrent, 3, "IMAX3 = 20.00 A", true, {"IMAX3 = 20.00 A", "3", "20.00"}},
    Reply{"picker3", lcReadMaxCurrent, 4, "IMAX3 = 20.00 A", false, {}},
    Reply{"picker3", lcReadFreeTriggerMode, 0, "FREE TRIGGER AKTIVE ( 1 )", true, {"FREE TRIGGER AKTIVE ( 1 )", "1"}},
    Reply{"picker3", lcReadFreeTriggerPPB, 0, "PPB IN FT = 25", true, {"PPB IN FT = 25", "25"}},
    Reply{"picker3", lcReadFreeTriggerPPB, 0, "PPBINFT = 25", false, {}},
}));
// clang-format on

TEST(CatalogueReply, AGreedyReadingWouldTakeLaser2ForBranch1) {
  // The same trigger-mode pattern with its "?" suffixes inverted to greedy: the optional LASER
  // group is skipped and the reply loses its branch, so every branch would accept it.
  TCommandList list;
  AddBranchCommands(list, 3, true);
  const std::string pattern = list.FindCommand(lcReadTriggerMode, 1)->Pattern;
  auto greedy = qv::Pattern::match("(?U)" + pattern, "LASER2 EXTERNAL", qv::PatternSyntax::Plain);
  ASSERT_TRUE(greedy);
  EXPECT_FALSE(greedy->tookPart(2));
  EXPECT_FALSE(MatchCommandReply(*list.FindCommand(lcReadTriggerMode, 1), "LASER2 EXTERNAL"));
}

TEST(CatalogueReply, EmptyPatternNeverMatches) {
  TCommandList list;
  BuildCommandCatalogue(list, 3);
  EXPECT_FALSE(MatchCommandReply(*list.FindCommand(lcReadWarningCode, 0), ""));
  EXPECT_FALSE(MatchCommandReply(*list.FindCommand(lcWaitBeforeNext, 0), "WAIT"));
}

}  // namespace
