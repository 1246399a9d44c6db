// The virtual laser's state machine: laser on/off and warm-up, error and warning states, clear,
// reset and save, settings that change what the reads return, and values it refuses.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "engine/Profiles.h"
#include "engine/Responder.h"

namespace qv::sim {
namespace {

using Clock = Responder::Clock;
using std::chrono::milliseconds;

class ResponderFixture : public ::testing::Test {
 protected:
  void make(const std::string& profile, Config config = {}) {
    config.profile = profile;
    r_ = std::make_unique<Responder>(*findProfile(profile), config, t_);
  }
  std::string ask(const std::string& cmd) { return r_->answer(cmd, t_); }
  void later(int ms) { t_ += milliseconds(ms); }

  Clock::time_point t_ = Clock::now();
  std::unique_ptr<Responder> r_;
};

TEST_F(ResponderFixture, WarmUpGoesThroughTheStateFractions) {
  Config c;
  c.warmUpMs = 1000;
  c.warmUpRequired = true;
  make("gen3-2branch", c);
  EXPECT_EQ(ask("r99"), "2.00\r\n");
  // Switching on a cold laser is refused through the error list: code 1042.
  EXPECT_EQ(ask("w60 1"), "OK\r\n");
  EXPECT_EQ(ask("r99"), "1\r\n");
  EXPECT_EQ(ask("r90"), "1042\r\n\r\n");
  EXPECT_EQ(ask("r60"), "LASER_OFF\r\n");
  // The console's automatic sequence: clear the error, then start the warm-up.
  EXPECT_EQ(ask("w97 101"), "OK\r\n");
  EXPECT_EQ(ask("r99"), "2.00\r\n");
  EXPECT_EQ(ask("w60 2"), "OK\r\n");
  EXPECT_EQ(ask("r99"), "2.25\r\n");
  later(999);
  EXPECT_EQ(ask("r99"), "2.25\r\n");
  EXPECT_LE(r_->nextDue(), t_ + milliseconds(1));
  later(1);
  EXPECT_EQ(ask("r99"), "2.50\r\n");
  EXPECT_EQ(ask("w60 1"), "OK\r\n");
  EXPECT_EQ(ask("r99"), "3\r\n");
  EXPECT_EQ(ask("r60"), "LASER_ON\r\n");
  EXPECT_EQ(ask("w60 0"), "OK\r\n");
  EXPECT_EQ(ask("r99"), "2.50\r\n");  // stays warmed up
}

TEST_F(ResponderFixture, StateDigitFollowsErrorsWarningsAndLaser) {
  struct Row {
    std::vector<int> errors;
    std::vector<int> warnings;
    bool on;
    int errorClass;
    const char* state;
  };
  const Row rows[] = {
      {{}, {}, false, 1, "2"},        {{}, {}, true, 1, "3"},       {{80}, {}, false, 1, "1"},
      {{80}, {}, false, 0, "0"},      {{}, {170}, true, 1, "8003"}, {{}, {170}, false, 1, "8002"},
      {{93}, {86}, false, 1, "8001"},
  };
  for (const Row& row : rows) {
    make("gen3-2branch");
    if (row.on) {
      ASSERT_EQ(ask("w60 1"), "OK\r\n");
    }
    r_->state().errorClass = row.errorClass;
    r_->setErrors(row.errors);
    r_->state().warnings = row.warnings;
    EXPECT_EQ(ask("r99"), std::string(row.state) + "\r\n") << row.state;
  }
}

TEST_F(ResponderFixture, ErrorSwitchesTheLaserOffAndKeepsItOffUntilCleared) {
  make("gen3-2branch");
  ask("w60 1");
  r_->setErrors({93, 94});
  EXPECT_EQ(ask("r60"), "LASER_OFF\r\n");
  EXPECT_EQ(ask("w60 1"), "OK\r\n");
  EXPECT_EQ(ask("r60"), "LASER_OFF\r\n");
  EXPECT_EQ(ask("r90"), "93\r\n94\r\n\r\n");
  EXPECT_EQ(ask("w97 101"), "OK\r\n");
  EXPECT_EQ(ask("r90"), "\r\n");
  ask("w60 1");
  EXPECT_EQ(ask("r60"), "LASER_ON\r\n");
}

TEST_F(ResponderFixture, ResetAnswersOkThenReadyAndRestoresSavedSettings) {
  Config c;
  c.resetReadyMs = 500;
  make("gen3-2branch", c);
  ASSERT_EQ(ask("w61 20.00"), "OK\r\n");
  ASSERT_EQ(ask("w98 101"), "OK\r\n");
  ASSERT_EQ(ask("w61 22.50"), "OK\r\n");
  ask("w60 1");
  EXPECT_EQ(ask("w99 101"), "OK\r\n");
  EXPECT_TRUE(r_->state().resetting);
  EXPECT_EQ(r_->due(t_), "");
  later(499);
  EXPECT_EQ(r_->due(t_), "");
  later(1);
  EXPECT_EQ(r_->due(t_), "READY\r\n");
  EXPECT_EQ(r_->due(t_), "");  // once only
  EXPECT_FALSE(r_->state().resetting);
  EXPECT_EQ(ask("r61"), "20.00 A\r\n");
  EXPECT_EQ(ask("r60"), "LASER_OFF\r\n");
  EXPECT_EQ(r_->state().saves, 1);
  EXPECT_EQ(r_->state().resets, 1);
}

TEST_F(ResponderFixture, SettingsChangeWhatTheReadsReturn) {
  struct Row {
    const char* profile;
    const char* set;
    const char* read;
    const char* reply;
  };
  const Row rows[] = {
      {"gen3-2branch", "w61 12.50", "r61", "12.50 A"},
      {"gen3-2branch", "w62 33", "r62", "33.00 A"},
      {"gen3-2branch", "w73 2500.00", "r73", "FREQUENCY = 2500.00 HZ"},
      {"gen3-2branch", "w71 1", "r71", "LASER1 EXTERNAL"},
      {"gen3-2branch", "w72 2", "r72", "LASER2 CW"},
      {"gen3-2branch", "w71 7", "r71", "LASER1 HV-ON"},
      {"gen3-2branch", "w67 30.00", "r67", "IMAX1 = 30.00 A"},
      {"gen3-4branch", "w162 9.75", "r162", "9.75 A"},
      {"gen3-4branch", "w161 8.00", "r161", "8.00 A"},
      {"gen3-single", "w62 21.00", "r62", "21.00 A"},
      {"gen3-single", "w70 0", "r70", "TRIGGER_MODE: EXTERNAL"},
      {"gen3-single", "w70 2", "r70", "TRIGGER_MODE: CW"},
      {"gen3-single", "w71 300.00", "r71", "FREQUENCY = 300.00 HZ"},
      {"gen3-picker", "w173 4", "r173", "PULSE NUMBER = 4"},
      {"gen3-picker", "w172 100", "r172", "PULSE COUNT = 100"},
      {"gen3-picker", "w175 75.50", "r175", "VREG SOLL = 75.50 %"},
      {"gen3-picker", "w178 0", "r178", "VREG_ACTIVE = 0"},
      {"gen2", "w74 7", "r74", "FACTOR = 7"},
      {"gen2", "w75 3", "r75", "PULSES PER SHOT = 3"},
      {"gen2-2freq", "w74 300.00", "r74", "FREQUENCY = 300.00 HZ"},
  };
  for (const Row& row : rows) {
    make(row.profile);
    EXPECT_EQ(ask(row.set), "OK\r\n") << row.profile << " " << row.set;
    EXPECT_EQ(ask(row.read), std::string(row.reply) + "\r\n") << row.profile << " " << row.set;
  }
  // Internal triggering is one command for the whole laser.
  make("gen3-2branch");
  ask("w71 1");
  ask("w72 2");
  EXPECT_EQ(ask("w70 1"), "OK\r\n");
  EXPECT_EQ(ask("r71"), "LASER1 INTERNAL\r\n");
  EXPECT_EQ(ask("r72"), "LASER2 INTERNAL\r\n");
}

TEST_F(ResponderFixture, RefusedValuesAndCommandsAnswerError) {
  struct Row {
    const char* profile;
    const char* command;
  };
  const Row rows[] = {
      {"gen3-2branch", "w61 35.01"},  // above the maximum current
      {"gen3-2branch", "w61 abc"},
      {"gen3-2branch", "w61"},
      {"gen3-2branch", "w61 -1.00"},
      {"gen3-2branch", "w61 1e1"},
      {"gen3-2branch", "w61 1.2.3"},
      {"gen3-2branch", "w67 40.01"},  // above the limit
      {"gen3-2branch", "w73 0"},
      {"gen3-2branch", "w60 5"},
      {"gen3-2branch", "w60"},
      {"gen3-2branch", "w99 100"},
      {"gen3-2branch", "w97"},
      {"gen3-2branch", "w70 2"},
      {"gen3-2branch", "w71 9"},
      {"gen3-2branch", "x01"},
      {"gen3-2branch", "rXY"},
      {"gen3-2branch", "r"},
      {"gen3-2branch", "w01"},
      {"gen3-2branch", "w172 5"},  // no pulse picker
      {"gen3-single", "w61 10.00"},
      {"gen3-single", "w70 7"},
      {"gen3-picker", "w172 0"},
      {"gen3-picker", "w172 201"},  // longer than the longest period
      {"gen3-picker", "w172 2.5"},
      {"gen3-picker", "w175 100.01"},
      {"gen3-picker", "w178 2"},
      {"gen2", "w71 7"},  // no HV-ON before generation 3
      {"gen2", "w172 5"},
      {"gen2-2freq", "w75 1"},
  };
  for (const Row& row : rows) {
    make(row.profile);
    EXPECT_EQ(ask(row.command), "ERROR\r\n") << row.profile << " " << row.command;
  }
}

TEST_F(ResponderFixture, MaximumCurrentFollowsTheProtectionClassOfThePulseCount) {
  make("gen3-picker");  // ranges 200 / 40 / 10; branch-1 limits 25 / 30 / 32 A
  struct Row {
    const char* count;
    const char* max;
  };
  for (const Row& row : {Row{"100", "25.00"}, Row{"40", "30.00"}, Row{"10", "32.00"},
                         Row{"41", "25.00"}, Row{"200", "25.00"}}) {
    ASSERT_EQ(ask(std::string("w172 ") + row.count), "OK\r\n");
    EXPECT_EQ(ask("r67"), std::string("IMAX1 = ") + row.max + " A\r\n") << row.count;
  }
  // A current set at a high rate is lowered when the class allows less.
  ask("w172 10");
  ASSERT_EQ(ask("w61 31.00"), "OK\r\n");
  ask("w172 100");
  EXPECT_EQ(ask("r61"), "25.00 A\r\n");
  EXPECT_EQ(ask("w61 26.00"), "ERROR\r\n");
}

TEST_F(ResponderFixture, PasswordAndTolerantCommandTexts) {
  Config c;
  c.password = "se.cret";
  make("gen3-2branch", c);
  EXPECT_EQ(ask("w01 wrong"), "ERROR\r\n");
  EXPECT_EQ(ask("w01 se.cret"), "OK\r\n");
  EXPECT_TRUE(r_->state().passwordAccepted);
  // Upper-case letters, missing leading zeros and surrounding blanks name the same command.
  EXPECT_EQ(ask(" R1 "), "S/N: 1234\r\n");
  EXPECT_EQ(ask("w061   12.00"), "OK\r\n");
  EXPECT_EQ(ask(""), "");  // an empty line gets no reply
}

TEST(Selector, MatchesByLetterNumberAndArgument) {
  struct Row {
    const char* selector;
    const char* command;
    bool selected;
  };
  const Row rows[] = {
      {"r99", "r99", true},        {"r99", "R99", true},
      {"r99", "r9", false},        {"r01", "r1", true},
      {"w61", "w61 12.50", true},  {"w99 101", "w99 101", true},
      {"w99 101", "w99 5", false}, {"r60,r99", "r99", true},
      {"r60, r99", "r60", true},   {"*", "x", true},
      {"", "r99", false},          {"r99", "w99 101", false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(matchesSelector(row.selector, row.command), row.selected)
        << row.selector << " / " << row.command;
  }
}

}  // namespace
}  // namespace qv::sim
