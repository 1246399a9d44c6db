#include "platform/Event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace qv {
namespace {

TEST(EventTest, ManualStaysSetAutoReleasesOneWait) {
  Event manual(Event::Reset::Manual);
  EXPECT_FALSE(manual.wait(0));
  manual.set();
  EXPECT_TRUE(manual.wait(0));
  EXPECT_TRUE(manual.wait(10));
  manual.reset();
  EXPECT_FALSE(manual.wait(5));

  Event autoReset(Event::Reset::Auto, true);
  EXPECT_TRUE(autoReset.wait(0));
  EXPECT_FALSE(autoReset.wait(5));
}

TEST(EventTest, WaitForAnyReportsFirstSetAndConsumesOnlyIt) {
  Event a(Event::Reset::Auto), b(Event::Reset::Auto), m(Event::Reset::Manual);
  EXPECT_EQ(waitForAny({&a, &b, &m}, 5), -1);
  b.set();
  m.set();
  EXPECT_EQ(waitForAny({&a, &b, &m}, 0), 1);
  EXPECT_EQ(waitForAny({&a, &b, &m}, 0), 2);  // b consumed, m still set
  EXPECT_EQ(waitForAny({&a, &b, &m}, 0), 2);
}

TEST(EventTest, WaitForAnyWakesOnSetFromAnotherThread) {
  Event never, wake(Event::Reset::Manual);
  std::thread t([&] { wake.set(); });
  EXPECT_EQ(waitForAny({&never, &wake}, kInfinite), 1);
  t.join();
}

// Two threads hand a token back and forth through auto-reset events, each waiting among others:
// a lost or doubled wake-up stops the exchange or breaks the count.
TEST(EventTest, PingPongLosesNoWakeUp) {
  constexpr int kRounds = 2000;
  Event ping(Event::Reset::Auto), pong(Event::Reset::Auto), idle(Event::Reset::Manual);
  std::atomic<int> seen{0};
  std::thread other([&] {
    for (int i = 0; i < kRounds; ++i) {
      if (waitForAny({&idle, &ping}, 10000) != 1) return;
      seen.fetch_add(1);
      pong.set();
    }
  });
  for (int i = 0; i < kRounds; ++i) {
    ping.set();
    ASSERT_TRUE(i % 2 ? pong.wait(10000) : waitForAny({&idle, &pong}, 10000) == 1) << "round " << i;
  }
  other.join();
  EXPECT_EQ(seen.load(), kRounds);
  EXPECT_FALSE(ping.isSet());
  EXPECT_FALSE(pong.isSet());
}

}  // namespace
}  // namespace qv
