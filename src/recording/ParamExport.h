// The forms a recording is exported in, shared by qvlaser-cli's export and the recording viewer:
// the long CSV (one line per sample), the JSON document, and the wide table (one row per time,
// one column per recorded quantity) with its CSV.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "recording/ParamFileReader.h"
#include "recording/ParamQuantity.h"

namespace qv {

// Unix ms as ISO 8601 in UTC with milliseconds: "2026-12-11T14:41:37.123Z".
std::string isoUtc(int64_t unixMs);
// A value as a spreadsheet reads it back exactly (the shortest form that round-trips); "" for
// NaN and the infinities, which a recording holds for values never read.
std::string numberText(double v);
// Quotes a CSV field when it holds a comma, a quote or a line break.
std::string csvField(const std::string& text);

// Is this a sample of a code list (error or warning codes) in the long forms?
bool isCodeListCode(int16_t code);
// The codes a code-list sample holds, in order, without the zero fill.
std::vector<int> sampleCodes(const TLaserParams& p);

// "time_ms,offset_ms,code,value", then one line per sample.
void writeLongCsv(std::ostream& out, const ParamFileContents& contents);
// {"header": {...}, "samples": [{"time_ms", "offset_ms", "code", "value" or "codes"}...]}
nlohmann::ordered_json paramFileJson(const ParamFileContents& contents);

struct WideTable {
  std::vector<ParamQuantity> columns;  // in the order of the quantities' commands and sub-ids
  struct Row {
    int64_t time = 0;                // Unix ms
    std::vector<std::string> cells;  // one per column; "" where nothing was recorded
  };
  std::vector<Row> rows;  // in the order of the samples
};

// Samples that share a time share a row; a second value of a quantity at the same time starts a
// new row rather than replacing the first, and the two samples of a long code list join in one
// cell.
WideTable makeWideTable(const std::vector<RecordedSample>& samples);
// The header of a recording as the viewer lists it, "name", "value" in order: serials, running
// times ("1234 h 05 min", "not read"), the start in local time, samples, chunks, and how the
// reading ended ("complete", or where and why it stopped).
std::vector<std::pair<std::string, std::string>> recordingSummary(const ParamFileContents& c);
// Minutes as "1234 h 05 min"; 0xFFFFFFFF (never read) as "not read".
std::string runningTimeText(uint32_t minutes);
// Unix ms in local time: "2026-12-11 14:41:37.123".
std::string localTimeText(int64_t unixMs);

// "time (UTC)" and the columns' labels ("current 1 (A)"), then one line per row.
void writeWideCsv(std::ostream& out, const WideTable& table);

}  // namespace qv
