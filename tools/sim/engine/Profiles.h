// The kinds of laser the simulator can be: which commands each answers and the values it starts
// with. Arrays are indexed by branch 1..4 (index 0 unused).
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace qv::sim {

struct Profile {
  std::string name;
  std::string description;
  int generation = 3;     // 2: the head-serial read answers "ERROR"; 3: the full command set
  int serial = 1234;      // power-supply serial
  int headSerial = 1234;  // laser-head controller serial (generation 3)
  // The firmware line, e.g. "VERSION: 3.4, 12.03.2019" (one minor digit).
  std::string firmware = "VERSION: 3.4, 12.03.2019";

  std::array<bool, 5> currentBranch{};    // which branches answer the current reads
  std::array<bool, 5> triggerBranch{};    // which branches answer r71 / r72
  std::array<bool, 5> frequencyBranch{};  // which branches answer the frequency reads
  // The single-branch command set: r70/w70 trigger mode (w70 0 external, 1 internal, 2 CW),
  // r71/w71 frequency, r65 maximum current; the branch is branch 2.
  bool singleBranch = false;
  // Generation 2: r74/w74 are the branch-2 frequency instead of the pulse-picker count.
  bool frequencyOnR74 = false;

  bool pulsePicker = false;
  bool regulator = false;
  bool freeTrigger = false;
  double seederHz = 20e6;
  std::array<int, 4> pulseRange{};  // index 1..3: protection period classes, pulses
  // protectionLimit[class 1..3][branch 1..3], A; 0 = no limit.
  std::array<std::array<double, 4>, 4> protectionLimit{};

  int ovens = 0;             // 0..3
  bool needsWarmUp = false;  // starts not warmed up

  std::array<double, 5> current{};
  std::array<double, 5> maxCurrent{};
  std::array<double, 5> currentLimit{};
  std::array<double, 5> frequency{};
  double maxFrequency = 200000.0;
  int pulseCount = 1;
  int pulseNumber = 1;
  int runningMinutes = 1234 * 60 + 56;
};

// Every profile, the default first.
const std::vector<Profile>& allProfiles();
std::optional<Profile> findProfile(const std::string& name);

}  // namespace qv::sim
