#include "recording/ParamExport.h"

#include <gtest/gtest.h>

#include <sstream>

namespace qv {
namespace {

RecordedSample at(int64_t time, int16_t code, double value) {
  RecordedSample s;
  s.time = time;
  s.params.Code = code;
  s.params.Value = paramValue(value);
  return s;
}

RecordedSample codes(int64_t time, int16_t code, std::vector<uint8_t> list) {
  RecordedSample s;
  s.time = time;
  s.params.Code = code;
  for (size_t i = 0; i < list.size() && i < 8; ++i) s.params.Value[i] = list[i];
  return s;
}

TEST(ParamQuantity, CodesOfTheNewestCatalogueReadAsAnOperatorWould) {
  struct Case {
    int16_t code;
    const char* label;
  } cases[] = {
      {61, "current 1 (A)"},
      {162, "current 4 (A)"},
      {99, "state"},
      {87,
       "temperature 2 (\xC2\xB0"
       "C)"},
      {20,
       "power-supply temperature (\xC2\xB0"
       "C)"},
      {71, "trigger mode 1"},
      {73, "frequency 1 (Hz)"},
      {90, "error codes"},
      {91, "warning codes"},
      {175, "regulator level (%)"},
      {32, "flow rate (L/min)"},
      {4242, "code 4242"},
  };
  for (const Case& c : cases) EXPECT_EQ(quantityLabel(quantityOfCode(c.code)), c.label) << c.code;
  EXPECT_TRUE(quantityOfCode(90).codeList);
  EXPECT_FALSE(quantityOfCode(61).codeList);
  // Reads that are never recorded have no quantity.
  EXPECT_FALSE(paramQuantity(lcReadMaxCurrent, 1));
  EXPECT_FALSE(paramQuantity(lcReadLDRunningTime, 1));
}

TEST(ParamExport, IsoTimesAndNumbers) {
  EXPECT_EQ(isoUtc(0), "1970-01-01T00:00:00.000Z");
  EXPECT_EQ(isoUtc(1796996497123), "2026-12-11T13:41:37.123Z");
  EXPECT_EQ(isoUtc(-1), "1969-12-31T23:59:59.999Z");
  EXPECT_EQ(numberText(12.5), "12.5");
  EXPECT_EQ(numberText(0.1), "0.1");
  EXPECT_EQ(numberText(NAN), "");
  EXPECT_EQ(csvField("a,b"), "\"a,b\"");
  EXPECT_EQ(csvField("say \"x\""), "\"say \"\"x\"\"\"");
}

TEST(ParamExport, WideTableJoinsMomentsAndLosesNothing) {
  const std::vector<RecordedSample> samples = {
      at(1000, 99, 3),      // state
      at(1000, 61, 12.5),   // current 1, same moment: same row
      at(1000, 61, 12.75),  // a second current at the same ms: its own row
      codes(2000, 90, {1, 2, 3, 4, 5, 6, 7, 8}),
      codes(2000, 90, {9, 10}),  // the rest of the same list: same cell
      at(2000, 62, NAN),         // never read: empty cell
      at(3000, 4242, 7),         // unknown code: a column at the end
  };
  const WideTable t = makeWideTable(samples);
  std::ostringstream csv;
  writeWideCsv(csv, t);
  EXPECT_EQ(csv.str(),
            "time (UTC),current 1 (A),current 2 (A),error codes,state,code 4242\n"
            "1970-01-01T00:00:01.000Z,12.5,,,3,\n"
            "1970-01-01T00:00:01.000Z,12.75,,,,\n"
            "1970-01-01T00:00:02.000Z,,,1 2 3 4 5 6 7 8 9 10,,\n"
            "1970-01-01T00:00:03.000Z,,,,,7\n");
}

TEST(ParamExport, LongFormsKeepTheirShape) {
  ParamFileContents c;
  c.opened = true;
  c.header.StartTime = 1000;
  RecordedSample s = at(1500, 61, 12.0);
  s.params.TimeOffset = 500;
  c.samples = {s, codes(1500, 90, {3, 7})};
  std::ostringstream csv;
  writeLongCsv(csv, c);
  EXPECT_EQ(csv.str(), "time_ms,offset_ms,code,value\n1500,500,61,12.0\n1500,0,90,3 7\n");
  const auto j = paramFileJson(c);
  EXPECT_EQ(j["header"]["start_time_ms"], 1000);
  EXPECT_EQ(j["samples"][0]["value"], 12.0);
  EXPECT_EQ(j["samples"][1]["codes"], nlohmann::json::array({3, 7}));
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

TEST(ParamExport, SummaryOfAHeaderAndOfADamagedFile) {
  setenv("TZ", "UTC", 1);
  tzset();
  ParamFileContents c;
  c.opened = true;
  c.header.LaserSerial = 2210;
  c.header.HeadSerial = 1234;
  c.header.RunningMinutes = 74'045;  // 1234 h 05 min
  c.header.StartTime = 1796996497123;
  c.chunks = 2;
  c.error = "chunk cut short at offset 2150";
  const auto rows = recordingSummary(c);
  const auto value = [&](const std::string& name) {
    for (const auto& [n, v] : rows)
      if (n == name) return v;
    return std::string("?");
  };
  EXPECT_EQ(value("laser serial"), "2210");
  EXPECT_EQ(value("running time"), "1234 h 05 min");
  EXPECT_EQ(value("diode 1"), "not read");
  EXPECT_EQ(value("start"), "2026-12-11 13:41:37.123");
  EXPECT_EQ(value("read"), "stopped: chunk cut short at offset 2150");
  c.opened = false;
  EXPECT_EQ(recordingSummary(c).size(), 1u);
}

}  // namespace
}  // namespace qv
