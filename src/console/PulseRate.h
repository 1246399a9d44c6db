// Pulse-picker rate setting and protection limits as arithmetic on the laser's reported values:
// the first-branch limits condition, the plan of commands for a new pulse rate, and the texts
// of the protection-limits panel.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What the console knows about the laser when it sets a pulse rate or fills the limits panel.
// Arrays are indexed by class k = 1..3 and branch b = 1..3 (index 0 unused).
struct TPulseLimits {
  double seederFrequency = 1.0;
  int32_t pulseRange[4] = {};           // PR1 > PR2 > PR3, counts of seeder pulses
  double currentLimit[4][4] = {};       // [class][branch], A
  double current[4] = {};               // last nominal current per branch
  double maxCurrent[4] = {};
  uint8_t currentMask = 0;              // bit b = branch b
  bool hasPulsePicker = false;
  int lhcVersion = 3;
  bool firstBranchLimits = false;       // FirstBranchLimits(...) of the laser
};

// Firmware newer than 23 January 2013, or of that date on a laser whose serial is not 477.
bool FirstBranchLimits(uint16_t year, uint8_t month, uint8_t day, uint16_t sn);

// Period class (1..3) of a division count n.
int PulseClass(int64_t n, const int32_t pulseRange[4]);

// One command of a pulse-rate plan, in the order it is to be sent.
struct TPulseStep {
  enum Kind { SetCurrent, SetPulseNumber, ReadPulseNumber, SetPulseCount, ReadPulseCount,
              ReadMaxCurrent } kind;
  int branch = 0;     // SetCurrent, ReadMaxCurrent
  double value = 0;   // SetCurrent: A; SetPulseNumber/SetPulseCount: the count
  friend bool operator==(const TPulseStep&, const TPulseStep&) = default;
};

struct TPulsePlan {
  std::vector<TPulseStep> steps;
  int64_t count = 0;       // the division count sent, after clamping
  std::string refusal;     // not empty when nothing is sent for a reason worth telling
};

// SetPulseRate(rate) with LimitCurrentForRate for each branch, as a list of commands.
TPulsePlan PlanPulseRate(double rate, const TPulseLimits& laser);

// Texts and column choice of the protection-limits panel.
struct TProtectionPanel {
  std::string rangeText[4];         // rows 1..3: "100.00kHz - 487.80kHz"
  std::string limitText[4][4];      // [row k][column b]: Format("%.2f", L(k, b))
  bool column1Visible = false;
  bool column3Visible = false;
  int x0 = 262;                     // left edge of the first shown column
};
TProtectionPanel RefreshProtectionPanel(const TPulseLimits& laser);
