// Short-cut values and the automation object's change rules.
#include "settings/Options.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ShortCut, ValuesAsStored) {
  EXPECT_EQ(ShortCut('L', scCtrl), 16460);
  EXPECT_EQ(ShortCut('0', scCtrl), 16432);
  EXPECT_EQ(ShortCut('X', scAlt), 32856);
  EXPECT_EQ(ShortCut('A', scShift | scCtrl), 0x6041);
  EXPECT_EQ(ShortCutKey(16460), 'L');
  EXPECT_EQ(ShortCutModifiers(32856), scAlt);
  EXPECT_EQ(TOptions{}.HotKeys[hkSetCurrentZero], scNone);
}

struct Automation : testing::Test {
  TLaserCtrlAutomation automation;
  std::string log;  // one letter per notification: the state at that moment
  void SetUp() override {
    automation.OnChange = [this](TLaserCtrlAutomation& sender) {
      EXPECT_EQ(&sender, &automation);
      log += std::string(sender.Active() ? "A" : "a") + std::to_string(sender.Interval()) + " ";
    };
  }
};

TEST_F(Automation, OnlyEffectiveChangesNotify) {
  EXPECT_FALSE(automation.Active());
  EXPECT_EQ(automation.Interval(), 1000);
  automation.SetActive(false);
  automation.SetInterval(1000);
  EXPECT_EQ(log, "");
  automation.SetInterval(50);
  automation.SetInterval(50);
  automation.SetActive(true);
  EXPECT_EQ(log, "a50 A50 ");
}

TEST_F(Automation, AssignSetsActiveThenInterval) {
  TLaserCtrlAutomation other;
  other.SetActive(true);
  other.SetInterval(50);
  automation.Assign(other);
  EXPECT_EQ(log, "A1000 A50 ");
  automation.Assign(other);
  automation.Assign(automation);
  EXPECT_EQ(log, "A1000 A50 ");
}

}  // namespace
