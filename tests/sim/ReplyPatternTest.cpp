// Every read the console's catalogue can send to a profile is answered in the form its response
// pattern expects, with the branch digit (where the pattern carries one) naming the entry's own
// branch; what a profile does not support is answered "ERROR".

// GCC 12 reports a false "maybe uninitialized" inside std::regex's std::function members when
// building with the sanitizers; it must be silenced before the first standard header.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "Dialect.h"
#include "engine/Profiles.h"
#include "engine/Responder.h"

namespace qv::sim {
namespace {

using qv::test::matchReply;

// The response patterns, byte for byte as the console's catalogue holds them (the degree sign is
// written here as UTF-8 and turned into the single byte 0xB0 below).
const char* const kSN = R"(\AS/N:[ \t]*?((\d+?)(\.0*?)??)[ \t]*?\Z)";
const char* const kSNInitial = R"(\AS/N:[ \t]*?((\d+?)(\.0*?)??)[ ]*?\Z)";
const char* const kStatus = R"(\A(LASER_ON|LASER_OFF)\Z)";
const char* const kCurrent = R"(\A[ \t]*?(\d{1,3}.\d\d) A\Z)";
const char* const kIMon = R"(\A[ \t]*?IMON[ \t]*?(\d)[ \t]*?=[ \t]*?(\d{1,3}.\d\d)\Z)";
const char* const kIDA = R"(\A[ \t]*?IDA[ \t]*?(\d)[ \t]*?=[ \t]*?(\d{1,3}.\d\d)\Z)";
const char* const kVMon = R"(\A[ \t]*?VMON[ \t]*?(\d)[ \t]*?=[ \t]*?(\d{1,3}.\d\d)\Z)";
const char* const kRunning =
    R"(\A[ \t]*?(\d+?)[ \t]*?H[ \t]*?\r\n[ \t]*?(\d{1,2})[ \t]*?M[ \t]*?\Z)";
const char* const kHeadSN = R"(\AS/N[ \t]*?LASER-HEAD[ \t]*?:[ \t]*?(-??\d+?)[ \t]*?\Z)";
const char* const kFirmware =
    R"(\AVERSION[ \t]*?:[ \t]*?(\d+?)(\.([0-9])??)[ \t]*?[, ][ \t]*?(\d{1,2})[\. ]([01]??\d)[\. ](20[12]\d)[ \t]*?\Z)";
const char* const kState = R"(\A((800)??\d)(\.(\d*?))??\Z)";
const char* const kSeeder =
    R"(\A[ \t]*?SEEDER-FREQUENCY[ \t]*?=[ \t]*?(\d+?(.\d*?))[ \t]([KM]??)HZ[ \t]*?\Z)";
const char* const kActSeeder =
    R"(\A[ \t]*?ACT\.[ \t]*?SEEDER-FREQUENCY[ \t]*?=[ \t]*?(\d+?(.\d*?))[ \t]([KM]??)HZ[ \t]*?\Z)";
const char* const kPulseCount =
    R"(\A[ \t]*?(PULSE COUNT|SFD)[ \t]*?=[ \t]*?(-??\d+?(.00)??)[ \t]*?\Z)";
const char* const kPulseNumber =
    R"(\A[ \t]*?(PULSE NUMBER|PPB)[ \t]*?=[ \t]*?(-??\d+?(.00)??)[ \t]*?\Z)";
const char* const kRegLevel =
    R"(\A[ \t]*?(VREG[ \t]*?SOLL|VMOD SETPOINT)[ \t]*?=[ \t]*?(-??\d+?(.\d*?)??)[ \t]*?%[ \t]*?\Z)";
const char* const kHeating = R"(\A[ \t]*?Y[ \t]*?:[ \t]*?(\d+?)[ \t].*?\Z)";
const char* const kWaterFlow =
    R"(\A[ \t]*?WATER[ \t]*?FLOW[ \t]*?=[ \t]*?(\d+?\.\d+?)[ \t]*?L/MIN[ \t]*?\Z)";
const char* const kLDTime =
    R"(\A[ \t]*?LD[ \t]*?(\d)[ \t]*?OPERATING[ \t]+?HOURS[ \t]+?(\d+?)\.(\d+?)[ \t]*?HH\.MM[ \t]*?\Z)";
const char* const kTempLaser =
    R"(\A[ \t]*?TEMPERATURE[ \t]*?LASER[ \t]*?(\d)[ \t]*?[:=][ \t]*?(-??\d+?(.\d*?)??)[ \t]*?°C[ \t]*?\Z)";
const char* const kTempRes1 =
    R"(\A[ \t]*?TEMPERATURE[ \t]*?RESONATOR[ \t]*?1[ \t]*?=[ \t]*?(-??\d+?(.\d*?)??)[ \t]*?°C[ \t]*?\Z)";
const char* const kTempRes2 =
    R"(\A[ \t]*?TEMPERATURE[ \t]*?RESONATOR[ \t]*?2[ \t]*?=[ \t]*?(-??\d+?(.\d*?)??)[ \t]*?°C[ \t]*?\Z)";
const char* const kTempPS =
    R"(\A[ \t]*?TEMPERATURE[ \t]*?POWER\-SUPPLY[ \t]*?:[ \t]*?(-??\d+?(.\d*?)??)[ \t]*?°C[ \t]*?\Z)";
const char* const kHumLaser =
    R"(\A[ \t]*?HUMIDITY[ \t]*?LASER[ \t]*?(\d)[ \t]*?=[ \t]*?(-??\d+?(.\d*?)??)[ \t]*?%[ \t]*?\Z)";
const char* const kHumRes1 =
    R"(\A[ \t]*?HUMIDITY[ \t]*?RESONATOR[ \t]*?1[ \t]*?=[ \t]*?(-??\d+?(.\d*?)??)[ \t]*?%[ \t]*?\Z)";
const char* const kHumRes2 =
    R"(\A[ \t]*?HUMIDITY[ \t]*?RESONATOR[ \t]*?2[ \t]*?=[ \t]*?(-??\d+?(.\d*?)??)[ \t]*?%[ \t]*?\Z)";
const char* const kHum5 =
    R"(\A[ \t]*?HUMIDITY[ \t]*?5[ \t]*?=[ \t]*?(-??\d+?(.\d*?)??)[ \t]*?%[ \t]*?\Z)";
const char* const kPower =
    R"(\A[ \t]*?MED\.[ \t]*?POWER[ \t]*?=[ \t]*?(-??\d+?(.\d*?)??)[ \t]*?W[ \t]*?\Z)";
const char* const kOvenW = R"(\A[ \t]*?W_O(\d)[ \t]*?=[ \t]*?(-??\d+?(.\d*?)??)[ \t]*?\Z)";
const char* const kOvenX = R"(\A[ \t]*?X_O(\d)[ \t]*?=[ \t]*?(-??\d+?(.\d*?)??)[ \t]*?\Z)";
const char* const kOvenE = R"(\A[ \t]*?E_O(\d)[ \t]*?=[ \t]*?(-??\d+?(.\d*?)??)[ \t]*?\Z)";
const char* const kFlowOld = R"(\AFLOW:[ \t]*?(\d{1,2}\.\d\d) L/MIN\Z)";
const char* const kFactor = R"(\A[ \t]*?FACTOR[ \t]*?=[ \t]*?(-??\d+?)[ \t]*?\Z)";
const char* const kPulsesPerShot = R"(\A[ \t]*?PULSES PER SHOT[ \t]*?=[ \t]*?(-??\d+?)[ \t]*?\Z)";
const char* const kMax12 = R"(\AIMAX([12])??[ \t]*?=[ \t]*?(\d{1,3}\.\d{2}) *?A\Z)";
const char* const kMax14 = R"(\AIMAX([1-4])??[ \t]*?=[ \t]*?(\d{1,3}\.\d{2}) *?A\Z)";
const char* const kTrigger3 = R"(\A[ \w]*?(LASER([12]))??[ \t]*?(EXTERNAL|INTERNAL|CW|HV-ON).*\Z)";
const char* const kTriggerOld = R"(\A[ \w]*?(LASER([12]))??[ \t]*?(EXTERNAL|INTERNAL|CW).*\Z)";
const char* const kFrequencyOld = R"(\A[ \w]*?FREQUENCY[ \t]*?=[ \t]*?(\d+?\.\d{2}) HZ\Z)";
const char* const kFrequency3 = R"(\A[ \w]*?FREQUENCY[ \t]*?=[ \t]*?(-??\d+?\.\d{2}) HZ\Z)";
const char* const kSingleMax = R"(\AI(MAX|_GRENZ)[ \t]*?=[ \t]*?(\d{1,2}\.\d{2}) A\Z)";
const char* const kSingleTrigger = R"(\A[ \w]*?TRIGGER_MODE:[ \t]*?(EXTERNAL|INTERNAL|CW).*\Z)";
const char* const kActReg =
    R"(\A[ \t]*?V(REG|MOD)[ \t]*?=[ \t]*?(-??\d+?(.\d*?)??)[ \t]*?%[ \t]*?\Z)";
const char* const kRegState =
    R"(\A[ \t]*?(VREG_ACTIVE|VMOD ACTIVE)[ \t]*?=[ \t]*?(-??\d+?(.\d*?)??)[ \t]*?\Z)";
const char* const kRangeMax =
    R"(\A[ \t]*?MAX.*?[ \t]*?PERIOD.*?=[ \t]*?(\d+?)[ \t]*?PULSES[ \t]*?\Z)";
const char* const kRangeMed =
    R"(\A[ \t]*?MED.*?[ \t]*?PERIOD.*?=[ \t]*?(\d+?)[ \t]*?PULSES[ \t]*?\Z)";
const char* const kRangeMin =
    R"(\A[ \t]*?(MIN|HI).*?[ \t]*?PERIOD.*?=[ \t]*?(\d+?)[ \t]*?PULSES[ \t]*?\Z)";
const char* const kLimitMax =
    R"(\A[ \t]*?MAX.*?[ \t]*?PERIOD.*?MAX\.*?[ \t]*?CURRENT.*?=[ \t]*?(\d+?(\.\d*?)??)[ \t]*?A[ \t]*?\Z)";
const char* const kLimitMed =
    R"(\A[ \t]*?MED.*?[ \t]*?PERIOD.*?MAX\.*?[ \t]*?CURRENT.*?=[ \t]*?(\d+?(\.\d*?)??)[ \t]*?A[ \t]*?\Z)";
const char* const kLimitMin =
    R"(\A[ \t]*?(MIN|HI).*?[ \t]*?PERIOD.*?MAX\.*?[ \t]*?CURRENT.*?=[ \t]*?(\d+?(\.\d*?)??)[ \t]*?A[ \t]*?\Z)";
const char* const kFreeMode = R"(\A.*?A[CK]TIVE[ \t]*?\([ \t]*?(\d)[ \t]*?\)[ \t]*?\Z)";
const char* const kFreePPB = R"(\A[ \t]*?PPB[ \t]+?IN[ \t]+?FT[ \t]*?=[ \t]*?(\d+?)[ \t]*?\Z)";

std::string bytePattern(const char* utf8) {
  std::string p = utf8;
  for (size_t at; (at = p.find("\xC2\xB0")) != std::string::npos;) p.replace(at, 2, "\xB0");
  return p;
}

// One catalogue read: its command text, pattern, branch group (0: none) with the entry's
// sub-id, and the value groups.
struct Read {
  const char* command;
  const char* pattern;
  int branchGroup;
  int subId;
  std::vector<int> values;
};

const std::vector<Read> kCommon = {
    {"r01", kSN, 0, 0, {2}},
    {"r01", kSNInitial, 0, 0, {2}},
    {"r60", kStatus, 0, 0, {0}},
    {"r51", kRunning, 0, 0, {1, 2}},
    {"r12", kFirmware, 0, 0, {1, 3, 4, 5, 6}},
    {"r99", kState, 0, 0, {1}},
};
const std::vector<Read> kBranch[5] = {
    {},
    {{"r61", kCurrent, 0, 1, {1}},
     {"r53", kIMon, 1, 1, {2}},
     {"r54", kIDA, 1, 1, {2}},
     {"r52", kVMon, 1, 1, {2}}},
    {{"r62", kCurrent, 0, 2, {1}},
     {"r56", kIMon, 1, 2, {2}},
     {"r57", kIDA, 1, 2, {2}},
     {"r55", kVMon, 1, 2, {2}}},
    {{"r161", kCurrent, 0, 3, {1}},
     {"r153", kIMon, 1, 3, {2}},
     {"r154", kIDA, 1, 3, {2}},
     {"r152", kVMon, 1, 3, {2}}},
    {{"r162", kCurrent, 0, 4, {1}},
     {"r156", kIMon, 1, 4, {2}},
     {"r157", kIDA, 1, 4, {2}},
     {"r155", kVMon, 1, 4, {2}}},
};
const std::vector<Read> kGen3 = {
    {"r02", kHeadSN, 0, 0, {1}},    {"r32", kWaterFlow, 0, 0, {1}}, {"r58", kLDTime, 1, 1, {2, 3}},
    {"r59", kLDTime, 1, 2, {2, 3}}, {"r86", kTempLaser, 1, 1, {2}}, {"r87", kTempLaser, 1, 2, {2}},
    {"r88", kTempRes1, 0, 3, {1}},  {"r89", kTempRes2, 0, 4, {1}},  {"r20", kTempPS, 0, 0, {1}},
    {"r80", kHumLaser, 1, 1, {2}},  {"r81", kHumLaser, 1, 2, {2}},  {"r82", kHumRes1, 0, 3, {1}},
    {"r83", kHumRes2, 0, 4, {1}},   {"r84", kHum5, 0, 5, {1}},      {"r203", kPower, 0, 0, {1}},
};
const std::vector<Read> kOven[4] = {
    {},
    {{"r05", kOvenW, 1, 1, {2}},
     {"r06", kOvenX, 1, 1, {2}},
     {"r07", kOvenE, 1, 1, {2}},
     {"w09 1", kHeating, 0, 1, {1}}},
    {{"r15", kOvenW, 1, 2, {2}},
     {"r16", kOvenX, 1, 2, {2}},
     {"r17", kOvenE, 1, 2, {2}},
     {"w19 1", kHeating, 0, 2, {1}}},
    {{"r25", kOvenW, 1, 3, {2}},
     {"r26", kOvenX, 1, 3, {2}},
     {"r27", kOvenE, 1, 3, {2}},
     {"w29 1", kHeating, 0, 3, {1}}},
};
// The per-branch reads a two-branch laser gains once identified.
const std::vector<Read> kTwoBranch3 = {
    {"r67", kMax12, 1, 1, {2}},    {"r69", kMax12, 1, 2, {2}},      {"r71", kTrigger3, 2, 1, {3}},
    {"r72", kTrigger3, 2, 2, {3}}, {"r73", kFrequency3, 0, 1, {1}},
};
const std::vector<Read> kPicker3 = {
    {"r170", kSeeder, 0, 0, {1, 3}},  {"r171", kActSeeder, 0, 0, {1, 3}},
    {"r172", kPulseCount, 0, 0, {2}}, {"r173", kPulseNumber, 0, 0, {2}},
    {"r175", kRegLevel, 0, 0, {2}},   {"r176", kActReg, 0, 0, {2}},
    {"r178", kRegState, 0, 0, {2}},   {"r180", kRangeMax, 0, 1, {1}},
    {"r182", kRangeMed, 0, 2, {1}},   {"r184", kRangeMin, 0, 3, {2}},
    {"r181", kLimitMax, 0, 33, {1}},  {"r183", kLimitMed, 0, 34, {1}},
    {"r185", kLimitMin, 0, 35, {2}},  {"r191", kLimitMax, 0, 17, {1}},
    {"r192", kLimitMed, 0, 18, {1}},  {"r193", kLimitMin, 0, 19, {2}},
    {"r194", kLimitMax, 0, 49, {1}},  {"r195", kLimitMed, 0, 50, {1}},
    {"r196", kLimitMin, 0, 51, {2}},  {"r232", kFreeMode, 0, 0, {1}},
    {"r233", kFreePPB, 0, 0, {1}},    {"r67", kMax14, 1, 1, {2}},
    {"r71", kTrigger3, 2, 1, {3}},    {"r73", kFrequency3, 0, 1, {1}},
};
const std::vector<Read> kSingle = {
    {"r65", kSingleMax, 0, 2, {2}},
    {"r70", kSingleTrigger, 0, 1, {1}},
    {"r71", kFrequencyOld, 0, 1, {1}},
};
const std::vector<Read> kGen2 = {
    {"r91", kFlowOld, 0, 0, {1}},    {"r67", kMax12, 1, 1, {2}},
    {"r69", kMax12, 1, 2, {2}},      {"r71", kTriggerOld, 2, 1, {3}},
    {"r72", kTriggerOld, 2, 2, {3}}, {"r73", kFrequencyOld, 0, 1, {1}},
};
const std::vector<Read> kGen2Picker = {
    {"r74", kFactor, 0, 0, {1}},
    {"r75", kPulsesPerShot, 0, 0, {1}},
};
const std::vector<Read> kGen2Frequency = {{"r74", kFrequencyOld, 0, 2, {1}}};

struct Case {
  std::string profile;
  Read read;
};

void add(std::vector<Case>& out, const std::string& profile, const std::vector<Read>& reads) {
  for (const Read& r : reads) out.push_back({profile, r});
}

std::vector<Case> allCases() {
  std::vector<Case> out;
  for (const Profile& p : allProfiles()) {
    add(out, p.name, kCommon);
    for (int b = 1; b <= 4; ++b) {
      if (p.currentBranch[b]) add(out, p.name, kBranch[b]);
    }
    if (p.generation >= 3) {
      add(out, p.name, kGen3);
      for (int o = 1; o <= p.ovens; ++o) add(out, p.name, kOven[o]);
    }
  }
  for (const char* name : {"gen3-2branch", "gen3-4branch", "nohead", "gen3-warmup"}) {
    add(out, name, kTwoBranch3);
  }
  add(out, "gen3-picker", kPicker3);
  add(out, "gen3-single", kSingle);
  add(out, "gen2", kGen2);
  add(out, "gen2", kGen2Picker);
  add(out, "gen2-2freq", kGen2);
  add(out, "gen2-2freq", kGen2Frequency);
  return out;
}

class ReplyPattern : public ::testing::TestWithParam<Case> {};

TEST_P(ReplyPattern, MatchesTheCatalogueEntry) {
  const Case& c = GetParam();
  auto profile = findProfile(c.profile);
  ASSERT_TRUE(profile);
  Config config;
  config.profile = c.profile;
  Responder r(*profile, config, Responder::Clock::now());
  std::string reply = r.answer(c.read.command, Responder::Clock::now());
  ASSERT_GE(reply.size(), 2u);
  EXPECT_EQ(reply.substr(reply.size() - 2), "\r\n");
  auto groups = matchReply(bytePattern(c.read.pattern), reply);
  ASSERT_TRUE(groups) << c.read.command << " answered \"" << reply << "\"";
  if (c.read.branchGroup > 0) {
    // The console accepts the reply for this entry only when the branch digit is absent or names
    // the entry's own branch.
    ASSERT_GT(groups->size(), static_cast<size_t>(c.read.branchGroup));
    const std::string& digit = (*groups)[c.read.branchGroup];
    if (!digit.empty()) {
      EXPECT_EQ(std::stoi(digit), c.read.subId) << reply;
    }
  }
  for (int g : c.read.values) {
    ASSERT_LT(static_cast<size_t>(g), groups->size());
    EXPECT_FALSE((*groups)[g].empty()) << c.read.command << " group " << g << " in " << reply;
  }
}

INSTANTIATE_TEST_SUITE_P(AllProfiles, ReplyPattern, ::testing::ValuesIn(allCases()),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           std::string n = info.param.profile + "_" + info.param.read.command +
                                           "_" + std::to_string(info.index);
                           for (char& ch : n) {
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           }
                           return n;
                         });

// Reads that decide what identification finds: a profile that lacks the feature must refuse them.
struct Refusal {
  const char* profile;
  std::vector<const char*> commands;
};

TEST(ReplyPattern, UnsupportedReadsAnswerError) {
  const std::vector<Refusal> refusals = {
      {"gen3-2branch", {"r161", "r162", "r170", "r172", "r173", "r175", "r74", "r232", "r25"}},
      {"gen3-picker", {"r62", "r161", "r72"}},
      {"gen3-single", {"r61", "r161", "r72", "r73", "r170", "r172", "r175"}},
      {"gen3-4branch", {"r170", "r172", "r175"}},
      {"gen2", {"r02", "r170", "r32", "r86", "r172", "r161"}},
      {"gen2-2freq", {"r02", "r75", "r172"}},
      {"nohead", {"r170", "r172", "r175"}},
  };
  for (const Refusal& f : refusals) {
    auto profile = findProfile(f.profile);
    ASSERT_TRUE(profile) << f.profile;
    Responder r(*profile, Config{}, Responder::Clock::now());
    for (const char* cmd : f.commands) {
      EXPECT_EQ(r.answer(cmd, Responder::Clock::now()), "ERROR\r\n") << f.profile << " " << cmd;
    }
  }
}

TEST(ReplyPattern, IdentificationFindsWhatEachProfilePromises) {
  auto answer = [](const char* profile, const char* cmd) {
    Responder r(*findProfile(profile), Config{}, Responder::Clock::now());
    return r.answer(cmd, Responder::Clock::now());
  };
  // Head serial equal to the power-supply serial, 0 for the head-less laser, ERROR on generation 2.
  auto sn = matchReply(kSN, answer("gen3-2branch", "r01"));
  auto head = matchReply(kHeadSN, answer("gen3-2branch", "r02"));
  ASSERT_TRUE(sn && head);
  EXPECT_EQ((*sn)[2], (*head)[1]);
  auto none = matchReply(kHeadSN, answer("nohead", "r02"));
  ASSERT_TRUE(none);
  EXPECT_EQ((*none)[1], "0");
  EXPECT_EQ(answer("gen2", "r02"), "ERROR\r\n");

  // The picker's seeder is 20 MHz: number and unit prefix.
  auto seeder = matchReply(kSeeder, answer("gen3-picker", "r170"));
  ASSERT_TRUE(seeder);
  EXPECT_DOUBLE_EQ(std::stod((*seeder)[1]), 20.0);
  EXPECT_EQ((*seeder)[3], "M");

  // Firmware groups: major, minor digit, day, month, year.
  auto fw = matchReply(kFirmware, answer("gen3-picker", "r12"));
  ASSERT_TRUE(fw);
  EXPECT_EQ((*fw)[1], "3");
  EXPECT_EQ((*fw)[3], "6");
  EXPECT_EQ((*fw)[4], "04");
  EXPECT_EQ((*fw)[5], "11");
  EXPECT_EQ((*fw)[6], "2020");

  // A branch-2 trigger reply names LASER2, so the branch-1 entry would refuse it.
  auto t2 = matchReply(kTrigger3, answer("gen3-2branch", "r72"));
  ASSERT_TRUE(t2);
  EXPECT_EQ((*t2)[2], "2");
}

TEST(ReplyPattern, CodeListsAreCodeLinesClosedByAnEmptyLine) {
  // The console recognises a code list with this expression at the start of what it received.
  const std::regex list(R"(^(([ \t]*?\d+?[ \t]*?(\r\n|\n|\r))*?)[ \t]*?(\r\n|\n|\r))");
  Config config;
  config.errors = {80, 1042};
  config.warnings = {170};
  Responder r(*findProfile("gen3-2branch"), config, Responder::Clock::now());
  for (auto [cmd, expected] : {std::pair{"r90", "80\r\n1042\r\n"}, std::pair{"r91", "170\r\n"}}) {
    std::string reply = r.answer(cmd, Responder::Clock::now());
    std::smatch m;
    ASSERT_TRUE(std::regex_search(reply, m, list)) << cmd;
    EXPECT_EQ(m.position(0), 0);
    EXPECT_EQ(static_cast<size_t>(m.length(0)), reply.size()) << "nothing may follow the list";
    EXPECT_EQ(m[1].str(), expected);
  }
  r.setErrors({});
  EXPECT_EQ(r.answer("r90", Responder::Clock::now()), "\r\n");
}

}  // namespace
}  // namespace qv::sim
