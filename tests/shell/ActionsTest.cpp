#include "shell/Actions.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using qv::ActionHost;
using qv::ActionId;
using qv::ShellActions;

class FakeHost : public ActionHost {
 public:
  std::vector<std::string> calls;
  std::set<Button> hidden;
  bool advancedVisible = false;
  TOptions opts;

  void connectLaserClick() override { calls.push_back("connect"); }
  bool buttonVisible(Button b) override { return !hidden.count(b); }
  void triggerClick(Button b) override { calls.push_back("trigger" + std::to_string(static_cast<int>(b))); }
  void laserOnClick(bool on) override { calls.push_back(on ? "laserOn" : "laserOff"); }
  void setAllCurrents(double v) override { calls.push_back("currents " + std::to_string(v)); }
  bool advancedPanelVisible() override { return advancedVisible; }
  void closeAdvancedPanelClick() override { calls.push_back("closeAdvanced"); }
  bool selectTab(const std::string& caption) override {
    calls.push_back("tab " + caption);
    return true;
  }
  void closeMainWindow() override { calls.push_back("close"); }
  void showTrends() override { calls.push_back("trends"); }
  const TOptions& options() override { return opts; }
};

std::string trig(ActionHost::Button b) { return "trigger" + std::to_string(static_cast<int>(b)); }

class Actions : public ::testing::Test {
 protected:
  ShellActions actions;
  FakeHost host;
  void connect() { actions.UpdateLaserAction(true, false); }
};

TEST_F(Actions, BuiltInShortCutsAreTheStoredNumbers) {
  EXPECT_EQ(actions.shortCut(ActionId::ConnectLaser), 16460);
  EXPECT_EQ(actions.shortCut(ActionId::ShowLog), 49228);
  EXPECT_EQ(actions.shortCut(ActionId::FileExit1), 32856);
  EXPECT_EQ(actions.shortCut(ActionId::SetCurrentZero), 16432);
  EXPECT_EQ(actions.shortCut(ActionId::SetCurrent9), 16441);
  EXPECT_EQ(actions.shortCut(ActionId::About), 112);
  EXPECT_EQ(actions.shortCut(ActionId::MinimizeToTray), 0);
  EXPECT_EQ(qv::builtInHotKeys(), (std::array<TShortCut, kHotKeyCount>{
                                      16460, 16457, 16453, 16471, 16462, 16467, 16432, 16468}));
  // Ctrl+T opens the trends; nothing else carries it.
  EXPECT_EQ(actions.actionForShortCut(16468), ActionId::ShowTrends);
  EXPECT_EQ(actions.shortCut(ActionId::ShowTrends), 16468);
}

TEST_F(Actions, GuardedActionsFollowTheConnection) {
  EXPECT_TRUE(actions.handleShortCut(16457, host));  // Ctrl+I is owned but disabled
  EXPECT_TRUE(host.calls.empty());
  EXPECT_TRUE(actions.handleShortCut(16460, host));  // ConnectLaser is never guarded
  EXPECT_EQ(host.calls, std::vector<std::string>{"connect"});
  connect();
  host.calls.clear();
  actions.handleShortCut(16457, host);
  EXPECT_EQ(host.calls.size(), 2u);
  actions.UpdateLaserAction(true, true);  // detecting
  host.calls.clear();
  actions.handleShortCut(16457, host);
  EXPECT_TRUE(host.calls.empty());
  EXPECT_FALSE(actions.handleShortCut(ShortCut('Q', scCtrl), host));
}

TEST_F(Actions, ApplyHotKeysMovesAndClearsShortCuts) {
  connect();
  auto keys = qv::builtInHotKeys();
  keys[hkSetInternal] = ShortCut('Q', scCtrl);
  keys[hkConnectLaser] = 0;
  actions.ApplyHotKeys(keys);
  actions.handleShortCut(ShortCut('Q', scCtrl), host);
  EXPECT_EQ(host.calls, (std::vector<std::string>{trig(ActionHost::Button::InternalTrigger1),
                                                  trig(ActionHost::Button::InternalTrigger2)}));
  host.calls.clear();
  EXPECT_FALSE(actions.handleShortCut(16457, host));  // Ctrl+I no longer switches
  EXPECT_FALSE(actions.handleShortCut(16460, host));  // cleared: no short-cut
  EXPECT_FALSE(actions.handleShortCut(0, host));
  EXPECT_TRUE(host.calls.empty());
}

TEST_F(Actions, TriggerActionsPressOnlyVisibleButtons) {
  connect();
  host.hidden = {ActionHost::Button::ExternalTrigger2, ActionHost::Button::CWMode1};
  actions.execute(ActionId::SetExternal, host);
  actions.execute(ActionId::SetCW, host);
  actions.execute(ActionId::SetHVOn, host);
  actions.execute(ActionId::SetLaserOn, host);
  actions.execute(ActionId::SetLaserOff, host);
  EXPECT_EQ(host.calls, (std::vector<std::string>{trig(ActionHost::Button::ExternalTrigger1),
                                                  trig(ActionHost::Button::CWMode2),
                                                  trig(ActionHost::Button::HVOn1), "laserOn",
                                                  "laserOff"}));
}

TEST_F(Actions, PresetCurrents) {
  connect();
  host.opts.PresetCurrents[3] = "  12.5 ";
  host.opts.PresetCurrents[4] = "12,5";
  host.opts.PresetCurrents[5] = "";
  actions.handleShortCut(ShortCut('3', scCtrl), host);
  actions.handleShortCut(ShortCut('4', scCtrl), host);
  actions.handleShortCut(ShortCut('5', scCtrl), host);
  actions.handleShortCut(ShortCut('0', scCtrl), host);  // zero whatever the presets hold
  EXPECT_EQ(host.calls, (std::vector<std::string>{"currents 12.500000", "currents 0.000000"}));
}

TEST(PresetCurrentText, ParsesWithPointOnly) {
  struct Case {
    const char* text;
    std::optional<double> value;
  } cases[] = {{"12.5", 12.5}, {" 7 ", 7.0}, {"-1.5", -1.5}, {"+2", 2.0}, {".5", 0.5},
               {"5.", 5.0},    {"1e1", 10.0}, {"12,5", {}},  {"", {}},     {"   ", {}},
               {"abc", {}},    {"inf", {}},  {"nan", {}},   {"1.2.3", {}}, {"1e", {}},
               {".", {}},      {"0x10", {}}};
  for (const Case& c : cases) EXPECT_EQ(qv::parsePresetCurrent(c.text), c.value) << c.text;
}

TEST_F(Actions, ShowAdvancedTogglesThePanel) {
  connect();
  actions.execute(ActionId::ShowAdvanced, host);
  host.advancedVisible = true;
  actions.execute(ActionId::ShowAdvanced, host);
  actions.execute(ActionId::FileExit1, host);
  actions.execute(ActionId::SetOptions, host);  // no effect
  EXPECT_EQ(host.calls, (std::vector<std::string>{"tab Advanced", "closeAdvanced", "close"}));
}

}  // namespace
