// What a matched answer does to TLaser's state, and the background list's order, without a line.
#include <gtest/gtest.h>

#include <cmath>

#include <thread>

#include "catalogue/Pattern.h"
#include "link/QVLaser.h"
#include "link/QVLaserThreads.h"
#include "support/MainLoop.h"

namespace {

// A laser with the generation-3 catalogue, the variants of a pulse-picker laser, and a way to
// dispatch a reply to an entry as the parser would.
class Dispatch : public ::testing::Test {
 protected:
  void SetUp() override {
    laser.BuildCommandCatalogue();
    laser.AddPickerRegulatorCommands(true);
  }
  // Matches reply against the entry (command, sub-id) and dispatches it; false if no match.
  bool answer(TLaserCommand c, std::uint8_t sub, const std::string& reply) {
    TCommandSyntaxPtr e = laser.CommandList().FindCommand(c, sub);
    auto m = MatchCommandReply(*e, reply);
    if (!m) return false;
    TLaserMsg captures;
    for (const auto& g : m->groups) captures.push_back(g.value_or(""));
    laser.DispatchAnswer(*e, captures);
    return true;
  }

  TLaser laser;
};

struct StateCase {
  const char* reply;
  bool knownHead;  // a positive head serial was read before
  std::uint32_t state;
  double raw;
  bool warmUp, on, errorRead, warningRead;
};

class StateDerivation : public Dispatch, public ::testing::WithParamInterface<StateCase> {};

TEST_P(StateDerivation, FollowsTheStateWord) {
  const StateCase& c = GetParam();
  if (c.knownHead) {
    ASSERT_TRUE(answer(lcReadLHC03SN, 0, "S/N LASER-HEAD: 55"));
  }
  std::vector<std::int32_t> seen;
  laser.OnLaserState = [&](TLaser&, std::int32_t v) { seen.push_back(v); };
  ASSERT_TRUE(answer(lcReadState, 0, c.reply));
  EXPECT_EQ(laser.State(), c.state);
  EXPECT_DOUBLE_EQ(laser.RawState(), c.raw);
  EXPECT_EQ(laser.WarmUpRequired(), c.warmUp);
  EXPECT_EQ(laser.LaserIsOn(), c.on);
  EXPECT_EQ(laser.BkgrndPool().ErrorCodeRequested(), c.errorRead);
  EXPECT_EQ(laser.BkgrndPool().WarningCodeRequested(), c.warningRead);
  EXPECT_EQ(seen, std::vector<std::int32_t>{static_cast<std::int32_t>(c.state)});
}

INSTANTIATE_TEST_SUITE_P(
    Replies, StateDerivation,
    ::testing::Values(StateCase{"2.25", false, 2 | 0x4000, 2.25, true, false, false, false},
                      StateCase{"2.5", false, 2 | 0x8000, 2.5, true, false, false, false},
                      StateCase{"2", false, 2, 2, false, false, false, false},
                      StateCase{"1", true, 0, 0, false, false, true, false},
                      StateCase{"1", false, 1, 1, false, false, true, false},
                      StateCase{"3", true, 3, 3, false, true, false, false},
                      StateCase{"8003", true, 8003, 8003, false, true, false, true}));

TEST_F(Dispatch, StateReadWhileRecordingRequestsNoCodeRead) {
  laser.BeginBackgroundQueries();  // not connected: nothing is recorded, but the flag is set
  ASSERT_TRUE(answer(lcReadState, 0, "0"));
  EXPECT_FALSE(laser.BkgrndPool().ErrorCodeRequested());
}

TEST_F(Dispatch, ValuesAndTheirConversions) {
  ASSERT_TRUE(answer(lcReadSeederFrequency, 0, "SEEDER-FREQUENCY = 80.5 KHZ"));
  EXPECT_DOUBLE_EQ(laser.SeederFrequency(), 80500);
  ASSERT_TRUE(answer(lcReadSeederFrequency, 0, "SEEDER-FREQUENCY = 80.5 HZ"));
  EXPECT_DOUBLE_EQ(laser.SeederFrequency(), 80.5);
  ASSERT_TRUE(answer(lcReadActualSeederFrequency, 0, "ACT. SEEDER-FREQUENCY = 20.0 MHZ"));
  EXPECT_DOUBLE_EQ(laser.ActualSeederFrequency(), 20e6);

  for (auto [reply, stored] : {std::pair{"ACTIVE (0)", 1}, {"ACTIVE (1)", 0}, {"AKTIVE (2)", 2}}) {
    ASSERT_TRUE(answer(lcReadFreeTriggerMode, 0, reply));
    EXPECT_EQ(laser.FreeTriggerMode(), stored) << reply;
  }

  ASSERT_TRUE(answer(lcReadPulseCount, 0, "PULSE COUNT = 5.00"));
  EXPECT_EQ(laser.PulsePickerCount(), 5);
  ASSERT_TRUE(answer(lcReadPulseNumber, 0, "PPB = -12"));
  EXPECT_EQ(laser.PulsePickerNumber(), -12);

  ASSERT_TRUE(answer(lcReadRunningTime, 0, "1234 H\r\n56 M"));
  EXPECT_EQ(laser.RunningTime(), 1234u * 60 + 56);

  ASSERT_TRUE(answer(lcReadProtectionCurrentLimit, 33, "MAX PERIOD MAX. CURRENT = 12.5 A"));
  EXPECT_DOUBLE_EQ(laser.ProtectionCurrentLimit(1, 2), 12.5);  // category 1, current 2

  ASSERT_TRUE(answer(lcReadFirmwareVersion, 0, "VERSION: 4.2, 3.11.2019"));
  EXPECT_EQ(laser.FirmwareVersion().Value(), 2019u * 65536 + 11 * 256 + 3);

  ASSERT_TRUE(answer(lcReadTemperature, 0,
                     "TEMPERATURE POWER-SUPPLY: 31.5 \xB0"
                     "C"));
  EXPECT_DOUBLE_EQ(laser.Temperature(0), 31.5);

  ASSERT_TRUE(answer(lcReadRegulatorState, 0, "VREG_ACTIVE = 0"));
  EXPECT_FALSE(laser.RegulatorOn());
}

TEST_F(Dispatch, SetAnswersRaiseOnlyTheCommandEvent) {
  int params = 0;
  std::vector<std::string> commands;
  laser.OnLaserParam = [&](TLaser&, TLaserCommand, std::uint8_t) { ++params; };
  laser.OnLaserCommand = [&](TLaser&, const std::string& c, const std::string& r) {
    commands.push_back(c + "=" + r);
  };
  ASSERT_TRUE(answer(lcSetCurrent, 1, "OK"));
  EXPECT_EQ(params, 0);
  EXPECT_EQ(commands, std::vector<std::string>{"w61=OK"});
}

TEST_F(Dispatch, UnknownValuesComeBackOnReset) {
  ASSERT_TRUE(answer(lcReadPower, 0, "MED. POWER = 4.5 W"));
  ASSERT_TRUE(answer(lcReadFlowRate, 0, "WATER FLOW = 2.5 L/MIN"));
  laser.ResetIdentity();
  EXPECT_TRUE(std::isnan(laser.Power()));
  EXPECT_TRUE(std::isnan(laser.FlowRate()));
  EXPECT_TRUE(std::isnan(laser.Oven(2).OvenTemperature));
  EXPECT_EQ(laser.Oven(2).HeatingValue, -1);
  EXPECT_EQ(laser.LDRunningTime(1), -1);
  EXPECT_EQ(laser.RunningTime(), 4294967295u);
  EXPECT_EQ(laser.FreeTriggerPPB(), 65535);
  EXPECT_EQ(laser.LHCSN(), -32767);
  EXPECT_EQ(laser.LHCVersion(), 3);
  EXPECT_TRUE(laser.RegulatorOn());
}

TEST(WorkerFailure, IsReportedOnTheMainThreadWithItsClass) {
  TLaser laser;
  std::string report;
  bool onMain = false;
  laser.OnMointorError = [&](TLaser&, const std::string& text) {
    report = text;
    onMain = IsMainThread();
  };
  TInnerTimer worker(laser);
  worker.ErrorCode = 7;
  worker.ErrorMessage = "no memory";
  std::thread t([&] { worker.ReportError(); });
  EXPECT_TRUE(qv::test::pumpUntil([&] { return !report.empty(); }));
  t.join();
  EXPECT_EQ(report, "TInnerTimer failed with error 7: no memory");
  EXPECT_TRUE(onMain);
}

// The background list's order, with code reads inserted before item 1.
TEST(BackgroundList, RoundRobinWithCodeReadsBeforeItemOne) {
  TLaser laser;
  laser.BuildCommandCatalogue();  // r90 and r91 are the code reads
  TBkgrndPool& pool = laser.BkgrndPool();
  auto next = [&] { return pool.Next().CmdStr; };

  pool.Add("A", 1);
  pool.Add("B", 2);
  pool.Add("C", 3);
  EXPECT_EQ((std::vector<std::string>{next(), next(), next(), next()}),
            (std::vector<std::string>{"A", "B", "C", "A"}));

  pool.Clear();
  pool.Add("S", 1);
  pool.Add("X", 2);
  EXPECT_EQ(next(), "S");
  pool.RequestErrorCode();
  pool.RequestWarningCode();
  EXPECT_EQ((std::vector<std::string>{next(), next(), next(), next()}),
            (std::vector<std::string>{"r90", "r91", "X", "S"}));

  pool.Clear();
  pool.Add("S", 1);
  pool.RequestErrorCode();
  EXPECT_EQ(next(), "S");
  EXPECT_EQ(next(), "S");  // one item: its position wraps to 0 at once, nothing is inserted
  EXPECT_TRUE(pool.ErrorCodeRequested());
}

}  // namespace
