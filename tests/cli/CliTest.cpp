// qvlaser-cli end to end: the program run against the virtual laser, its output parsed.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "engine/Simulator.h"
#include "support/TempDir.h"

namespace {

using nlohmann::json;

struct ProgramRun {
  int rc = -1;
  std::string out, err;
  std::vector<json> lines() const {
    std::vector<json> v;
    std::istringstream in(out);
    for (std::string l; std::getline(in, l);) {
      if (!l.empty()) v.push_back(json::parse(l));
    }
    return v;
  }
};

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

// An extension window for the given serial numbers: its caption and display label show the reply
// to a start-up command the catalogue does not know ("R01": letters compare case-sensitively),
// which the laser answers like r01. The name holds a Windows-1252 degree sign.
std::string pumpExtension(const std::string& serials) {
  return "[Extension]\nSN=" + serials +
         "\nName=Pump\xB0 $1\nCaptionCommand=Command1\nOnStart=R01\nNewCommands=1\nLabels=1\n"
         "[Command1]\nCommandText=R01\nPattern=S/N: (\\d+)\n"
         "[Label1]\nType=QVCOMMAND\nName=<$1>\n";
}

std::string quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

class CliTest : public testing::Test {
 protected:
  void SetUp() override {
    const char* build = std::getenv("QV_BUILD_DIR");
    ASSERT_NE(build, nullptr) << "QV_BUILD_DIR names the build tree";
    exe_ = std::string(build) + "/tools/cli/qvlaser-cli";
    ASSERT_EQ(access(exe_.c_str(), X_OK), 0) << exe_ << " is not built";
  }
  void startSim(const std::string& profile, qv::sim::Faults faults = {}) {
    qv::sim::Config c;
    c.profile = profile;
    c.faults = faults;
    sim_ = std::make_unique<qv::sim::Simulator>(c);
    ASSERT_TRUE(sim_->start(kPort, ports_.path())) << sim_->lastError();
  }
  // The simulator answers on its own thread while the program runs.
  ProgramRun run(const std::vector<std::string>& args) { return runProgram(exe_, args); }
  ProgramRun runProgram(const std::string& exe, const std::vector<std::string>& args) {
    std::string cmd = quote(exe);
    for (const auto& a : args) cmd += " " + quote(a);
    const std::string out = tmp_.file("out"), err = tmp_.file("err");
    const int status = std::system((cmd + " >" + quote(out) + " 2>" + quote(err)).c_str());
    ProgramRun r;
    r.rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = slurp(out);
    r.err = slurp(err);
    return r;
  }

  // A folder with the extension files for the laser (serial 1234, in a file whose name is UTF-8,
  // as the file system gives it) and for another laser.
  std::string extensionFolder() {
    const std::string dir = tmp_.file("ext");
    std::filesystem::create_directory(dir);
    writeFile(dir + "/p\u00fcmp.ext", pumpExtension("99, 1234"));
    writeFile(dir + "/other.ext", pumpExtension("555"));
    writeFile(dir + "/unnamed.ext", "[Extension]\nName=no serial numbers\n");
    return dir;
  }
  // The program copied into a folder of its own, which is then its program folder.
  std::string programCopy() {
    const std::string dir = tmp_.file("prog");
    std::filesystem::create_directory(dir);
    const std::string exe = dir + "/qvlaser-cli";
    std::filesystem::copy_file(exe_, exe);
    std::filesystem::permissions(exe, std::filesystem::perms::owner_all);
    return exe;
  }
  // Commands received exactly as written (the simulator's selectors ignore the letter's case).
  int receivedExactly(const std::string& text) const {
    int n = 0;
    for (const std::string& c : sim_->received()) n += c == text;
    return n;
  }

