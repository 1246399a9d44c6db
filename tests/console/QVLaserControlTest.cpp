// The console core against the virtual laser and a scripted peer: identification of each laser
// kind, the failure rule, automatic detection, the status display, the terminal, recording and
// the pulse rate.
#include "console/QVLaserControl.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "console/ConsoleTexts.h"
#include "engine/Simulator.h"
#include "recording/ParamFileReader.h"
#include "support/PtyPeer.h"
#include "support/TempDir.h"

namespace {

using Strings = std::vector<std::string>;

// A view that records what the console asked and answers from the test's settings.
struct TestView : TQVLaserControlView {
  std::vector<std::pair<std::string, std::string>> messages;  // title, text
  std::optional<std::string> recordingFile;
  std::string proposedFile;
  bool confirmStop = true;
  std::optional<std::string> password;
  int passwordQueries = 0;

  void ShowMessage(const std::string& title, const std::string& text, MessageKind) override {
    messages.emplace_back(title, text);
  }
  std::function<void()> whileAsking;  // runs while the save dialog is "open"
  std::optional<std::string> AskRecordingFile(const std::string& proposed) override {
    proposedFile = proposed;
    if (whileAsking) whileAsking();
    return recordingFile;
  }
  bool ConfirmStopRecording(const std::string&) override { return confirmStop; }
  std::optional<std::string> PasswordQuery(const std::string&, const std::string&) override {
    ++passwordQueries;
    return password;
  }
  void Pause(int) override {}
};

class ConsoleTest : public testing::Test {
 protected:
  void SetUp() override {
    auto timer = std::make_unique<qv::LoopTimer>();
    timer_ = timer.get();
    console_ = std::make_unique<TQVLaserControl>(std::move(timer), &view_);
    auto automation = std::make_unique<TLaserCtrlAutomation>();
    console_->SetAutoDetect(std::move(automation));
    console_->OnLaserConnected = [this](TObject*) { ++connected_; };
    console_->OnLaserDisconnected = [this](TObject*) { ++disconnected_; };
    console_->OnLaserStatusChanged = [this](TQVLaserControl&, TQVLaserStatus) { ++statusChanges_; };
    console_->OnLaserCommandError = [this](TLaser&, TLaserCommand, uint8_t, const std::string&) {
      ++passedOnErrors_;
    };
    laser().SetPort(kPort);
  }
  void TearDown() override { console_.reset(); }

  void startSim(const std::string& profile, qv::sim::Config config = {}) {
    config.profile = profile;
    sim_ = std::make_unique<qv::sim::Simulator>(config);
    ASSERT_TRUE(sim_->start(kPort, ports_.path())) << sim_->lastError();
  }
  // Runs the main thread's hand-overs meanwhile: a blocking wait here would stall the laser.
  bool pump(const std::function<bool()>& done, int ms = 15000) {
    return qv::runConsoleLoop(timer_, done, ms);
  }
  // Connects with the connect button and waits for the whole setup.
  void connect() {
    const int before = connected_;
    console_->ConnectLaserClick();
    ASSERT_TRUE(pump([&] { return connected_ > before; })) << "no identification";
  }
  TLaser& laser() { return console_->Laser(); }

