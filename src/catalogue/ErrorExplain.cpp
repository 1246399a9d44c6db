#include "catalogue/ErrorExplain.h"

#include <utility>

namespace {

struct Row {
  std::int16_t code;
  const char* text;
};
using Table = std::vector<Row>;

// clang-format off

// Controllers older than generation 3.
const Table& olderGenerationErrors() {
  static const Table table = {
      {73, "Flow rate of cooling water is out of working range"},
      {80, "LD Temperature of Laser 1 is out of working range."},
      {81, "LD Temperature of Laser 2 is out of working range."},
      {86, "Oven temperature is unstable"},
      {91, "Shutter hangs or is blocked."},
      {92, "Door is open."},
      {93, "General protection (interlock is open)."},
      {94, "Chiller error, sum error signal (low flow rate, water temperature)."},
      {95, "LD current exceed the maximum value allowed."},
      {97, "Temperature sensor is defective."},
      {98, "Humidity in LD house of Laser 1 is too high."},
      {99, "Humidity in LD house of Laser 2 is too high."},
  };
  return table;
}

// Single-branch lasers of the two families tagged (K4) and (QM); where a code means different
// things in the two families, one text names both.
const Table& singleBranchErrors() {
  static const Table table = {
      {80, "LD Temperature is too high."},
      {81, "LD Temperature is too low."},
      {82, "Resonator temperature is too high."},
      {83, "Resonator temperature is too low."},
      {84, "Oven1 temperature is too high."},
      {85, "Oven2 temperature is too high."},
      {86, "Warm up and/or temperature is unstable."},
      {87, "(K4)Optical pump power is too high."},
      {88, "(K4)Solid state laser power is too high."},
      {89, "(K4)Optical output power is too high."},
      {90, "(K4)Shutter hangs."},
      {91, "(QM)Shutter hangs. (K4)Door is open."},
      {92, "(QM)Door is open. (K4)Interlock activated"},
      {93, "(QM)Interlock (safety loops) is open. (K4)LD current is too high."},
      {94, "(QM)Cooling device (chiller). (K4)LD voltage is too high."},
      {95, "(QM)LD current is too high. (K4)Temperature sensor error."},
      {96, "(QM)LD voltage is too high."},
      {97, "(QM)Temperature sensor error."},
  };
  return table;
}

const Table& generation3Errors() {
  static const Table table = {
      {73, "Flow rate of cooling water is out of working range."},
      {80, "Temperature of Laser 1 is too high."},
      {81, "Temperature of Laser 1 is too low."},
      {82, "Temperature of Laser 2 is too high."},
      {83, "Temperature of Laser 2 is too low."},
      {84, "Temperature of oven 1 and/or 2 is too high."},
      {85, "Temperature of oven 3 and/or 4 is too high."},
      {87, "Temperature of oven 1 and/or 2 is too low."},
      {88, "Temperature of oven 3 and/or 4 is too low."},
      {91, "Shutter is blocked."},
      {92, "Door is open."},
      {93, "External interlock is open."},
      {94, "Chiller common error (chiller interlock is open)."},
      {95, "LD current out of working range."},
      {96, "LD voltage is too high."},
      {98, "Humidity in Laser 1 is too high."},
      {99, "Humidity in Laser 2 is too high."},
      {100, "Emergency Stop is engaged. To clear it, please solve the problem and then press Start button."},
      {101, "Cannot establish communication with LD driver/not ready."},
      {102, "Cannot establish communication with laser head. Please check the connection between Laser head and power supply. After that restart the power supply."},
      {103, "Start button is not pressed or emerency stop is engaged."},
      {104, "Misconfiguration of power supply as standalone."},
      {110, "Humidity in Laser 3 is too high."},
      {111, "Humidity in Laser 4 is too high."},
      {112, "Humidity in Laser 5 is too high."},
      {113, "Humidity in Laser 6 is too high."},
      {120, "Temperature of Laser 3 is too high."},
      {121, "Temperature of Laser 3 is too low."},
      {122, "Temperature of Laser 4 is too high."},
      {123, "Temperature of Laser 4 is too low."},
      {124, "Temperature of power supply is too high."},
      {201, "Laser head and power supply is not compatible."},
      {1042, "Laser has not been warmed up."},
  };
  return table;
}

const Table& generation3Warnings() {
  static const Table table = {
      {80, "Temperature of Laser 1 is too high."},
      {81, "Temperature of Laser 1 is too low."},
      {82, "Temperature of Laser 2 is too high."},
      {83, "Temperature of Laser 2 is too low."},
      {84, "Temperature of oven 1 and/or 2 is too high."},
      {85, "Temperature of oven 3 and/or 4 is too high."},
      {86, "Oven temperature is unstable (warming up)."},
      {87, "Temperature of oven 1 and/or 2 is too low."},
      {88, "Temperature of oven 3 and/or 4 is too low."},
      {98, "Humidity in Laser 1 is too high."},
      {99, "Humidity in Laser 2 is too high."},
      {110, "Humidity in Laser 3 is too high."},
      {111, "Humidity in Laser 4 is too high."},
      {112, "Humidity in Laser 5 is too high."},
      {113, "Humidity in Laser 6 is too high."},
      {120, "Temperature of Laser 3 is too high."},
      {121, "Temperature of Laser 3 is too low."},
      {122, "Temperature of Laser 4 is too high."},
      {123, "Temperature of Laser 4 is too low."},
      {124, "Temperature of power supply is too high."},
      {170, "Seeder pulse missing."},
      {202, "Firmware version of Laser head and power supply are different."},
      {203, "SN of power supply and laser head are different."},
  };
  return table;
}

// clang-format on

}  // namespace

void TExplanationList::Clear() {
  entries_.clear();
}

int TExplanationList::SetExplanation(std::int16_t code, const std::string& text) {
  int index = IndexOfCode(code);
  if (index >= 0) {
    entries_[static_cast<std::size_t>(index)]->Explanation = text;
    return index;
  }
  entries_.push_back(std::make_unique<TErrorCodeExplanation>(TErrorCodeExplanation{code, text}));
  return Count() - 1;
}

int TExplanationList::IndexOfCode(std::int16_t code) const {
  for (std::size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i]->Code == code) return static_cast<int>(i);
  return -1;
}

const TErrorCodeExplanation* TExplanationList::Items(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return entries_[static_cast<std::size_t>(index)].get();
}

const TErrorCodeExplanation* TExplanationList::FindExplanation(std::int16_t code) const {
  return Items(IndexOfCode(code));
}

namespace {
void load(TExplanationList& list, const Table& table) {
  list.Clear();
  for (const Row& row : table) list.SetExplanation(row.code, row.text);
}
}  // namespace

void TExplanationList::LoadOlderGenerationErrors() {
  load(*this, olderGenerationErrors());
}
void TExplanationList::LoadSingleBranchErrors() {
  load(*this, singleBranchErrors());
}
void TExplanationList::LoadGeneration3Errors() {
  load(*this, generation3Errors());
}
void TExplanationList::LoadGeneration3Warnings() {
  load(*this, generation3Warnings());
}
