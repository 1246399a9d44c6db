#include "link/ComPort.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/Clock.h"
#include "support/MainLoop.h"
#include "support/PtyPeer.h"
#include "support/TempDir.h"

namespace {

// A port under test on COM5 (and a second peer on COM12), counting its events.
class ComPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    peer.linkAs(ports.path(), 5);
    other.linkAs(ports.path(), 12);
    port.SetPort(5);
    port.OnConnect = [this](TObject* s) {
      EXPECT_EQ(s, &port);
      connects++;
    };
    port.OnDisconnect = [this](TObject*) { disconnects++; };
  }

  qv::test::PortsDir ports;
  qv::test::PtyPeer peer, other;
  TComPort port;
  int connects = 0, disconnects = 0;
};

TEST_F(ComPortTest, OpenSetsRaw57600EightNoneOne) {
  ASSERT_TRUE(port.Open());
  EXPECT_TRUE(port.Connected());
  EXPECT_EQ(port.LastOpenError(), qv::OpenError::None);
  termios tio = peer.slaveTermios();
  EXPECT_EQ(cfgetospeed(&tio), B57600);
  EXPECT_EQ(cfgetispeed(&tio), B57600);
  EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(tio.c_cflag & PARENB, 0u);
  EXPECT_EQ(tio.c_cflag & CSTOPB, 0u);
  EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);
}

TEST_F(ComPortTest, EventsFireOncePerRealTransition) {
  EXPECT_TRUE(port.Close());  // closed already: nothing happens
  EXPECT_EQ(disconnects, 0);
  ASSERT_TRUE(port.Open());
  EXPECT_TRUE(port.Open());  // open already: no reopen
  EXPECT_EQ(connects, 1);
  port.SetPort(5);  // same value
  EXPECT_EQ(connects, 1);
  EXPECT_EQ(disconnects, 0);

  port.SetPort(12);  // another port while open: close, then reopen there
  EXPECT_EQ(disconnects, 1);
  EXPECT_EQ(connects, 2);
  EXPECT_TRUE(port.Connected());
  EXPECT_EQ(port.DevicePath(), ports.path() + "/COM12");
  termios tio = other.slaveTermios();
  EXPECT_EQ(cfgetospeed(&tio), B57600);

  port.SetConnected(false);
  EXPECT_EQ(disconnects, 2);
  port.SetConnected(false);
  EXPECT_EQ(disconnects, 2);
  port.SetPort(300);  // outside 1..256: ignored
  EXPECT_EQ(port.Port(), 12);
}

// A pseudo-terminal keeps 8 data bits without parity whatever is asked, so the stop bits carry
// the settings that are visible at the other end.
TEST_F(ComPortTest, LineSettingsWhileClosedReachTheDriverAtOpen) {
  port.SetStopBits(sb2);
  port.SetParity(TParity::Even);
  EXPECT_EQ(port.StopBits(), sb2);
  EXPECT_EQ(port.Parity(), TParity::Even);
  EXPECT_EQ(peer.slaveTermios().c_cflag & CSTOPB, static_cast<tcflag_t>(CSTOPB));  // the peer's own
  ASSERT_TRUE(port.Open());
  EXPECT_NE(peer.slaveTermios().c_cflag & CSTOPB, 0u);

  // While open a change goes to the driver at once; one it refuses leaves the property alone.
  port.SetStopBits(sb1);
  EXPECT_EQ(peer.slaveTermios().c_cflag & CSTOPB, 0u);
  port.SetStopBits(sb1_5);
  EXPECT_EQ(port.StopBits(), sb1);
  port.SetByteSize(9);
  EXPECT_EQ(port.ByteSize(), 8);
  port.SetByteSize(7);  // a pseudo-terminal refuses a change of the data bits alone
  EXPECT_EQ(port.ByteSize(), 8);
  port.Close();
  port.SetByteSize(7);  // closed: only stored
  EXPECT_EQ(port.ByteSize(), 7);
}