  static constexpr int kPort = 5;
  qv::test::PortsDir ports_;
  std::unique_ptr<qv::sim::Simulator> sim_;
  TestView view_;
  qv::LoopTimer* timer_ = nullptr;
  std::unique_ptr<TQVLaserControl> console_;
  int connected_ = 0, disconnected_ = 0, statusChanges_ = 0, passedOnErrors_ = 0;
};

// --- Identification of each laser kind ------------------------------------------------------

struct KindCase {
  const char* profile;
  const char* label;
  Strings tabs;
  uint8_t currentMask;
};

class IdentifyKinds : public ConsoleTest, public testing::WithParamInterface<KindCase> {};

TEST_P(IdentifyKinds, LabelTabsAndSetup) {
  const KindCase& k = GetParam();
  startSim(k.profile);
  connect();
  const TConsoleDisplay& d = console_->Display();
  EXPECT_EQ(d.serialLabel, k.label);
  EXPECT_EQ(d.layout.tabs, k.tabs);
  EXPECT_EQ(laser().CurrentMask().Bits, k.currentMask);
  EXPECT_EQ(d.selectedTab, k.tabs.front());
  EXPECT_FALSE(d.coverShown);
  EXPECT_TRUE(d.connectedGlyph);
  EXPECT_FALSE(d.terminalOnlyButton);
  EXPECT_TRUE(laser().BkQueryEnabled());
  EXPECT_TRUE(console_->AutoReconnect());
  EXPECT_EQ(connected_, 1);
  // The background poll brings the state, and with it the status set.
  EXPECT_TRUE(pump([&] { return console_->LaserStatus().Contains(lsPSConnected); }));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, IdentifyKinds,
    testing::Values(
        KindCase{"gen3-2branch", "SN1234", {"Current", "Trigger", "Frequency", "System", "Advanced"},
                 0b110},
        KindCase{"gen3-picker", "SN2210",
                 {"Current", "Trigger", "Frequency", "Regulator", "System", "Advanced"}, 0b10},
        KindCase{"gen3-single", "SN 877", {"Current", "Trigger", "Frequency", "System", "Advanced"},
                 0b100},
        KindCase{"gen3-4branch", "SN3057",
                 {"Current", "Trigger", "Frequency", "System", "Advanced"}, 0b11110},
        // Generation 2 and a head serial of 0 are set up at once, with the masks the laser holds.
        KindCase{"gen2", "SN 412", {"System", "Advanced"}, 0},
        KindCase{"nohead", "SN   0 (PS1301)", {"System", "Advanced"}, 0}),
    [](const testing::TestParamInfo<KindCase>& i) {
      std::string n = i.param.profile;
      for (char& c : n) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      return n;
    });

TEST_F(ConsoleTest, ExplanationTablesFollowTheLaserFound) {
  startSim("gen3-single");
  connect();
  EXPECT_EQ(console_->ErrorExplanations().FindExplanation(73), nullptr);
  EXPECT_NE(console_->WarningExplanations().FindExplanation(86), nullptr);
  console_->ConnectLaserClick();
  ASSERT_TRUE(pump([&] { return disconnected_ == 1; }));
  EXPECT_EQ(console_->ErrorExplanations().Count(), 0);
  EXPECT_EQ(console_->WarningExplanations().Count(), 0);
  EXPECT_EQ(console_->Display().serialLabel, "TESSARIX");
  EXPECT_TRUE(console_->Display().coverShown);
}

TEST_F(ConsoleTest, OlderGenerationErrorsCarryTheirTexts) {
  qv::sim::Config config;
  config.errors = {73, 1042};
  startSim("gen2", config);
  int errorEvents = 0;
  console_->OnLaserError = [&](TQVLaserControl&) { ++errorEvents; };
  connect();
  ASSERT_TRUE(pump([&] { return errorEvents > 0; }));
  EXPECT_EQ(console_->Display().status.symbolHint,
            "Laser error list\r\n-----------------\r\n[73]  Flow rate of cooling water is out of "
            "working range\r\n[1042] ");
}

TEST_F(ConsoleTest, PickerSetupFillsTheProtectionPanel) {
  startSim("gen3-picker");
  connect();
  EXPECT_TRUE(console_->Display().protectionPanelVisible);
  ASSERT_TRUE(pump([&] { return !console_->Display().protection.rangeText[1].empty(); }));
  const TProtectionPanel& p = console_->Display().protection;
  EXPECT_EQ(p.rangeText[1], "100.00kHz - 487.80kHz");
  EXPECT_EQ(p.rangeText[3], "2.00MHz - 20.00MHz");
  EXPECT_EQ(p.limitText[2][2], "30.00");
  EXPECT_TRUE(p.column1Visible);  // firmware of 2020
}

// Serial labels from a scripted peer that knows only its serial numbers.
struct SerialCase {
  const char* sn;
  const char* head;
  const char* label;
  bool counts;  // the detection sequences run
};

class SerialLabels : public ConsoleTest, public testing::WithParamInterface<SerialCase> {};

TEST_P(SerialLabels, FromThePeer) {
  const SerialCase& c = GetParam();
  qv::test::PtyPeer peer;
  peer.linkAs(ports_.path(), kPort);
  peer.setResponder([&](const std::string& line) -> std::optional<std::string> {
    if (line == "r01") return std::string("S/N: ") + c.sn + "\r\n";
    if (line == "r02") return std::string(c.head) + "\r\n";
    return std::string("ERROR\r\n");
  });
  connect();
  EXPECT_EQ(console_->Display().serialLabel, c.label);
  const std::string sent = peer.allReceived();
  EXPECT_EQ(sent.find("r61\r") != std::string::npos, c.counts) << sent;
}

INSTANTIATE_TEST_SUITE_P(
    Serials, SerialLabels,
    testing::Values(SerialCase{"57", "S/N LASER-HEAD: 57", "SN 157", true},
                    SerialCase{"57", "S/N LASER-HEAD: 1234", "SN1234 (PS 157)", true},
                    SerialCase{"57", "S/N LASER-HEAD: 0", "SN   0 (PS 157)", false},
                    SerialCase{"57", "ERROR", "SN 157", false}));

// --- Connection handling ---------------------------------------------------------------------

TEST_F(ConsoleTest, PortMessageOnlyForTheOperatorsAttempt) {
  int fails = 0;
  console_->OnConnectFail = [&](TQVLaserControl&) { ++fails; };
  console_->ConnectLaserClick();  // no COM5 in the ports folder
  console_->ConnectLaserClick();
  EXPECT_EQ(fails, 2);
  ASSERT_TRUE(pump([&] { return view_.messages.size() == 2u; }));  // opened after the events
  EXPECT_EQ(view_.messages[0].first, "Error");
  EXPECT_EQ(view_.messages[0].second.rfind(PortMessage(kPort), 0), 0u);
  console_->AutoDetect()->SetInterval(20);
  console_->AutoDetect()->SetActive(true);
  ASSERT_TRUE(pump([&] { return fails >= 5; }));
  EXPECT_EQ(view_.messages.size(), 2u);
}

TEST_F(ConsoleTest, ClicksWhileIdentifyingAreIgnored) {
  startSim("gen3-2branch");
  console_->ConnectLaserClick();
  ASSERT_TRUE(laser().Connecting());
  console_->ConnectLaserClick();
  EXPECT_TRUE(laser().Connected());
  ASSERT_TRUE(pump([&] { return connected_ == 1; }));
  EXPECT_EQ(disconnected_, 0);
}

TEST_F(ConsoleTest, DetectionRepairsALostPortButNotAManualDisconnect) {
  startSim("gen3-2branch");
  console_->AutoDetect()->SetInterval(50);
  console_->AutoDetect()->SetActive(true);
  ASSERT_TRUE(pump([&] { return connected_ == 1; })) << "automatic detection did not connect";
  sim_->hangUp();
  ASSERT_TRUE(pump([&] { return disconnected_ == 1; }));
  EXPECT_EQ(console_->LaserStatus().bits, 0);
  EXPECT_TRUE(console_->UpdateTimer().enabled());
  sim_->comeBack();
  ASSERT_TRUE(pump([&] { return connected_ == 2; })) << "not reconnected";

  console_->ConnectLaserClick();  // the operator disconnects
  ASSERT_TRUE(pump([&] { return disconnected_ == 2; }));
  EXPECT_FALSE(console_->UpdateTimer().enabled());
  EXPECT_FALSE(console_->AutoReconnect());
}

TEST_F(ConsoleTest, DestructionClosesThePortWithoutTheDisconnectionReset) {
  startSim("gen3-2branch");
  connect();
  console_.reset();
  EXPECT_EQ(disconnected_, 0);
}

// --- Failure rule ----------------------------------------------------------------------------

TEST_F(ConsoleTest, TwoDifferentFailuresEndTheConnection) {
  startSim("gen3-2branch");
  connect();
  qv::sim::Faults f;
  f.errorFor = "r99,r61";
  sim_->setFaults(f);
  ASSERT_TRUE(pump([&] { return disconnected_ == 1; }));
}

TEST_F(ConsoleTest, FailuresWhileRecordingArePassedOn) {
  qv::test::TempDir dir;
  view_.recordingFile = dir.file("rec.qlp");
  startSim("gen3-2branch");
  connect();
  console_->RecordParamClick();
  ASSERT_TRUE(pump([&] { return console_->RecordingState() == 2; }));
  qv::sim::Faults f;
  f.errorFor = "r99,r61,r62";
  sim_->setFaults(f);
  ASSERT_TRUE(pump([&] { return passedOnErrors_ >= 4; }));
  EXPECT_EQ(disconnected_, 0);
  EXPECT_TRUE(laser().Connected());
}

TEST_F(ConsoleTest, TerminalSuspendsPollingAndTheFailureRule) {
  startSim("gen3-2branch");
  connect();
  console_->TabSet1Change("Advanced");
  EXPECT_TRUE(console_->Display().advancedOpen);
  EXPECT_FALSE(laser().BkQueryEnabled());
  qv::sim::Faults f;
  f.errorFor = "r99,r61";
  sim_->setFaults(f);
  console_->SendCommandLine("r99|r61|r99|r61");
  ASSERT_TRUE(pump([&] { return sim_->countReceived("r61") >= 2 && laser().QueuedCommands() == 0; }));
  EXPECT_EQ(disconnected_, 0);
  EXPECT_EQ(passedOnErrors_, 0);

  sim_->setFaults({});
  console_->CloseAdvancedPanelClick();
  EXPECT_FALSE(console_->Display().advancedOpen);
  EXPECT_TRUE(laser().BkQueryEnabled());
  EXPECT_EQ(console_->Display().selectedTab, "Current");
}

// The view slides the terminal open and closed, but not when the terminal alone is opened nor
// when a disconnection closes it.
TEST_F(ConsoleTest, TerminalSlidesOnlyForTheTabAndTheCloseButton) {
  startSim("gen3-2branch");
  const TConsoleDisplay& d = console_->Display();
  console_->TerminalOnlyClick();
  EXPECT_TRUE(d.advancedOpen);
  EXPECT_FALSE(d.advancedSlides);
  console_->ConnectLaserClick();
  ASSERT_TRUE(pump([&] { return disconnected_ == 1; }));
  connect();
  console_->TabSet1Change("Advanced");
  EXPECT_TRUE(d.advancedSlides);
  console_->CloseAdvancedPanelClick();
  EXPECT_FALSE(d.advancedOpen);
  EXPECT_TRUE(d.advancedSlides);
  console_->TabSet1Change("Advanced");
  console_->ConnectLaserClick();
  ASSERT_TRUE(pump([&] { return disconnected_ == 2; }));
  EXPECT_FALSE(d.advancedOpen);
  EXPECT_FALSE(d.advancedSlides);
}

// --- Status, errors, warnings ----------------------------------------------------------------

TEST_F(ConsoleTest, StateWordsDriveTheStatusAndItsEvents) {
  int dismissed = 0;
  console_->OnLaserErrorDismissed = [&](TQVLaserControl&) { ++dismissed; };
  console_->LaserLaserState(0);  // error class
  EXPECT_TRUE(console_->LaserStatus().Contains(lsError));
  console_->LaserLaserState(0);  // the same again: nothing
  EXPECT_EQ(statusChanges_, 1);
  console_->LaserLaserState(2);
  EXPECT_EQ(dismissed, 1);
  console_->LaserLaserState(16386);
  EXPECT_EQ(console_->Display().status.caption, kCaptionWarmingUp);
  EXPECT_EQ(console_->Display().status.laserOnCaption, "Warm Up");
  console_->LaserLaserON(true);  // while warming up: not passed on, caption kept
  EXPECT_EQ(console_->Display().status.caption, kCaptionWarmingUp);
  EXPECT_EQ(statusChanges_, 3);
}

TEST_F(ConsoleTest, ReadoutClicksSelectTheirTabUnlessTheyDragged) {
  EXPECT_EQ(console_->NomCurrentClick(2), "Current2");
  EXPECT_EQ(console_->Display().selectedTab, "Current");
  EXPECT_EQ(console_->ActFrequencyClick(1), "Frequency1");
  EXPECT_EQ(console_->Display().selectedTab, "Frequency");
  EXPECT_EQ(console_->NomRegulatorLevelClick(), "");  // no regulator tab
  console_->SetClickNotDrag(false);
  console_->TriggerModeClick();
  EXPECT_EQ(console_->Display().selectedTab, "Frequency");
}

TEST_F(ConsoleTest, ErrorListWithAndWithoutExplanation) {
  qv::sim::Config config;
  config.errors = {80, 9999};
  startSim("gen3-2branch", config);
  int errorEvents = 0;
  console_->OnLaserError = [&](TQVLaserControl&) { ++errorEvents; };
  connect();
  ASSERT_TRUE(pump([&] { return errorEvents > 0; }));
  const TStatusDisplay& s = console_->Display().status;
  EXPECT_EQ(s.symbol, kSymbolError);
  EXPECT_EQ(s.symbolHint,
            "Laser error list\r\n-----------------\r\n[80]  Temperature of Laser 1 is too "
            "high.\r\n[9999] ");
  console_->LaserWarnSymbolClick();
  ASSERT_FALSE(view_.messages.empty());
  EXPECT_EQ(view_.messages.back().first, "Laser Error");

  sim_->setErrors({});
  console_->ClearErrorClick();
  ASSERT_TRUE(pump([&] { return !console_->LaserStatus().Contains(lsError); }));
  EXPECT_TRUE(console_->Display().status.symbolHint.empty());
}

TEST_F(ConsoleTest, WarmUpButtonUntilWarmedUp) {
  qv::sim::Config config;
  config.warmUpMs = 300;
  startSim("gen3-warmup", config);
  connect();
  ASSERT_TRUE(pump([&] { return console_->Display().status.laserOnCaption == "Warm Up"; }));
  console_->LaserOnClick(1);
  ASSERT_TRUE(pump([&] { return sim_->countReceived("w60 2") >= 1; }));
  EXPECT_EQ(sim_->countReceived("w60 1"), 0);
  ASSERT_TRUE(pump([&] { return console_->LaserStatus().Contains(lsWarmedUp); }));
  console_->LaserOnClick(1);
  EXPECT_TRUE(pump([&] { return sim_->countReceived("w60 1") >= 1; }));
}

// --- Terminal --------------------------------------------------------------------------------

TEST_F(ConsoleTest, PasswordAndHistoryRules) {
  startSim("gen3-2branch");
  connect();
  view_.password = "12,34";
  console_->TabSet1Change("Advanced", /*ctrlDown=*/true);
  EXPECT_EQ(view_.passwordQueries, 1);
  console_->SendCommandLine(" r01 | w01 secret | r60 ");
  console_->SendCommandLine("R01|R60");
  console_->SendCommandLine("w011 5");
  ASSERT_TRUE(pump([&] { return sim_->countReceived("w011 5") >= 1; }));
  ASSERT_TRUE(pump([&] { return laser().QueuedCommands() == 0; }));
  EXPECT_EQ(sim_->countReceived("w01 12.34"), 1);
  EXPECT_EQ(sim_->countReceived("w01 secret"), 1);
  EXPECT_EQ(console_->CmdHistory().Entries(), (Strings{"r01|r60", "w011 5"}));
  const std::string& log = console_->TerminalLog().Text();
  EXPECT_EQ(log.find("w01 "), std::string::npos) << log;
  EXPECT_NE(log.find("r01\tS/N: 1234\r\n"), std::string::npos) << log;

  console_->MutableDisplay().cmdBox = "r12";
  console_->CmdHistoryClick(0);
  EXPECT_EQ(console_->Display().cmdBox, "r12");
  console_->MutableDisplay().cmdBox.clear();
  console_->CmdHistoryClick(0);
  EXPECT_EQ(console_->Display().cmdBox, "r01|r60");
}

TEST_F(ConsoleTest, TerminalOnlyNeedsNoIdentification) {
  startSim("gen3-2branch");
  console_->TerminalOnlyClick();
  ASSERT_TRUE(laser().Connected());
  EXPECT_TRUE(console_->Display().terminalOnlyMode);
  EXPECT_FALSE(console_->Display().closeAdvancedEnabled);
  console_->SendCommandLine("r01");
  ASSERT_TRUE(pump([&] { return console_->TerminalLog().Text().find("S/N") != std::string::npos; }));
  EXPECT_EQ(sim_->countReceived("r02"), 0);
  console_->CloseAdvancedPanelClick();  // disabled in this mode
  EXPECT_TRUE(console_->Display().advancedOpen);
  console_->ConnectLaserClick();
  ASSERT_TRUE(pump([&] { return disconnected_ == 1; }));
  EXPECT_FALSE(console_->Display().advancedOpen);
  EXPECT_TRUE(console_->Display().closeAdvancedEnabled);
  EXPECT_TRUE(console_->TerminalLog().Text().empty());
}

// --- Recording -------------------------------------------------------------------------------

TEST_F(ConsoleTest, RecordingStatesAndFile) {
  qv::test::TempDir dir;
  const std::string file = dir.file("rec.qlp");
  startSim("gen3-2branch");
  connect();

  console_->RecordParamClick();  // cancelled dialog
  EXPECT_EQ(console_->RecordingState(), 1);
  EXPECT_TRUE(console_->Display().recordingLampVisible);
  ASSERT_TRUE(pump([&] { return console_->RecordingState() == 0; }));
  EXPECT_FALSE(console_->Display().recordingLampVisible);
  // SN1234_yyyy-mm-dd_hhnnss_LT.qlp
  const std::string& name = view_.proposedFile;
  const std::string shape = "SN1234_dddd-dd-dd_dddddd_LT.qlp";
  ASSERT_EQ(name.size(), shape.size()) << name;
  for (size_t i = 0; i < shape.size(); ++i) {
    if (shape[i] == 'd') EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(name[i]))) << name;
    else EXPECT_EQ(name[i], shape[i]) << name;
  }

  view_.recordingFile = file;
  console_->RecordParamClick();
  ASSERT_TRUE(pump([&] { return console_->RecordingState() == 2; }));
  EXPECT_TRUE(console_->Display().recordingLampBlinking);
  ASSERT_TRUE(pump([&] { return sim_->countReceived("r53") >= 2; })) << "the wide read set is not polled";
  view_.confirmStop = false;
  console_->RecordParamClick();
  EXPECT_EQ(console_->RecordingState(), 2);
  view_.confirmStop = true;
  console_->RecordParamClick();
  EXPECT_EQ(console_->RecordingState(), 3);
  ASSERT_TRUE(pump([&] { return console_->RecordingState() == 0; }));
  for (const char* raw : {"w9 0", "w19 0", "w29 0"}) {
    EXPECT_TRUE(pump([&] { return sim_->countReceived(raw) >= 1; })) << raw;
  }
  const qv::ParamFileContents contents = qv::readParamFile(file);
  EXPECT_TRUE(contents.error.empty()) << contents.error;
  EXPECT_EQ(contents.header.HeadSerial, 1234);
  EXPECT_GT(contents.samples.size(), 3u);
}

