// Extension windows on a console connected to the simulator.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "console/QVLaserControl.h"
#include "engine/Simulator.h"
#include "extensions/ExtensionManager.h"
#include "support/TempDir.h"

namespace {

class ExtensionWindows : public ::testing::Test {
 protected:
  qv::test::PortsDir ports;
  qv::test::TempDir folder;
  std::unique_ptr<qv::sim::Simulator> sim;
  TQVLaserControl console{std::make_unique<qv::LoopTimer>()};
  qv::ExtensionManager manager{console};
  int connected = 0, disconnected = 0;

  void SetUp() override {
    console.SetAutoDetect(std::make_unique<TLaserCtrlAutomation>());
    console.OnLaserConnected = [this](TObject*) { ++connected; };
    console.OnLaserDisconnected = [this](TObject*) { ++disconnected; };
  }
  void TearDown() override {
    if (console.Laser().Connected()) {
      console.ConnectLaserClick();
      run(5000, [&] { return !console.Laser().Connected(); });
    }
  }
  void write(const std::string& name, const std::string& text) {
    std::ofstream(folder.file(name), std::ios::binary) << text;
  }
  bool run(int ms, const std::function<bool()>& done) {
    return qv::runConsoleLoop(static_cast<qv::LoopTimer*>(&console.UpdateTimer()), done, ms);
  }
  void connectTo(const std::string& profile) {
    sim = std::make_unique<qv::sim::Simulator>(profile);
    ASSERT_TRUE(sim->start(5, ports.path())) << sim->lastError();
    console.Laser().SetPort(5);
    manager.loadFolder(folder.path());
    console.ConnectLaserClick();
    ASSERT_TRUE(run(10000, [&] { return connected == 1; }));
  }
  // The simulator's selectors ignore the letter's case; these windows send "R01" on purpose.
  int exact(const std::string& text) const {
    const auto all = sim->received();
    return static_cast<int>(std::count(all.begin(), all.end(), text));
  }
  TExtensionTab* tab(const std::string& file) {
    for (TExtensionTab* t : manager.tabs())
      if (t->FileName == file) return t;
    return nullptr;
  }
};

// A custom command the catalogue does not know ("R01": letters compare case-sensitively), which
// the laser answers like r01.
const char* kSerialWindow =
    "[Extension]\nSN=%s\nName=PS $1\nCaptionCommand=Command1\nOnStart=R01\nNewCommands=1\n"
    "Labels=1\nButtons=1\n[Command1]\nCommandText=R01\nPattern=S/N: (\\d+)\n"
    "[Label1]\nType=QVCOMMAND\nName=<$1>\n[Button1]\nCommand= R01 | r60 \n";

std::string serialWindow(const std::string& sn) {
  char buf[512];
  std::snprintf(buf, sizeof buf, kSerialWindow, sn.c_str());
  return buf;
}

TEST_F(ExtensionWindows, OpenForTheirSerialShowRepliesAndCloseAtDisconnection) {
  write("a.ext", serialWindow("1, 412"));
  write("b.ext", "[Extension]\nSN=1234\nOnStart=r60\n");
  std::vector<std::string> events;
  manager.OnOpened = [&](TExtensionTab& t) { events.push_back("open " + t.FileName); };
  manager.OnCaptionChange = [&](TExtensionTab& t) { events.push_back("caption " + t.Window->Caption); };
  manager.OnLabelChange = [&](TExtensionTab& t) { events.push_back("label " + t.DisplayLabelText()); };
  manager.OnClosed = [&](TExtensionTab& t) { events.push_back("close " + t.FileName); };
  connectTo("gen2");  // generation 2: the power-supply serial 412 is the key
  TExtensionTab* a = tab("a.ext");
  ASSERT_TRUE(a);
  ASSERT_TRUE(a->IsOpen());
  EXPECT_FALSE(tab("b.ext")->IsOpen());
  // As the command-line tool reports it: once the start-up commands are answered.
  ASSERT_TRUE(manager.waitForStartupReplies(5000));
  const auto open = manager.openWindows();
  ASSERT_EQ(open.size(), 1u);
  EXPECT_EQ(open[0].file, "a.ext");
  EXPECT_EQ(open[0].name, "PS $1");
  EXPECT_EQ(open[0].caption, "PS 412");
  EXPECT_EQ(open[0].label, "<412>");
  // The custom command went into the fresh catalogue of this connection.
  EXPECT_GE(console.Laser().CommandList().IndexOfText("R01"), 0);

  // A button sends each part of its list as a raw line.
  sim->clearReceived();
  a->HandleButtonClick(0);
  EXPECT_TRUE(run(5000, [&] { return exact("r60") >= 1 && exact("R01") >= 1; }));

  console.ConnectLaserClick();  // the operator disconnects
  ASSERT_TRUE(run(5000, [&] { return disconnected == 1; }));
  EXPECT_FALSE(a->IsOpen());
  EXPECT_FALSE(console.Laser().OnCustomizedCmd);
  EXPECT_EQ(events, (std::vector<std::string>{"open a.ext", "caption PS 412", "label <412>", "close a.ext"}));
}

TEST_F(ExtensionWindows, OnStartIsSentAgainAfterAReset) {
  write("a.ext", serialWindow("1234"));
  connectTo("gen3-2branch");
  TExtensionTab* a = tab("a.ext");
  ASSERT_TRUE(a && a->IsOpen());
  ASSERT_TRUE(sim->waitForReceived("R01", 1, 5000));
  run(300, [] { return false; });
  EXPECT_EQ(exact("R01"), 1);
  console.ResetClick();
  EXPECT_TRUE(run(15000, [&] { return exact("R01") == 2; }));
  EXPECT_GE(sim->state().resets, 1);
  EXPECT_TRUE(a->IsOpen());
}

TEST_F(ExtensionWindows, GenerationThreeUsesTheHeadSerialAsKey) {
  // "nohead": generation 3, power-supply serial 1301, head serial 0.
  write("ps.ext", "[Extension]\nSN=1301\n");
  write("head.ext", "[Extension]\nSN=0\n");
  connectTo("nohead");
  EXPECT_FALSE(tab("ps.ext")->IsOpen());
  EXPECT_TRUE(tab("head.ext")->IsOpen());
}

}  // namespace
