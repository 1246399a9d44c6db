#include "shell/SetOption.h"

#include <gtest/gtest.h>

#include "console/QVLaserControl.h"
#include "shell/QVLaserControlMain.h"
#include "engine/Simulator.h"
#include "support/TempDir.h"

namespace {

TEST(OptionFrm, OkChecksThePortText) {
  struct Case {
    const char* text;
    std::optional<int> port;
  } cases[] = {{"  com12 ", 12}, {"COM1", 1}, {"COM256", 256}, {"cOm7", 7}, {"COM0", {}},
               {"COM257", {}},   {"COMx", {}}, {"5", {}},      {"", {}},    {"COM", {}},
               {"COM 3 - SN0042 *", {}}};
  for (const Case& c : cases) {
    TOptionFrm form;
    form.LaserPortText = c.text;
    form.LaserPortTag = 99;
    form.ActiveTab = TOptionFrm::TTab::PresetCurrents;
    const bool ok = form.BitBtn1Click();
    EXPECT_EQ(ok, c.port.has_value()) << c.text;
    if (c.port) {
      EXPECT_EQ(form.LaserPortTag, *c.port) << c.text;
    } else {
      EXPECT_EQ(form.ActiveTab, TOptionFrm::TTab::General) << c.text;
      EXPECT_TRUE(form.LaserPortFocused) << c.text;
      EXPECT_EQ(form.LaserPortTag, 99) << c.text;
    }
  }
  EXPECT_STREQ(kUnknownPortText, "Please check the Laser port again!\r\n(Valid port: COM1 ~ COM256)");
  EXPECT_STREQ(kUnknownPortTitle, "Unknown Port");
}

TEST(OptionFrm, ChosenListItemIsCutToThePortName) {
  struct Case {
    const char* chosen;
    const char* field;
  } cases[] = {{"COM3 - SN0042 *", "COM3"}, {"COM12 - Busy", "COM12"}, {"COM4", "COM4"},
               {"No serial port present", "No serial port present"}};
  for (const Case& c : cases) {
    TOptionFrm form;
    form.LaserPortText = c.chosen;
    form.DelayedCheckSerialPort();
    EXPECT_EQ(form.LaserPortText, c.field);
    EXPECT_TRUE(form.LaserPortSelectAll);
  }
}

TEST(OptionFrm, LoadAndStoreRoundTrip) {
  TOptions o;
  o.Port = 9;
  o.DetectEnabled = true;
  o.DetectInterval = 750;
  o.UpdateInterval = 0;  // the hidden field keeps it, so an untouched OK changes nothing
  o.HotKeys = {1, 2, 3, 4, 5, 6, 7};
  o.PresetCurrents[4] = " 1,5";
  TOptionFrm form;
  form.KeysChanged = true;
  form.LoadOptions(o);
  EXPECT_EQ(form.LaserPortText, "COM9");
  EXPECT_TRUE(form.DetectTimeEnabled);
  EXPECT_FALSE(form.UpdateTimeEnabled);
  EXPECT_FALSE(form.KeysChanged);
  TOptions back;
  form.StoreOptions(back);
  EXPECT_EQ(back, o);
  form.AutoDetectClick(false);
  EXPECT_FALSE(form.DetectTimeEnabled);
}

// The options dialog on a console: what an OK, a Cancel or another closing applies.
class ApplyingOptions : public ::testing::Test {
 protected:
  qv::test::PortsDir ports;
  qv::test::TempDir folder;
  TQVLaserControl console{std::make_unique<qv::LoopTimer>()};
  TOptionFrm form;
  int afterChange = 0;