TEST_F(ConsoleTest, AnOpenSaveDialogDoesNotHoldTheLink) {
  qv::test::TempDir dir;
  view_.recordingFile = dir.file("rec.qlp");
  startSim("gen3-2branch");
  connect();
  int timeouts = 0;
  console_->OnLaserCommandTimeout = [&](TLaser&, TLaserCommand, uint8_t, const std::string&) {
    ++timeouts;
  };
  // The dialog stays open for 3 s, running the loop as a modal dialog's own event loop would.
  int pollsWhileOpen = 0;
  view_.whileAsking = [&] {
    const int before = sim_->countReceived("r99");
    pump([] { return false; }, 3000);
    pollsWhileOpen = sim_->countReceived("r99") - before;
  };
  console_->RecordParamClick();
  ASSERT_TRUE(pump([&] { return console_->RecordingState() != 1; }));
  EXPECT_EQ(console_->RecordingState(), 2);
  EXPECT_GE(pollsWhileOpen, 3);  // polling went on
  EXPECT_EQ(timeouts, 0);
  EXPECT_EQ(disconnected_, 0);
  ASSERT_TRUE(pump([&] { return sim_->countReceived("r53") >= 1; })) << "the wide read set";
  console_->StopRecording();
  ASSERT_TRUE(pump([&] { return console_->RecordingState() == 0; }));
  const qv::ParamFileContents contents = qv::readParamFile(*view_.recordingFile);
  EXPECT_TRUE(contents.error.empty()) << contents.error;
  EXPECT_FALSE(contents.samples.empty());
}

