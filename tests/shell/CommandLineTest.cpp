#include "shell/CommandLine.h"

#include <gtest/gtest.h>

namespace {

using qv::CommandLineOverrides;
using qv::parseCommandLine;

struct Case {
  std::vector<std::string> args;
  std::optional<int> port, left, top;
  bool memLeaks;
};

class CommandLineCases : public ::testing::TestWithParam<Case> {};

TEST_P(CommandLineCases, Parses) {
  const Case& c = GetParam();
  const CommandLineOverrides r = parseCommandLine(c.args);
  EXPECT_EQ(r.port, c.port);
  EXPECT_EQ(r.left, c.left);
  EXPECT_EQ(r.top, c.top);
  EXPECT_EQ(r.memLeaks, c.memLeaks);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CommandLineCases,
    ::testing::Values(
        Case{{"/port:5"}, 5, {}, {}, false},                        // names in any case, "/" switch
        Case{{"-PORT:"}, {}, {}, {}, false},                        // no value
        Case{{"-PORT:x5"}, {}, {}, {}, false},                      // value does not parse
        Case{{"-PORT:5x"}, {}, {}, {}, false},
        Case{{"-LEFT:-20", "-Top:+7"}, {}, -20, 7, false},          // signed values
        Case{{"-PORT:3", "/PORT:9"}, 9, {}, {}, false},             // the later one wins
        Case{{"-PORT:3", "-PORT:bad"}, 3, {}, {}, false},           // a bad one changes nothing
        Case{{"PORT:3", "-PORT", "-COLOR:3", "--PORT:4"}, {}, {}, {}, false},  // not our forms
        Case{{"-PORT:0"}, {}, {}, {}, false},                       // not a port
        Case{{"-PORT:257"}, {}, {}, {}, false},
        Case{{"-PORT:256"}, 256, {}, {}, false},
        Case{{"-LEFT:99999999999"}, {}, {}, {}, false},             // beyond 32 bits
        Case{{"/memleaks", "-PORT:2"}, 2, {}, {}, true},            // the switch combines
        Case{{"-MemLeaks:1"}, {}, {}, {}, false},                   // only as a whole switch
        Case{{"-PORT:1:2"}, {}, {}, {}, false}));                   // the first ":" splits

TEST(CommandLine, ExtractRemovesOnlyTheConsoleForms) {
  std::vector<std::string> args = {"identify", "-PORT:7", "--json", "/left:x", "-MemLeaks", "/tmp/a.ext"};
  const CommandLineOverrides r = qv::extractCommandLineOverrides(args);
  EXPECT_EQ(r.port, 7);
  EXPECT_TRUE(r.memLeaks);
  EXPECT_EQ(args, (std::vector<std::string>{"identify", "--json", "/tmp/a.ext"}));
}

}  // namespace

TEST(CommandLine, RecordingFilesAreTheArgumentsThatAreNoForms) {
  EXPECT_EQ(qv::recordingFileArguments(
                {"/port:7", "/data/run.qlp", "-MemLeaks", "b.qlp", "-x", "-TOP:3", "/Left:x"}),
            (std::vector<std::string>{"/data/run.qlp", "b.qlp"}));
  EXPECT_TRUE(qv::recordingFileArguments({}).empty());
}
