#include "engine/Profiles.h"

namespace qv::sim {
namespace {

Profile twoBranch() {
  Profile p;
  p.name = "gen3-2branch";
  p.description =
      "generation 3, two branches (currents, trigger modes), frequency of branch 1, no pulse "
      "picker, no regulator; head serial = power-supply serial";
  p.serial = 1234;
  p.headSerial = 1234;
  p.firmware = "VERSION: 3.4, 12.03.2019";
  p.currentBranch = {false, true, true, false, false};
  p.triggerBranch = {false, true, true, false, false};
  p.frequencyBranch = {false, true, false, false, false};
  p.ovens = 2;
  p.current = {0, 12.5, 14.0, 0, 0};
  p.maxCurrent = {0, 35.0, 35.0, 0, 0};
  p.currentLimit = {0, 40.0, 40.0, 0, 0};
  p.frequency = {0, 1000.0, 1000.0, 0, 0};
  return p;
}

Profile picker() {
  Profile p;
  p.name = "gen3-picker";
  p.description =
      "generation 3, one current branch, pulse picker and power regulator, seeder 20 MHz, "
      "protection pulse ranges and current limits for branches 1 to 3, free-trigger mode and PPB";
  p.serial = 2210;
  p.headSerial = 2210;
  p.firmware = "VERSION: 3.6, 04.11.2020";
  p.currentBranch = {false, true, false, false, false};
  p.triggerBranch = {false, true, false, false, false};
  p.frequencyBranch = {false, true, false, false, false};
  p.pulsePicker = true;
  p.regulator = true;
  p.freeTrigger = true;
  p.seederHz = 20e6;
  p.pulseRange = {0, 200, 40, 10};
  // Longer periods carry more energy per pulse, so they allow less current.
  p.protectionLimit[1] = {0, 25.0, 25.0, 20.0};
  p.protectionLimit[2] = {0, 30.0, 30.0, 25.0};
  p.protectionLimit[3] = {0, 32.0, 32.0, 28.0};
  p.ovens = 3;
  p.current = {0, 20.0, 0, 0, 0};
  p.pulseCount = 20;  // class 2
  p.pulseNumber = 1;
  p.maxCurrent = {0, 30.0, 0, 0, 0};
  p.currentLimit = {0, 40.0, 40.0, 40.0, 0};
  p.frequency = {0, 1000000.0, 0, 0, 0};
  p.maxFrequency = 20e6;
  return p;
}

Profile single() {
  Profile p;
  p.name = "gen3-single";
  p.description =
      "generation 3, a single branch that answers as branch 2 (the single-branch command set: "
      "r70/w70 trigger mode, r71/w71 frequency, r65 maximum current)";
  p.serial = 877;
  p.headSerial = 877;
  p.firmware = "VERSION: 3.1, 21.09.2015";
  p.currentBranch = {false, false, true, false, false};
  p.frequencyBranch = {false, false, true, false, false};
  p.singleBranch = true;
  p.ovens = 1;
  p.current = {0, 0, 18.0, 0, 0};
  p.maxCurrent = {0, 0, 30.0, 0, 0};
  p.currentLimit = {0, 0, 35.0, 0, 0};
  p.frequency = {0, 0, 5000.0, 0, 0};
  return p;
}

Profile fourBranch() {
  Profile p = twoBranch();
  p.name = "gen3-4branch";
  p.description =
      "generation 3, four current branches (r61, r62, r161, r162), trigger modes and "
      "frequency as gen3-2branch";
  p.serial = 3057;
  p.headSerial = 3057;
  p.firmware = "VERSION: 3.8, 17.05.2022";
  p.currentBranch = {false, true, true, true, true};
  p.current = {0, 12.5, 14.0, 10.0, 11.0};
  p.maxCurrent = {0, 35.0, 35.0, 30.0, 30.0};
  p.currentLimit = {0, 40.0, 40.0, 40.0, 40.0};
  p.ovens = 3;
  return p;
}

Profile gen2() {
  Profile p;
  p.name = "gen2";
  p.description =
      "the older generation: the head-serial read answers ERROR, flow on r91, pulse picker on "
      "r74/r75 (w74/w75), two branches with trigger modes, frequency of branch 1";
  p.generation = 2;
  p.serial = 412;
  p.headSerial = 0;
  p.firmware = "VERSION: 2.3, 05.11.2011";
  p.currentBranch = {false, true, true, false, false};
  p.triggerBranch = {false, true, true, false, false};
  p.frequencyBranch = {false, true, false, false, false};
  p.pulsePicker = true;
  p.current = {0, 15.0, 15.5, 0, 0};
  p.maxCurrent = {0, 30.0, 30.0, 0, 0};
  p.currentLimit = {0, 35.0, 35.0, 0, 0};
  p.frequency = {0, 800.0, 0, 0, 0};
  p.maxFrequency = 100000.0;
  p.pulseCount = 10;
  return p;
}

Profile gen2TwoFrequencies() {
  Profile p = gen2();
  p.name = "gen2-2freq";
  p.description =
      "the older generation without pulse picker: r74/w74 are the frequency of branch 2, r75 "
      "answers ERROR";
  p.serial = 415;
  p.pulsePicker = false;
  p.frequencyOnR74 = true;
  p.frequencyBranch = {false, true, true, false, false};
  p.frequency = {0, 800.0, 600.0, 0, 0};
  return p;
}

Profile noHead() {
  Profile p = twoBranch();
  p.name = "nohead";
  p.description = "generation 3 whose laser-head serial is 0 (no head identified)";
  p.serial = 1301;
  p.headSerial = 0;
  return p;
}

Profile warmUp() {
  Profile p = twoBranch();
  p.name = "gen3-warmup";
  p.description = "gen3-2branch that starts cold: the state shows the warm-up fractions";
  p.serial = 1450;
  p.headSerial = 1450;
  p.needsWarmUp = true;
  return p;
}

}  // namespace

const std::vector<Profile>& allProfiles() {
  static const std::vector<Profile> profiles = {twoBranch(),  picker(), single(),
                                                fourBranch(), gen2(),   gen2TwoFrequencies(),
                                                noHead(),     warmUp()};
  return profiles;
}

std::optional<Profile> findProfile(const std::string& name) {
  for (const Profile& p : allProfiles()) {
    if (p.name == name) return p;
  }
  return std::nullopt;
}

}  // namespace qv::sim