TEST_F(ConsoleTest, AStopWhileTheSaveDialogIsOpenStands) {
  qv::test::TempDir dir;
  view_.recordingFile = dir.file("rec.qlp");
  startSim("gen3-2branch");
  connect();
  view_.whileAsking = [&] { console_->StopRecording(); };
  console_->RecordParamClick();
  ASSERT_TRUE(pump([&] { return !view_.proposedFile.empty(); }));
  EXPECT_EQ(console_->RecordingState(), 0);
  EXPECT_FALSE(console_->Display().recordingLampVisible);
  EXPECT_FALSE(std::filesystem::exists(*view_.recordingFile));
}

TEST_F(ConsoleTest, AFileThatCannotBeCreatedLeavesThePollingAsItWas) {
  qv::test::TempDir dir;
  view_.recordingFile = dir.file("missing/rec.qlp");
  startSim("gen3-2branch");
  connect();
  console_->RecordParamClick();
  ASSERT_TRUE(pump([&] { return console_->RecordingState() == 0; }));
  ASSERT_EQ(view_.messages.size(), 1u);
  EXPECT_EQ(view_.messages[0].second.rfind("Cannot record into " + *view_.recordingFile, 0), 0u);
  EXPECT_FALSE(console_->Display().recordingLampVisible);
  EXPECT_FALSE(console_->Display().recordingLampBlinking);
  // The normal set polls on: state and both currents, none of the recording's reads.
  sim_->clearReceived();
  ASSERT_TRUE(pump([&] { return sim_->countReceived("r62") >= 2; }));
  EXPECT_EQ(sim_->countReceived("r53"), 0);
  EXPECT_GE(sim_->countReceived("r99"), 1);
}