  static constexpr int kPort = 7;
  std::string exe_;
  qv::test::PortsDir ports_;
  qv::test::TempDir tmp_;
  std::unique_ptr<qv::sim::Simulator> sim_;
};

TEST_F(CliTest, IdentifyPrintsWhatTheConsoleFound) {
  startSim("gen3-2branch");
  const ProgramRun r = run({"--port", "7", "--json", "identify"});
  ASSERT_EQ(r.rc, 0) << r.err;
  const json expected = json::parse(R"({"port":7,"sn":1234,"lhcsn":1234,"lhc_version":3,
      "firmware":{"major":3,"minor":4,"day":12,"month":3,"year":2019},
      "current_mask":[1,2],"trigger_mask":[1,2],"frequency_mask":[1],"pulse_picker":false,
      "regulator":false,"max_current":{"1":35.0,"2":35.0},"serial_label":"SN1234",
      "caption":"SN1234 - Quorvane Laser Control",
      "tabs":["Current","Trigger","Frequency","System","Advanced"],"extensions":[]})");
  EXPECT_EQ(json::parse(r.out), expected);
}

TEST_F(CliTest, ExitStatusTellsPortFromLaser) {
  ProgramRun r = run({"--port", "7", "identify"});
  EXPECT_EQ(r.rc, 2);
  EXPECT_NE(r.err.find("Cannot open port: COM7."), std::string::npos) << r.err;
  r = run({"--port", "7", "send", "r01"});  // the terminal alone says it too
  EXPECT_EQ(r.rc, 2);
  EXPECT_NE(r.err.find("Cannot open port: COM7."), std::string::npos) << r.err;

  qv::sim::Faults silent;
  silent.silent = true;
  startSim("gen3-2branch", silent);
  r = run({"--port", "7", "identify"});
  EXPECT_EQ(r.rc, 3) << r.err;

  EXPECT_EQ(run({"--port", "7", "set"}).rc, 1);
  EXPECT_EQ(run({"frobnicate"}).rc, 1);
}

TEST_F(CliTest, SendShowsTheTerminalTrafficButNotThePassword) {
  startSim("gen3-2branch");
  const ProgramRun r = run({"--port", "7", "--json", "send", "r01 | w01 secret"});
  ASSERT_EQ(r.rc, 0) << r.err;
  const auto lines = r.lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), json({{"sent", "r01"}}));
  std::string received;
  for (const json& l : lines) {
    EXPECT_FALSE(l.contains("sent") && l["sent"] != "r01") << l;
    if (l.contains("received")) received += l["received"].get<std::string>();
  }
  EXPECT_EQ(received, "S/N: 1234\r\nOK\r\n");
  EXPECT_EQ(sim_->countReceived("w01 secret"), 1);
  EXPECT_EQ(sim_->countReceived("r02"), 0);  // no identification in terminal-only mode
}

TEST_F(CliTest, SendIsTypedUnlessAsIs) {
  startSim("gen3-2branch");
  // Typed into the command line, letters become lower case; pasted text goes out as it stands.
  ASSERT_EQ(run({"--port", "7", "send", "R01|W60 0"}).rc, 0);
  ASSERT_EQ(run({"--port", "7", "send", "--as-is", "R01"}).rc, 0);
  EXPECT_EQ(receivedExactly("r01"), 1);
  EXPECT_EQ(receivedExactly("w60 0"), 1);
  EXPECT_EQ(receivedExactly("R01"), 1);
  // The line is Windows-1252 on the wire: the degree sign is one byte.
  const ProgramRun r = run({"--port", "7", "--json", "send", "--as-is", "r01 \u00b0"});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(receivedExactly("r01 \xB0"), 1);
  EXPECT_EQ(r.lines().front(), json({{"sent", "r01 \u00b0"}}));
}

