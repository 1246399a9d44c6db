#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "link/QVUtils.h"
#include "ui/MainThreadBridge.h"
#include "widgets/GraphicsEx.h"

namespace {

// Pictures of a given size; their looks do not matter here.
std::unique_ptr<TImageList> listOf(int count, int w = 16, int h = 16) {
  auto list = std::make_unique<TImageList>(w, h);
  for (int i = 0; i < count; ++i) list->add([](QPainter&, const QSize&) {});
  return list;
}

bool blinkTimerRunning() {
  TBlinkingTimer* driver = ExistingBlinkingTimer();
  return driver && driver->timer();
}

struct PlacementCase {
  QSize control;
  TImageAlignment alignment;
  TImageLayout layout;
  QPoint expected;
};

void PrintTo(const PlacementCase& c, std::ostream* os) {
  *os << c.control.width() << "x" << c.control.height() << " -> " << c.expected.x() << ","
      << c.expected.y();
}

std::string placementName(const testing::TestParamInfo<PlacementCase>& info) {
  static const char* const horizontal[] = {"Left", "Right", "Center"};
  static const char* const vertical[] = {"Top", "Center", "Bottom"};
  const PlacementCase& c = info.param;
  return std::to_string(c.control.width()) + "x" + std::to_string(c.control.height()) +
         horizontal[c.alignment] + vertical[c.layout];
}

class ImagePlacement : public testing::TestWithParam<PlacementCase> {};

TEST_P(ImagePlacement, PlacesTheImageByAlignmentAndLayout) {
  const PlacementCase& c = GetParam();
  auto list = listOf(2);
  TImageEx image;
  image.setImages(list.get());
  image.resize(c.control);
  image.setAlignment(c.alignment);
  image.setImageLayout(c.layout);
  image.setImageIndex(1);
  ASSERT_TRUE(image.imagePosition().has_value());
  EXPECT_EQ(*image.imagePosition(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ImagePlacement,
    testing::Values(PlacementCase{{24, 24}, iaCenter, ilCenter, {4, 4}},
                    PlacementCase{{24, 24}, iaRight, ilBottom, {8, 8}},
                    PlacementCase{{24, 24}, iaLeft, ilTop, {0, 0}},
                    // Larger than the control: centred by division toward zero, then clipped.
                    PlacementCase{{10, 24}, iaCenter, ilCenter, {-3, 4}},
                    PlacementCase{{10, 11}, iaRight, ilBottom, {-6, -5}}),
    placementName);

TEST(ImageEx, AnIndexOutsideTheListOrNoListDrawsNothing) {
  auto list = listOf(5);
  TImageEx image;
  image.resize(24, 24);
  image.setImageIndex(4);
  EXPECT_FALSE(image.imagePosition()) << "no list";
  image.setImages(list.get());
  EXPECT_TRUE(image.imagePosition());
  for (int index : {5, -1, 100}) {
    image.setImageIndex(index);
    EXPECT_FALSE(image.imagePosition()) << index;
  }
}

TEST(ImageEx, AutoSizeFollowsTheListAndKeepsThePosition) {
  auto list = listOf(1, 32, 32);
  TImageEx image;
  image.setGeometry(7, 9, 50, 60);
  image.setImages(list.get());
  EXPECT_EQ(image.size(), QSize(50, 60)) << "no auto size yet";
  image.setAutoSize(true);
  EXPECT_EQ(image.geometry(), QRect(7, 9, 32, 32));
  list->setSize(20, 40);
  EXPECT_EQ(image.geometry(), QRect(7, 9, 20, 40));
  image.setAutoSize(false);
  list->setSize(64, 64);
  EXPECT_EQ(image.size(), QSize(20, 40));
}

TEST(ImageEx, AReleasedListIsForgotten) {
  auto list = listOf(3);
  TImageEx image;
  image.setImages(list.get());
  image.setImageIndex(1);
  list.reset();
  EXPECT_EQ(image.images(), nullptr);
  EXPECT_FALSE(image.imagePosition());
  image.update();  // painting later must not touch the released list
}

TEST(ImageEx, ClickIsSignalled) {
  QWidget window;
  window.resize(100, 100);
  TImageEx image(&window);
  image.setGeometry(10, 10, 30, 30);
  window.show();
  QSignalSpy clicks(&image, &TCustomImageEx::clicked);
  QTest::mouseClick(&image, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(clicks.count(), 1);
}

// The recording lamp as the console uses it.
struct Lamp {
  explicit Lamp(TImageList* list) {
    lamp.setImages(list);
    lamp.setFalseImage(0);
    lamp.setTrueImage(2);
    lamp.setStatus(false);
    lamp.hide();
  }
  TStatusIndicator lamp;
};

TEST(BlinkingTimer, LampAlternatesWithTheClockAndStatusMakesItSteady) {
  auto list = listOf(5, 24, 24);
  Lamp l(list.get());
  ASSERT_EQ(l.lamp.imageIndex(), 0);
  ASSERT_FALSE(l.lamp.status());

  l.lamp.blink(0, 2);
  EXPECT_TRUE(l.lamp.blinking());
  EXPECT_EQ(l.lamp.imageIndex(), 0) << "the image changes only at the next tick";
  TBlinkingTimer& clock = BlinkingTimer();
  std::vector<int> shown;
  for (int i = 0; i < 4; ++i) {
    clock.tick();
    shown.push_back(l.lamp.imageIndex());
    EXPECT_EQ(shown.back(), clock.phase() ? 2 : 0);
  }
  for (size_t i = 1; i < shown.size(); ++i) EXPECT_NE(shown[i], shown[i - 1]);

  l.lamp.setStatus(false);
  EXPECT_FALSE(l.lamp.blinking());
  EXPECT_EQ(l.lamp.imageIndex(), 0);
  for (int i = 0; i < 3; ++i) clock.tick();
  EXPECT_EQ(l.lamp.imageIndex(), 0);
  EXPECT_FALSE(blinkTimerRunning());
}

TEST(BlinkingTimer, LampsStartedAtDifferentMomentsAreInStep) {
  auto list = listOf(5, 24, 24);
  Lamp a(list.get());
  Lamp b(list.get());
  a.lamp.blink(0, 2);
  BlinkingTimer().tick();
  BlinkingTimer().tick();
  BlinkingTimer().tick();
  b.lamp.blink(0, 2);
  for (int i = 0; i < 4; ++i) {
    BlinkingTimer().tick();
    EXPECT_EQ(a.lamp.imageIndex(), b.lamp.imageIndex()) << "tick " << i;
  }
}

TEST(BlinkingTimer, TheTimerExistsOnlyWhileSomethingBlinks) {
  auto list = listOf(3);
  EXPECT_FALSE(blinkTimerRunning());
  auto a = std::make_unique<TImageEx>();
  TImageEx b;
  a->setImages(list.get());
  b.setImages(list.get());

  a->blink(0, 1);
  EXPECT_TRUE(blinkTimerRunning());
  b.blink(1, 2);
  b.blink(1, 2);  // joins once
  EXPECT_EQ(BlinkingTimer().members().size(), 2u);

  b.blink(2, 2);  // equal images: steady again, the image shown stays
  EXPECT_FALSE(b.blinking());
  EXPECT_TRUE(blinkTimerRunning());

  a.reset();  // a control that is destroyed leaves the set
  EXPECT_FALSE(blinkTimerRunning());
  EXPECT_TRUE(BlinkingTimer().members().empty());

  b.blink(0, 1);
  EXPECT_TRUE(blinkTimerRunning());
  b.setImageIndex(2);  // choosing an image stops blinking
  EXPECT_FALSE(b.blinking());
  EXPECT_EQ(b.imageIndex(), 2);
  EXPECT_FALSE(blinkTimerRunning());
}

TEST(BlinkingTimer, TrueImageSetWhileFalseKeepsTheImage) {
  auto list = listOf(5);
  TStatusIndicator lamp;
  lamp.setImages(list.get());
  lamp.setFalseImage(0);
  lamp.setTrueImage(2);
  lamp.setStatus(false);

  lamp.setTrueImage(3);
  EXPECT_EQ(lamp.imageIndex(), 0);
  EXPECT_FALSE(lamp.status());

  lamp.setStatus(true);
  EXPECT_EQ(lamp.imageIndex(), 3);
  lamp.setTrueImage(4);  // while true the new image shows at once
  EXPECT_EQ(lamp.imageIndex(), 4);
  EXPECT_TRUE(lamp.status());
  lamp.setFalseImage(1);
  EXPECT_EQ(lamp.imageIndex(), 4);
}

TEST(BlinkingTimer, ReleaseMakesMembersSteadyAndEndsTheTimer) {
  auto list = listOf(3);
  TImageEx image;
  image.setImages(list.get());
  image.blink(0, 1);
  BlinkingTimer().tick();
  const int shown = image.imageIndex();

  releaseBlinkingTimer();
  EXPECT_EQ(ExistingBlinkingTimer(), nullptr);
  EXPECT_FALSE(image.blinking());
  EXPECT_EQ(image.imageIndex(), shown);
  releaseBlinkingTimer();  // twice is harmless

  image.blink(0, 1);  // a new clock is made on demand
  EXPECT_TRUE(blinkTimerRunning());
  image.stopBlinking();
  EXPECT_FALSE(blinkTimerRunning());
}

TEST(BlinkingTimer, TheRealClockTicksOnTheEventLoop) {
  auto list = listOf(3);
  TImageEx image;
  image.setImages(list.get());
  image.setImageIndex(0);
  image.blink(0, 1);
  std::vector<int> seen{image.imageIndex()};
  const bool alternated = qv::runEventLoopUntil(
      [&] {
        if (image.imageIndex() != seen.back()) seen.push_back(image.imageIndex());
        return seen.size() >= 3;
      },
      10000);
  EXPECT_TRUE(alternated) << "changes seen: " << seen.size();
  image.stopBlinking();
  EXPECT_FALSE(blinkTimerRunning());
}

TEST(ImageList, PixmapsAreMadeAtTheDevicePixelRatio) {
  auto list = listOf(2, 24, 10);
  const QPixmap pm = list->pixmap(1, 2.0);
  EXPECT_EQ(pm.size(), QSize(48, 20));
  EXPECT_EQ(pm.deviceIndependentSize().toSize(), QSize(24, 10));
  QSignalSpy changes(list.get(), &TImageList::changed);
  list->setSize(24, 10);
  EXPECT_EQ(changes.count(), 0) << "same size, no notice";
  list->setHeight(12);
  EXPECT_EQ(changes.count(), 1);
}

}  // namespace
