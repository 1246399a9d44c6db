#include "recording/ParamExport.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <map>
#include <tuple>

#include "platform/Clock.h"

namespace qv {

std::string isoUtc(int64_t unixMs) {
  const CalendarTime c = calendarTime(unixMs, false);
  const std::tm& tm = c.fields;
  char buf[96];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900,
                tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, c.ms);
  return buf;
}

std::string numberText(double v) {
  if (!std::isfinite(v)) return {};
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

bool isCodeListCode(int16_t code) {
  return code == 90 || code == 91;
}

std::vector<int> sampleCodes(const TLaserParams& p) {
  size_t n = p.Value.size();
  while (n > 0 && p.Value[n - 1] == 0) --n;
  return std::vector<int>(p.Value.begin(), p.Value.begin() + static_cast<std::ptrdiff_t>(n));
}

namespace {

std::string codesText(const TLaserParams& p) {
  std::string list;
  for (int c : sampleCodes(p)) list += (list.empty() ? "" : " ") + std::to_string(c);
  return list;
}

// The long form keeps the number form it has always had (nlohmann's: "12.0", not "12").
std::string nlohmannNumber(double v) {
  return std::isfinite(v) ? nlohmann::json(v).dump() : std::string();
}

}  // namespace

void writeLongCsv(std::ostream& out, const ParamFileContents& contents) {
  out << "time_ms,offset_ms,code,value\n";
  for (const RecordedSample& s : contents.samples) {
    // The records are packed: copy their fields out before using them.
    const int32_t offset = s.params.TimeOffset;
    const int16_t code = s.params.Code;
    out << s.time << "," << offset << "," << code << ",";
    if (isCodeListCode(code))
      out << codesText(s.params);
    else
      out << nlohmannNumber(paramDouble(s.params.Value));
    out << "\n";
  }
  out.flush();
}

nlohmann::ordered_json paramFileJson(const ParamFileContents& contents) {
  using Json = nlohmann::ordered_json;
  const TParamFileHeader& h = contents.header;
  Json samples = Json::array();
  for (const RecordedSample& s : contents.samples) {
    const int32_t offset = s.params.TimeOffset;
    const int16_t code = s.params.Code;
    Json j = {{"time_ms", s.time}, {"offset_ms", offset}, {"code", code}};
    if (isCodeListCode(code))
      j["codes"] = sampleCodes(s.params);
    else
      j["value"] = paramDouble(s.params.Value);
    samples.push_back(std::move(j));
  }
  return Json{{"header",
               {{"head_serial", uint16_t(h.HeadSerial)},
                {"laser_serial", uint16_t(h.LaserSerial)},
                {"running_minutes", uint32_t(h.RunningMinutes)},
                {"diode1_minutes", uint32_t(h.Diode1Minutes)},
                {"diode2_minutes", uint32_t(h.Diode2Minutes)},
                {"start_time_ms", int64_t(h.StartTime)}}},
              {"samples", std::move(samples)}};
}

WideTable makeWideTable(const std::vector<RecordedSample>& samples) {
  WideTable table;
  // The columns first, so that every row gets its full width at once.
  std::map<int16_t, ParamQuantity> quantities;
  for (const RecordedSample& s : samples) {
    const int16_t code = s.params.Code;
    if (!quantities.count(code)) quantities.emplace(code, quantityOfCode(code));
  }
  std::vector<std::pair<int16_t, ParamQuantity>> order(quantities.begin(), quantities.end());
  const auto known = [](const ParamQuantity& q) { return q.name.rfind("code ", 0) != 0; };
  std::stable_sort(order.begin(), order.end(), [&](const auto& a, const auto& b) {
    return std::make_tuple(!known(a.second), int(a.second.command), a.second.subId, a.first) <
           std::make_tuple(!known(b.second), int(b.second.command), b.second.subId, b.first);
  });
  std::map<int16_t, size_t> columnOf;
  for (const auto& [code, q] : order) {
    columnOf[code] = table.columns.size();
    table.columns.push_back(q);
  }
  for (const RecordedSample& s : samples) {
    const int16_t code = s.params.Code;
    const size_t col = columnOf[code];
    const ParamQuantity& q = table.columns[col];
    const std::string text =
        q.codeList ? codesText(s.params) : numberText(paramDouble(s.params.Value));
    WideTable::Row* row =
        table.rows.empty() || table.rows.back().time != s.time ? nullptr : &table.rows.back();
    // A code list longer than eight codes comes as several samples of one moment: one cell.
    if (row && q.codeList && !row->cells[col].empty()) {
      if (!text.empty()) row->cells[col] += " " + text;
      continue;
    }
    if (!row || !row->cells[col].empty()) {
      table.rows.push_back({s.time, std::vector<std::string>(table.columns.size())});
      row = &table.rows.back();
    }
    row->cells[col] = text;
  }
  return table;
}

std::string runningTimeText(uint32_t minutes) {
  if (minutes == 0xFFFFFFFFu) return "not read";
  char buf[40];
  std::snprintf(buf, sizeof buf, "%u h %02u min", minutes / 60, minutes % 60);
  return buf;
}

std::string localTimeText(int64_t unixMs) {
  const CalendarTime c = calendarTime(unixMs, true);
  const std::tm& tm = c.fields;
  char buf[96];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", tm.tm_year + 1900,
                tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, c.ms);
  return buf;
}

std::vector<std::pair<std::string, std::string>> recordingSummary(const ParamFileContents& c) {
  std::vector<std::pair<std::string, std::string>> rows;
  if (!c.opened) {
    rows.push_back({"read", c.error.empty() ? "cannot be read" : c.error});
    return rows;
  }
  const TParamFileHeader& h = c.header;
  rows.push_back({"laser serial", std::to_string(uint16_t(h.LaserSerial))});
  rows.push_back({"head serial", std::to_string(uint16_t(h.HeadSerial))});
  rows.push_back({"running time", runningTimeText(h.RunningMinutes)});
  rows.push_back({"diode 1", runningTimeText(h.Diode1Minutes)});
  rows.push_back({"diode 2", runningTimeText(h.Diode2Minutes)});
  rows.push_back({"start", localTimeText(h.StartTime)});
  rows.push_back({"samples", std::to_string(c.samples.size())});
  rows.push_back({"chunks", std::to_string(c.chunks)});
  rows.push_back({"read", c.error.empty() ? "complete" : "stopped: " + c.error});
  return rows;
}

void writeWideCsv(std::ostream& out, const WideTable& table) {
  out << "time (UTC)";
  for (const ParamQuantity& q : table.columns) out << "," << csvField(quantityLabel(q));
  out << "\n";
  for (const WideTable::Row& r : table.rows) {
    out << isoUtc(r.time);
    for (const std::string& c : r.cells) out << "," << csvField(c);
    out << "\n";
  }
  out.flush();
}

}  // namespace qv
