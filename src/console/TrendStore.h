// The live trends' data: one series per quantity the laser reported, points against Unix ms, a
// rolling window, pause, and the CSV the operator saves. Memory stays bounded however long it
// runs: points older than the longest window go, and a series that grows past its budget thins
// its older half. The trend window draws what this holds; it decides nothing itself.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "recording/ParamQuantity.h"

class TLaser;

namespace qv {
struct RecordedSample;
}

namespace qv {

struct TrendPoint {
  int64_t time = 0;  // Unix ms
  double value = 0;
};

struct TrendSample {
  ParamQuantity quantity;
  int64_t time = 0;
  double value = 0;
};

// The numbers one parsed answer of the laser gives the trends: the same values a recording
// stores, as numbers (code lists and values never read give none).
std::vector<TrendSample> trendSamples(const TLaser& laser, TLaserCommand command, uint8_t subId,
                                      int64_t time);

struct TrendSeries;
class TrendStore;
// A recording's numbers into a store (code lists are left out: they have no curve).
void addRecordedSamples(TrendStore& store, const std::vector<RecordedSample>& samples);

struct TrendSeries {
  ParamQuantity quantity;
  std::string label;  // "current 1 (A)"
  bool visible = true;
  std::vector<TrendPoint> points;  // in time order
};

class TrendStore {
 public:
  static constexpr int64_t kMinWindowMs = 60'000;
  static constexpr int64_t kMaxWindowMs = 24 * 3'600'000LL;
  static constexpr int64_t kDefaultWindowMs = 10 * 60'000;
  // Points a series keeps at most before its older half is thinned to every second point.
  static constexpr size_t kDefaultPointBudget = 20'000;

  explicit TrendStore(size_t pointBudget = kDefaultPointBudget) : budget_(pointBudget) {}

  // A value at a time. A point older than the series' last one is put in its place in time.
  void add(const ParamQuantity& q, int64_t time, double value);
  void add(const TrendSample& s) { add(s.quantity, s.time, s.value); }
  // The series of a quantity, made when it is new; then points by index, for bulk loading.
  size_t seriesFor(const ParamQuantity& q);
  void addPoint(size_t index, int64_t time, double value);
  void clear();

  const std::vector<TrendSeries>& series() const { return series_; }
  // -1 when the store has no such series.
  int indexOf(const std::string& label) const;
  void setVisible(size_t index, bool visible);
  // Units of the visible series, each once, in the order the series came: one axis each.
  std::vector<std::string> visibleUnits() const;

  // The rolling window, clamped to 1 min .. 24 h.
  int64_t windowMs() const { return windowMs_; }
  void setWindowMs(int64_t ms);
  // Keep the points of a recording however old they are, and show it whole while not zoomed
  // (the viewer's store).
  void setKeepEverything(bool keep) { keepAll_ = keep; }

  // Paused: the shown span stays where it was while points keep arriving.
  bool paused() const { return paused_; }
  void setPaused(bool paused);
  // The span a view shows: the window ending at the newest point (or at the moment of pausing);
  // a recording's whole span; or the zoom.
  struct Span {
    int64_t from = 0, to = 0;
    bool empty = true;
  };
  Span span() const;
  // A span the operator picked out (zoom): shown instead of the rolling window until cleared.
  void setZoom(int64_t from, int64_t to);
  void clearZoom();
  bool zoomed() const { return zoomed_; }

  // The range of the values of the visible series of one unit within [from, to], widened by a
  // twentieth on each side (and to +-1 around a flat line), so curves never touch the border.
  // {0, 1} when there is nothing.
  std::pair<double, double> valueRange(const std::string& unit, int64_t from, int64_t to) const;
  // What the cursor shows at a time: the local time, then "label: value" per visible series
  // that has a value by then, one a line.
  std::string cursorText(int64_t time) const;
  int64_t newest() const { return newest_; }
  int64_t oldest() const;

  // The last value of each series at or before the time (NaN where it had none yet).
  std::vector<double> valuesAt(int64_t time) const;
  // Points of one series inside [from, to], with the one just outside each end so a line reaches
  // the border.
  std::vector<TrendPoint> pointsIn(size_t index, int64_t from, int64_t to) const;
  // The same for drawing at most about maxPoints points: above that, the span is cut into
  // buckets and each bucket keeps its first, lowest, highest and last point, so spikes and the
  // curve's envelope survive.
  std::vector<TrendPoint> pointsToDraw(size_t index, int64_t from, int64_t to,
                                       size_t maxPoints) const;

  // "time (UTC)" and one column per series (visible or not); one row per distinct time, each
  // series' cell filled where it has a point at that time.
  void writeCsv(std::ostream& out) const;

  size_t pointCount() const;
  // Bumped by every change, so a view repaints only when something changed.
  uint64_t revision() const { return revision_; }

 private:
  void trim(TrendSeries& s);

  std::vector<TrendSeries> series_;
  size_t budget_;
  int64_t windowMs_ = kDefaultWindowMs;
  bool keepAll_ = false;
  bool paused_ = false;
  int64_t pausedAt_ = 0;
  bool zoomed_ = false;
  int64_t zoomFrom_ = 0, zoomTo_ = 0;
  int64_t newest_ = 0;
  bool any_ = false;
  uint64_t revision_ = 0;
};

}  // namespace qv