TEST_F(ComPortTest, FailedOpensTellWhy) {
  TComPort second;
  second.SetPort(5);
  ASSERT_TRUE(port.Open());
  EXPECT_FALSE(second.Open());
  EXPECT_FALSE(second.Connected());
  EXPECT_EQ(second.LastOpenError(), qv::OpenError::Busy);

  ports.linkDangling(7);
  second.SetPort(7);
  EXPECT_FALSE(second.Open());
  EXPECT_EQ(second.LastOpenError(), qv::OpenError::NotExists);

  second.SetPort(200);  // no link, and the machine's table is out of bounds here
  EXPECT_FALSE(second.Open());
  EXPECT_EQ(second.LastOpenError(), qv::OpenError::NotExists);

  // A refused permission always gets a line, even when the device cannot be looked at.
  EXPECT_FALSE(OpenFailureHint(qv::OpenError::NoPermission, "/nonexistent/tty").empty());
  EXPECT_TRUE(OpenFailureHint(qv::OpenError::Busy, "/dev/null").empty());
}

TEST_F(ComPortTest, WritesTextAndReadsTheAnswerThroughTheRecord) {
  ASSERT_TRUE(port.Open());
  auto ov = CreateOverlapped();
  port.WriteText("r01\r", *ov);
  ASSERT_TRUE(ov->event().wait(5000));
  EXPECT_EQ(peer.expectLine(), "r01");

  peer.send("S/N: 7\r");
  ov->event().reset();
  port.WaitForInput(*ov);
  ASSERT_TRUE(ov->event().wait(5000));
  EXPECT_TRUE(qv::test::waitUntil([&] { return port.QueuedBytes() == 7; }));
  char buf[128];
  port.Read(buf, sizeof buf, *ov);
  uint32_t n = 0;
  ASSERT_TRUE(port.GetOverlappedResult(*ov, n, true));
  EXPECT_EQ(std::string(buf, n), "S/N: 7\r");
  FreeOverlapped(ov);
  EXPECT_EQ(ov, nullptr);

  port.Close();  // on a closed port these do nothing
  TOverlapped idle;
  port.WriteText("r01\r", idle);
  EXPECT_EQ(idle.status(), qv::IoStatus::Idle);
}

TEST_F(ComPortTest, CloseWakesBlockedReaderAndWriterThreads) {
  ASSERT_TRUE(port.Open());
  port.SetReadTotalTimeoutMultiplier(0);  // reads without a total limit block until data or close
  std::atomic<int> woke{0}, started{0};
  auto blocked = [&](bool read) {
    TOverlapped ov;
    qv::Event never;
    char buf[128];
    if (read) {
      port.Read(buf, sizeof buf, ov);
    } else {
      port.WaitForInput(ov);
    }
    started++;
    if (qv::waitForAny({&ov.event(), &never}, 20000) == 0) woke++;
  };
  std::thread reader(blocked, true), waiter(blocked, false);
  ASSERT_TRUE(qv::test::waitUntil([&] { return started.load() == 2; }));
  qv::sleepMs(10);
  EXPECT_TRUE(port.Close());
  EXPECT_TRUE(port.AbortEvent.isSet());
  reader.join();
  waiter.join();
  EXPECT_EQ(woke.load(), 2);
  ASSERT_TRUE(port.Open());
  EXPECT_FALSE(port.AbortEvent.isSet());
}

TEST_F(ComPortTest, HangUpIsReportedAsLostAndTheOpenPortStillCloses) {
  std::atomic<int> lost{0};
  port.OnPortLost = [&](TObject*) { lost++; };
  ASSERT_TRUE(port.Open());
  TOverlapped ov;
  port.WaitForInput(ov);
  peer.hangUp();
  ASSERT_TRUE(ov.waitDone(5000));
  EXPECT_EQ(ov.status(), qv::IoStatus::Lost);
  EXPECT_TRUE(qv::test::waitUntil([&] { return lost.load() == 1; }));
  EXPECT_TRUE(port.Lost());
  EXPECT_TRUE(port.Connected());
  EXPECT_TRUE(port.Close());
  EXPECT_EQ(disconnects, 1);
  EXPECT_EQ(lost.load(), 1);
}

}  // namespace
