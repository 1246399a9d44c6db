// A TLaser on COM7 of a temporary ports folder, with a scripted peer on the other end of the
// pseudo-terminal, and a log of the laser's events.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/QVLaser.h"
#include "platform/Clock.h"
#include "support/MainLoop.h"
#include "support/PtyPeer.h"
#include "support/TempDir.h"

namespace qv::test {

// Runs the main thread's hand-overs for ms milliseconds (to see that something does not happen).
inline void pumpFor(int ms) {
  pumpUntil([] { return false; }, ms);
}

class LaserPeerTest : public ::testing::Test {
 protected:
  static constexpr int kPort = 7;

  void SetUp() override {
    peer.linkAs(ports.path(), kPort);
    laser = std::make_unique<TLaser>();
    laser->SetPort(kPort);
    hook(*laser);
  }

  // Records the events and does what the console does on connection: build the catalogue for
  // the generation known at that moment.
  void hook(TLaser& l) {
    l.OnConnect = [this, &l](TObject*) {
      log("connect");
      l.BuildCommandCatalogue();
    };
    l.OnDisconnect = [this](TObject*) { log("disconnect"); };
    l.OnConnectFail = [this](TObject*) { log("connectfail"); };
    l.OnConnectLaserFail = [this](TObject*) { log("laserfail"); };
    l.OnLaserConnected = [this, &l](TObject*) {
      log("connected");
      l.BuildCommandCatalogue();
    };
    l.OnCommandTimeout = [this](TLaser&, TLaserCommand c, std::uint8_t s, const std::string& t) {
      log("timeout " + t + " " + std::to_string(c) + "/" + std::to_string(s));
    };
    l.OnCommandError = [this](TLaser&, TLaserCommand c, std::uint8_t s, const std::string& t) {
      log("error " + t + " " + std::to_string(c) + "/" + std::to_string(s));
    };
    l.OnCurrent = [this](TLaser&, std::uint8_t b, double v) {
      char buf[64];
      std::snprintf(buf, sizeof buf, "current %d %.2f", b, v);
      log(buf);
    };
    l.OnLaserON = [this](TLaser&, bool on) { log(on ? "on" : "off"); };
    l.OnReset = [this](TObject*) { log("reset"); };
    l.OnReseted = [this](TObject*) { log("reseted"); };
    l.OnClearError = [this](TObject*) { log("clear"); };
    l.OnClearedError = [this](TObject*) { log("cleared"); };
    l.OnLaserError = [this](TObject*) { log("errorlist"); };
    l.OnCurrentCounted = [this](TLaser&, TBranchMask m) {
      log("currents " + std::to_string(m.Bits));
    };
    l.OnSend = [this](TLaser&, const std::string& t) { sent.push_back(t); };
  }

  void log(const std::string& e) { events.push_back(e); }
  int count(const std::string& e) const {
    int n = 0;
    for (const auto& x : events) n += x == e;
    return n;
  }
  bool saw(const std::string& e) const { return count(e) > 0; }
  // The next line the peer received, waiting up to ms while running the hand-overs.
  std::optional<std::string> line(int ms = 5000) {
    std::optional<std::string> got;
    pumpUntil([&] { return (got = peer.expectLine(0)).has_value(); }, ms);
    return got;
  }
  bool pumpUntilSeen(const std::string& e, int ms = 5000) {
    return pumpUntil([&] { return saw(e); }, ms);
  }

  // A generation-3 laser that answers identification: SN 1234, head serial `head`.
  void answerIdentification(const std::string& head = "1234") {
    peer.respond("r01", "S/N: 1234\r\n");
    peer.respond("r02", "S/N LASER-HEAD: " + head + "\r\n");
    peer.respond("r12", "VERSION: 3.1, 12.05.2021\r\n");
  }
  // Connects and waits until identification has ended and the firmware version was read.
  void connectIdentified() {
    answerIdentification();
    ASSERT_TRUE(laser->Connect());
    ASSERT_TRUE(pumpUntil([&] { return laser->FirmwareVersion().Year == 2021; }));
    ASSERT_FALSE(laser->Connecting());
    ASSERT_TRUE(pumpUntil([&] { return laser->QueuedCommands() == 0; }));
    while (peer.expectLine(0)) {
    }
  }

  // Declared so that the laser goes first: its destructor still raises OnDisconnect.
  PortsDir ports;
  PtyPeer peer;
  std::vector<std::string> events;
  std::vector<std::string> sent;
  std::unique_ptr<TLaser> laser;
};

}  // namespace qv::test