  void SetUp() override {
    console.SetAutoDetect(std::make_unique<TLaserCtrlAutomation>());
    console.Options().Port = console.Laser().Port();
    console.Options().DetectInterval = console.AutoDetect()->Interval();
  }
  bool edit(const std::function<bool(TOptionFrm&)>& execute) {
    const bool changed = EditOptions(console, form, execute);
    if (changed) ++afterChange;
    return changed;
  }
  bool run(int ms, const std::function<bool()>& done) {
    return qv::runConsoleLoop(static_cast<qv::LoopTimer*>(&console.UpdateTimer()), done, ms);
  }
};

TEST_F(ApplyingOptions, PresetEditRaisesOnOkButNotOnCancel) {
  auto editPreset = [](TOptionFrm& f) {
    f.CurrentFields[2] = "4.5";
    f.PreCurrentChange();
  };
  EXPECT_FALSE(edit([&](TOptionFrm& f) {
    editPreset(f);
    f.BitBtn2Click();
    return false;
  }));
  EXPECT_EQ(console.Options().PresetCurrents[2], "");
  EXPECT_FALSE(edit([](TOptionFrm& f) { return f.BitBtn1Click(); }));  // nothing changed
  EXPECT_TRUE(edit([&](TOptionFrm& f) {
    editPreset(f);
    return f.BitBtn1Click();
  }));
  EXPECT_EQ(console.Options().PresetCurrents[2], "4.5");
  // Closed without OK or Cancel after an edit: nothing applied, AfterChangeOption still due.
  EXPECT_TRUE(edit([&](TOptionFrm& f) {
    f.CurrentFields[2] = "9";
    f.PreCurrentChange();
    return false;
  }));
  EXPECT_EQ(console.Options().PresetCurrents[2], "4.5");
}

TEST_F(ApplyingOptions, DetectionSettingsReachTheAutomationWhileDisconnected) {
  EXPECT_TRUE(edit([](TOptionFrm& f) {
    f.AutoDetectClick(true);
    f.DetectUpDownPosition = 300;
    return f.BitBtn1Click();
  }));
  EXPECT_TRUE(console.AutoDetect()->Active());
  EXPECT_EQ(console.AutoDetect()->Interval(), 300);
  EXPECT_TRUE(console.Options().DetectEnabled);
}

TEST_F(ApplyingOptions, PortChangeConnectsOnTheNewPortAsTheOperator) {
  qv::sim::Simulator first("gen3-2branch"), second("gen2");
  ASSERT_TRUE(first.start(3, ports.path())) << first.lastError();
  ASSERT_TRUE(second.start(4, ports.path())) << second.lastError();
  console.Laser().SetPort(3);
  console.Options().Port = 3;
  int connected = 0;
  console.OnLaserConnected = [&](TObject*) { ++connected; };
  console.ConnectLaserClick();
  ASSERT_TRUE(run(10000, [&] { return connected == 1; }));
  EXPECT_EQ(console.Laser().SN(), 1234);
  form.CurrentLaser = &console.Laser();
  EXPECT_EQ(form.PortInUse(), (std::pair<std::string, std::string>{"COM3", "SN1234 *"}));

  // Switching detection off while connected is only stored.
  console.AutoDetect()->SetActive(true);
  console.Options().DetectEnabled = true;
  EXPECT_TRUE(edit([](TOptionFrm& f) {
    f.AutoDetectClick(false);
    return f.BitBtn1Click();
  }));
  EXPECT_TRUE(console.AutoDetect()->Active());
  EXPECT_FALSE(console.Options().DetectEnabled);

  EXPECT_TRUE(edit([](TOptionFrm& f) {
    f.LaserPortText = "com4";
    return f.BitBtn1Click();
  }));
  EXPECT_EQ(console.Laser().Port(), 4);
  EXPECT_TRUE(console.UserConnect());
  ASSERT_TRUE(run(10000, [&] { return connected == 2; }));
  EXPECT_EQ(console.Laser().SN(), 412);
  EXPECT_EQ(form.PortInUse().second, "SN0412 *");
  console.ConnectLaserClick();  // disconnect
  run(5000, [&] { return !console.Laser().Connected(); });
  EXPECT_EQ(form.PortInUse(), (std::pair<std::string, std::string>{"no", ""}));
}

TEST_F(ApplyingOptions, ShortCutAssignedInTheDialogWorksAtOnce) {
  TQVLaserControlMain main(console, {}, folder.path());
  main.Create();
  struct View : TQVLaserControlView {
    TOptionFrm form;
    bool EditOptions(TQVLaserControl& c) override {
      return ::EditOptions(c, form, [](TOptionFrm& f) {
        f.HotKeyFields[hkSetInternal] = ShortCut('Q', scCtrl);
        f.PreCurrentChange();
        return f.BitBtn1Click();
      });
    }
  } view;
  console.SetView(&view);
  console.ChangeOptionsClick();
  console.SetView(nullptr);
  EXPECT_EQ(main.Actions().actionForShortCut(ShortCut('Q', scCtrl)), qv::ActionId::SetInternal);
  EXPECT_EQ(main.Actions().actionForShortCut(ShortCut('I', scCtrl)), std::nullopt);
}

}  // namespace
