#include "catalogue/CommandCatalogue.h"

#include <vector>

namespace {

// clang-format off

// One entry as the tables below write it.
struct Entry {
  TLaserCommand command;
  std::uint8_t subId;
  const char* cmdStr;
  std::string pattern;
  std::vector<std::int16_t> groups;
  const char* description;
};
using Table = std::vector<Entry>;

void addAll(TCommandList& list, const Table& table) {
  for (const Entry& e : table)
    list.Add(e.command, e.subId, e.cmdStr, e.pattern, e.groups, e.description);
}

// The entries of a new laser object. The serial-number pattern here allows only blanks after
// the number; the base catalogue's allows tabs as well.
const Table& initialEntries() {
  static const Table table = {
    {lcReadSN, 0, "r01", R"(\AS/N:[ \t]*?((\d+?)(\.0*?)??)[ ]*?\Z)", {-1, 2}, "Read the serial number"},
    {lcReadStatus, 0, "r60", R"(\A(LASER_ON|LASER_OFF)\Z)", {-1, 0}, "Check if Laser ON status"},
  };
  return table;
}

// Both generations, first.
const Table& commonEntries() {
  static const Table table = {
    {lcWaitBeforeNext, 0, "WAIT", "", {-1, 1}, "Wait before next command"},
    {lcReadSN, 0, "r01", R"(\AS/N:[ \t]*?((\d+?)(\.0*?)??)[ \t]*?\Z)", {-1, 2}, "Read the serial number"},
    {lcReadStatus, 0, "r60", R"(\A(LASER_ON|LASER_OFF)\Z)", {-1, 0}, "Check if Laser ON status"},
    {lcReadCurrent, 1, "r61", R"(\A[ \t]*?(\d{1,3}.\d\d) A\Z)", {-1, 1}, "Read nominal current of Laser1"},
    {lcReadCurrent, 2, "r62", R"(\A[ \t]*?(\d{1,3}.\d\d) A\Z)", {-1, 1}, "Read nominal current of Laser2"},
    {lcReadCurrent, 3, "r161", R"(\A[ \t]*?(\d{1,3}.\d\d) A\Z)", {-1, 1}, "Read nominal current of Laser3"},
    {lcReadCurrent, 4, "r162", R"(\A[ \t]*?(\d{1,3}.\d\d) A\Z)", {-1, 1}, "Read nominal current of Laser4"},
    {lcReadCurrentMonitor, 1, "r53", R"(\A[ \t]*?IMON[ \t]*?(\d)[ \t]*?=[ \t]*?(\d{1,3}.\d\d)\Z)", {1, 2}, "Read monitor current of Laser1"},
    {lcReadCurrentMonitor, 2, "r56", R"(\A[ \t]*?IMON[ \t]*?(\d)[ \t]*?=[ \t]*?(\d{1,3}.\d\d)\Z)", {1, 2}, "Read monitor current of Laser1"},
    {lcReadCurrentMonitor, 3, "r153", R"(\A[ \t]*?IMON[ \t]*?(\d)[ \t]*?=[ \t]*?(\d{1,3}.\d\d)\Z)", {1, 2}, "Read monitor current of Laser1"},
    {lcReadCurrentMonitor, 4, "r156", R"(\A[ \t]*?IMON[ \t]*?(\d)[ \t]*?=[ \t]*?(\d{1,3}.\d\d)\Z)", {1, 2}, "Read monitor current of Laser1"},
    {lcReadCurrentDA, 1, "r54", R"(\A[ \t]*?IDA[ \t]*?(\d)[ \t]*?=[ \t]*?(\d{1,3}.\d\d)\Z)", {1, 2}, "Read DA of current of Laser1"},
    {lcReadCurrentDA, 2, "r57", R"(\A[ \t]*?IDA[ \t]*?(\d)[ \t]*?=[ \t]*?(\d{1,3}.\d\d)\Z)", {1, 2}, "Read DA of current of Laser1"},
    {lcReadCurrentDA, 3, "r154", R"(\A[ \t]*?IDA[ \t]*?(\d)[ \t]*?=[ \t]*?(\d{1,3}.\d\d)\Z)", {1, 2}, "Read DA of current of Laser1"},
    {lcReadCurrentDA, 4, "r157", R"(\A[ \t]*?IDA[ \t]*?(\d)[ \t]*?=[ \t]*?(\d{1,3}.\d\d)\Z)", {1, 2}, "Read DA of current of Laser1"},
    {lcReadVoltageMonitor, 1, "r52", R"(\A[ \t]*?VMON[ \t]*?(\d)[ \t]*?=[ \t]*?(\d{1,3}.\d\d)\Z)", {1, 2}, "Read monitor voltage of Laser1"},
    {lcReadVoltageMonitor, 2, "r55", R"(\A[ \t]*?VMON[ \t]*?(\d)[ \t]*?=[ \t]*?(\d{1,3}.\d\d)\Z)", {1, 2}, "Read monitor voltage of Laser1"},
    {lcReadVoltageMonitor, 3, "r152", R"(\A[ \t]*?VMON[ \t]*?(\d)[ \t]*?=[ \t]*?(\d{1,3}.\d\d)\Z)", {1, 2}, "Read monitor voltage of Laser1"},
    {lcReadVoltageMonitor, 4, "r155", R"(\A[ \t]*?VMON[ \t]*?(\d)[ \t]*?=[ \t]*?(\d{1,3}.\d\d)\Z)", {1, 2}, "Read monitor voltage of Laser1"},
    {lcReadRunningTime, 0, "r51", R"(\A[ \t]*?(\d+?)[ \t]*?H[ \t]*?\r\n[ \t]*?(\d{1,2})[ \t]*?M[ \t]*?\Z)", {-1, 1, 2}, "Read the running time"},  // two-line reply
    {lcReadErrorCode, 0, "r90", R"(OK)", {-1, 0}, "Read error code"},
    {lcReadLHC03SN, 0, "r02", R"(\AS/N[ \t]*?LASER-HEAD[ \t]*?:[ \t]*?(-??\d+?)[ \t]*?\Z)", {-1, 1}, "Read SN of LHC03 controller"},
    {lcReadFirmwareVersion, 0, "r12", R"(\AVERSION[ \t]*?:[ \t]*?(\d+?)(\.([0-9])??)[ \t]*?[, ][ \t]*?(\d{1,2})[\. ]([01]??\d)[\. ](20[12]\d)[ \t]*?\Z)", {-1, 1, 3, 4, 5, 6}, "Read firmware version"},
    {lcReadState, 0, "r99", R"(\A((800)??\d)(\.(\d*?))??\Z)", {-1, 1, 3}, "Read Laser state"},
    {lcSetStatus, 0, "w60", R"(\AOK\Z)", {-1, 0}, "Turn Laser ON or OFF"},
    {lcSaveSettings, 0, "w98 101", R"(\AOK\Z)", {-1, 0}, "Save current Laser parameters into the control board"},
    {lcReset, 0, "w99 101", R"(\AOK\Z)", {-1, 0}, "Reset Laser hardware"},
    {lcClearError, 0, "w97 101", R"(\AOK\Z)", {-1, 0}, "Try to clear the error status of the Laser"},
    {lcSetPassword, 0, "w01", R"(\AOK\Z)", {-1, 0}, "Input password for advanced control settings"},
    {lcSetCurrent, 1, "w61", R"(\AOK\Z)", {-1, 0}, "Set nominal current"},
    {lcSetCurrent, 2, "w62", R"(\AOK\Z)", {-1, 0}, "Set nominal current"},
    {lcSetCurrent, 3, "w161", R"(\AOK\Z)", {-1, 0}, "Set nominal current"},
  };
  return table;
}

// Controller generation 3 and later, after the common entries.
const Table& generation3Entries() {
  static const Table table = {
    {lcReadSeederFrequency, 0, "r170", R"(\A[ \t]*?SEEDER-FREQUENCY[ \t]*?=[ \t]*?(\d+?(.\d*?))[ \t]([KM]??)HZ[ \t]*?\Z)", {-1, 1, 3}, "Read seeder frequency saved in the controller"},
    {lcReadActualSeederFrequency, 0, "r171", R"(\A[ \t]*?ACT\.[ \t]*?SEEDER-FREQUENCY[ \t]*?=[ \t]*?(\d+?(.\d*?))[ \t]([KM]??)HZ[ \t]*?\Z)", {-1, 1, 3}, "Read actual seeder frequency"},
    {lcReadPulseCount, 0, "r172", R"(\A[ \t]*?(PULSE COUNT|SFD)[ \t]*?=[ \t]*?(-??\d+?(.00)??)[ \t]*?\Z)", {-1, 2}, "Read the pulse count of pulse picker"},
    {lcReadPulseNumber, 0, "r173", R"(\A[ \t]*?(PULSE NUMBER|PPB)[ \t]*?=[ \t]*?(-??\d+?(.00)??)[ \t]*?\Z)", {-1, 2}, "Read the pulse number of pusle picker"},
    {lcReadRegulatorLevel, 0, "r175", R"(\A[ \t]*?(VREG[ \t]*?SOLL|VMOD SETPOINT)[ \t]*?=[ \t]*?(-??\d+?(.\d*?)??)[ \t]*?%[ \t]*?\Z)", {-1, 2}, "Read the nominal level of power regulator"},
    {lcSetHVOn, 1, "w71 7", R"(\AOK\Z)", {-1, 0}, "Set trigger mode of branch 1 to External"},
    {lcReadWarningCode, 0, "r91", "", {-1, 0}, "Read warning codes"},
    {lcReadOvenHeatingValue, 1, "w09 1", R"(\A[ \t]*?Y[ \t]*?:[ \t]*?(\d+?)[ \t].*?\Z)", {-1, 1}, ""},
    {lcReadOvenHeatingValue, 2, "w19 1", R"(\A[ \t]*?Y[ \t]*?:[ \t]*?(\d+?)[ \t].*?\Z)", {-1, 1}, ""},
    {lcReadOvenHeatingValue, 3, "w29 1", R"(\A[ \t]*?Y[ \t]*?:[ \t]*?(\d+?)[ \t].*?\Z)", {-1, 1}, ""},
    {lcReadFlowRate, 0, "r32", R"(\A[ \t]*?WATER[ \t]*?FLOW[ \t]*?=[ \t]*?(\d+?\.\d+?)[ \t]*?L/MIN[ \t]*?\Z)", {-1, 1}, "Read current flow rate of cooling water"},
    {lcReadLDRunningTime, 1, "r58", R"(\A[ \t]*?LD[ \t]*?(\d)[ \t]*?OPERATING[ \t]+?HOURS[ \t]+?(\d+?)\.(\d+?)[ \t]*?HH\.MM[ \t]*?\Z)", {1, 2, 3}, ""},
    {lcReadLDRunningTime, 2, "r59", R"(\A[ \t]*?LD[ \t]*?(\d)[ \t]*?OPERATING[ \t]+?HOURS[ \t]+?(\d+?)\.(\d+?)[ \t]*?HH\.MM[ \t]*?\Z)", {1, 2, 3}, ""},
    {lcReadTemperature, 1, "r86", R"(\A[ \t]*?TEMPERATURE[ \t]*?LASER[ \t]*?(\d)[ \t]*?[:=][ \t]*?(-??\d+?(.\d*?)??)[ \t]*?)" "\xB0" R"(C[ \t]*?\Z)", {1, 2}, ""},
    {lcReadTemperature, 2, "r87", R"(\A[ \t]*?TEMPERATURE[ \t]*?LASER[ \t]*?(\d)[ \t]*?[:=][ \t]*?(-??\d+?(.\d*?)??)[ \t]*?)" "\xB0" R"(C[ \t]*?\Z)", {1, 2}, ""},
    {lcReadTemperature, 3, "r88", R"(\A[ \t]*?TEMPERATURE[ \t]*?RESONATOR[ \t]*?1[ \t]*?=[ \t]*?(-??\d+?(.\d*?)??)[ \t]*?)" "\xB0" R"(C[ \t]*?\Z)", {-1, 1}, ""},
    {lcReadTemperature, 4, "r89", R"(\A[ \t]*?TEMPERATURE[ \t]*?RESONATOR[ \t]*?2[ \t]*?=[ \t]*?(-??\d+?(.\d*?)??)[ \t]*?)" "\xB0" R"(C[ \t]*?\Z)", {-1, 1}, ""},
    {lcReadTemperature, 0, "r20", R"(\A[ \t]*?TEMPERATURE[ \t]*?POWER\-SUPPLY[ \t]*?:[ \t]*?(-??\d+?(.\d*?)??)[ \t]*?)" "\xB0" R"(C[ \t]*?\Z)", {-1, 1}, ""},
    {lcReadHumidity, 1, "r80", R"(\A[ \t]*?HUMIDITY[ \t]*?LASER[ \t]*?(\d)[ \t]*?=[ \t]*?(-??\d+?(.\d*?)??)[ \t]*?%[ \t]*?\Z)", {1, 2}, ""},
    {lcReadHumidity, 2, "r81", R"(\A[ \t]*?HUMIDITY[ \t]*?LASER[ \t]*?(\d)[ \t]*?=[ \t]*?(-??\d+?(.\d*?)??)[ \t]*?%[ \t]*?\Z)", {1, 2}, ""},
    {lcReadHumidity, 3, "r82", R"(\A[ \t]*?HUMIDITY[ \t]*?RESONATOR[ \t]*?1[ \t]*?=[ \t]*?(-??\d+?(.\d*?)??)[ \t]*?%[ \t]*?\Z)", {-1, 1}, ""},
    {lcReadHumidity, 4, "r83", R"(\A[ \t]*?HUMIDITY[ \t]*?RESONATOR[ \t]*?2[ \t]*?=[ \t]*?(-??\d+?(.\d*?)??)[ \t]*?%[ \t]*?\Z)", {-1, 1}, ""},
    {lcReadHumidity, 5, "r84", R"(\A[ \t]*?HUMIDITY[ \t]*?5[ \t]*?=[ \t]*?(-??\d+?(.\d*?)??)[ \t]*?%[ \t]*?\Z)", {-1, 1}, ""},
    {lcReadPower, 0, "r203", R"(\A[ \t]*?MED\.[ \t]*?POWER[ \t]*?=[ \t]*?(-??\d+?(.\d*?)??)[ \t]*?W[ \t]*?\Z)", {-1, 1}, ""},
    {lcReadOvenTemperature, 1, "r05", R"(\A[ \t]*?W_O(\d)[ \t]*?=[ \t]*?(-??\d+?(.\d*?)??)[ \t]*?\Z)", {1, 2}, ""},
    {lcReadOvenTemperature, 2, "r15", R"(\A[ \t]*?W_O(\d)[ \t]*?=[ \t]*?(-??\d+?(.\d*?)??)[ \t]*?\Z)", {1, 2}, ""},
    {lcReadOvenTemperature, 3, "r25", R"(\A[ \t]*?W_O(\d)[ \t]*?=[ \t]*?(-??\d+?(.\d*?)??)[ \t]*?\Z)", {1, 2}, ""},
    {lcReadActualOvenTemperature, 1, "r06", R"(\A[ \t]*?X_O(\d)[ \t]*?=[ \t]*?(-??\d+?(.\d*?)??)[ \t]*?\Z)", {1, 2}, ""},
    {lcReadActualOvenTemperature, 2, "r16", R"(\A[ \t]*?X_O(\d)[ \t]*?=[ \t]*?(-??\d+?(.\d*?)??)[ \t]*?\Z)", {1, 2}, ""},
    {lcReadActualOvenTemperature, 3, "r26", R"(\A[ \t]*?X_O(\d)[ \t]*?=[ \t]*?(-??\d+?(.\d*?)??)[ \t]*?\Z)", {1, 2}, ""},
    {lcReadOvenTempError, 1, "r07", R"(\A[ \t]*?E_O(\d)[ \t]*?=[ \t]*?(-??\d+?(.\d*?)??)[ \t]*?\Z)", {1, 2}, ""},
    {lcReadOvenTempError, 2, "r17", R"(\A[ \t]*?E_O(\d)[ \t]*?=[ \t]*?(-??\d+?(.\d*?)??)[ \t]*?\Z)", {1, 2}, ""},
    {lcReadOvenTempError, 3, "r27", R"(\A[ \t]*?E_O(\d)[ \t]*?=[ \t]*?(-??\d+?(.\d*?)??)[ \t]*?\Z)", {1, 2}, ""},
  };
  return table;
}

// Older controllers, after the common entries. Here "r91" reads the flow rate.
const Table& olderGenerationEntries() {
  static const Table table = {
    {lcReadFlowRate, 0, "r91", R"(\AFLOW:[ \t]*?(\d{1,2}\.\d\d) L/MIN\Z)", {-1, 1}, "Read current flow rate of cooling water"},
    {lcReadPulseCount, 0, "r74", R"(\A[ \t]*?FACTOR[ \t]*?=[ \t]*?(-??\d+?)[ \t]*?\Z)", {-1, 1}, "Read the pulse count of pulse picker"},
    {lcReadPulseNumber, 0, "r75", R"(\A[ \t]*?PULSES PER SHOT[ \t]*?=[ \t]*?(-??\d+?)[ \t]*?\Z)", {-1, 1}, "Read the pulse number of pusle picker"},
  };
  return table;
}

// Two-branch lasers: maximum-current reads of both generations.
const Table& branchEntries() {
  static const Table table = {
    {lcReadMaxCurrent, 1, "r67", R"(\AIMAX([12])??[ \t]*?=[ \t]*?(\d{1,3}\.\d{2}) *?A\Z)", {1, 2}, "Read current limit of Laser1"},
    {lcReadMaxCurrent, 2, "r69", R"(\AIMAX([12])??[ \t]*?=[ \t]*?(\d{1,3}\.\d{2}) *?A\Z)", {1, 2}, "Read current limit of Laser2"},
  };
  return table;
}

// Two-branch lasers, generation 3: the trigger-mode reads know HV-ON.
const Table& branchGeneration3Entries() {
  static const Table table = {
    {lcReadTriggerMode, 1, "r71", R"(\A[ \w]*?(LASER([12]))??[ \t]*?(EXTERNAL|INTERNAL|CW|HV-ON).*\Z)", {2, 3}, "Read trigger mode of branch 1"},
    {lcReadTriggerMode, 2, "r72", R"(\A[ \w]*?(LASER([12]))??[ \t]*?(EXTERNAL|INTERNAL|CW|HV-ON).*\Z)", {2, 3}, "Read trigger mode of branch 2"},
  };
  return table;
}

// Two-branch lasers, older generation: trigger-mode reads and the branch-2 frequency.
const Table& branchOlderGenerationEntries() {
  static const Table table = {
    {lcReadTriggerMode, 1, "r71", R"(\A[ \w]*?(LASER([12]))??[ \t]*?(EXTERNAL|INTERNAL|CW).*\Z)", {2, 3}, "Read trigger mode of branch 1"},
    {lcReadTriggerMode, 2, "r72", R"(\A[ \w]*?(LASER([12]))??[ \t]*?(EXTERNAL|INTERNAL|CW).*\Z)", {2, 3}, "Read trigger mode of branch 2"},
    {lcReadFrequency, 2, "r74", R"(\A[ \w]*?FREQUENCY[ \t]*?=[ \t]*?(\d+?\.\d{2}) HZ\Z)", {-1, 1}, "Read trigger frequency (Internal or Max External)"},
    {lcSetFrequency, 2, "w74", R"(\AOK\Z)", {-1, 0}, "Set Internal trigger freqeuncy or max frequency of external trigger of branch 2"},
  };
  return table;
}

// Two-branch lasers, both generations, after the entries above. Only generation 3 reports a
// negative branch-1 frequency.
Table branchTrailingEntries(bool generation3) {
  std::string frequency = std::string(R"(\A[ \w]*?FREQUENCY[ \t]*?=[ \t]*?()") +
                          (generation3 ? "-??" : "") + R"(\d+?\.\d{2}) HZ\Z)";
  Table table = {
    {lcReadFrequency, 1, "r73", R"(\A[ \w]*?FREQUENCY[ \t]*?=[ \t]*?(-??\d+?\.\d{2}) HZ\Z)", {-1, 1}, "Read trigger frequency (Internal or Max External)"},
    {lcSetInternal, 0, "w70 1", R"(\AOK\Z)", {-1, 0}, "Set trigger mode to Internal"},
    {lcSetExternal, 1, "w71 1", R"(\AOK\Z)", {-1, 0}, "Set trigger mode of branch 1 to External"},
    {lcSetExternal, 2, "w72 1", R"(\AOK\Z)", {-1, 0}, "Set trigger mode of branch 2 to External"},
    {lcSetCW, 1, "w71 2", R"(\AOK\Z)", {-1, 0}, "Set trigger mode of branch 1 to CW"},
    {lcSetCW, 2, "w72 2", R"(\AOK\Z)", {-1, 0}, "Set trigger mode of branch 2 to CW"},
    {lcSetFrequency, 1, "w73", R"(\AOK\Z)", {-1, 0}, "Set Internal trigger freqeuncy or max frequency of external trigger of branch 1"},
    {lcSetMaxCurrent, 1, "w67", R"(\AOK\Z)", {-1, 0}, "Set max current of Laser1 which should not exceed current limit"},
    {lcSetMaxCurrent, 2, "w69", R"(\AOK\Z)", {-1, 0}, "Set max current of Laser2 which should not exceed current limit"},
    {lcSetCurrentLimit, 1, "p66", R"(\AOK\Z)", {-1, 0}, "Set current limit of Laser1"},
  };
  table[0].pattern = frequency;
  return table;
}

// A laser whose one branch answers as branch 2, appended after the branch-1 current removals.
const Table& singleBranchEntries() {
  static const Table table = {
    {lcReadMaxCurrent, 2, "r65", R"(\AI(MAX|_GRENZ)[ \t]*?=[ \t]*?(\d{1,2}\.\d{2}) A\Z)", {-1, 2}, "Read max current"},
    {lcSetInternal, 1, "w70 1", R"(\AOK\Z)", {-1, 0}, "Set trigger mode to Internal"},
    {lcSetExternal, 1, "w70 0", R"(\AOK\Z)", {-1, 0}, "Set trigger mode to External"},
    {lcSetCW, 1, "w70 2", R"(\AOK\Z)", {-1, 0}, "Set trigger mode of branch 2 to CW"},
    {lcSetFrequency, 1, "w71", R"(\AOK\Z)", {-1, 0}, "Set Internal trigger freqeuncy or max frequency of external trigger"},
    {lcReadTriggerMode, 1, "r70", R"(\A[ \w]*?TRIGGER_MODE:[ \t]*?(EXTERNAL|INTERNAL|CW).*\Z)", {-1, 1}, "Read trigger mode of branch 1"},
    {lcReadFrequency, 1, "r71", R"(\A[ \w]*?FREQUENCY[ \t]*?=[ \t]*?(\d+?\.\d{2}) HZ\Z)", {-1, 1}, "Read trigger frequency"},
  };
  return table;
}

// Pulse picker and power regulator, generation 3.
const Table& pickerRegulatorGeneration3Entries() {
  static const Table table = {
    {lcReadActualRegulatorLevel, 0, "r176", R"(\A[ \t]*?V(REG|MOD)[ \t]*?=[ \t]*?(-??\d+?(.\d*?)??)[ \t]*?%[ \t]*?\Z)", {-1, 2}, "Read the actual level of power regulator"},
    {lcReadRegulatorState, 0, "r178", R"(\A[ \t]*?(VREG_ACTIVE|VMOD ACTIVE)[ \t]*?=[ \t]*?(-??\d+?(.\d*?)??)[ \t]*?\Z)", {-1, 2}, "Check if the power regulator has been activated"},
    {lcSetPulseCount, 0, "w172", R"(\AOK\Z)", {-1, 0}, "Set pulse count paramter of pulse picker"},
    {lcSetPulseNumber, 0, "w173", R"(\AOK\Z)", {-1, 0}, "Set pulse number paramter of pulse picker"},
    {lcSetRegulatorLevel, 0, "w175", R"(\AOK\Z)", {-1, 0}, "Set the level of power regulator"},
    {lcSetRegulator, 0, "w178", R"(\AOK\Z)", {-1, 0}, "Activate/deactivate power regulator"},
    {lcReadProtectionPulseRange, 1, "r180", R"(\A[ \t]*?MAX.*?[ \t]*?PERIOD.*?=[ \t]*?(\d+?)[ \t]*?PULSES[ \t]*?\Z)", {-1, 1}, "Read max period"},
    {lcReadProtectionPulseRange, 2, "r182", R"(\A[ \t]*?MED.*?[ \t]*?PERIOD.*?=[ \t]*?(\d+?)[ \t]*?PULSES[ \t]*?\Z)", {-1, 1}, "Read medium period"},
    {lcReadProtectionPulseRange, 3, "r184", R"(\A[ \t]*?(MIN|HI).*?[ \t]*?PERIOD.*?=[ \t]*?(\d+?)[ \t]*?PULSES[ \t]*?\Z)", {-1, 2}, "Read min period"},
    {lcReadProtectionCurrentLimit, 33, "r181", R"(\A[ \t]*?MAX.*?[ \t]*?PERIOD.*?MAX\.*?[ \t]*?CURRENT.*?=[ \t]*?(\d+?(\.\d*?)??)[ \t]*?A[ \t]*?\Z)", {-1, 1}, "Read maximum period of current 2"},
    {lcReadProtectionCurrentLimit, 34, "r183", R"(\A[ \t]*?MED.*?[ \t]*?PERIOD.*?MAX\.*?[ \t]*?CURRENT.*?=[ \t]*?(\d+?(\.\d*?)??)[ \t]*?A[ \t]*?\Z)", {-1, 1}, "Read medium period of current 2"},
    {lcReadProtectionCurrentLimit, 35, "r185", R"(\A[ \t]*?(MIN|HI).*?[ \t]*?PERIOD.*?MAX\.*?[ \t]*?CURRENT.*?=[ \t]*?(\d+?(\.\d*?)??)[ \t]*?A[ \t]*?\Z)", {-1, 2}, "Read minimum period of current 2"},
    {lcReadProtectionCurrentLimit, 17, "r191", R"(\A[ \t]*?MAX.*?[ \t]*?PERIOD.*?MAX\.*?[ \t]*?CURRENT.*?=[ \t]*?(\d+?(\.\d*?)??)[ \t]*?A[ \t]*?\Z)", {-1, 1}, "Read max period of current 1"},
    {lcReadProtectionCurrentLimit, 18, "r192", R"(\A[ \t]*?MED.*?[ \t]*?PERIOD.*?MAX\.*?[ \t]*?CURRENT.*?=[ \t]*?(\d+?(\.\d*?)??)[ \t]*?A[ \t]*?\Z)", {-1, 1}, "Read medium period of current 1"},
    {lcReadProtectionCurrentLimit, 19, "r193", R"(\A[ \t]*?(MIN|HI).*?[ \t]*?PERIOD.*?MAX\.*?[ \t]*?CURRENT.*?=[ \t]*?(\d+?(\.\d*?)??)[ \t]*?A[ \t]*?\Z)", {-1, 2}, "Read min period of current 1"},
    {lcReadProtectionCurrentLimit, 49, "r194", R"(\A[ \t]*?MAX.*?[ \t]*?PERIOD.*?MAX\.*?[ \t]*?CURRENT.*?=[ \t]*?(\d+?(\.\d*?)??)[ \t]*?A[ \t]*?\Z)", {-1, 1}, "Read max period of current 3"},
    {lcReadProtectionCurrentLimit, 50, "r195", R"(\A[ \t]*?MED.*?[ \t]*?PERIOD.*?MAX\.*?[ \t]*?CURRENT.*?=[ \t]*?(\d+?(\.\d*?)??)[ \t]*?A[ \t]*?\Z)", {-1, 1}, "Read medium period of current 3"},
    {lcReadProtectionCurrentLimit, 51, "r196", R"(\A[ \t]*?(MIN|HI).*?[ \t]*?PERIOD.*?MAX\.*?[ \t]*?CURRENT.*?=[ \t]*?(\d+?(\.\d*?)??)[ \t]*?A[ \t]*?\Z)", {-1, 2}, "Read min period of current 3"},
    {lcReadMaxCurrent, 3, "r167", R"(\AIMAX([1-4])??[ \t]*?=[ \t]*?(\d{1,3}\.\d{2}) *?A\Z)", {1, 2}, "Read current limit of Laser1"},
    {lcReadMaxCurrent, 4, "r169", R"(\AIMAX([1-4])??[ \t]*?=[ \t]*?(\d{1,3}\.\d{2}) *?A\Z)", {1, 2}, "Read current limit of Laser2"},
    {lcSetCurrent, 4, "w162", R"(\AOK\Z)", {-1, 0}, "Set nominal current"},
    {lcSetMaxCurrent, 3, "w167", R"(\AOK\Z)", {-1, 0}, "Set max current of Laser3 which should not exceed current limit"},
    {lcSetMaxCurrent, 4, "w169", R"(\AOK\Z)", {-1, 0}, "Set max current of Laser4 which should not exceed current limit"},
    {lcReadFreeTriggerMode, 0, "r232", R"(\A.*?A[CK]TIVE[ \t]*?\([ \t]*?(\d)[ \t]*?\)[ \t]*?\Z)", {-1, 1}, ""},
    {lcReadFreeTriggerPPB, 0, "r233", R"(\A[ \t]*?PPB[ \t]+?IN[ \t]+?FT[ \t]*?=[ \t]*?(\d+?)[ \t]*?\Z)", {-1, 1}, ""},
  };
  return table;
}

// Pulse picker, older generation.
const Table& pickerRegulatorOlderGenerationEntries() {
  static const Table table = {
    {lcSetPulseCount, 0, "w74", R"(\AOK\Z)", {-1, 0}, "Set pulse count paramter of pulse picker"},
    {lcSetPulseNumber, 0, "w75", R"(\AOK\Z)", {-1, 0}, "Set pulse number paramter of pulse picker"},
  };
  return table;
}

// clang-format on

bool isGeneration3(int lhcVersion) {
  return lhcVersion >= 3;
}

void buildBase(TCommandList& work, int lhcVersion) {
  work.Clear();
  addAll(work, commonEntries());
  addAll(work, isGeneration3(lhcVersion) ? generation3Entries() : olderGenerationEntries());
}

void applyBranch(TCommandList& work, int lhcVersion) {
  bool gen3 = isGeneration3(lhcVersion);
  addAll(work, branchEntries());
  addAll(work, gen3 ? branchGeneration3Entries() : branchOlderGenerationEntries());
  addAll(work, branchTrailingEntries(gen3));
}

void applySingleBranch(TCommandList& work) {
  work.DeleteCommand(lcReadCurrent, 1);
  work.DeleteCommand(lcSetCurrent, 1);
  addAll(work, singleBranchEntries());
}

void applyPickerRegulator(TCommandList& work, int lhcVersion) {
  work.DeleteCommand(lcReadTriggerMode, 2);
  work.DeleteCommand(lcSetExternal, 2);
  work.DeleteCommand(lcSetCW, 2);
  addAll(work, isGeneration3(lhcVersion) ? pickerRegulatorGeneration3Entries()
                                         : pickerRegulatorOlderGenerationEntries());
}

// The variants work on a private copy and hand it over in one step: readers on other threads
// never see the catalogue half changed, and OnChange fires once.
void startFrom(TCommandList& work, const TCommandList& list, bool rebuildFirst, int lhcVersion) {
  if (rebuildFirst)
    buildBase(work, lhcVersion);
  else
    work.Assign(list);
}

}  // namespace

void AddInitialCommands(TCommandList& list) {
  addAll(list, initialEntries());
}

void BuildCommandCatalogue(TCommandList& list, int lhcVersion) {
  TCommandList work;
  buildBase(work, lhcVersion);
  list.Assign(work);
}

void AddBranchCommands(TCommandList& list, int lhcVersion, bool rebuildFirst) {
  TCommandList work;
  startFrom(work, list, rebuildFirst, lhcVersion);
  applyBranch(work, lhcVersion);
  list.Assign(work);
}

void AddSingleBranchCommands(TCommandList& list, int lhcVersion, bool rebuildFirst) {
  TCommandList work;
  startFrom(work, list, rebuildFirst, lhcVersion);
  applySingleBranch(work);
  list.Assign(work);
}

void AddPickerRegulatorCommands(TCommandList& list, int lhcVersion, bool rebuildFirst) {
  TCommandList work;
  if (rebuildFirst) {
    buildBase(work, lhcVersion);
    applyBranch(work, lhcVersion);
  } else {
    work.Assign(list);
  }
  applyPickerRegulator(work, lhcVersion);
  list.Assign(work);
}
