// TLaser against a scripted peer: identification, framing, failures, phases, shutdown.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "link/LaserFixture.h"

namespace qv::test {
namespace {

using LaserLink = LaserPeerTest;

TEST_F(LaserLink, IdentifiesAGeneration3LaserAndAgainAfterReconnecting) {
  connectIdentified();
  EXPECT_EQ(laser->SN(), 1234);
  EXPECT_EQ(laser->LHCSN(), 1234);
  EXPECT_EQ(laser->LHCVersion(), 3);
  EXPECT_EQ(laser->FirmwareVersion().Major, 3);
  EXPECT_EQ(laser->FirmwareVersion().Minor, 1);
  EXPECT_EQ(laser->FirmwareVersion().Value(), 2021u * 65536 + 5 * 256 + 12);
  EXPECT_EQ(count("connected"), 1);
  EXPECT_EQ(laser->CommandErrors(), 0);

  ASSERT_TRUE(laser->Disconnect());
  EXPECT_EQ(laser->LHCSN(), TLaser::kUnknownLHCSN);
  EXPECT_EQ(laser->SN(), 0);
  ASSERT_TRUE(laser->Connect());
  ASSERT_TRUE(pumpUntil([&] { return count("connected") == 2 && !laser->Connecting(); }));
  EXPECT_EQ(count("connect"), 2);
  EXPECT_EQ(count("disconnect"), 1);
}

TEST_F(LaserLink, HeadSerialReadAnsweredErrorMeansGeneration2) {
  peer.respond("r01", "S/N: 77\r\n");
  peer.respond("r02", "ERROR\r\n");
  ASSERT_TRUE(laser->Connect());
  ASSERT_TRUE(pumpUntilSeen("connected"));
  EXPECT_EQ(laser->LHCVersion(), 2);
  EXPECT_FALSE(laser->Connecting());
  EXPECT_EQ(laser->SN(), 77);
  // The generation-2 catalogue reads the flow rate with r91.
  EXPECT_EQ(laser->CommandList().FindCommand(lcReadFlowRate, 0)->CmdStr, "r91");
  pumpFor(50);
  EXPECT_EQ(count("error r02 2/0"), 0);
}

// A controller that answers its serial but never its head serial ends the attempt as a laser
// that did not answer (the port closes, so automatic detection tries again) instead of staying
// open unidentified.
TEST_F(LaserLink, SilentHeadSerialReadEndsTheAttemptAsNoLaser) {
  peer.respond("r01", "S/N: 77\r\n");
  ASSERT_TRUE(laser->Connect());
  ASSERT_TRUE(pumpUntilSeen("laserfail", 10000));
  EXPECT_FALSE(laser->Connected());
  EXPECT_FALSE(saw("connected"));
  EXPECT_EQ(count("disconnect"), 1);
}

TEST_F(LaserLink, AHeadSerialOfZeroEndsIdentificationAndFailuresAreReported) {
  answerIdentification("0");
  ASSERT_TRUE(laser->Connect());
  ASSERT_TRUE(pumpUntilSeen("connected"));
  EXPECT_EQ(laser->LHCSN(), 0);
  EXPECT_FALSE(laser->Connecting());
  ASSERT_TRUE(pumpUntil([&] { return laser->QueuedCommands() == 0; }));
  laser->ReadState();  // unanswered
  EXPECT_TRUE(pumpUntilSeen("timeout r99 24/0"));
}

TEST_F(LaserLink, WaitQueuedWhileClosedDoesNotDelayTheNextConnection) {
  laser->BuildCommandCatalogue();
  laser->QueueWait(60000);
  connectIdentified();
}

TEST_F(LaserLink, PortThatCannotBeOpenedRaisesConnectFail) {
  laser->SetPort(9);  // no link in the ports folder
  EXPECT_FALSE(laser->Connect());
  EXPECT_EQ(events, std::vector<std::string>{"connectfail"});
}

// A serial number that never comes: tried AllowedErrors times in all (at least once), then the
// laser disconnects and reports the failed connection.
class SerialNumberRetries : public LaserPeerTest, public ::testing::WithParamInterface<int> {};

TEST_P(SerialNumberRetries, ThenDisconnects) {
  const int allowed = GetParam();
  laser->SetAllowedErrors(static_cast<std::uint8_t>(allowed));
  ASSERT_TRUE(laser->Connect());
  ASSERT_TRUE(pumpUntilSeen("laserfail", 10000));
  EXPECT_FALSE(laser->Connected());
  EXPECT_EQ(static_cast<int>(peer.linesReceived()), std::max(allowed, 1));
  EXPECT_EQ(count("disconnect"), 1);
  EXPECT_EQ(std::count_if(events.begin(), events.end(),
                          [](const std::string& e) { return e.rfind("timeout", 0) == 0; }),
            0);
}

INSTANTIATE_TEST_SUITE_P(AllowedErrors, SerialNumberRetries, ::testing::Values(3, 0));

TEST_F(LaserLink, OneCommandInFlightAndEachSilenceCostsOneTimeout) {
  connectIdentified();
  laser->ReadStatus();
  laser->ReadState();
  ASSERT_EQ(line(), "r60");
  // Nothing else goes out while r60 waits for its answer.
  EXPECT_FALSE(line(300));
  ASSERT_TRUE(pumpUntilSeen("timeout r60 0/0"));
  EXPECT_EQ(line(), "r99");
  ASSERT_TRUE(pumpUntilSeen("timeout r99 24/0"));
  EXPECT_EQ(laser->CommandErrors(), 2);
  EXPECT_EQ(laser->VariousCommandErrors(), 2);
  EXPECT_EQ(count("timeout r60 0/0"), 1);

  peer.respond("r60", "LASER_ON\r\n");
  laser->ReadStatus();
  ASSERT_TRUE(pumpUntilSeen("on"));
  // The counters are reset right after the answer's dispatch.
  EXPECT_TRUE(pumpUntil([&] { return laser->CommandErrors() == 0; }));
  EXPECT_EQ(laser->VariousCommandErrors(), 0);
}

// How the answer to a pending r61 (current of branch 1) arrives, and what must come of it.
struct Delivery {
  const char* name;
  std::vector<std::string> chunks;    // sent 60 ms apart
  std::vector<std::string> expected;  // events in order, beyond the send
  bool laserOn;                       // an unsolicited LASER_ON in the same read was dispatched
};

class AnswerDelivery : public LaserPeerTest, public ::testing::WithParamInterface<Delivery> {};

TEST_P(AnswerDelivery, IsMatchedAsDescribed) {
  connectIdentified();
  events.clear();
  const Delivery& d = GetParam();
  laser->ReadCurrent(1);
  ASSERT_EQ(line(), "r61");
  for (const auto& c : d.chunks) {
    peer.send(c);
    pumpFor(60);
  }
  ASSERT_TRUE(pumpUntil([&] { return events.size() >= d.expected.size(); }, 3000));
  pumpFor(100);
  EXPECT_EQ(events, d.expected);
  EXPECT_EQ(laser->LaserIsOn(), d.laserOn);
}

INSTANTIATE_TEST_SUITE_P(
    Framing, AnswerDelivery,
    ::testing::Values(
        Delivery{"WholeLine", {"12.50 A\r\n"}, {"current 1 12.50"}, false},
        Delivery{"SplitInTheMiddleOfTheWord", {"12.5", "0 A\r\n"}, {"current 1 12.50"}, false},
        Delivery{"BareLineFeedIsNoLineEnd", {"12.50 A\n", "\r"}, {"current 1 12.50"}, false},
        Delivery{
            "TwoAnswersInOneRead", {"12.50 A\r\nLASER_ON\r\n"}, {"current 1 12.50", "on"}, true},
        Delivery{"LowerCaseError", {"error\r\n"}, {"error r61 5/1"}, false},
        Delivery{"NoMatchRunsIntoTheTimeOut", {"WHATEVER\r\n"}, {"timeout r61 5/1"}, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LaserLink, BareLineFeedKeepsTheParserWaiting) {
  connectIdentified();
  laser->ReadCurrent(1);
  ASSERT_EQ(line(), "r61");
  peer.send("12.50 A\n");
  pumpFor(300);
  EXPECT_FALSE(saw("current 1 12.50"));
  peer.send("\r");
  EXPECT_TRUE(pumpUntilSeen("current 1 12.50"));
}

TEST_F(LaserLink, ReadsAreReportedRawBeforeTheAnswersTheyCarry) {
  connectIdentified();
  std::string raw;
  laser->OnReceive = [&](TLaser&, const std::string& b) {
    raw += b;
    log("receive");
  };
  events.clear();
  laser->ReadStatus();
  ASSERT_EQ(line(), "r60");
  peer.send("laser_on\r\n");
  ASSERT_TRUE(pumpUntilSeen("on"));
  EXPECT_EQ(raw, "laser_on\r\n");
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.front(), "receive");
  EXPECT_EQ(sent.back(), "r60");
}

TEST_F(LaserLink, TypedCommandIsReportedSentBeforeItsAnswer) {
  connectIdentified();
  sent.clear();
  laser->Send("r60", -1);
  ASSERT_EQ(line(), "r60");
  ASSERT_TRUE(pumpUntil([&] { return !sent.empty(); }));
  EXPECT_EQ(sent, std::vector<std::string>{"r60"});
  EXPECT_FALSE(saw("on"));
  peer.send("LASER_ON\r\n");
  EXPECT_TRUE(pumpUntilSeen("on"));
}

TEST_F(LaserLink, UnsolicitedCurrentAnswerChangesNothing) {
  connectIdentified();
  laser->ReadStatus();
  ASSERT_EQ(line(), "r60");
  peer.send("33.00 A\r\nLASER_OFF\r\n");
  ASSERT_TRUE(pumpUntilSeen("off"));
  EXPECT_EQ(laser->Current(1), 0.0);
  EXPECT_FALSE(saw("current 1 33.00"));
}

TEST_F(LaserLink, ValueThatDoesNotConvertIsAnsweredButNotStored) {
  connectIdentified();
  std::vector<std::string> commands;
  laser->OnLaserCommand = [&](TLaser&, const std::string& c, const std::string& r) {
    commands.push_back(c + "=" + r);
  };
  laser->ReadCurrent(1);
  ASSERT_EQ(line(), "r61");
  peer.send("12X50 A\r\n");  // the pattern accepts any character where the point goes
  ASSERT_TRUE(pumpUntil([&] { return !commands.empty(); }));
  EXPECT_EQ(commands[0], "r61=12X50 A");
  EXPECT_FALSE(saw("current 1 12.50"));
  EXPECT_EQ(laser->Current(1), 0.0);
  // The writer was released by the answer, not by the time-out.
  laser->ReadStatus();
  EXPECT_EQ(line(300), "r60");
  EXPECT_EQ(laser->CommandErrors(), 0);
}

TEST_F(LaserLink, ReadyEndsAResetAndIsAnOrdinaryLineOtherwise) {
  connectIdentified();
  peer.send("READY\r\n");  // no reset running: matched like any line, nothing happens
  pumpFor(100);
  EXPECT_FALSE(saw("reseted"));

  peer.respond("w99 101", "OK\r\n");
  laser->Reset();
  ASSERT_TRUE(pumpUntilSeen("reset"));
  EXPECT_TRUE(laser->Reseting());
  peer.send("READY\r\n");
  ASSERT_TRUE(pumpUntilSeen("reseted"));
  EXPECT_FALSE(laser->Reseting());
  pumpFor(100);
  EXPECT_EQ(count("reset"), 1);
  EXPECT_EQ(count("reseted"), 1);
}

TEST_F(LaserLink, ResetWithoutReadyEndsWhenItsDurationRunsOut) {
  connectIdentified();
  laser->SetResetingDuration(200);
  peer.respond("w99 101", "OK\r\n");
  laser->Reset();
  ASSERT_TRUE(pumpUntilSeen("reseted"));
  EXPECT_FALSE(laser->Reseting());
}

TEST_F(LaserLink, ErrorClearingEndsWithItsAnswerOrItsErrorAnswer) {
  connectIdentified();
  peer.respond("w97 101", "OK\r\n");
  laser->ClearError();
  ASSERT_TRUE(pumpUntilSeen("cleared"));
  EXPECT_EQ(count("clear"), 1);
  EXPECT_FALSE(laser->Reseting());

  events.clear();
  peer.clearResponders();
  peer.respond("w97 101", "ERROR\r\n");
  laser->ClearError();
  ASSERT_TRUE(pumpUntilSeen("cleared"));
  EXPECT_EQ(events, (std::vector<std::string>{"clear", "error w97 101 40/0", "cleared"}));
  EXPECT_FALSE(laser->Reseting());
}

// A reset or error clearing still running when the port goes ends with the connection, its end
// event after the disconnection, instead of running out its duration.
struct PhaseCase {
  const char* name;
  bool reset;  // otherwise an error clearing
  const char* begin;
  const char* end;
};

class PhaseAtDisconnection : public LaserPeerTest,
                             public ::testing::WithParamInterface<PhaseCase> {};

TEST_P(PhaseAtDisconnection, EndsWithTheConnection) {
  const PhaseCase& c = GetParam();
  connectIdentified();
  laser->SetResetingDuration(60000);
  laser->SetErrorClearingDuration(60000);
  peer.respond("w99 101", "OK\r\n");  // the clearing text stays unanswered
  if (c.reset)
    laser->Reset();
  else
    laser->ClearError();
  ASSERT_TRUE(pumpUntilSeen(c.begin));
  ASSERT_TRUE(laser->Reseting());
  events.clear();
  peer.hangUp();
  ASSERT_TRUE(pumpUntilSeen(c.end));
  EXPECT_EQ(events, (std::vector<std::string>{"disconnect", c.end}));
  EXPECT_FALSE(laser->Reseting());
  pumpFor(200);
  EXPECT_EQ(count(c.end), 1);
}

INSTANTIATE_TEST_SUITE_P(Phases, PhaseAtDisconnection,
                         ::testing::Values(PhaseCase{"Reset", true, "reset", "reseted"},
                                           PhaseCase{"ErrorClearing", false, "clear", "cleared"}),
                         [](const auto& info) { return std::string(info.param.name); });

// A text sent with no catalogue index: its exchange ends with the laser's "OK" or "ERROR" when
// the catalogue does not know it, and by its entry's pattern when it does. The next command is
// left unanswered, so the counters are seen as they stand when it goes out (a time-out of the
// text before it would have counted one failure by then).
struct RawCase {
  const char* name;
  const char* text;
  const char* reply;
  int errors;
  std::vector<std::string> events;
};

class RawText : public LaserPeerTest, public ::testing::WithParamInterface<RawCase> {};

TEST_P(RawText, EndsItsExchangeByTheAnswer) {
  const RawCase& c = GetParam();
  connectIdentified();
  laser->SetErrorClearingDuration(60000);
  events.clear();
  peer.respond(c.text, c.reply);
  laser->Send(c.text, -1);
  laser->ReadStatus();
  ASSERT_EQ(line(), c.text);
  ASSERT_EQ(line(), "r60");
  EXPECT_EQ(laser->CommandErrors(), c.errors);
  EXPECT_EQ(events, c.events);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, RawText,
    ::testing::Values(
        RawCase{"UnknownTextAnsweredOk", "w19 0", "OK\r\n", 0, {}},
        RawCase{"UnknownTextAnsweredError", "w19 0", "ERROR\r\n", 1, {}},
        // The clearing phase such a text begins ends with its "ERROR", not 60 s later.
        RawCase{"UnknownClearingTextAnsweredError", "w97 7", "ERROR\r\n", 1, {"clear", "cleared"}},
        // A typed text the catalogue knows keeps its entry: reported under its command.
        RawCase{"KnownTextAnsweredError", "w61 5.00", "ERROR\r\n", 1, {"error w61 5.00 45/1"}},
        RawCase{"KnownTextAnsweredOk", "w61 5.00", "OK\r\n", 0, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LaserLink, WarmUpCodeWithLaserOnRequestedStartsTheWarmUpOncePerConnection) {
  connectIdentified();
  peer.respond("w60 1", "OK\r\n");
  peer.respond("r90", "1042\r\n\r\n");
  peer.respond("w97 101", "OK\r\n");
  peer.respond("w60 2", "OK\r\n");
  laser->SetLaserOn(true);
  laser->SendCommand(lcReadErrorCode, 0);
  EXPECT_EQ(line(), "w60 1");
  EXPECT_EQ(line(), "r90");
  EXPECT_EQ(line(), "w97 101");
  EXPECT_EQ(line(), "w60 2");  // the WAIT 50 in between never reaches the line
  ASSERT_TRUE(pumpUntil([&] { return laser->QueuedCommands() == 0; }));
  EXPECT_EQ(laser->ErrorCodes(), std::vector<std::uint16_t>{});  // cleared by the clearing
  EXPECT_TRUE(laser->WarmUpRequired());
  EXPECT_TRUE(saw("errorlist"));

  laser->SetLaserOn(true);
  laser->SendCommand(lcReadErrorCode, 0);
  EXPECT_EQ(line(), "w60 1");
  EXPECT_EQ(line(), "r90");
  ASSERT_TRUE(pumpUntil([&] { return laser->QueuedCommands() == 0; }));
  EXPECT_EQ(laser->ErrorCodes(), std::vector<std::uint16_t>{1042});
  EXPECT_FALSE(line(200));  // not repeated in the same connection
}

TEST_F(LaserLink, CodeListReadCollectsTheCodes) {
  connectIdentified();
  peer.respond("r90", " 12 \r\n1042\r\n80\r\n\r\n");
  laser->SendCommand(lcReadErrorCode, 0);
  ASSERT_TRUE(pumpUntilSeen("errorlist"));
  EXPECT_EQ(laser->ErrorCodes(), (std::vector<std::uint16_t>{12, 1042, 80}));
  EXPECT_EQ(line(), "r90");
  // Not asked to switch on: no automatic warm-up.
  EXPECT_FALSE(line(200));
}

TEST_F(LaserLink, BackgroundReadsFlowAheadOfAWait) {
  connectIdentified();
  peer.respond("r99", "3\r\n");
  peer.respond("r60", "LASER_ON\r\n");
  peer.respond("r61", "10.00 A\r\n");
  laser->BeginBackgroundQueries();
  laser->ReadState();
  laser->ReadStatus();
  laser->EndBackgroundQueries();
  EXPECT_EQ(laser->BkgrndPool().Count(), 2);
  EXPECT_EQ(laser->QueuedCommands(), 0u);  // recorded, not sent

  laser->QueueWait(500);
  laser->ReadCurrent(1);
  ASSERT_TRUE(pumpUntilSeen("current 1 10.00", 5000));
  std::vector<std::string> lines;
  while (auto l = peer.expectLine(0)) lines.push_back(*l);
  const auto r61 = std::find(lines.begin(), lines.end(), "r61");
  ASSERT_NE(r61, lines.end());
  // Several background reads went out during the wait, alternating, before the user command.
  ASSERT_GE(r61 - lines.begin(), 6);
  for (auto it = lines.begin(); it + 1 < r61; ++it) EXPECT_NE(*it, *(it + 1));
  for (auto it = lines.begin(); it < r61; ++it) EXPECT_TRUE(*it == "r99" || *it == "r60");
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "WAIT 500"), 0);
}

// The writer keeps the poller's delay itself: a user command that comes while it waits goes
// out next (at most the background read already on the line is ahead of it), and polling goes
// on after it.
TEST_F(LaserLink, UserCommandDuringThePollingDelayGoesFirst) {
  connectIdentified();
  peer.respond("r99", "3\r\n");
  peer.respond("r61", "10.00 A\r\n");
  laser->BeginBackgroundQueries();
  laser->ReadState();
  laser->EndBackgroundQueries();
  laser->ReadState();  // starts the polling
  for (int i = 0; i < 5; ++i) ASSERT_EQ(line(), "r99");
  pumpUntil([] { return false; }, 5);  // somewhere in a delay or an exchange
  laser->ReadCurrent(1);
  ASSERT_TRUE(pumpUntilSeen("current 1 10.00", 5000));
  std::vector<std::string> lines;
  while (auto l = peer.expectLine(0)) lines.push_back(*l);
  const auto r61 = std::find(lines.begin(), lines.end(), "r61");
  ASSERT_NE(r61, lines.end());
  EXPECT_LE(r61 - lines.begin(), 1);
  EXPECT_EQ(line(), "r99");  // and the polling goes on
}

TEST_F(LaserLink, DisabledPollingFeedsNothingUntilEnabledAgain) {
  connectIdentified();
  peer.respond("r60", "LASER_ON\r\n");
  laser->SetBkQueryEnabled(false);
  laser->BeginBackgroundQueries();
  laser->ReadStatus();
  laser->EndBackgroundQueries();
  laser->ReadState();  // the writer finds the queue empty after this one and kicks the poller
  peer.respond("r99", "3\r\n");
  EXPECT_EQ(line(), "r99");
  EXPECT_FALSE(line(300));
  laser->SetBkQueryEnabled(true);
  laser->ReadState();
  EXPECT_EQ(line(), "r99");
  EXPECT_EQ(line(), "r60");
}

TEST_F(LaserLink, CurrentCountWithSilentFirstBranchFindsBranch2Only) {
  connectIdentified();
  laser->SetAllowedErrors(1);
  peer.respond("r62", "20.00 A\r\n");
  laser->CountCurrents(false);
  EXPECT_TRUE(laser->Detecting());
  ASSERT_TRUE(pumpUntilSeen("currents 4", 5000));  // bit 2
  EXPECT_EQ(laser->CurrentMask(), TBranchMask::Of({2}));
  EXPECT_FALSE(laser->Detecting());
  EXPECT_EQ(line(), "r61");
  EXPECT_EQ(line(), "r62");
  EXPECT_EQ(line(), "r161");
  EXPECT_FALSE(line(100));
  EXPECT_FALSE(saw("timeout r61 5/1"));  // failures during detection are not reported
  EXPECT_EQ(laser->CommandErrors(), 0);
}

TEST_F(LaserLink, CountingTwiceQueuesNothingMore) {
  connectIdentified();
  laser->CountCurrents(false);
  laser->CountCurrents(false);
  EXPECT_EQ(laser->QueuedCommands(), 1u);
}

TEST_F(LaserLink, DetectionRetriesUpToAllowedErrors) {
  connectIdentified();
  laser->SetAllowedErrors(3);
  peer.respond("r61", "ERROR\r\n");
  peer.respond("r62", "ERROR\r\n");
  laser->CountCurrents(false);
  ASSERT_TRUE(pumpUntilSeen("currents 0", 5000));
  std::vector<std::string> lines;
  while (auto l = peer.expectLine(0)) lines.push_back(*l);
  EXPECT_EQ(lines, (std::vector<std::string>{"r61", "r61", "r61", "r62", "r62", "r62"}));
}

TEST_F(LaserLink, PortVanishingMidExchangeDisconnects) {
  connectIdentified();
  laser->ReadStatus();
  laser->ReadState();
  ASSERT_EQ(line(), "r60");
  peer.hangUp();
  ASSERT_TRUE(pumpUntilSeen("disconnect", 5000));
  EXPECT_FALSE(laser->Connected());
  EXPECT_EQ(laser->QueuedCommands(), 0u);
  pumpFor(1000);  // longer than an exchange wait: the lost exchange is not reported
  EXPECT_FALSE(saw("timeout r60 0/0"));
  EXPECT_EQ(laser->LHCSN(), TLaser::kUnknownLHCSN);
}

TEST_F(LaserLink, DestructionWhileConnectedAndBusyReturns) {
  connectIdentified();
  laser->BeginBackgroundQueries();
  laser->ReadState();
  laser->EndBackgroundQueries();
  for (int i = 0; i < 5; ++i) laser->ReadStatus();  // the peer stays silent
  laser->QueueWait(5000);
  ASSERT_EQ(line(), "r60");
  // Unsolicited bytes while nobody runs the hand-overs: the reader blocks in one, the writer
  // sits in its exchange wait. The destructor must still return.
  peer.send("LASER_ON\r\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  laser.reset();
  SUCCEED();
}

TEST_F(LaserLink, BytesWithoutLineEndAreCappedAndTheLinkRecovers) {
  connectIdentified();
  laser->ReadStatus();
  ASSERT_EQ(line(), "r60");
  const std::string junk(4096, 'X');
  for (int i = 0; i < 40; ++i) peer.send(junk);  // 160 KiB without a carriage return
  pumpFor(500);
  EXPECT_LE(laser->ReceivedBytes(), TLaser::kMaxPartialLine + 4096);
  peer.send("\r\nLASER_ON\r\n");
  EXPECT_TRUE(pumpUntilSeen("on"));
}

TEST_F(LaserLink, WaitWithoutAWholeNumberIsNoDelay) {
  connectIdentified();
  const int wait = laser->CommandList().IndexOfCommand(lcWaitBeforeNext, 0);
  laser->Send("WAIT 1.5", wait);
  laser->Send("WAIT", wait);
  laser->ReadStatus();
  EXPECT_EQ(line(), "r60");
  EXPECT_FALSE(laser->Waiting());
}

TEST_F(LaserLink, TypedSetCommandsFormTheirTexts) {
  connectIdentified();
  peer.setResponder([](const std::string& l) -> std::optional<std::string> {
    if (!l.empty() && l[0] == 'w') return std::string("OK\r\n");
    return std::nullopt;
  });
  laser->AddBranchCommands();
  laser->SetCurrent(1, 12.5);
  EXPECT_EQ(line(), "w61 12.50");
  laser->SetTriggerMode(tmExternLVDS, 1);
  EXPECT_EQ(line(), "w71 2");
  laser->SetTriggerMode(tmExternal, 2);
  EXPECT_EQ(line(), "w72 1");
  laser->ReadOvenHeatingValue(2);
  EXPECT_EQ(line(), "w19 1");
  EXPECT_EQ(line(2000), "w19 0");
}

}  // namespace
}  // namespace qv::test