TEST_F(ConsoleTest, DisconnectionCompletesTheRecording) {
  qv::test::TempDir dir;
  view_.recordingFile = dir.file("rec.qlp");
  startSim("gen3-2branch");
  connect();
  console_->RecordParamClick();
  ASSERT_TRUE(pump([&] { return console_->RecordingState() == 2; }));
  ASSERT_TRUE(pump([&] { return sim_->countReceived("r99") >= 3; }));
  sim_->hangUp();
  ASSERT_TRUE(pump([&] { return disconnected_ == 1 && console_->RecordingState() == 0; }));
  const qv::ParamFileContents contents = qv::readParamFile(*view_.recordingFile);
  EXPECT_TRUE(contents.error.empty()) << contents.error;
  EXPECT_FALSE(contents.samples.empty());
}

TEST_F(ConsoleTest, StopBeforeTheRunningTimeReturnsToIdle) {
  qv::sim::Config config;
  config.faults.noAnswerTo = "r51";
  startSim("gen3-2branch", config);
  connect();
  console_->RecordParamClick();
  EXPECT_EQ(console_->RecordingState(), 1);
  console_->StopRecording();
  EXPECT_EQ(console_->RecordingState(), 0);
  EXPECT_FALSE(console_->Display().recordingLampVisible);
}

