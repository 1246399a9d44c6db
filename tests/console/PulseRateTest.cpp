#include "console/PulseRate.h"

#include <gtest/gtest.h>

namespace {

using Step = TPulseStep;

// Seeder 20 MHz, ranges 200/40/10, branch 2 only, class limits 20/25/32 A, maximum 25 A.
TPulseLimits picker() {
  TPulseLimits l;
  l.seederFrequency = 20000000;
  l.pulseRange[1] = 200;
  l.pulseRange[2] = 40;
  l.pulseRange[3] = 10;
  l.currentLimit[1][2] = 20;
  l.currentLimit[2][2] = 25;
  l.currentLimit[3][2] = 32;
  l.currentMask = 1u << 2;
  l.hasPulsePicker = true;
  l.lhcVersion = 3;
  l.maxCurrent[2] = 25;
  l.current[2] = 10;
  return l;
}

std::vector<Step> pulseSteps(int64_t n) {
  return {{Step::SetPulseNumber, 0, 1}, {Step::ReadPulseNumber}, {Step::SetPulseCount, 0, double(n)},
          {Step::ReadPulseCount}};
}

TEST(PulseRate, CountAndClass) {
  const TPulseLimits l = picker();
  const std::tuple<double, int64_t, int> cases[] = {
      {150000, 133, 1}, {1000000, 20, 2}, {5000000, 4, 3}, {10000, 200, 1}};
  for (const auto& [rate, n, k] : cases) {
    const TPulsePlan plan = PlanPulseRate(rate, l);
    EXPECT_EQ(plan.count, n) << rate;
    EXPECT_EQ(PulseClass(plan.count, l.pulseRange), k) << rate;
  }
  // Halves go to the even count: 20e6 / 8e6 = 2.5 -> 2.
  EXPECT_EQ(PlanPulseRate(8000000, l).count, 2);
}

TEST(PulseRate, TooFastOrNoPickerSendsNothing) {
  TPulseLimits l = picker();
  EXPECT_TRUE(PlanPulseRate(40000000, l).steps.empty());
  EXPECT_TRUE(PlanPulseRate(0, l).steps.empty());
  EXPECT_TRUE(PlanPulseRate(-5, l).steps.empty());
  l.hasPulsePicker = false;
  EXPECT_TRUE(PlanPulseRate(100000, l).steps.empty());
}

TEST(PulseRate, LowersCurrentFirstAndRereadsMaximum) {
  TPulseLimits l = picker();
  l.current[2] = 30;
  l.maxCurrent[2] = 30;
  l.currentLimit[2][2] = 25;
  std::vector<Step> expected = {{Step::SetCurrent, 2, 25}};
  for (const Step& s : pulseSteps(20)) expected.push_back(s);
  expected.push_back({Step::ReadMaxCurrent, 2});
  EXPECT_EQ(PlanPulseRate(1000000, l).steps, expected);

  l.maxCurrent[2] = 25;  // the maximum already follows the class: no re-read
  expected.pop_back();
  EXPECT_EQ(PlanPulseRate(1000000, l).steps, expected);
}

TEST(PulseRate, RaisesCurrentThatStoodAtItsMaximum) {
  TPulseLimits l = picker();
  l.current[2] = 25;
  std::vector<Step> expected = pulseSteps(4);
  expected.push_back({Step::SetCurrent, 2, 32});
  expected.push_back({Step::ReadMaxCurrent, 2});
  EXPECT_EQ(PlanPulseRate(5000000, l).steps, expected);
}

TEST(PulseRate, FirstBranchOnlyUnderTheFirmwareCondition) {
  EXPECT_FALSE(FirstBranchLimits(2013, 1, 23, 477));
  EXPECT_TRUE(FirstBranchLimits(2013, 1, 23, 478));
  EXPECT_TRUE(FirstBranchLimits(2013, 1, 24, 477));
  EXPECT_FALSE(FirstBranchLimits(2012, 12, 31, 1));

  TPulseLimits l = picker();
  l.currentMask = (1u << 1) | (1u << 2);
  l.current[1] = 30;
  l.currentLimit[2][1] = 22;
  l.firstBranchLimits = false;
  EXPECT_EQ(PlanPulseRate(1000000, l).steps, pulseSteps(20));
  l.firstBranchLimits = true;
  const auto steps = PlanPulseRate(1000000, l).steps;
  ASSERT_FALSE(steps.empty());
  EXPECT_EQ(steps.front(), (Step{Step::SetCurrent, 1, 22}));
}

TEST(PulseRate, UnknownRangesSendNoZeroCount) {
  TPulseLimits l = picker();
  for (int k = 1; k <= 3; ++k) l.pulseRange[k] = 0;
  const TPulsePlan plan = PlanPulseRate(100000, l);
  EXPECT_TRUE(plan.steps.empty());
  EXPECT_FALSE(plan.refusal.empty());
  // A generation-2 laser has no ranges and sends its count unclamped.
  l.lhcVersion = 2;
  EXPECT_EQ(PlanPulseRate(100000, l).steps, pulseSteps(200));
}

TEST(ProtectionPanel, RowsAndColumns) {
  TPulseLimits l = picker();
  l.currentLimit[1][1] = 18.5;
  TProtectionPanel p = RefreshProtectionPanel(l);
  EXPECT_EQ(p.rangeText[1], "100.00kHz - 487.80kHz");
  EXPECT_EQ(p.rangeText[2], "500.00kHz - 1.82MHz");
  EXPECT_EQ(p.rangeText[3], "2.00MHz - 20.00MHz");
  EXPECT_EQ(p.limitText[2][2], "25.00");
  EXPECT_FALSE(p.column1Visible);
  EXPECT_EQ(p.x0, 262);

  l.firstBranchLimits = true;
  l.currentMask |= 1u << 3;
  p = RefreshProtectionPanel(l);
  EXPECT_TRUE(p.column1Visible);
  EXPECT_TRUE(p.column3Visible);
  EXPECT_EQ(p.x0, 186);
  EXPECT_EQ(p.limitText[1][1], "18.50");

  l.pulseRange[2] = 0;  // unknown ranges put the seeder frequency at their ends
  EXPECT_EQ(RefreshProtectionPanel(l).rangeText[1], "100.00kHz - 20.00MHz");
}

}  // namespace
