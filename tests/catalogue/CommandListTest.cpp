// TCommandList: adding, removing, lookups with their fallbacks, text rules, change notification
// and reading from other threads while the main thread rebuilds.
#include "catalogue/CommandCatalogue.h"
#include "catalogue/LaserCommand.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

struct CountingList : testing::Test {
  TCommandList list;
  int changes = 0;
  void SetUp() override {
    list.OnChange = [this](TCommandList& sender) {
      EXPECT_EQ(&sender, &list);
      ++changes;
    };
  }
};

TEST_F(CountingList, AddFormsFillTheEntryAndNotifyEachTime) {
  EXPECT_EQ(list.Add(lcReadCurrent, 2, " \tr62\r\n", "P", std::vector<std::int16_t>{1, 2}, "D"), 0);
  EXPECT_EQ(list.Add(lcReadPower, 3, "r203", "P", 4, "D"), 1);
  EXPECT_EQ(list.Add(lcReadFlowRate, "r32", "P", 1, "D"), 2);
  EXPECT_EQ(list.Add(lcSetStatus, "w60", "\\AOK\\Z", "D"), 3);
  EXPECT_EQ(list.Add(lcReadState, "r99", "P", std::vector<std::int16_t>{-1, 1, 3}, " D "), 4);
  EXPECT_EQ(changes, 5);

  auto e = list.Items(0);
  EXPECT_EQ(e->CmdStr, "r62");  // trimmed of control characters and blanks
  EXPECT_EQ(e->SubID, 2);
  EXPECT_EQ(e->Groups, (std::vector<std::int16_t>{1, 2}));
  EXPECT_EQ(list.Items(1)->Groups, (std::vector<std::int16_t>{-1, 4}));
  EXPECT_EQ(list.Items(1)->SubID, 3);
  EXPECT_EQ(list.Items(2)->SubID, 0);
  EXPECT_EQ(list.Items(2)->Groups, (std::vector<std::int16_t>{-1, 1}));
  EXPECT_EQ(list.Items(3)->Groups, (std::vector<std::int16_t>{-1, 0}));
  EXPECT_EQ(list.Items(4)->Groups, (std::vector<std::int16_t>{-1, 1, 3}));
  EXPECT_EQ(list.Items(4)->Description, " D ");  // stored as given
}

TEST_F(CountingList, ClearAlwaysNotifiesDeleteOnlyWhenSomethingGoes) {
  list.Clear();
  EXPECT_EQ(changes, 1);
  list.Add(lcReadSN, "r01", "P", "D");
  list.Add(lcReadStatus, "r60", "P", "D");
  changes = 0;
  list.Delete(2);
  list.Delete(-1);
  list.DeleteCommand(lcReadPower, 0);
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(list.Count(), 2);
  list.Delete(0);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(list.Items(0)->CmdStr, "r60");
}

TEST_F(CountingList, BuildersNotifyOnceAndNotAtAllWhenUnassigned) {
  BuildCommandCatalogue(list, 3);
  EXPECT_EQ(changes, 1);
  AddBranchCommands(list, 3, false);
  AddPickerRegulatorCommands(list, 3, false);
  AddSingleBranchCommands(list, 2, true);
  AddPickerRegulatorCommands(list, 2, true);
  EXPECT_EQ(changes, 5);

  TCommandList quiet;
  BuildCommandCatalogue(quiet, 3);
  AddPickerRegulatorCommands(quiet, 3, true);
  EXPECT_GT(quiet.Count(), 0);
}

TEST_F(CountingList, HandlerSeesTheFinishedCatalogueAndMayReadIt) {
  // The laser object's handler re-reads the error, warning, clear and reset texts.
  std::string warning;
  list.OnChange = [&](TCommandList& l) {
    ++changes;
    warning = l.Items(l.IndexOfCommand(lcReadWarningCode, 0))->CmdStr;
  };
  BuildCommandCatalogue(list, 3);
  EXPECT_EQ(warning, "r91");
  EXPECT_EQ(changes, 1);
}

