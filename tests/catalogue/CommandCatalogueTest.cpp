// The catalogue's contents: which entries each build and variant produces, in which order, and
// what the console's lookups find afterwards.
#include "catalogue/CommandCatalogue.h"
#include "catalogue/Pattern.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The command texts in list order, blanks inside a text shown as "_".
std::string texts(const TCommandList& list) {
  std::string out;
  for (const auto& e : list.Snapshot()) {
    std::string t = e->CmdStr;
    for (char& c : t)
      if (c == ' ') c = '_';
    out += (out.empty() ? "" : " ") + t;
  }
  return out;
}

const std::string kCommon =
    "WAIT r01 r60 r61 r62 r161 r162 r53 r56 r153 r156 r54 r57 r154 r157 r52 r55 r152 r155 r51 "
    "r90 r02 r12 r99 w60 w98_101 w99_101 w97_101 w01 w61 w62 w161";
const std::string kGeneration3 =
    " r170 r171 r172 r173 r175 w71_7 r91 w09_1 w19_1 w29_1 r32 r58 r59 r86 r87 r88 r89 r20 r80 "
    "r81 r82 r83 r84 r203 r05 r15 r25 r06 r16 r26 r07 r17 r27";
const std::string kOlder = " r91 r74 r75";
const std::string kBranchTail = " r73 w70_1 w71_1 w72_1 w71_2 w72_2 w73 w67 w69 p66";

TEST(CommandCatalogue, InitialEntries) {
  TCommandList list;
  AddInitialCommands(list);
  EXPECT_EQ(texts(list), "r01 r60");
  // The first serial-number pattern allows only blanks after the number.
  EXPECT_EQ(list.Items(0)->Pattern, R"(\AS/N:[ \t]*?((\d+?)(\.0*?)??)[ ]*?\Z)");
  EXPECT_EQ(list.Items(1)->Groups, (std::vector<std::int16_t>{-1, 0}));
}

TEST(CommandCatalogue, BuildsAndVariantsInOrder) {
  struct Case {
    const char* name;
    void (*build)(TCommandList&);
    std::string expected;
  } cases[] = {
      {"base 3", [](TCommandList& l) { BuildCommandCatalogue(l, 3); }, kCommon + kGeneration3},
      {"base 4", [](TCommandList& l) { BuildCommandCatalogue(l, 4); }, kCommon + kGeneration3},
      {"base 2", [](TCommandList& l) { BuildCommandCatalogue(l, 2); }, kCommon + kOlder},
      {"base 0", [](TCommandList& l) { BuildCommandCatalogue(l, 0); }, kCommon + kOlder},
      {"branch 3", [](TCommandList& l) { AddBranchCommands(l, 3, true); },
       kCommon + kGeneration3 + " r67 r69 r71 r72" + kBranchTail},
      {"branch 2", [](TCommandList& l) { AddBranchCommands(l, 2, true); },
       kCommon + kOlder + " r67 r69 r71 r72 r74 w74" + kBranchTail},
      {"single 3", [](TCommandList& l) { AddSingleBranchCommands(l, 3, true); },
       "WAIT r01 r60 r62 r161 r162 r53 r56 r153 r156 r54 r57 r154 r157 r52 r55 r152 r155 r51 "
       "r90 r02 r12 r99 w60 w98_101 w99_101 w97_101 w01 w62 w161" +
           kGeneration3 + " r65 w70_1 w70_0 w70_2 w71 r70 r71"},
      {"picker 3", [](TCommandList& l) { AddPickerRegulatorCommands(l, 3, true); },
       kCommon + kGeneration3 +
           " r67 r69 r71 r73 w70_1 w71_1 w71_2 w73 w67 w69 p66 r176 r178 w172 w173 w175 w178 "
           "r180 r182 r184 r181 r183 r185 r191 r192 r193 r194 r195 r196 r167 r169 w162 w167 "
           "w169 r232 r233"},
      {"picker 2", [](TCommandList& l) { AddPickerRegulatorCommands(l, 2, true); },
       kCommon + kOlder + " r67 r69 r71 r74 w74 r73 w70_1 w71_1 w71_2 w73 w67 w69 p66 w74 w75"},
  };
  for (const Case& c : cases) {
    TCommandList list;
    AddInitialCommands(list);  // whatever was there before is replaced
    c.build(list);
    EXPECT_EQ(texts(list), c.expected) << c.name;
  }
}

TEST(CommandCatalogue, VariantsWithoutRebuildWorkOnTheCurrentList) {
  TCommandList list;
  BuildCommandCatalogue(list, 3);
  AddBranchCommands(list, 3, false);
  AddPickerRegulatorCommands(list, 3, false);
  TCommandList rebuilt;
  AddPickerRegulatorCommands(rebuilt, 3, true);
  EXPECT_EQ(texts(list), texts(rebuilt));

  // Applied twice, the additions repeat and lookups keep finding the first copy.
  int before = list.Count();
  int first = list.IndexOfCommand(lcReadFreeTriggerPPB, 0);
  AddPickerRegulatorCommands(list, 3, false);
  EXPECT_EQ(list.Count(), before + 25);
  EXPECT_EQ(list.IndexOfCommand(lcReadFreeTriggerPPB, 0), first);
}

