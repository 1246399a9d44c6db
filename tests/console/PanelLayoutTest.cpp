#include "console/PanelLayout.h"

#include <gtest/gtest.h>

#include "link/QVLaser.h"

namespace {
constexpr uint8_t b1 = 1u << 1, b2 = 1u << 2, b3 = 1u << 3, b4 = 1u << 4;
using Tabs = std::vector<std::string>;
}  // namespace

TEST(ArrangePanels, TwoBranchesWithoutOptions) {
  const TPanelLayout L = ArrangePanels(b1 | b2, b1 | b2, b1 | b2, false, false, 3);
  EXPECT_TRUE(L.branchRows);
  EXPECT_FALSE(L.commonPanel);
  EXPECT_TRUE(L.nomCurrent[1] && L.nomCurrent[2] && L.actFrequency[1] && L.actFrequency[2]);
  EXPECT_TRUE(L.triggerMode[1] && L.triggerMode[2]);
  EXPECT_EQ(L.currentLabel[1], "Current1");
  EXPECT_EQ(L.currentLabel[2], "Current2");
  EXPECT_EQ(L.frequencyTitle[1], "Frequency1");
  EXPECT_TRUE(L.triggerBranchLabels);
  EXPECT_FALSE(L.hvOn);
  EXPECT_EQ(L.tabs, (Tabs{"Current", "Trigger", "Frequency", "System", "Advanced"}));
}

TEST(ArrangePanels, OneBranchWithPickerAndRegulator) {
  const TPanelLayout L = ArrangePanels(b1, b1, b1, true, true, 3);
  EXPECT_FALSE(L.branchRows);
  EXPECT_TRUE(L.commonPanel);
  EXPECT_TRUE(L.nomCurrent[1] && L.triggerMode[1] && L.regulatorLevel);
  EXPECT_TRUE(L.actFrequency[1] && L.actFrequency[2] && L.infoInternal && L.infoPulsePicker);
  EXPECT_EQ(L.currentLabel[1], "Current");
  EXPECT_TRUE(L.hvOn);
  EXPECT_TRUE(L.frequencyField[1] && L.frequencyField[2] && L.lblInternalGate && L.lblPulsePicker);
  EXPECT_FALSE(L.lblFrequency[1] || L.lblFrequency[2]);
  EXPECT_EQ(L.tabs, (Tabs{"Current", "Trigger", "Frequency", "Regulator", "System", "Advanced"}));
}

TEST(ArrangePanels, BranchCountsNameTheCurrentFields) {
  EXPECT_EQ(ArrangePanels(b2, b2, b2, false, false, 3).currentLabel[2], "Current");
  const TPanelLayout three = ArrangePanels(b1 | b2 | b3, b1, b1, false, false, 3);
  EXPECT_EQ(three.currentLabel[3], "I3");
  const TPanelLayout four = ArrangePanels(b1 | b2 | b3 | b4, b1, b1, false, false, 3);
  EXPECT_EQ(four.currentRows, 4);
  EXPECT_EQ(four.currentLabel[1], "1");
  EXPECT_EQ(four.currentLabel[4], "4");
  // Type sizes: 12 points for one or three labels, 6 for four, the designed size for two.
  EXPECT_EQ(ArrangePanels(b2, b2, b2, false, false, 3).currentLabelPoints, 12);
  EXPECT_EQ(ArrangePanels(b1 | b2, b1, b1, false, false, 3).currentLabelPoints, 0);
  EXPECT_EQ(three.currentLabelPoints, 12);
  EXPECT_EQ(four.currentLabelPoints, 6);
  EXPECT_TRUE(four.currentEntry[4] && four.nomCurrent[4]);
}

TEST(ArrangePanels, NothingFoundLeavesSystemAndAdvanced) {
  const TPanelLayout L = ArrangePanels(0, 0, 0, false, false, 2);
  EXPECT_EQ(L.tabs, (Tabs{"System", "Advanced"}));
  EXPECT_FALSE(L.commonPanel || L.branchRows || L.nomCurrent[1] || L.frequencyField[2]);
  // A picker without a frequency mask still gets the frequency tab and the pulse rate.
  const TPanelLayout pp = ArrangePanels(b1, 0, b1, true, false, 2);
  EXPECT_EQ(pp.tabs, (Tabs{"Current", "Trigger", "Frequency", "System", "Advanced"}));
  EXPECT_TRUE(pp.actFrequency[2] && !pp.actFrequency[1] && !pp.hvOn);
}

TEST(ArrangePanels, OfferedTriggerButtons) {
  const TPanelLayout two = ArrangePanels(b1 | b2, b1, b1 | b2, false, false, 3);
  EXPECT_TRUE(two.offersTriggerButton(2, tmCW) && two.offersTriggerButton(2, tmInternal));
  EXPECT_FALSE(two.offersTriggerButton(1, tmHVOn));  // two groups: no "HV On"
  const TPanelLayout one = ArrangePanels(b1, b1, b1, true, true, 3);
  EXPECT_TRUE(one.offersTriggerButton(1, tmHVOn));
  EXPECT_FALSE(one.offersTriggerButton(2, tmExternal) || one.offersTriggerButton(2, tmHVOn));
  // "HV On" is laid out on a generation-3 panel without trigger modes, but that panel has no tab.
  const TPanelLayout none = ArrangePanels(b2, b2, 0, false, false, 3);
  EXPECT_TRUE(none.hvOn);
  EXPECT_FALSE(none.hasTab("Trigger") || none.offersTriggerButton(1, tmHVOn));
  EXPECT_TRUE(none.hasTab("System"));
}