TEST(CommandList, IndexErrorsCarryTheIndex) {
  TCommandList list;
  list.Add(lcReadSN, "r01", "P", "D");
  try {
    list.Items(5);
    FAIL();
  } catch (const EListError& e) {
    EXPECT_STREQ(e.what(), "List index out of bounds (5)");
  }
  try {
    list.FindCommand(lcReadPower, 0);
    FAIL();
  } catch (const EListError& e) {
    EXPECT_STREQ(e.what(), "List index out of bounds (-1)");
    EXPECT_EQ(e.Index(), -1);
  }
  EXPECT_EQ(list.TryItem(1), nullptr);
  EXPECT_EQ(list.FindCommand(lcReadSN, 3)->CmdStr, "r01");
}

TEST(CommandList, LineCountCountsEscapedLineBreaks) {
  struct Case {
    const char* pattern;
    int lines;
  } cases[] = {
      {"", 1},       {R"(\AA\Z)", 1}, {R"(A\r\nB)", 2}, {R"(A\r\nB\r\nC)", 3}, {R"(\r\n\r\n)", 3},
      {"A\r\nB", 1}, {R"(A\rB\n)", 1}};
  for (const Case& c : cases) EXPECT_EQ(LineCount(c.pattern), c.lines) << c.pattern;
  TCommandList list;
  list.Add(lcCustomized, "r1", R"(\A(\d+)\r\n(\d+)\r\n(\d+)\Z)", "D");
  EXPECT_EQ(list.Items(0)->LineCount, 3);
}

TEST(CommandList, SplitCommandText) {
  struct Case {
    const char* text;
    char letter;
    long long number;
    const char* argument;
  } cases[] = {
      {"r01", 'r', 1, ""},
      {"w99 101", 'w', 99, "101"},
      {"WAIT 50", 'W', 0, "50"},
      {"WAIT", 'W', 0, ""},
      {"w61  12.50 \r", 'w', 61, "12.50"},
      {"w61 ", 'w', 61, ""},
      {"r", 'r', 0, ""},
      {"r-5", 'r', -5, ""},
      {"r99999999999", 'r', 0, ""},
      {"", '\0', 0, ""},
      {" r01", ' ', 0, "r01"},
  };
  for (const Case& c : cases) {
    TCommandTextParts parts = SplitCommandText(c.text);
    EXPECT_EQ(parts.Letter, c.letter) << c.text;
    EXPECT_EQ(parts.Number, c.number) << c.text;
    EXPECT_EQ(parts.Argument, c.argument) << c.text;
  }
}

TEST(CommandList, SameCommandText) {
  struct Case {
    const char* a;
    const char* b;
    bool same;
  } cases[] = {
      {"", "", true},        {"", "w97", false},   {"w97 101", "W97", true},  {"w97", "w097", true},
      {"w97", "w98", false}, {"r0", "r00", false}, {"r", "r0", false},        {"r", "r", true},
      {"rx", "ry", true},    {"1", "1", false},    {"w97 101", "r97", false}, {"w1a", "W01b", true},
  };
  for (const Case& c : cases) EXPECT_EQ(SameCommandText(c.a, c.b), c.same) << c.a << " / " << c.b;
}

TEST(CommandList, LookupsOnTheCatalogues) {
  TCommandList gen3;
  BuildCommandCatalogue(gen3, 3);
  TCommandList older;
  BuildCommandCatalogue(older, 2);
  TCommandList branches;
  AddBranchCommands(branches, 3, true);

  // (lcX, sub) -> text of the entry found, "" for none.
  struct Case {
    TCommandList* list;
    TLaserCommand command;
    int subId;
    const char* text;
  } cases[] = {
      {&gen3, lcReadTemperature, 5, "r20"},  // no branch 5: the general entry
      {&gen3, lcReadCurrent, 0, "r61"},      // sub-id 0: the first of the command
      {&gen3, lcReadCurrent, 3, "r161"},
      {&gen3, lcSetCurrent, 4, ""},  // branches only, none for 4
      {&gen3, lcReadFlowRate, 0, "r32"},
      {&gen3, lcReadWarningCode, 0, "r91"},
      {&older, lcReadFlowRate, 0, "r91"},
      {&older, lcReadWarningCode, 0, ""},
      {&older, lcSetHVOn, 1, ""},
      {&branches, lcSetInternal, 2, "w70 1"},  // only the whole-laser entry exists
      {&branches, lcSetExternal, 2, "w72 1"},
      {&branches, lcReadFrequency, 0, "r73"},
  };
  for (const Case& c : cases) {
    int index = c.list->IndexOfCommand(c.command, c.subId);
    std::string text = index < 0 ? "" : c.list->Items(index)->CmdStr;
    EXPECT_EQ(text, c.text) << LaserCommandName(c.command) << "/" << c.subId;
  }
}