// --- Parameter entry -------------------------------------------------------------------------

TEST_F(ConsoleTest, CurrentsBelowZeroAreSetAsZero) {
  startSim("gen3-2branch");
  connect();
  ASSERT_TRUE(pump([&] { return laser().MaxCurrent(2) > 0; }));
  sim_->clearReceived();
  EXPECT_TRUE(console_->ApplyCurrent(1, "-5"));
  EXPECT_TRUE(console_->ApplyCurrent(2, "-0.004"));  // would go out as "-0.00"
  console_->SetAllCurrents(-2.5);                    // a preset of "-2.5"
  ASSERT_TRUE(
      pump([&] { return sim_->countReceived("w62") >= 2 && laser().QueuedCommands() == 0; }));
  Strings sets;
  for (const std::string& c : sim_->received()) {
    if (c[0] == 'w') sets.push_back(c);
  }
  EXPECT_EQ(sets, (Strings{"w61 0.00", "w62 0.00", "w61 0.00", "w62 0.00"}));
}

// --- Pulse rate ------------------------------------------------------------------------------

TEST_F(ConsoleTest, PulseRateRaisesCurrentsAtTheirMaximumAndIsClamped) {
  startSim("gen3-picker");
  connect();
  ASSERT_TRUE(pump([&] { return !console_->Display().protection.rangeText[1].empty(); }));
  // Branch 1 at its maximum of 30 A (class 2); class 3 allows 32 A: raised after the pulse
  // settings.
  sim_->modify([](qv::sim::LaserState& s) { s.current[1] = 30.0; });
  laser().ReadCurrent(1);
  ASSERT_TRUE(pump([&] { return laser().Current(1) == 30.0 && laser().MaxCurrent(1) == 30.0; }));
  sim_->clearReceived();
  console_->SetPulseRate(5000000);
  ASSERT_TRUE(pump([&] { return sim_->countReceived("w61 32.00") >= 1; }));
  const Strings got = sim_->received();
  const auto at = [&](const std::string& s) {
    return std::find(got.begin(), got.end(), s) - got.begin();
  };
  EXPECT_LT(at("w172 4"), at("w61 32.00"));

  // 10 kHz would need 2000 seeder pulses; class 1 ends at 200.
  ASSERT_TRUE(console_->ApplyFrequency(0xF0000002u, "10k"));
  EXPECT_TRUE(pump([&] { return sim_->countReceived("w172 200") >= 1; }));
}

}  // namespace
