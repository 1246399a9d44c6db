// The recorded quantities as an operator reads them: "current 1" in "A", "state",
// "temperature 2" in "°C". One table serves the live trends, the recording viewer and the wide
// export, so a quantity has the same name everywhere.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "catalogue/LaserCommand.h"

namespace qv {

struct ParamQuantity {
  TLaserCommand command = lcReadState;
  uint8_t subId = 0;
  std::string name;       // "current 1"
  std::string unit;       // UTF-8, "" for a plain number ("state", "trigger mode 1")
  bool codeList = false;  // error or warning codes: bytes of codes, not a number
};

// The quantity a recorded (command, sub-id) stands for; none for commands that are not recorded.
std::optional<ParamQuantity> paramQuantity(TLaserCommand command, uint8_t subId);

// "current 1 (A)", "state": the quantity's name with its unit in brackets when it has one.
std::string quantityLabel(const ParamQuantity& q);

// The quantity a parameter code of a recording file stands for. A file names its values by the
// number in their command text only, so this looks them up in the catalogue of the newest
// controller generation with its variants (the first entry that carries the code wins); a code
// it does not know is "code <n>" without unit.
ParamQuantity quantityOfCode(int16_t code);

}  // namespace qv
