// TLaser against the simulator: identification and detection of every kind of laser, driven the
// way the console drives them, and background polling of states with error codes.
#include <gtest/gtest.h>

#include <memory>

#include "engine/Profiles.h"
#include "engine/Simulator.h"
#include "link/QVLaser.h"
#include "support/MainLoop.h"
#include "support/TempDir.h"

namespace qv::test {
namespace {

// The console's connection flow: catalogue on connect and on identification, then the
// detection sequences one after the other, then the background list.
class DetectionDriver {
 public:
  explicit DetectionDriver(TLaser& l) : laser(l) {
    l.OnConnect = [this](TObject*) { laser.BuildCommandCatalogue(); };
    l.OnLaserConnected = [this](TObject*) {
      laser.BuildCommandCatalogue();
      if (laser.LHCVersion() == 3 && laser.LHCSN() > 0)
        laser.CountCurrents(false);
      else
        finish();
    };
    l.OnCurrentCounted = [this](TLaser&, TBranchMask m) {
      if (m == TBranchMask::Of({2})) {
        laser.AddSingleBranchCommands();
        laser.CountTriggerModes(false);
      } else {
        laser.CheckPulsePicker();
      }
    };
    l.OnPSLaserChecked = [this](TObject*) {
      laser.AddBranchCommands();
      if (laser.HasPulsePicker() || laser.HasRegulator()) laser.AddPickerRegulatorCommands();
      laser.CountTriggerModes(false);
    };
    l.OnTriggerCounted = [this](TLaser&, TBranchMask) { laser.CountFrequencies(false); };
    l.OnFrequencyCounted = [this](TLaser&, TBranchMask) { finish(); };
    l.OnCommandTimeout = [this](TLaser&, TLaserCommand, std::uint8_t, const std::string& t) {
      reported.push_back("timeout " + t);
    };
    l.OnCommandError = [this](TLaser&, TLaserCommand, std::uint8_t, const std::string& t) {
      reported.push_back("error " + t);
    };
  }
  void finish() {
    laser.BeginBackgroundQueries();
    laser.ReadState();
    laser.ReadCurrent(1);
    laser.EndBackgroundQueries();
    done = true;
  }

  TLaser& laser;
  bool done = false;
  std::vector<std::string> reported;
};

struct Kind {
  const char* profile;
  int generation;
  std::int32_t head;
  TBranchMask currents, triggers, frequencies;
  bool picker, regulator;
};

class Identification : public ::testing::TestWithParam<Kind> {};

TEST_P(Identification, FindsWhatTheLaserHas) {
  const Kind& k = GetParam();
  PortsDir ports;
  qv::sim::Simulator sim{std::string(k.profile)};
  ASSERT_TRUE(sim.start(11, ports.path())) << sim.lastError();
  TLaser laser;
  laser.SetPort(11);
  DetectionDriver driver(laser);
  ASSERT_TRUE(laser.Connect());
  if (k.generation == 3 && k.head <= 0) {
    // Identified, but a head serial of 0 or below keeps the connecting flag.
    ASSERT_TRUE(pumpUntil([&] { return driver.done; }, 10000));
    EXPECT_TRUE(laser.Connecting());
  } else {
    ASSERT_TRUE(pumpUntil([&] { return driver.done; }, 20000)) << k.profile;
    EXPECT_FALSE(laser.Connecting());
  }
  EXPECT_FALSE(laser.Detecting());
  EXPECT_EQ(laser.LHCVersion(), k.generation);
  const auto profile = qv::sim::findProfile(k.profile);
  ASSERT_TRUE(profile);
  EXPECT_EQ(laser.LHCSN(), k.generation == 3 ? profile->headSerial : TLaser::kUnknownLHCSN);
  EXPECT_EQ(laser.SN(), profile->serial);
  EXPECT_EQ(laser.CurrentMask(), k.currents);
  EXPECT_EQ(laser.TriggerMask(), k.triggers);
  EXPECT_EQ(laser.FrequencyMask(), k.frequencies);
  EXPECT_EQ(laser.HasPulsePicker(), k.picker);
  EXPECT_EQ(laser.HasRegulator(), k.regulator);
  EXPECT_TRUE(driver.reported.empty()) << driver.reported.front();
  // Polling runs: the state comes in again and again.
  EXPECT_TRUE(pumpUntil([&] { return sim.countReceived("r99") >= 3; }, 5000));
  EXPECT_TRUE(driver.reported.empty()) << driver.reported.front();
  laser.Disconnect();
}

constexpr TBranchMask kNone{};
INSTANTIATE_TEST_SUITE_P(
    Profiles, Identification,
    ::testing::Values(Kind{"gen3-2branch", 3, 1234, TBranchMask::Of({1, 2}),
                           TBranchMask::Of({1, 2}), TBranchMask::Of({1}), false, false},
                      Kind{"gen3-picker", 3, 1234, TBranchMask::Of({1}), TBranchMask::Of({1}),
                           TBranchMask::Of({1}), true, true},
                      Kind{"gen3-single", 3, 1234, TBranchMask::Of({2}), TBranchMask::Of({1}),
                           TBranchMask::Of({1}), false, false},
                      Kind{"gen3-4branch", 3, 1234, TBranchMask::Of({1, 2, 3, 4}),
                           TBranchMask::Of({1, 2}), TBranchMask::Of({1}), false, false},
                      Kind{"gen3-warmup", 3, 1234, TBranchMask::Of({1, 2}), TBranchMask::Of({1, 2}),
                           TBranchMask::Of({1}), false, false},
                      Kind{"gen2", 2, 0, kNone, kNone, kNone, false, false},
                      Kind{"gen2-2freq", 2, 0, kNone, kNone, kNone, false, false},
                      Kind{"nohead", 3, 0, kNone, kNone, kNone, false, false}),
    [](const auto& info) {
      std::string n = info.param.profile;
      for (char& c : n)
        if (c == '-') c = '_';
      return n;
    });

TEST(LaserPolling, ErrorStateBringsItsCodesInTheSamePass) {
  PortsDir ports;
  qv::sim::Simulator sim{std::string("gen3-2branch")};
  ASSERT_TRUE(sim.start(12, ports.path())) << sim.lastError();
  TLaser laser;
  laser.SetPort(12);
  DetectionDriver driver(laser);
  int errorLists = 0;
  laser.OnLaserError = [&](TObject*) { ++errorLists; };
  ASSERT_TRUE(laser.Connect());
  ASSERT_TRUE(pumpUntil([&] { return driver.done; }, 20000));
  sim.setErrors({80, 1042});
  ASSERT_TRUE(pumpUntil(
      [&] {
        return laser.ErrorCodes() == std::vector<std::uint16_t>{80, 1042};
      },
      5000));
  EXPECT_FALSE(laser.IsErrorFree());
  EXPECT_TRUE(laser.WarmUpRequired());
  sim.setErrors({});
  EXPECT_TRUE(pumpUntil([&] { return laser.IsErrorFree(); }, 5000));
  EXPECT_GE(errorLists, 1);
}

}  // namespace
}  // namespace qv::test
