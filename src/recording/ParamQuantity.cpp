#include "recording/ParamQuantity.h"

#include <map>
#include <mutex>

#include "catalogue/CommandCatalogue.h"
#include "recording/QVLaserParam_Bin.h"

namespace qv {

namespace {

constexpr const char* kDegreesCelsius =
    "\xC2\xB0"
    "C";

std::string numbered(const char* what, uint8_t n) {
  return std::string(what) + " " + std::to_string(n);
}

}  // namespace

std::optional<ParamQuantity> paramQuantity(TLaserCommand command, uint8_t subId) {
  ParamQuantity q;
  q.command = command;
  q.subId = subId;
  const auto set = [&](std::string name, std::string unit) {
    q.name = std::move(name);
    q.unit = std::move(unit);
    return q;
  };
  switch (command) {
    case lcReadFlowRate:
      return set("flow rate", "L/min");
    case lcReadCurrent:
      return set(numbered("current", subId), "A");
    case lcReadCurrentMonitor:
      return set(numbered("monitor current", subId), "A");
    case lcReadCurrentDA:
      return set(numbered("current DA", subId), "A");
    case lcReadVoltageMonitor:
      return set(numbered("monitor voltage", subId), "V");
    case lcReadFrequency:
      return set(numbered("frequency", subId), "Hz");
    case lcReadTriggerMode:
      return set(numbered("trigger mode", subId), "");
    case lcReadTemperature:
      // Sub-id 0 is the power supply's own sensor; 1 and 2 the laser heads, 3 and 4 the resonators.
      if (subId == 0) return set("power-supply temperature", kDegreesCelsius);
      return set(numbered("temperature", subId), kDegreesCelsius);
    case lcReadHumidity:
      return set(numbered("humidity", subId), "%");
    case lcReadPower:
      return set("power", "W");
    case lcReadOvenTemperature:
      return set(numbered("oven", subId) + " nominal temperature", "");
    case lcReadActualOvenTemperature:
      return set(numbered("oven", subId) + " temperature", "");
    case lcReadOvenTempError:
      return set(numbered("oven", subId) + " temperature error", "");
    case lcReadOvenHeatingValue:
      return set(numbered("oven", subId) + " heating", "");
    case lcReadState:
      return set("state", "");
    case lcReadPulseCount:
      return set("pulse count", "");
    case lcReadPulseNumber:
      return set("pulse number", "");
    case lcReadRegulatorLevel:
      return set("regulator level", "%");
    case lcReadActualRegulatorLevel:
      return set("actual regulator level", "%");
    case lcReadRegulatorState:
      return set("regulator on", "");
    case lcReadActualSeederFrequency:
      return set("seeder frequency", "Hz");
    case lcReadFreeTriggerMode:
      return set("free trigger mode", "");
    case lcReadFreeTriggerPPB:
      return set("free trigger PPB", "");
    case lcReadErrorCode:
      q.codeList = true;
      return set("error codes", "");
    case lcReadWarningCode:
      q.codeList = true;
      return set("warning codes", "");
    default:
      return std::nullopt;
  }
}

std::string quantityLabel(const ParamQuantity& q) {
  return q.unit.empty() ? q.name : q.name + " (" + q.unit + ")";
}

ParamQuantity quantityOfCode(int16_t code) {
  static std::once_flag once;
  static std::map<int16_t, ParamQuantity> byCode;
  std::call_once(once, [] {
    const auto take = [](const TCommandList& list) {
      for (const TCommandSyntaxPtr& e : list.Snapshot()) {
        const auto c = paramCode(e->CmdStr);
        const auto q = paramQuantity(e->Command, e->SubID);
        if (c && q) byCode.emplace(*c, *q);  // emplace keeps the first
      }
    };
    // The catalogues a recording can come from, most specific first: two branches, then a
    // laser with pulse picker and regulator, then a single-branch laser.
    TCommandList list;
    BuildCommandCatalogue(list, 3);
    AddBranchCommands(list, 3, false);
    take(list);
    AddPickerRegulatorCommands(list, 3, true);
    take(list);
    AddSingleBranchCommands(list, 3, true);
    take(list);
  });
  const auto it = byCode.find(code);
  if (it != byCode.end()) return it->second;
  ParamQuantity unknown;
  unknown.command = lcReadStatus;
  unknown.name = "code " + std::to_string(code);
  return unknown;
}

}  // namespace qv