TEST(CommandList, DeleteCommandFallsBackToTheGeneralEntry) {
  TCommandList list;
  list.Add(lcReadTriggerMode, 0, "r70", "P", 1, "D");
  list.Add(lcReadTriggerMode, 1, "r71", "P", 1, "D");
  list.DeleteCommand(lcReadTriggerMode, 2);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Items(0)->CmdStr, "r71");
  list.DeleteCommand(lcReadTriggerMode, 2);  // only a branch-1 entry left: nothing goes
  EXPECT_EQ(list.Count(), 1);
}

TEST(CommandList, IndexOfTextNamesTheEntry) {
  TCommandList branches;
  AddBranchCommands(branches, 3, true);
  struct Case {
    const char* text;
    TLaserCommand command;
    int subId;  // -1: not found
  } cases[] = {
      {"w71 2", lcSetCW, 1},
      {"w71 1", lcSetExternal, 1},
      {"w71 3", lcSetCW, -1},
      {"w71", lcSetCW, -1},  // fixed argument required
      {"w61 12.50", lcSetCurrent, 1},
      {"w61", lcSetCurrent, 1},
      {"r1", lcReadSN, 0},
      {"R1", lcReadSN, -1},  // the letter is exact
      {"r0001", lcReadSN, 0},
      {"w99 101", lcReset, 0},
      {"w99 100", lcReset, -1},
      {"WAIT 50", lcWaitBeforeNext, 0},
      {"Wx 3", lcWaitBeforeNext, 0},
      {"w01 secret", lcSetPassword, 0},
      {"w71 7", lcSetHVOn, 1},
      {"", lcReadSN, -1},
  };
  for (const Case& c : cases) {
    int index = branches.IndexOfText(c.text);
    if (c.subId < 0) {
      EXPECT_EQ(index, -1) << c.text;
      continue;
    }
    ASSERT_GE(index, 0) << c.text;
    EXPECT_EQ(branches.Items(index)->Command, c.command) << c.text;
    EXPECT_EQ(branches.Items(index)->SubID, c.subId) << c.text;
  }
}

TEST(CommandList, TextsAreCutTo255Characters) {
  TCommandList list;
  std::string longText(300, 'x');
  list.Add(lcCustomized, "r1 " + longText, longText, longText);
  EXPECT_EQ(list.Items(0)->CmdStr.size(), 255u);
  EXPECT_EQ(list.Items(0)->Pattern.size(), 255u);
  EXPECT_EQ(list.Items(0)->Description.size(), 255u);
}

TEST(CommandList, ReadersSeeWholeCataloguesWhileTheMainThreadRebuilds) {
  TCommandList list;
  BuildCommandCatalogue(list, 3);
  const int gen3Size = list.Count();
  TCommandList older;
  BuildCommandCatalogue(older, 2);
  const int olderSize = older.Count();

  std::atomic<bool> stop{false};
  std::atomic<int> torn{0};
  std::atomic<long> reads{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 2; ++t) {
    readers.emplace_back([&] {
      while (!stop.load()) {
        auto snapshot = list.Snapshot();
        int n = static_cast<int>(snapshot.size());
        if (n != gen3Size && n != olderSize) ++torn;
        // An entry handed out stays whole after the list has dropped it.
        if (auto entry = list.TryItem(list.IndexOfText("r90"))) {
          if (entry->Command != lcReadErrorCode || entry->Pattern != "OK") ++torn;
        }
        ++reads;
      }
    });
  }
  for (int i = 0; i < 300 || reads.load() < 1000; ++i) BuildCommandCatalogue(list, i % 2 ? 2 : 3);
  stop = true;
  for (auto& r : readers) r.join();
  EXPECT_EQ(torn.load(), 0);
}

}  // namespace
