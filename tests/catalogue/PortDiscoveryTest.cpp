#include "catalogue/PortDiscovery.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <thread>

#include "platform/PortMap.h"
#include "platform/SerialDevice.h"
#include "support/Wait.h"
#include "support/PtyPeer.h"
#include "support/TempDir.h"

namespace {

std::vector<std::string> texts(const TSerialPortItems& items) {
  std::vector<std::string> out;
  for (const auto& i : items) out.push_back(i.Text);
  return out;
}

TEST(PortDiscoveryTest, NamesAreSortedByNumberAndFilteredToCom) {
  qv::test::PortsDir ports;  // every name below is missing there, so probes say so
  TSerialPortItems items{{"stale", 1}};
  std::vector<std::string> names{"COM10", "COM3", "ttyX", "COMX", "com4", "COM3"};
  EXPECT_TRUE(ListSerialPortNames(items, names, "no", ""));
  EXPECT_EQ(texts(items),
            (std::vector<std::string>{"COMX - Not exists", "COM3 - Not exists", "COM3 - Not exists",
                                      "com4 - Not exists", "COM10 - Not exists"}));
  EXPECT_EQ(items[0].Number, 0);
  EXPECT_EQ(items[4].Number, 10);
}

TEST(PortDiscoveryTest, FallbackAndEmptyMap) {
  qv::test::PortsDir ports;
  TSerialPortItems items;
  EXPECT_TRUE(ListSerialPorts(items, "no", ""));
  ASSERT_EQ(texts(items), std::vector<std::string>{"No serial port present"});
  EXPECT_FALSE(items[0].Number.has_value());

  ::setenv("QVLASER_PORTS_DIR", (ports.path() + "/missing").c_str(), 1);  // cannot be listed
  EXPECT_FALSE(ListSerialPorts(items, "no", ""));
  EXPECT_EQ(texts(items), (std::vector<std::string>{"COM1", "COM2", "COM3", "COM4"}));
  EXPECT_FALSE(items[0].Number.has_value());
}

TEST(PortDiscoveryTest, ReadsTheSerialNumberOutOfAReply) {
  struct Case {
    const char* reply;
    std::optional<int> serial;
  } cases[] = {
      {"S/N: 1234\r", 1234},
      {"S/N:7\r\n", 7},
      {"X S/N: \t42 \r", 42},
      {"S/N: 7", 7},
      {"OK\r", std::nullopt},
      {"S/N: abc\r", std::nullopt},
      {"S/N: 12ab\r", std::nullopt},
      {"S/N: \r", std::nullopt},
      {"S/N: 99999999999\r", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseProbeSerial(c.reply), c.serial) << c.reply;
}

// What the probe writes a peer sees, and what each kind of answer makes of the item. Cases where
// an answer is expected give it a generous deadline, so that a slow machine does not decide them;
// the probe still ends as soon as a whole line is in.
struct ProbeCase {
  const char* name;
  const char* reply;  // nullptr: silent
  int delayMs;
  int deadlineMs;
  const char* expected;
};

class ProbeTest : public ::testing::TestWithParam<ProbeCase> {};

TEST_P(ProbeTest, LabelsThePortByItsAnswer) {
  const ProbeCase& c = GetParam();
  qv::test::PortsDir ports;
  qv::test::PtyPeer peer;
  peer.linkAs(ports.path(), 3);
  if (c.reply) peer.respond("r01", c.reply, c.delayMs);
  TSerialPortItems items{{"COM3", 3}};
  ProbeSerialPorts(items, "no", "", c.deadlineMs);
  EXPECT_EQ(texts(items), std::vector<std::string>{c.expected});
  EXPECT_EQ(peer.readWritten(4), "r01\r");
  termios tio = peer.slaveTermios();
  EXPECT_EQ(cfgetospeed(&tio), B57600);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ProbeTest,
    ::testing::Values(ProbeCase{"SerialSeven", "S/N: 7\r", 0, 5000, "COM3 - SN0007"},
                      ProbeCase{"SerialFourDigits", "S/N: 1234\r\n", 0, 5000, "COM3 - SN1234"},
                      ProbeCase{"AfterAFewReads", "S/N: 42\r", 30, 5000, "COM3 - SN0042"},
                      ProbeCase{"NoLineEnd", "S/N: 12", 0, kProbeReadDeadlineMs, "COM3"},
                      ProbeCase{"OtherAnswer", "OK\r", 0, 5000, "COM3"},
                      ProbeCase{"NotANumber", "S/N: A17\r", 0, 5000, "COM3"},
                      ProbeCase{"TooLate", "S/N: 7\r", 300, kProbeReadDeadlineMs, "COM3"},
                      ProbeCase{"Silent", nullptr, 0, kProbeReadDeadlineMs, "COM3"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PortDiscoveryTest, ListingProbesEveryListedPort) {
  qv::test::PortsDir ports;
  qv::test::PtyPeer a, b;
  a.linkAs(ports.path(), 10);
  b.linkAs(ports.path(), 9);
  a.respond("r01", "S/N: 10\r");
  b.respond("r01", "S/N: 9\r");
  TSerialPortItems items;
  ASSERT_TRUE(ListSerialPorts(items, "no", ""));
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].Number, 9);
  EXPECT_EQ(a.readWritten(4), "r01\r");
  EXPECT_EQ(b.readWritten(4), "r01\r");
}

TEST(PortDiscoveryTest, BusyMissingAndCurrentPortsAreNotProbed) {
  qv::test::PortsDir ports;
  qv::test::PtyPeer held, current;
  held.linkAs(ports.path(), 2);
  current.linkAs(ports.path(), 3);
  ports.linkDangling(4);
  qv::SerialDevice holder;
  ASSERT_EQ(holder.open(qv::devicePathForPort(2)), qv::OpenError::None);
  TSerialPortItems items;
  ASSERT_TRUE(ListSerialPorts(items, "COM3", "SN0042 *"));
  EXPECT_EQ(texts(items),
            (std::vector<std::string>{"COM2 - Busy", "COM3 - SN0042 *", "COM4 - Not exists"}));
  EXPECT_EQ(held.allReceived(), "");
  EXPECT_EQ(current.allReceived(), "");
  // Every port the probe opened is closed again.
  qv::SerialDevice again;
  EXPECT_EQ(again.open(qv::devicePathForPort(3)), qv::OpenError::None);
}

TEST(PortDiscoveryTest, APeerThatHangsUpMidProbeLeavesThePlainName) {
  qv::test::PortsDir ports;
  qv::test::PtyPeer peer;
  peer.linkAs(ports.path(), 6);
  std::thread vanish([&] {
    if (peer.expectLine()) peer.hangUp();
  });
  TSerialPortItems items{{"COM6", 6}};
  ProbeSerialPorts(items, "no", "");
  vanish.join();
  EXPECT_EQ(texts(items), std::vector<std::string>{"COM6"});
  // Once the line is gone for good, its link dangles.
  ASSERT_TRUE(qv::test::waitUntil([&] { return !std::filesystem::exists(peer.slavePath()); }));
  ProbeSerialPorts(items, "no", "");
  EXPECT_EQ(texts(items), std::vector<std::string>{"COM6 - Not exists"});
}

}  // namespace
