#include "console/LaserStatus.h"

#include <gtest/gtest.h>

namespace {

TQVLaserStatus set(std::initializer_list<TQVLaserStatusItem> items) {
  TQVLaserStatus s;
  for (auto i : items) s.Include(i);
  return s;
}

struct StateCase {
  uint32_t state;
  bool codes;
  TQVLaserStatus expected;
  int symbol;
  int caption;
  const char* button;  // with a laser that needs a warm-up
  bool badge;
};

class StatusTable : public testing::TestWithParam<StateCase> {};

TEST_P(StatusTable, SetAndDisplay) {
  const StateCase& c = GetParam();
  const TQVLaserStatus s = StatusFromState(c.state, c.codes);
  EXPECT_EQ(LaserStatusNames(s), LaserStatusNames(c.expected));
  TStatusDisplay d;
  d.symbolHint = "old list";
  const TStatusChange change = ApplyStatus(d, TQVLaserStatus{}, s, /*warmUpRequired=*/true);
  EXPECT_TRUE(change.changed);
  EXPECT_EQ(d.symbol, c.symbol);
  EXPECT_EQ(d.caption, c.caption);
  EXPECT_EQ(d.laserOnCaption, c.button);
  EXPECT_EQ(d.badgeVisible, c.badge);
}

INSTANTIATE_TEST_SUITE_P(
    States, StatusTable,
    testing::Values(
        StateCase{0, false, set({lsPSConnected, lsError}), 1, -1, "Warm Up", false},
        StateCase{1, false, set({lsPSConnected}), 0, -1, "Warm Up", false},
        StateCase{1, true, set({lsPSConnected, lsError}), 1, -1, "Warm Up", false},
        StateCase{2, false, set({lsPSConnected, lsHeadConnected}), 0, -1, "Warm Up", false},
        StateCase{8003, false, set({lsPSConnected, lsHeadConnected, lsLaserOn, lsWarning}), 1, 0,
                  "Laser On", true},
        StateCase{16386, false, set({lsPSConnected, lsHeadConnected, lsWarmingUp}), 1, 1,
                  "Warm Up", false},
        StateCase{32770, false, set({lsPSConnected, lsHeadConnected, lsWarmedUp}), 1, 2,
                  "Laser On", false},
        // Warm-up bits take the laser-on element away.
        StateCase{16387, false, set({lsPSConnected, lsHeadConnected, lsWarmingUp}), 1, 1,
                  "Warm Up", false}));

TEST(StatusDisplay, ErrorStateKeepsListAndLaserOnKeepsButton) {
  TStatusDisplay d;
  d.symbolHint = "Laser error list";
  d.caption = kCaptionWarmedUp;
  ApplyStatus(d, TQVLaserStatus{}, set({lsPSConnected, lsError}), false);
  EXPECT_EQ(d.symbolHint, "Laser error list");
  EXPECT_EQ(d.caption, kCaptionWarmedUp);

  d.laserOnCaption = kWarmUpCaption;
  ApplyStatus(d, set({lsPSConnected, lsError}), set({lsPSConnected, lsHeadConnected, lsLaserOn}),
              false);
  EXPECT_EQ(d.laserOnCaption, kWarmUpCaption);
  EXPECT_TRUE(d.symbolHint.empty());
}

TEST(StatusDisplay, DismissalsNeedTheHead) {
  TStatusDisplay d;
  const auto error = set({lsPSConnected, lsError, lsWarning});
  auto c = ApplyStatus(d, error, set({lsPSConnected, lsHeadConnected}), false);
  EXPECT_TRUE(c.errorDismissed);
  EXPECT_TRUE(c.warningDismissed);
  c = ApplyStatus(d, error, set({lsPSConnected}), false);
  EXPECT_FALSE(c.errorDismissed);
  EXPECT_FALSE(c.warningDismissed);
  // The same set again changes nothing.
  d.badgeHint = "kept";
  c = ApplyStatus(d, error, error, false);
  EXPECT_FALSE(c.changed);
  EXPECT_EQ(d.badgeHint, "kept");
}

TEST(StatusDisplay, OnOffWhileWarmingUpIsNotPassedOn) {
  TStatusDisplay d;
  EXPECT_FALSE(ApplyOnOff(d, set({lsPSConnected, lsHeadConnected, lsWarmingUp}), true, true));
  EXPECT_EQ(d.caption, kCaptionWarmingUp);
  EXPECT_TRUE(ApplyOnOff(d, set({lsPSConnected, lsHeadConnected}), true, true));
  EXPECT_EQ(d.caption, kCaptionLaserOn);
  EXPECT_TRUE(ApplyOnOff(d, set({lsPSConnected, lsHeadConnected}), false, true));
  EXPECT_EQ(d.symbol, kSymbolIdle);
  EXPECT_EQ(d.caption, kCaptionNone);
  d.symbol = kSymbolError;
  d.symbolHint = "list";
  EXPECT_TRUE(ApplyOnOff(d, set({lsPSConnected, lsError}), false, false));
  EXPECT_EQ(d.symbol, kSymbolError);
  EXPECT_EQ(d.symbolHint, "list");
}

}  // namespace
