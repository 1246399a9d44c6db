#include "console/InfoPanelSlider.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The counter ticks in milliseconds here; the panels are 417 pixels wide.
constexpr int kWidth = 417;
constexpr int64_t kMsTicks = 1000;

struct Step {
  enum Kind { Press, Move, Release, PressRight, ReleaseRight } kind;
  int x = 0;
  int64_t t = 0;  // ms, press and release
};

struct SlideCase {
  const char* name;
  int startOffset;  // reached by a slow drag first (0: none)
  std::vector<Step> steps;
  bool clickNotDrag;
  int glideStep;    // step of the glide the release started (0: none)
  int finalOffset;  // after the glide
};

// Brings the panels to d by a slow drag to the left that ends in place (no glide needed when d
// is 0 or W; otherwise the test case's own release decides).
void dragTo(TInfoPanelSlider& s, int d) {
  if (d == 0) return;
  s.Press(true, 1000, 0);
  s.Move(1000 - d);
  s.Release(true, 1000 - d, 100000);
  while (s.GlideStep()) {
  }
}

void PrintTo(const SlideCase& c, std::ostream* os) {
  *os << c.name;
}

class Slide : public testing::TestWithParam<SlideCase> {};

TEST_P(Slide, Gesture) {
  const SlideCase& c = GetParam();
  TInfoPanelSlider s(kWidth, kMsTicks);
  s.SetLimitsVisible(true);
  dragTo(s, c.startOffset);
  for (const Step& st : c.steps) {
    switch (st.kind) {
      case Step::Press:
        s.Press(true, st.x, st.t);
        break;
      case Step::PressRight:
        s.Press(false, st.x, st.t);
        break;
      case Step::Move:
        s.Move(st.x);
        break;
      case Step::Release:
        s.Release(true, st.x, st.t);
        break;
      case Step::ReleaseRight:
        s.Release(false, st.x, st.t);
        break;
    }
  }
  EXPECT_EQ(s.ClickNotDrag(), c.clickNotDrag);
  EXPECT_EQ(s.Gliding() ? s.LastGlideStep() : 0, c.glideStep);
  std::vector<int> path;
  while (s.GlideStep()) path.push_back(s.Offset());
  EXPECT_EQ(s.Offset(), c.finalOffset);
  EXPECT_FALSE(s.Dragging());
  for (size_t i = 1; i < path.size(); ++i) {
    EXPECT_LE(std::abs(path[i] - path[i - 1]), std::abs(c.glideStep));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Presses, Slide,
    testing::Values(
        // 300 px to the left in 3 s (100 px/s): a snap toward the limits panel in steps of 20.
        SlideCase{"SlowDragPastHalfSnapsToLimits",
                  0,
                  {{Step::Press, 1000, 0},
                   {Step::Move, 850},
                   {Step::Move, 700},
                   {Step::Release, 700, 3000}},
                  false,
                  20,
                  kWidth},
        // 150 px: back to the regular panel.
        SlideCase{"SlowDragBelowHalfSlidesBack",
                  0,
                  {{Step::Press, 1000, 0}, {Step::Move, 850}, {Step::Release, 850, 3000}},
                  false,
                  -20,
                  0},
        // Exactly half (208 = 417 / 2 by integer halving) is not more than half.
        SlideCase{"HalfIsNotMoreThanHalf",
                  0,
                  {{Step::Press, 1000, 0}, {Step::Move, 792}, {Step::Release, 792, 5000}},
                  false,
                  -20,
                  0},
        // A flick to the right from the limits panel: 50 px in 50 ms = 1000 px/s, so the fling
        // step is 1000 * 10 * 2 / -1000 = -20.
        SlideCase{"FlickRightReturnsToRegular",
                  kWidth,
                  {{Step::Press, 500, 0}, {Step::Move, 550}, {Step::Release, 550, 50}},
                  false,
                  -20,
                  0},
        // A flick to the left from the regular panel: 30 px in 10 ms = 3000 px/s, step +60.
        SlideCase{"FlickLeftBringsLimits",
                  0,
                  {{Step::Press, 500, 0}, {Step::Move, 470}, {Step::Release, 470, 10}},
                  false,
                  60,
                  kWidth},
        // A press without movement is a click; from an end position nothing moves.
        SlideCase{
            "ClickDoesNotMove", 0, {{Step::Press, 500, 0}, {Step::Release, 500, 120}}, true, 0, 0},
        // A fast release after no movement at the limits end: nothing moves either.
        SlideCase{"ClickOnLimitsStays",
                  kWidth,
                  {{Step::Press, 500, 0}, {Step::Move, 500}, {Step::Release, 500, 1}},
                  true,
                  0,
                  kWidth},
        // Dragging right while the regular panel is home: clamped, but it was a drag.
        SlideCase{"DragPastTheEndIsClamped",
                  0,
                  {{Step::Press, 500, 0}, {Step::Move, 600}, {Step::Release, 600, 4000}},
                  false,
                  0,
                  0},
        // The right button starts nothing and a later move does nothing.
        SlideCase{"RightButtonIgnored",
                  0,
                  {{Step::PressRight, 500, 0}, {Step::Move, 300}, {Step::ReleaseRight, 300, 10}},
                  true,
                  0,
                  0}),
    [](const testing::TestParamInfo<SlideCase>& i) { return std::string(i.param.name); });

TEST(InfoPanelSlider, HiddenLimitsPanelIgnoresTheGesture) {
  TInfoPanelSlider s(kWidth, kMsTicks);
  EXPECT_FALSE(s.Press(true, 500, 0));
  EXPECT_FALSE(s.Move(100));
  s.Release(true, 100, 10);
  EXPECT_EQ(s.Offset(), 0);
  EXPECT_TRUE(s.ClickNotDrag());
  EXPECT_FALSE(s.Gliding());
}

TEST(InfoPanelSlider, PressDuringAGlideStartsFromWhereItIs) {
  TInfoPanelSlider s(kWidth, kMsTicks);
  s.SetLimitsVisible(true);
  s.Press(true, 1000, 0);
  s.Move(700);
  s.Release(true, 700, 3000);
  ASSERT_TRUE(s.GlideStep());
  EXPECT_EQ(s.Offset(), 320);
  s.Press(true, 400, 4000);
  EXPECT_FALSE(s.Gliding());
  EXPECT_FALSE(s.GlideStep());
  EXPECT_EQ(s.Offset(), 320);
  s.Move(450);
  EXPECT_EQ(s.Offset(), 270);
}

TEST(InfoPanelSlider, ResetReturnsHome) {
  TInfoPanelSlider s(kWidth, kMsTicks);
  s.SetLimitsVisible(true);
  s.Press(true, 1000, 0);
  s.Move(700);
  s.Reset();
  EXPECT_EQ(s.Offset(), 0);
  EXPECT_FALSE(s.Dragging());
}

// Release at the very tick of the press: no division by zero, a snap.
TEST(InfoPanelSlider, ReleaseInTheSameTickSnaps) {
  TInfoPanelSlider s(kWidth, kMsTicks);
  s.SetLimitsVisible(true);
  s.Press(true, 1000, 5);
  s.Move(700);
  s.Release(true, 700, 5);
  EXPECT_EQ(s.LastSpeed(), 0);
  EXPECT_EQ(s.LastGlideStep(), 20);
}

}  // namespace