TEST_F(CliTest, SetGoesThroughTheConsoleAndPrintsTheReadBack) {
  startSim("gen3-2branch");
  const ProgramRun r = run({"--port", "7", "--json", "set", "current", "1", "12.75"});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(sim_->state().current[1], 12.75);
  bool readBack = false;
  for (const json& l : r.lines()) {
    readBack = readBack || (l.value("event", "") == "OnLaserCurrent" && l["branch"] == 1 &&
                            l["text"] == "12.75");
  }
  EXPECT_TRUE(readBack) << r.out;
  EXPECT_EQ(run({"--port", "7", "set", "frequency", "1", "k"}).rc, 1);

  // A person gets one line with the value read back; the events only with --verbose.
  ProgramRun plain = run({"--port", "7", "set", "current", "1", "12.5"});
  ASSERT_EQ(plain.rc, 0) << plain.err;
  EXPECT_EQ(plain.out, "current 1: 12.50 A\n");
  EXPECT_EQ(run({"--port", "7", "set", "trigger", "2", "cw"}).out, "trigger 2: CW\n");
  EXPECT_EQ(run({"--port", "7", "save-settings"}).out, "save-settings: done\n");
  plain = run({"--port", "7", "set", "--verbose", "current", "2", "7"});
  ASSERT_EQ(plain.rc, 0) << plain.err;
  EXPECT_NE(plain.out.find("OnLaserCurrent branch=2 value=7.0 text=7.00\n"), std::string::npos)
      << plain.out;
  EXPECT_EQ(plain.out.substr(plain.out.rfind('\n', plain.out.size() - 2) + 1),
            "current 2: 7.00 A\n");
  // A failure is said on stderr, and the value read back still shows.
  plain = run({"--port", "7", "set", "current", "1", "99"});
  EXPECT_EQ(plain.rc, 1);
  EXPECT_EQ(plain.err, "w61 99.00: the laser answered ERROR\n");
  EXPECT_EQ(plain.out, "current 1: 12.50 A\n");
}

// Only what the console's layout shows for the laser can be set; the rest is refused before
// anything goes out, with what the laser offers instead.
TEST_F(CliTest, SetRefusesControlsTheConsoleDoesNotShow) {
  struct Case {
    const char* profile;
    std::vector<std::string> args;
    const char* said;  // on stderr; nullptr: accepted
  };
  const Case cases[] = {
      {"gen3-2branch", {"regulator", "on"}, "This laser has no power regulator.\n"},
      {"gen3-2branch", {"regulator-level", "50"}, "This laser has no power regulator.\n"},
      {"gen3-2branch",
       {"trigger", "2", "hv-on"},
       "This laser has no hv-on button for branch 2; it offers trigger 1 internal|external|cw "
       "and trigger 2 internal|external|cw.\n"},
      {"gen3-2branch", {"trigger", "1", "hv-on"}, "This laser has no hv-on button for branch 1;"},
      {"gen3-2branch",
       {"current", "3", "5"},
       "This laser has no current field for branch 3; it offers current 1 and 2.\n"},
      {"gen3-2branch",
       {"frequency", "2", "1k"},
       "This laser has no frequency field 2; it offers frequency 1.\n"},
      {"gen3-2branch", {"pulse-rate", "1k"}, "This laser has no pulse picker.\n"},
      {"gen3-picker", {"trigger", "1", "hv-on"}, nullptr},
      {"gen3-picker", {"current", "2", "5"}, "it offers current 1.\n"},
      {"gen3-picker", {"trigger", "2", "cw"}, "it offers trigger 1 internal|external|cw|hv-on.\n"},
      {"gen3-single", {"trigger", "2", "cw"}, "it offers trigger 1 internal|external|cw|hv-on.\n"},
      {"gen3-single", {"current", "2", "5"}, nullptr},
      {"gen2", {"all-currents", "5"}, "This laser has no current fields.\n"},
      {"gen2",
       {"current", "1", "5"},
       "This laser has no current field for branch 1; it has none.\n"},
  };
  std::string running;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.profile + (" " + testing::PrintToString(c.args)));
    if (running != c.profile) {
      startSim(c.profile);
      running = c.profile;
    }
    sim_->clearReceived();
    std::vector<std::string> args = {"--port", "7", "set"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ProgramRun r = run(args);
    int writes = 0;
    for (const std::string& cmd : sim_->received()) writes += cmd[0] == 'w';
    if (!c.said) {
      EXPECT_EQ(r.rc, 0) << r.err;
      EXPECT_GT(writes, 0);
      continue;
    }
    EXPECT_EQ(r.rc, 1);
    EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
    EXPECT_EQ(writes, 0);  // refused before anything went out
  }
}

