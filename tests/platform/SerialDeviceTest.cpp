#include "platform/SerialDevice.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <thread>

#include "platform/Clock.h"
#include "support/PtyPeer.h"
#include "support/Wait.h"

namespace qv {
namespace {

TEST(SerialDeviceTest, OpenErrorsAreKeptApart) {
  struct Case {
    int err;
    OpenError kind;
  } cases[] = {{ENOENT, OpenError::NotExists},   {ENODEV, OpenError::NotExists},
               {ENXIO, OpenError::NotExists},    {EBUSY, OpenError::Busy},
               {EWOULDBLOCK, OpenError::Busy},   {EACCES, OpenError::NoPermission},
               {EPERM, OpenError::NoPermission}, {EIO, OpenError::Other},
               {EINVAL, OpenError::Other}};
  for (const auto& c : cases) EXPECT_EQ(openErrorFromErrno(c.err), c.kind) << c.err;
}

TEST(SerialDeviceTest, SecondOpenerIsBusyAndMissingPathNotExists) {
  test::PtyPeer peer;
  SerialDevice first, second, third;
  ASSERT_EQ(first.open(peer.slavePath()), OpenError::None);
  EXPECT_EQ(second.open(peer.slavePath()), OpenError::Busy);
  EXPECT_EQ(third.open("/nonexistent/COM9"), OpenError::NotExists);
  EXPECT_TRUE(first.close());
  EXPECT_EQ(second.open(peer.slavePath()), OpenError::None);  // the exclusive use ended with close
}

class SerialReadTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(dev.open(peer.slavePath()), OpenError::None); }
  test::PtyPeer peer;
  SerialDevice dev;
  SerialOperation op;
  char buf[128] = {};
};

TEST_F(SerialReadTest, ReadEndsWhenTheLineGoesQuietAndOnItsTotalTimeout) {
  // Default time-outs: 1 ms interval, 1 ms per byte. A burst comes back as one chunk, ended by
  // the quiet line rather than by the byte count.
  peer.send("S/N: 7\r");
  ASSERT_TRUE(test::waitUntil([&] { return dev.queuedInput() == 7; }));
  dev.startRead(buf, sizeof buf, op);
  ASSERT_TRUE(op.waitDone(5000));
  EXPECT_EQ(op.status(), IoStatus::Done);
  EXPECT_EQ(std::string(buf, op.bytes()), "S/N: 7\r");
  EXPECT_TRUE(op.event().isSet());

  // Nothing arrives: the total time-out ends the read with no bytes.
  dev.startRead(buf, 4, op);
  EXPECT_FALSE(op.event().isSet());  // starting resets the record's event
  ASSERT_TRUE(op.waitDone(5000));
  EXPECT_EQ(op.status(), IoStatus::Done);
  EXPECT_EQ(op.bytes(), 0u);
}

TEST_F(SerialReadTest, ReadWithoutTotalTimeoutWaitsForAllBytesAndNoWaitReturnsAtOnce) {
  dev.setTimeouts({0, 0, 0, 0, 0});
  dev.startRead(buf, 6, op);
  peer.send("abc");
  peer.sendAfter(30, "def");
  ASSERT_TRUE(op.waitDone(5000));
  EXPECT_EQ(std::string(buf, op.bytes()), "abcdef");

  dev.setTimeouts({kNoWait, 0, 0, 0, 0});
  dev.startRead(buf, 6, op);
  ASSERT_TRUE(op.waitDone(0));
  EXPECT_EQ(op.bytes(), 0u);
}

TEST_F(SerialReadTest, WriteReachesThePeerAndInputWaitCompletesOnInput) {
  std::string text = "r01\r";
  dev.startWrite(text.data(), 4, op);
  text = "xxxx";  // the device keeps its own copy
  ASSERT_TRUE(op.waitDone(5000));
  EXPECT_EQ(op.status(), IoStatus::Done);
  EXPECT_EQ(op.bytes(), 4u);
  EXPECT_EQ(peer.expectLine(), "r01");

  dev.startWaitInput(op);
  EXPECT_FALSE(op.waitDone(20));
  peer.send("OK\r");
  ASSERT_TRUE(op.waitDone(5000));
  EXPECT_EQ(op.status(), IoStatus::Done);
  EXPECT_TRUE(test::waitUntil([&] { return dev.queuedInput() == 3; }));
}

