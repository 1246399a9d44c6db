#include "console/PulseRate.h"

#include <cfenv>
#include <cmath>
#include <cstdio>

#include "console/ConsoleTexts.h"

bool FirstBranchLimits(uint16_t year, uint8_t month, uint8_t day, uint16_t sn) {
  constexpr uint32_t kJan23rd2013 = 0x07DD0117;
  const uint32_t version = uint32_t(year) * 65536u + uint32_t(month) * 256u + day;
  return version > kJan23rd2013 || (version == kJan23rd2013 && sn != 477);
}

int PulseClass(int64_t n, const int32_t pr[4]) {
  if (n <= pr[3]) return 3;
  if (n <= pr[2]) return 2;
  return 1;
}

namespace {

bool inMask(uint8_t mask, int b) { return (mask >> b) & 1u; }

struct Planner {
  const TPulseLimits& laser;
  TPulsePlan& plan;
  double limit[4] = {};
  double current[4] = {};

  // LimitCurrentForRate(b): lowers the current before the rate changes.
  void limitCurrentForRate(int b) {
    if (!inMask(laser.currentMask, b)) return;
    const int k = PulseClass(plan.count, laser.pulseRange);
    if (k == 1 && plan.count > laser.pulseRange[1]) plan.count = laser.pulseRange[1];
    limit[b] = laser.currentLimit[k][b];
    current[b] = laser.current[b];
    if (limit[b] > 0.01 && current[b] > limit[b]) plan.steps.push_back({TPulseStep::SetCurrent, b, limit[b]});
  }
};

}  // namespace

TPulsePlan PlanPulseRate(double rate, const TPulseLimits& laser) {
  TPulsePlan plan;
  if (!laser.hasPulsePicker) return plan;
  if (!(rate > 0) || !std::isfinite(rate)) return plan;
  const double ratio = laser.seederFrequency / rate;
  if (!std::isfinite(ratio) || ratio > 2147483647.0) {
    plan.refusal = "The pulse rate is too low for this laser.";
    return plan;
  }
  // Nearest integer, halves to even (the default rounding mode).
  plan.count = static_cast<int64_t>(std::nearbyint(ratio));
  if (plan.count < 1) return plan;

  Planner p{laser, plan};
  if (laser.lhcVersion == 3) {
    if (laser.firstBranchLimits) {
      p.limitCurrentForRate(1);
      p.limitCurrentForRate(3);
    }
    p.limitCurrentForRate(2);
  }
  if (plan.count < 1) {
    // The laser has not reported its pulse ranges: a division count of 0 is no rate at all.
    plan.steps.clear();
    plan.refusal = "The pulse rate was not set: the laser has not reported its pulse ranges.";
    return plan;
  }
  plan.steps.push_back({TPulseStep::SetPulseNumber, 0, 1});
  plan.steps.push_back({TPulseStep::ReadPulseNumber});
  plan.steps.push_back({TPulseStep::SetPulseCount, 0, double(plan.count)});
  plan.steps.push_back({TPulseStep::ReadPulseCount});
  if (laser.lhcVersion == 3) {
    for (int b = 1; b <= 3; ++b) {
      if (!inMask(laser.currentMask, b)) continue;
      if (b == 1 && !laser.firstBranchLimits) continue;
      if (std::fabs(p.current[b] - laser.maxCurrent[b]) <= 0.01 && p.limit[b] > 0.01 &&
          p.limit[b] > laser.maxCurrent[b]) {
        plan.steps.push_back({TPulseStep::SetCurrent, b, p.limit[b]});
      }
    }
  }
  for (int b = 1; b <= 3; ++b) {
    if (p.limit[b] > 0.01 && p.limit[b] != laser.maxCurrent[b])
      plan.steps.push_back({TPulseStep::ReadMaxCurrent, b});
  }
  return plan;
}

namespace {

double endRate(const TPulseLimits& laser, int k, bool plus) {
  const int32_t range = laser.pulseRange[k];
  if (range <= 0) return laser.seederFrequency;
  return laser.seederFrequency / (plus ? range + 1.0 : double(range));
}

std::string rangeText(double a, double b) {
  std::string pa, pb;
  const double sa = SplitPrefix(a, pa);
  const double sb = SplitPrefix(b, pb);
  return FormatFixed2(sa) + pa + "Hz - " + FormatFixed2(sb) + pb + "Hz";
}

}  // namespace

TProtectionPanel RefreshProtectionPanel(const TPulseLimits& laser) {
  TProtectionPanel panel;
  panel.rangeText[1] = rangeText(endRate(laser, 1, false), endRate(laser, 2, true));
  panel.rangeText[2] = rangeText(endRate(laser, 2, false), endRate(laser, 3, true));
  panel.rangeText[3] = rangeText(endRate(laser, 3, false), laser.seederFrequency);
  for (int k = 1; k <= 3; ++k) {
    for (int b = 1; b <= 3; ++b) panel.limitText[k][b] = FormatFixed2(laser.currentLimit[k][b]);
  }
  if (laser.firstBranchLimits) {
    panel.column1Visible = true;
    panel.column3Visible = inMask(laser.currentMask, 3);
    panel.x0 = panel.column3Visible ? 186 : 262;
  }
  return panel;
}
