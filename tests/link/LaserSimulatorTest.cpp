// TLaser against the simulator: identification and detection of every kind of laser, driven the
// way the console drives them, and background polling of states with error codes.
#include <gtest/gtest.h>

#include <filesystem>
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
      // The console's rule for time-outs, when asked for.
      if (failureRule && (laser.VariousCommandErrors() >= laser.AllowedErrors() ||
                          laser.CommandErrors() > laser.AllowedErrors()))
        laser.Disconnect();
    };
    l.OnCommandError = [this](TLaser&, TLaserCommand, std::uint8_t, const std::string& t) {
      reported.push_back("error " + t);
    };
  }
  void finish() {
    laser.BeginBackgroundQueries();
    laser.ReadState();
    for (std::uint8_t b = 1; b <= 4; ++b)
      if (laser.CurrentMask().Contains(b)) laser.ReadCurrent(b);
    laser.EndBackgroundQueries();
    done = true;
  }

  TLaser& laser;
  bool done = false;
  bool failureRule = false;
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
  ASSERT_TRUE(pumpUntil([&] { return driver.done; }, 20000)) << k.profile;
  EXPECT_FALSE(laser.Connecting());
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

// The port lost while one detection sequence waits for its answer: the next connection must run
// identification and every sequence again, and poll.
struct Interruption {
  const char* name;
  const char* awaited;  // the read of that sequence the laser leaves unanswered
  bool (TLaser::*running)() const;
};

class PortLostDuringDetection : public ::testing::TestWithParam<Interruption> {};

TEST_P(PortLostDuringDetection, NextConnectionDetectsAfresh) {
  const Interruption& c = GetParam();
  PortsDir ports;
  qv::sim::Config config;
  config.profile = "gen3-picker";
  config.faults.noAnswerTo = c.awaited;
  qv::sim::Simulator sim{config};
  ASSERT_TRUE(sim.start(13, ports.path())) << sim.lastError();
  TLaser laser;
  laser.SetPort(13);
  DetectionDriver driver(laser);
  ASSERT_TRUE(laser.Connect());
  ASSERT_TRUE(pumpUntil([&] { return sim.countReceived(c.awaited) >= 1; }, 20000));
  ASSERT_TRUE((laser.*c.running)());
  sim.hangUp();
  ASSERT_TRUE(pumpUntil([&] { return !laser.Connected(); }));
  EXPECT_FALSE((laser.*c.running)());

  sim.setFaults({});
  sim.comeBack();
  // Online comes a moment before the link points at the new line: wait for both.
  ASSERT_TRUE(pumpUntil([&] {
    std::error_code ec;
    return sim.online() && std::filesystem::exists(sim.linkPath(), ec);
  }));
  sim.clearReceived();
  ASSERT_TRUE(laser.Connect());  // as the console's detection timer does
  ASSERT_TRUE(pumpUntil([&] { return driver.done; }, 20000));
  EXPECT_FALSE(laser.Detecting());
  EXPECT_EQ(laser.CurrentMask(), TBranchMask::Of({1}));
  EXPECT_EQ(laser.TriggerMask(), TBranchMask::Of({1}));
  EXPECT_EQ(laser.FrequencyMask(), TBranchMask::Of({1}));
  EXPECT_TRUE(laser.HasPulsePicker());
  EXPECT_TRUE(laser.HasRegulator());
  EXPECT_EQ(sim.countReceived(c.awaited), 1);
  EXPECT_TRUE(pumpUntil([&] { return sim.countReceived("r99") >= 3; }, 5000));
  EXPECT_TRUE(driver.reported.empty()) << driver.reported.front();
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, PortLostDuringDetection,
    ::testing::Values(Interruption{"Currents", "r61", &TLaser::CountingCurrents},
                      Interruption{"PulsePicker", "r170", &TLaser::CheckingPulsePicker},
                      Interruption{"TriggerModes", "r71", &TLaser::CountingTriggerModes},
                      Interruption{"Frequencies", "r73", &TLaser::CountingFrequencies}),
    [](const auto& info) { return std::string(info.param.name); });

// A head serial of 0 ends identification like any other: the silent laser's failures are
// reported, the console's rule disconnects it, and it is connected again when it answers.
TEST(LaserWithoutHead, FailsIsDisconnectedAndConnectsAgain) {
  PortsDir ports;
  qv::sim::Simulator sim{std::string("nohead")};
  ASSERT_TRUE(sim.start(14, ports.path())) << sim.lastError();
  TLaser laser;
  laser.SetPort(14);
  laser.SetAllowedErrors(2);  // as the console sets it
  DetectionDriver driver(laser);
  driver.failureRule = true;
  ASSERT_TRUE(laser.Connect());
  ASSERT_TRUE(pumpUntil([&] { return driver.done; }, 10000));
  EXPECT_FALSE(laser.Connecting());
  ASSERT_TRUE(pumpUntil([&] { return sim.countReceived("r99") >= 2; }, 5000));

  qv::sim::Faults silent;
  silent.silent = true;
  sim.setFaults(silent);
  ASSERT_TRUE(pumpUntil([&] { return !laser.Connected(); }, 15000));
  EXPECT_EQ(driver.reported,
            (std::vector<std::string>{"timeout r99", "timeout r99", "timeout r99"}));

  sim.setFaults({});
  driver.done = false;
  sim.clearReceived();
  ASSERT_TRUE(laser.Connect());
  ASSERT_TRUE(pumpUntil([&] { return driver.done; }, 10000));
  EXPECT_EQ(laser.LHCSN(), 0);
  EXPECT_FALSE(laser.Connecting());
  EXPECT_TRUE(pumpUntil([&] { return sim.countReceived("r99") >= 2; }, 5000));
}

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
