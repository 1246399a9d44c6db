#include "console/TrendStore.h"

#include <gtest/gtest.h>

#include <sstream>

#include "recording/ParamFileReader.h"
#include "recording/QVLaserParam_Bin.h"

namespace qv {
namespace {

ParamQuantity q(TLaserCommand c, uint8_t sub) {
  return *paramQuantity(c, sub);
}

TEST(TrendStore, SeriesByQuantityWithTheirUnits) {
  TrendStore s;
  s.add(q(lcReadCurrent, 1), 1000, 12.5);
  s.add(q(lcReadState, 0), 1000, 3);
  s.add(q(lcReadCurrent, 2), 1100, 10);
  s.add(q(lcReadCurrent, 1), 1200, 12.75);
  ASSERT_EQ(s.series().size(), 3u);
  EXPECT_EQ(s.series()[0].label, "current 1 (A)");
  EXPECT_EQ(s.series()[0].points.size(), 2u);
  EXPECT_EQ(s.visibleUnits(), (std::vector<std::string>{"A", ""}));
  s.setVisible(1, false);
  EXPECT_EQ(s.visibleUnits(), (std::vector<std::string>{"A"}));
  // The cursor: the last value at or before a time, NaN before a series' first point.
  const auto v = s.valuesAt(1150);
  EXPECT_DOUBLE_EQ(v[0], 12.5);
  EXPECT_DOUBLE_EQ(v[2], 10);
  EXPECT_TRUE(std::isnan(s.valuesAt(1050)[2]));
}

TEST(TrendStore, WindowRollsIsClampedAndStandsStillWhilePaused) {
  TrendStore s;
  EXPECT_EQ(s.windowMs(), 10 * 60'000);
  s.setWindowMs(1000);
  EXPECT_EQ(s.windowMs(), TrendStore::kMinWindowMs);
  s.setWindowMs(48 * 3'600'000LL);
  EXPECT_EQ(s.windowMs(), TrendStore::kMaxWindowMs);
  s.setWindowMs(60'000);
  EXPECT_TRUE(s.span().empty);
  s.add(q(lcReadState, 0), 100'000, 1);
  EXPECT_EQ(s.span().to, 100'000);
  EXPECT_EQ(s.span().from, 40'000);
  s.setPaused(true);
  s.add(q(lcReadState, 0), 200'000, 2);
  EXPECT_EQ(s.span().to, 100'000);             // still where it was
  EXPECT_EQ(s.series()[0].points.size(), 2u);  // but nothing was lost
  s.setPaused(false);
  EXPECT_EQ(s.span().to, 200'000);
}

TEST(TrendStore, MemoryStaysBoundedOverADayOfPolling) {
  TrendStore s(1000);
  // Two days at one point a second: nothing older than a day stays, and never more than the
  // budget; the newest minutes keep every point.
  const int64_t day = 24 * 3'600'000LL;
  for (int64_t t = 0; t <= 2 * day; t += 1000) s.add(q(lcReadCurrent, 1), t, double(t % 7));
  const auto& p = s.series()[0].points;
  EXPECT_LE(p.size(), 1000u);
  EXPECT_GE(p.front().time, day);
  EXPECT_EQ(p.back().time, 2 * day);
  EXPECT_EQ(p[p.size() - 2].time, 2 * day - 1000);
  for (size_t i = 1; i < p.size(); ++i) ASSERT_LT(p[i - 1].time, p[i].time);
}

TEST(TrendStore, LatePointGoesInItsPlace) {
  TrendStore s;
  s.add(q(lcReadState, 0), 3000, 3);
  s.add(q(lcReadState, 0), 1000, 1);
  s.add(q(lcReadState, 0), 2000, 2);
  const auto& p = s.series()[0].points;
  ASSERT_EQ(p.size(), 3u);
  EXPECT_EQ(p[0].value, 1);
  EXPECT_EQ(p[2].value, 3);
}

TEST(TrendStore, DrawingKeepsSpikesAndTheEnds) {
  TrendStore s(1'000'000);
  s.setKeepEverything(true);
  for (int t = 0; t < 100'000; ++t) s.add(q(lcReadCurrent, 1), t, t == 54'321 ? 99.0 : 1.0);
  const auto drawn = s.pointsToDraw(0, 0, 99'999, 400);
  EXPECT_LE(drawn.size(), 400u);
  EXPECT_EQ(drawn.front().time, 0);
  EXPECT_EQ(drawn.back().time, 99'999);
  bool spike = false;
  for (const auto& p : drawn) spike = spike || p.value == 99.0;
  EXPECT_TRUE(spike);
  // Few points come back as they are, with one neighbour outside each end.
  const auto few = s.pointsIn(0, 10, 12);
  ASSERT_EQ(few.size(), 5u);
  EXPECT_EQ(few.front().time, 9);
  EXPECT_EQ(few.back().time, 13);
}

TEST(TrendStore, CsvHasOneColumnPerSeriesAndLosesNoPoint) {
  TrendStore s;
  s.add(q(lcReadCurrent, 1), 1000, 12.5);
  s.add(q(lcReadTemperature, 2), 1000, 25.25);
  s.add(q(lcReadCurrent, 1), 2000, 13);
  s.add(q(lcReadCurrent, 1), 2000, 14);  // same millisecond: a row of its own
  s.setVisible(1, false);                // hidden series are saved too
  std::ostringstream out;
  s.writeCsv(out);
  EXPECT_EQ(out.str(),
            "time (UTC),current 1 (A),temperature 2 (\xC2\xB0"
            "C)\n"
            "1970-01-01T00:00:01.000Z,12.5,25.25\n"
            "1970-01-01T00:00:02.000Z,13,\n"
            "1970-01-01T00:00:02.000Z,14,\n");
}

TEST(TrendStore, RecordingSamplesBecomeSeriesButCodeListsDoNot) {
  std::vector<RecordedSample> rec(3);
  rec[0].time = 10;
  rec[0].params.Code = 61;
  rec[0].params.Value = paramValue(12.5);
  rec[1].time = 10;
  rec[1].params.Code = 90;  // error codes
  rec[1].params.Value[0] = 7;
  rec[2].time = 20;
  rec[2].params.Code = 99;
  rec[2].params.Value = paramValue(NAN);  // never read: no point
  TrendStore s;
  addRecordedSamples(s, rec);
  ASSERT_EQ(s.series().size(), 2u);
  EXPECT_EQ(s.series()[0].label, "current 1 (A)");
  EXPECT_EQ(s.series()[1].label, "state");
  EXPECT_TRUE(s.series()[1].points.empty());
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

TEST(TrendStore, ZoomRangesAndCursor) {
  setenv("TZ", "UTC", 1);
  tzset();
  TrendStore s;
  s.add(*paramQuantity(lcReadCurrent, 1), 100'000, 10);
  s.add(*paramQuantity(lcReadCurrent, 1), 160'000, 30);
  s.add(*paramQuantity(lcReadState, 0), 160'000, 3);
  s.setZoom(170'000, 90'000);  // dragged right to left
  EXPECT_EQ(s.span().from, 90'000);
  EXPECT_EQ(s.span().to, 170'000);
  s.clearZoom();
  EXPECT_EQ(s.span().to, 160'000);
  const auto [lo, hi] = s.valueRange("A", 0, 200'000);
  EXPECT_DOUBLE_EQ(lo, 9);
  EXPECT_DOUBLE_EQ(hi, 31);
  EXPECT_EQ(s.valueRange("", 0, 200'000), (std::pair<double, double>{2, 4}));   // flat line
  EXPECT_EQ(s.valueRange("V", 0, 200'000), (std::pair<double, double>{0, 1}));  // nothing
  EXPECT_EQ(s.cursorText(130'000), "00:02:10.000\ncurrent 1 (A): 10");
  EXPECT_EQ(s.cursorText(160'000), "00:02:40.000\ncurrent 1 (A): 30\nstate: 3");
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

TEST(TrendStore, ARecordingIsShownWholeUntilZoomed) {
  TrendStore s;
  s.setKeepEverything(true);
  s.add(*paramQuantity(lcReadState, 0), 5'000, 1);
  s.add(*paramQuantity(lcReadState, 0), 3 * 86'400'000LL, 2);  // longer than any window
  EXPECT_EQ(s.span().from, 5'000);
  EXPECT_EQ(s.span().to, 3 * 86'400'000LL);
  EXPECT_EQ(s.series()[0].points.size(), 2u);
  s.setZoom(10'000, 20'000);
  EXPECT_EQ(s.span().to, 20'000);
  s.clearZoom();
  EXPECT_EQ(s.span().from, 5'000);
}

}  // namespace
}  // namespace qv