TEST_F(SerialReadTest, CloseCompletesEveryPendingOperationAsAborted) {
  SerialOperation waitOp;
  dev.setTimeouts({0, 0, 0, 0, 0});
  dev.startRead(buf, 10, op);
  dev.startWaitInput(waitOp);
  std::atomic<int> woke{0};
  std::thread reader([&] {
    if (waitForAny({&op.event()}, 10000) == 0) woke++;
  });
  std::thread waiter([&] {
    if (waitForAny({&waitOp.event()}, 10000) == 0) woke++;
  });
  sleepMs(20);
  EXPECT_TRUE(dev.close());
  reader.join();
  waiter.join();
  EXPECT_EQ(woke.load(), 2);
  EXPECT_EQ(op.status(), IoStatus::Aborted);
  EXPECT_EQ(waitOp.status(), IoStatus::Aborted);
  dev.startRead(buf, 10, op);  // closed: completes at once
  EXPECT_EQ(op.status(), IoStatus::Aborted);
}

TEST_F(SerialReadTest, HangUpIsReportedOnceWithoutSpinning) {
  std::atomic<int> lostCalls{0};
  dev.close();
  dev.setLostHandler([&] { lostCalls++; });
  ASSERT_EQ(dev.open(peer.slavePath()), OpenError::None);
  dev.startWaitInput(op);
  peer.hangUp();
  ASSERT_TRUE(op.waitDone(5000));
  EXPECT_EQ(op.status(), IoStatus::Lost);
  EXPECT_TRUE(test::waitUntil([&] { return lostCalls.load() == 1; }));
  EXPECT_TRUE(dev.lost());

  // Later reads and writes end at once; a later input wait parks until close.
  dev.startRead(buf, 10, op);
  EXPECT_EQ(op.status(), IoStatus::Lost);
  dev.startWrite("r01\r", 4, op);
  EXPECT_EQ(op.status(), IoStatus::Lost);
  dev.startWaitInput(op);
  const uint64_t wakeups = dev.ioWakeups();
  sleepMs(100);
  EXPECT_LE(dev.ioWakeups() - wakeups, 2u);
  EXPECT_EQ(op.status(), IoStatus::Pending);
  EXPECT_EQ(lostCalls.load(), 1);
  EXPECT_TRUE(dev.close());
  EXPECT_EQ(op.status(), IoStatus::Aborted);
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

// The reader's own wait on the line: it ends for bytes, for an interruption (also one that came
// before the wait, which is not lost), for a close from another thread and for a hang-up, and
// the I/O thread takes no part in it.
TEST_F(SerialReadTest, WaitOnTheLineEndsForBytesInterruptionsCloseAndHangUp) {
  using W = SerialDevice::InputWait;
  EXPECT_EQ(dev.waitInput(20), W::TimedOut);

  const uint64_t wakeups = dev.ioWakeups();
  std::thread sender([&] {
    sleepMs(30);
    peer.send("LASER_OFF\r\n");
  });
  EXPECT_EQ(dev.waitInput(5000), W::Ready);
  sender.join();
  EXPECT_EQ(dev.ioWakeups(), wakeups);
  ASSERT_TRUE(test::waitUntil([&] { return dev.queuedInput() == 11; }));
  EXPECT_EQ(dev.waitInput(5000), W::Ready);  // bytes still there: at once
  dev.purgeInput();

  dev.interruptInputWait();  // before the wait: the wait still ends
  EXPECT_EQ(dev.waitInput(5000), W::Interrupted);
  EXPECT_EQ(dev.waitInput(20), W::TimedOut);  // and only that one
  std::thread interrupter([&] {
    sleepMs(30);
    dev.interruptInputWait();
  });
  EXPECT_EQ(dev.waitInput(5000), W::Interrupted);
  interrupter.join();

  std::atomic<int> result{-1};
  std::thread waiter([&] { result = static_cast<int>(dev.waitInput(kInfinite)); });
  sleepMs(30);
  EXPECT_TRUE(dev.close());  // returns only once the waiter has left the descriptor
  waiter.join();
  EXPECT_EQ(result.load(), static_cast<int>(W::Closed));
  EXPECT_EQ(dev.waitInput(0), W::Closed);

  std::atomic<int> lostCalls{0};
  dev.setLostHandler([&] { lostCalls++; });
  ASSERT_EQ(dev.open(peer.slavePath()), OpenError::None);
  std::thread hanger([&] {
    sleepMs(30);
    peer.hangUp();
  });
  EXPECT_EQ(dev.waitInput(5000), W::Lost);
  hanger.join();
  EXPECT_TRUE(dev.lost());
  EXPECT_TRUE(test::waitUntil([&] { return lostCalls.load() == 1; }));
  EXPECT_EQ(dev.waitInput(5000), W::Lost);  // at once, not parked
}

}  // namespace
}  // namespace qv