TEST_F(CliTest, RecordThenExport) {
  startSim("gen3-picker");
  const std::string file = tmp_.file("rec.qlp");
  const ProgramRun rec = run({"--port", "7", "--json", "record", file, "--seconds", "1"});
  ASSERT_EQ(rec.rc, 0) << rec.err;
  const json summary = json::parse(rec.out);
  EXPECT_EQ(summary["file"], file);
  EXPECT_GT(summary["samples"].get<int>(), 0);
  EXPECT_GE(summary["chunks"].get<int>(), 1);
  EXPECT_EQ(summary["bytes"].get<size_t>(), slurp(file).size());
  // The stop's three texts all reached the laser before the port closed ("w9 0" only the stop
  // sends; the recording's oven reads send "w09 0", "w19 0" and "w29 0").
  const std::vector<std::string> got = sim_->received();
  const auto stop = std::find(got.begin(), got.end(), "w9 0");
  ASSERT_NE(stop, got.end());
  EXPECT_EQ(std::vector<std::string>(stop, std::min(stop + 3, got.end())),
            (std::vector<std::string>{"w9 0", "w19 0", "w29 0"}));

  const ProgramRun exp = run({"--json", "export", file});
  ASSERT_EQ(exp.rc, 0) << exp.err;
  const json data = json::parse(exp.out);
  EXPECT_EQ(data["header"]["head_serial"], 2210);
  EXPECT_EQ(data["header"]["laser_serial"], 2210);
  ASSERT_EQ(data["samples"].size(), summary["samples"].get<size_t>());
  const json& first = data["samples"][0];
  EXPECT_EQ(first["time_ms"].get<int64_t>(),
            data["header"]["start_time_ms"].get<int64_t>() + first["offset_ms"].get<int64_t>());

  const ProgramRun csv = run({"export", file, "--csv"});
  ASSERT_EQ(csv.rc, 0);
  EXPECT_EQ(csv.out.rfind("time_ms,offset_ms,code,value\n", 0), 0u);
  // The wide form: a header row of operator names, one row per moment, no sample lost.
  const ProgramRun wide = run({"export", file, "--wide"});
  ASSERT_EQ(wide.rc, 0) << wide.err;
  const std::string head = wide.out.substr(0, wide.out.find('\n'));
  EXPECT_EQ(head.rfind("time (UTC),", 0), 0u) << head;
  EXPECT_NE(head.find(",state"), std::string::npos) << head;
  EXPECT_NE(head.find(",current 1 (A)"), std::string::npos) << head;
  const size_t rows = size_t(std::count(wide.out.begin(), wide.out.end(), '\n')) - 1;
  EXPECT_GE(rows, 1u);
  EXPECT_LE(rows, summary["samples"].get<size_t>());
  EXPECT_EQ(run({"export", tmp_.file("missing.qlp")}).rc, 1);
}

TEST_F(CliTest, ARecordingThatCannotStartSaysWhyOnce) {
  startSim("gen3-2branch");
  const ProgramRun r = run({"--port", "7", "record", tmp_.file("no/such/folder/rec.qlp")});
  EXPECT_EQ(r.rc, 1);
  const size_t first = r.err.find("Cannot record into");
  ASSERT_NE(first, std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("Cannot record into", first + 1), std::string::npos) << r.err;
}