TEST(CommandCatalogue, EveryEntryIsWellFormed) {
  void (*builds[])(TCommandList&) = {
      [](TCommandList& l) { AddInitialCommands(l); },
      [](TCommandList& l) { AddPickerRegulatorCommands(l, 3, true); },
      [](TCommandList& l) { AddPickerRegulatorCommands(l, 2, true); },
      [](TCommandList& l) { AddSingleBranchCommands(l, 3, true); },
      [](TCommandList& l) { AddSingleBranchCommands(l, 2, true); },
  };
  for (auto build : builds) {
    TCommandList list;
    build(list);
    for (const auto& e : list.Snapshot()) {
      SCOPED_TRACE(e->CmdStr);
      EXPECT_FALSE(e->CmdStr.empty());
      EXPECT_EQ(e->CmdStr, TrimCommandText(e->CmdStr));
      ASSERT_GE(e->Groups.size(), 2u);
      if (e->Pattern.empty()) continue;
      std::string error;
      auto pattern = qv::Pattern::compile(e->Pattern, qv::PatternSyntax::Dialect, &error);
      ASSERT_TRUE(pattern) << error;
      for (std::int16_t g : e->Groups) EXPECT_LE(g, pattern->captureCount());
      EXPECT_EQ(e->LineCount, e->Command == lcReadRunningTime ? 2 : 1);
    }
  }
}

TEST(CommandCatalogue, TemperaturePatternsCarryTheDegreeByte) {
  TCommandList list;
  BuildCommandCatalogue(list, 3);
  int withDegree = 0;
  for (const auto& e : list.Snapshot()) {
    if (e->Pattern.find('\xB0') == std::string::npos) continue;
    ++withDegree;
    EXPECT_EQ(e->Command, lcReadTemperature);
    EXPECT_NE(e->Pattern.find("\xB0"
                              "C[ \\t]*?\\Z"),
              std::string::npos);
  }
  EXPECT_EQ(withDegree, 5);
}

TEST(CommandCatalogue, WhatTheConsoleFindsAfterTheVariants) {
  TCommandList single;
  AddSingleBranchCommands(single, 3, true);
  TCommandList branches;
  AddBranchCommands(branches, 3, true);
  TCommandList picker;
  AddPickerRegulatorCommands(picker, 3, true);
  TCommandList olderPicker;
  AddPickerRegulatorCommands(olderPicker, 2, true);

  struct Case {
    TCommandList* list;
    TLaserCommand command;
    int subId;
    const char* text;  // "" for none
    int foundSubId;
  } cases[] = {
      {&single, lcReadCurrent, 1, "", 0},  // no general entry to fall back to
      {&single, lcSetCurrent, 1, "", 0},
      {&single, lcReadCurrent, 2, "r62", 2},
      {&single, lcSetInternal, 0, "w70 1", 1},
      {&single, lcSetExternal, 1, "w70 0", 1},
      {&single, lcReadFrequency, 1, "r71", 1},
      {&single, lcReadMaxCurrent, 2, "r65", 2},
      {&branches, lcSetInternal, 1, "w70 1", 0},
      {&branches, lcSetInternal, 2, "w70 1", 0},
      {&branches, lcSetExternal, 2, "w72 1", 2},
      {&picker, lcSetExternal, 2, "", 0},
      {&picker, lcSetCW, 2, "", 0},
      {&picker, lcReadTriggerMode, 2, "", 0},
      {&picker, lcSetExternal, 1, "w71 1", 1},
      {&picker, lcReadProtectionCurrentLimit, 35, "r185", 35},
      {&picker, lcReadProtectionCurrentLimit, 17, "r191", 17},
      {&picker, lcSetCurrent, 4, "w162", 4},
      {&picker, lcSetPulseCount, 0, "w172", 0},
      {&olderPicker, lcSetPulseCount, 0, "w74", 0},
      {&olderPicker, lcReadFrequency, 2, "r74", 2},
      {&olderPicker, lcReadRegulatorState, 0, "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(LaserCommandName(c.command)) + "/" + std::to_string(c.subId));
    int index = c.list->IndexOfCommand(c.command, c.subId);
    if (*c.text == '\0') {
      EXPECT_EQ(index, -1);
      continue;
    }
    ASSERT_GE(index, 0);
    EXPECT_EQ(c.list->Items(index)->CmdStr, c.text);
    EXPECT_EQ(c.list->Items(index)->SubID, c.foundSubId);
  }
}

TEST(CommandCatalogue, CommandNames) {
  EXPECT_STREQ(LaserCommandName(lcReadStatus), "lcReadStatus");
  EXPECT_STREQ(LaserCommandName(lcReset), "lcReset");
  EXPECT_EQ(static_cast<int>(lcReset), 42);
  EXPECT_STREQ(LaserCommandName(lcWaitBeforeNext), "lcWaitBeforeNext");
  EXPECT_EQ(static_cast<int>(lcWaitBeforeNext), kLaserCommandCount - 1);
  EXPECT_STREQ(LaserCommandName(static_cast<TLaserCommand>(59)), "");
}

}  // namespace
