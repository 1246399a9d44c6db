#include "console/TrendStore.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>

#include "console/TerminalLog.h"
#include "recording/ParamExport.h"
#include "recording/ParamFileReader.h"
#include "recording/QVLaserParam_Bin.h"

namespace qv {

std::vector<TrendSample> trendSamples(const TLaser& laser, TLaserCommand command, uint8_t subId,
                                      int64_t time) {
  const auto q = paramQuantity(command, subId);
  if (!q || q->codeList) return {};
  std::vector<TrendSample> out;
  for (const ParamSample& s : makeParamSamples(laser, command, subId, time)) {
    const double v = paramDouble(s.Value);
    if (std::isfinite(v)) out.push_back({*q, time, v});
  }
  return out;
}

void addRecordedSamples(TrendStore& store, const std::vector<RecordedSample>& samples) {
  std::map<int16_t, std::optional<size_t>> seriesOf;  // by code; none for code lists
  for (const RecordedSample& r : samples) {
    const int16_t code = r.params.Code;
    auto it = seriesOf.find(code);
    if (it == seriesOf.end()) {
      const ParamQuantity q = quantityOfCode(code);
      it = seriesOf.emplace(code, q.codeList ? std::nullopt : std::optional(store.seriesFor(q)))
               .first;
    }
    if (!it->second) continue;
    const double v = paramDouble(r.params.Value);
    if (std::isfinite(v)) store.addPoint(*it->second, r.time, v);
  }
}

size_t TrendStore::seriesFor(const ParamQuantity& q) {
  const std::string label = quantityLabel(q);
  const int i = indexOf(label);
  if (i >= 0) return size_t(i);
  series_.push_back({q, label, true, {}});
  ++revision_;
  return series_.size() - 1;
}

void TrendStore::add(const ParamQuantity& q, int64_t time, double value) {
  addPoint(seriesFor(q), time, value);
}

void TrendStore::addPoint(size_t index, int64_t time, double value) {
  if (index >= series_.size()) return;
  TrendSeries& s = series_[index];
  if (s.points.empty() || s.points.back().time <= time) {
    s.points.push_back({time, value});
  } else {
    const auto at = std::upper_bound(s.points.begin(), s.points.end(), time,
                                     [](int64_t t, const TrendPoint& p) { return t < p.time; });
    s.points.insert(at, {time, value});
  }
  if (!any_ || time > newest_) newest_ = time;
  any_ = true;
  trim(s);
  ++revision_;
}

void TrendStore::trim(TrendSeries& s) {
  if (!keepAll_) {
    // Nothing older than the longest window can ever be shown again.
    const int64_t limit = newest_ - kMaxWindowMs;
    const auto keep = std::lower_bound(s.points.begin(), s.points.end(), limit,
                                       [](const TrendPoint& p, int64_t t) { return p.time < t; });
    if (keep != s.points.begin()) s.points.erase(s.points.begin(), keep);
  }
  if (s.points.size() <= budget_) return;
  // Thin the older half to every second point: the recent minutes keep full detail, older hours
  // keep their shape, and each thinning buys a quarter of the budget.
  const size_t half = s.points.size() / 2;
  size_t w = 0;
  for (size_t r = 0; r < half; r += 2) s.points[w++] = s.points[r];
  for (size_t r = half; r < s.points.size(); ++r) s.points[w++] = s.points[r];
  s.points.resize(w);
}

void TrendStore::clear() {
  series_.clear();
  any_ = false;
  newest_ = 0;
  ++revision_;
}

int TrendStore::indexOf(const std::string& label) const {
  for (size_t i = 0; i < series_.size(); ++i)
    if (series_[i].label == label) return int(i);
  return -1;
}

void TrendStore::setVisible(size_t index, bool visible) {
  if (index >= series_.size() || series_[index].visible == visible) return;
  series_[index].visible = visible;
  ++revision_;
}

std::vector<std::string> TrendStore::visibleUnits() const {
  std::vector<std::string> units;
  for (const TrendSeries& s : series_) {
    if (s.visible && std::find(units.begin(), units.end(), s.quantity.unit) == units.end())
      units.push_back(s.quantity.unit);
  }
  return units;
}

void TrendStore::setWindowMs(int64_t ms) {
  ms = std::clamp(ms, kMinWindowMs, kMaxWindowMs);
  if (ms == windowMs_) return;
  windowMs_ = ms;
  ++revision_;
}

void TrendStore::setPaused(bool paused) {
  if (paused == paused_) return;
  paused_ = paused;
  pausedAt_ = newest_;
  ++revision_;
}

void TrendStore::setZoom(int64_t from, int64_t to) {
  if (to < from) std::swap(from, to);
  if (to - from < 1000) to = from + 1000;  // a second at least: a click is not a zoom
  zoomed_ = true;
  zoomFrom_ = from;
  zoomTo_ = to;
  ++revision_;
}

void TrendStore::clearZoom() {
  if (!zoomed_) return;
  zoomed_ = false;
  ++revision_;
}

std::pair<double, double> TrendStore::valueRange(const std::string& unit, int64_t from,
                                                 int64_t to) const {
  double lo = INFINITY, hi = -INFINITY;
  for (size_t i = 0; i < series_.size(); ++i) {
    if (!series_[i].visible || series_[i].quantity.unit != unit) continue;
    for (const TrendPoint& p : pointsIn(i, from, to)) {
      lo = std::min(lo, p.value);
      hi = std::max(hi, p.value);
    }
  }
  if (!(lo <= hi)) return {0, 1};
  if (hi - lo < 1e-9) return {lo - 1, hi + 1};
  const double margin = (hi - lo) / 20;
  return {lo - margin, hi + margin};
}

std::string TrendStore::cursorText(int64_t time) const {
  std::string text = terminalTimestamp(time);
  text.pop_back();  // the blank after the time
  const std::vector<double> v = valuesAt(time);
  for (size_t i = 0; i < series_.size(); ++i) {
    if (series_[i].visible && std::isfinite(v[i]))
      text += "\n" + series_[i].label + ": " + numberText(v[i]);
  }
  return text;
}

TrendStore::Span TrendStore::span() const {
  if (zoomed_) return {zoomFrom_, zoomTo_, false};
  if (!any_) return {};
  // A recording is shown whole until the operator zooms into it.
  if (keepAll_) return {oldest(), std::max(newest_, oldest() + 1000), false};
  const int64_t to = paused_ ? pausedAt_ : newest_;
  return {to - windowMs_, to, false};
}

int64_t TrendStore::oldest() const {
  int64_t t = newest_;
  for (const TrendSeries& s : series_)
    if (!s.points.empty()) t = std::min(t, s.points.front().time);
  return t;
}

std::vector<double> TrendStore::valuesAt(int64_t time) const {
  std::vector<double> out;
  out.reserve(series_.size());
  for (const TrendSeries& s : series_) {
    const auto after = std::upper_bound(s.points.begin(), s.points.end(), time,
                                        [](int64_t t, const TrendPoint& p) { return t < p.time; });
    out.push_back(after == s.points.begin() ? NAN : std::prev(after)->value);
  }
  return out;
}

std::vector<TrendPoint> TrendStore::pointsIn(size_t index, int64_t from, int64_t to) const {
  if (index >= series_.size()) return {};
  const auto& p = series_[index].points;
  auto first = std::lower_bound(p.begin(), p.end(), from,
                                [](const TrendPoint& q, int64_t t) { return q.time < t; });
  auto last = std::upper_bound(p.begin(), p.end(), to,
                               [](int64_t t, const TrendPoint& q) { return t < q.time; });
  if (first != p.begin()) --first;
  if (last != p.end()) ++last;
  return {first, last};
}

std::vector<TrendPoint> TrendStore::pointsToDraw(size_t index, int64_t from, int64_t to,
                                                 size_t maxPoints) const {
  std::vector<TrendPoint> all = pointsIn(index, from, to);
  if (all.size() <= maxPoints || maxPoints < 8 || to <= from) return all;
  const size_t buckets = maxPoints / 4;
  const double width = double(to - from) / double(buckets);
  std::vector<TrendPoint> out;
  out.reserve(maxPoints + 2);
  size_t i = 0;
  while (i < all.size()) {
    // The bucket of this point: the ones just outside the span make buckets of their own.
    const auto bucketOf = [&](int64_t t) {
      return t < from ? -1 : t > to ? int64_t(buckets) : int64_t(double(t - from) / width);
    };
    const int64_t b = bucketOf(all[i].time);
    size_t j = i;
    size_t lo = i, hi = i;
    while (j < all.size() && bucketOf(all[j].time) == b) {
      if (all[j].value < all[lo].value) lo = j;
      if (all[j].value > all[hi].value) hi = j;
      ++j;
    }
    const size_t last = j - 1;
    // First, lowest, highest, last, each once and in time order.
    size_t picks[4] = {i, std::min(lo, hi), std::max(lo, hi), last};
    for (size_t k = 0; k < 4; ++k) {
      if (k == 0 || picks[k] != picks[k - 1]) out.push_back(all[picks[k]]);
    }
    i = j;
  }
  return out;
}

void TrendStore::writeCsv(std::ostream& out) const {
  out << "time (UTC)";
  for (const TrendSeries& s : series_) out << "," << csvField(s.label);
  out << "\n";
  // One row per distinct time: merge the series, which are each in time order.
  std::vector<size_t> next(series_.size(), 0);
  std::vector<std::string> cells(series_.size());
  for (;;) {
    int64_t t = 0;
    bool found = false;
    for (size_t i = 0; i < series_.size(); ++i) {
      if (next[i] < series_[i].points.size()) {
        const int64_t ti = series_[i].points[next[i]].time;
        if (!found || ti < t) t = ti;
        found = true;
      }
    }
    if (!found) break;
    out << isoUtc(t);
    for (size_t i = 0; i < series_.size(); ++i) {
      out << ",";
      // A second value of one series at the same millisecond gets a row of its own.
      if (next[i] < series_[i].points.size() && series_[i].points[next[i]].time == t)
        out << numberText(series_[i].points[next[i]++].value);
    }
    out << "\n";
  }
  out.flush();
}

size_t TrendStore::pointCount() const {
  size_t n = 0;
  for (const TrendSeries& s : series_) n += s.points.size();
  return n;
}

}  // namespace qv