TEST_F(CliTest, CatalogueAsIdentificationBuildsIt) {
  const ProgramRun r = run({"--json", "catalogue", "--generation", "3", "--variant", "picker"});
  ASSERT_EQ(r.rc, 0) << r.err;
  const json list = json::parse(r.out);
  ASSERT_GT(list.size(), 40u);
  EXPECT_EQ(list[0], json::parse(R"({"index":0,"command":"lcWaitBeforeNext","subid":0,
      "cmd":"WAIT","pattern":"","groups":[-1,1],"line_count":1,
      "description":"Wait before next command"})"));
  bool picker = false;
  for (const json& e : list) picker = picker || e["command"] == "lcSetPulseCount";
  EXPECT_TRUE(picker);
  EXPECT_EQ(run({"catalogue", "--generation", "4"}).rc, 1);
}

TEST_F(CliTest, WatchStreamsEventsAndEndsWhenTheLaserStaysAway) {
  qv::sim::Faults f;
  f.hangUpAfterMs = 1500;
  startSim("gen3-2branch", f);
  const ProgramRun r = run({"--port", "7", "--json", "watch", "--seconds", "60", "--reconnect-wait",
                     "300", "--detect-interval", "50"});
  EXPECT_EQ(r.rc, 3) << r.err;
  const auto lines = r.lines();
  ASSERT_GT(lines.size(), 2u);
  EXPECT_EQ(lines[0]["serial_label"], "SN1234");
  bool status = false, gone = false;
  for (size_t i = 1; i < lines.size(); ++i) {
    ASSERT_TRUE(lines[i].contains("event")) << lines[i];
    status = status || lines[i]["event"] == "OnLaserStatusChanged";
    gone = gone || lines[i]["event"] == "OnLaserDisconnected";
  }
  EXPECT_TRUE(status);
  EXPECT_TRUE(gone);
}

// Plain watch prints what changes: each value once until it differs, no value-less parameter
// events; --all prints every event.
TEST_F(CliTest, PlainWatchPrintsWhatChanges) {
  startSim("gen3-2branch");
  // Once the polling has begun, branch 1's current changes.
  std::thread change([&] {
    if (sim_->waitForReceived("r61", 6, 20000))
      sim_->modify([](qv::sim::LaserState& st) { st.current[1] = 20.0; });
  });
  const ProgramRun r = run({"--port", "7", "watch", "--seconds", "3"});
  change.join();
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(r.out.find("OnLaserParam"), std::string::npos) << r.out;
  std::vector<std::string> branch1;
  std::istringstream in(r.out);
  for (std::string l; std::getline(in, l);) {
    if (l.rfind("OnLaserCurrent branch=1 ", 0) == 0) branch1.push_back(l);
  }
  EXPECT_EQ(branch1, (std::vector<std::string>{"OnLaserCurrent branch=1 value=12.5 text=12.50",
                                               "OnLaserCurrent branch=1 value=20.0 text=20.00"}))
      << r.out;

  const ProgramRun all = run({"--port", "7", "watch", "--seconds", "1", "--all"});
  ASSERT_EQ(all.rc, 0) << all.err;
  EXPECT_NE(all.out.find("OnLaserParam command=lcReadState"), std::string::npos);

  // While the laser is away, automatic detection fails at every interval; that is said once.
  qv::sim::Faults away;
  away.hangUpAfterMs = 1500;
  away.comeBackAfterMs = 500;
  sim_->setFaults(away);
  const ProgramRun lost = run({"--port", "7", "watch", "--seconds", "5", "--detect-interval", "50",
                               "--reconnect-wait", "8000"});
  ASSERT_EQ(lost.rc, 0) << lost.err;
  auto count = [&](const std::string& what) {
    int n = 0;
    for (size_t at = lost.out.find(what); at != std::string::npos; at = lost.out.find(what, at + 1))
      ++n;
    return n;
  };
  EXPECT_EQ(count("\nOnConnectFail"), 1) << lost.out;
  EXPECT_EQ(count("\nOnLaserConnected"), 1) << lost.out;
}

