#include "console/TerminalLog.h"

#include <gtest/gtest.h>

using qv::LogColour;

TEST(TerminalLog, CommandsRedAnswersBlueAtTheTabStop) {
  qv::TerminalLog log;
  log.Sent("r01");
  log.Received("S/N: 57\r\n");
  log.Sent("r60");
  log.Received("LASER_OFF\r");
  log.Received("\n");
  EXPECT_EQ(log.Text(), "r01\tS/N: 57\r\nr60\tLASER_OFF\r\n");
  ASSERT_EQ(log.Runs().size(), 4u);
  EXPECT_EQ(log.Runs()[0].colour, LogColour::Sent);
  EXPECT_EQ(log.Runs()[1].text, "S/N: 57\r\n");
  EXPECT_EQ(log.Runs()[1].colour, LogColour::Received);
  EXPECT_EQ(log.Runs()[2].text, "r60\t");
}

TEST(TerminalLog, MultiLineAnswerAndNoBlankLines) {
  qv::TerminalLog log;
  log.Received("READY\r\n");  // the first thing in an empty log starts at the tab stop
  log.Sent("r90");
  log.Received("80\r\n1042\r\n");
  log.Sent("r01");
  EXPECT_EQ(log.Text(), "\tREADY\r\nr90\t80\r\n\t1042\r\nr01\t");
}

TEST(TerminalLog, HiddenAndEmptyCommandsLeaveNoTrace) {
  qv::TerminalLog log;
  int edits = 0;
  log.OnEdit = [&](const qv::LogEdit&) { ++edits; };
  log.Sent("w01 secret");
  log.Sent("");
  EXPECT_EQ(edits, 0);
  log.Sent("w011 5");
  log.Clear();
  EXPECT_EQ(edits, 2);
  EXPECT_TRUE(log.Text().empty());
  EXPECT_TRUE(log.Runs().empty());
}

TEST(CommandHistory, OnceWithoutRegardToCase) {
  qv::CommandHistory h;
  h.Add("r01|r60");
  h.Add("R01|R60");
  h.Add("");
  h.Add("r02");
  EXPECT_EQ(h.Entries(), (std::vector<std::string>{"r01|r60", "r02"}));
}