TEST_F(CliTest, ExtensionWindowsOpenForTheLaserTheyNameWithTheirStartUpReply) {
  startSim("gen3-2branch");
  const ProgramRun r =
      run({"--port", "7", "--json", "--extensions", extensionFolder(), "identify"});
  ASSERT_EQ(r.rc, 0) << r.err;
  // The caption is the one the reply to the window's start-up command gave, not the empty one
  // of a window that has just opened.
  EXPECT_EQ(
      json::parse(r.out)["extensions"],
      json::parse(
          R"([{"file":"p\u00fcmp.ext","name":"Pump\u00b0 $1","caption":"Pump\u00b0 1234"}])"));
  EXPECT_EQ(receivedExactly("R01"), 1);  // other.ext, for serial 555, sent nothing
}

TEST_F(CliTest, WatchReportsExtensionTextsWhenTheWindowReopens) {
  qv::sim::Faults f;
  f.hangUpAfterMs = 1500;
  f.comeBackAfterMs = 300;
  startSim("gen3-2branch", f);
  const ProgramRun r =
      run({"--port", "7", "--json", "--extensions", extensionFolder(), "watch", "--seconds", "10",
           "--detect-interval", "50", "--reconnect-wait", "8000"});
  ASSERT_EQ(r.rc, 0) << r.err;
  const auto lines = r.lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0]["extensions"][0]["caption"], "Pump\u00b0 1234");
  // The window closes with the connection and opens again with the next one; its texts are
  // printed when its start-up reply sets them, and only then (the polling changes nothing).
  std::vector<json> texts;
  bool reconnected = false;
  for (const json& l : lines) {
    const std::string event = l.value("event", "");
    if (event == "OnLaserConnected") reconnected = true;
    if (event.rfind("Extension", 0) == 0) {
      EXPECT_TRUE(reconnected) << l;
      texts.push_back(l);
    }
  }
  EXPECT_TRUE(reconnected) << r.out;
  EXPECT_EQ(
      texts,
      (std::vector<json>{
          json::parse(
              R"({"event":"ExtensionCaption","file":"p\u00fcmp.ext","caption":"Pump\u00b0 1234"})"),
          json::parse(R"({"event":"ExtensionLabel","file":"p\u00fcmp.ext","text":"<1234>"})")}));
}

TEST_F(CliTest, ProgramFolderGivesThePortAndTheExtensionFiles) {
  startSim("gen3-2branch");
  const std::string exe = programCopy();
  const std::string folder = std::filesystem::path(exe).parent_path().string();
  writeFile(folder + "/QVLaserControlv4.ini", "[Laser]\nPort=9\n");
  EXPECT_NE(runProgram(exe, {"--help"}).out.find("QVLaserControlv4.ini"), std::string::npos);
  writeFile(folder + "/pump.ext", pumpExtension("1234"));
  // The simulator answers on COM7 only; the settings file names COM9.
  struct Case {
    std::vector<std::string> args;
    int port;  // the port the program used
  };
  const Case cases[] = {
      {{}, 9},                       // the settings file
      {{"-PORT:7"}, 7},              // the window's command line beats the file
      {{"/port:7"}, 7},              // any case, either switch character
      {{"-PORT:7", "-PORT:x5"}, 7},  // an unusable form is ignored
      {{"-PORT:x5"}, 9},
      {{"-PORT:7", "--port", "9"}, 9},  // --port wins, wherever it stands
      {{"--port", "7", "/PORT:9"}, 7},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"--json", "identify"});
    const ProgramRun r = runProgram(exe, args);
    SCOPED_TRACE(testing::PrintToString(c.args));
    if (c.port == 9) {
      EXPECT_EQ(r.rc, 2);
      EXPECT_NE(r.err.find("Cannot open port: COM9."), std::string::npos) << r.err;
      continue;
    }
    ASSERT_EQ(r.rc, 0) << r.err;
    const json id = json::parse(r.out);
    EXPECT_EQ(id["port"], 7);
    ASSERT_EQ(id["extensions"].size(), 1u);  // found beside the program without --extensions
    EXPECT_EQ(id["extensions"][0]["caption"], "Pump\u00b0 1234");
  }
}

}  // namespace
