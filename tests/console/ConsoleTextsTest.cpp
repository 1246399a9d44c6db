#include "console/ConsoleTexts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>

TEST(ShowValue, PrefixesAndTwoDecimals) {
  const std::pair<double, const char*> cases[] = {
      {12.5, "12.50"},      {20000, "20.00k"},  {2500000, "2.50M"}, {-1500, "-1.50k"},
      {999.999, "1000.00"}, {1000, "1.00k"},    {0, "0.00"},        {100000, "100.00k"},
      {NAN, "NAN"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(ShowValue(value), text) << value;
}

TEST(ParseFrequencyText, SuffixesBlanksAndErrors) {
  struct Case {
    const char* text;
    TFrequencyText::Kind kind;
    double value;
  };
  const Case cases[] = {
      {"1.5k", TFrequencyText::Value, 1500},  {"20M", TFrequencyText::Value, 20000000},
      {" 50 ", TFrequencyText::Value, 50},    {"", TFrequencyText::Empty, 0},
      {"   ", TFrequencyText::Empty, 0},      {"k", TFrequencyText::Invalid, 0},
      {"1,5", TFrequencyText::Invalid, 0},    {"1.5K", TFrequencyText::Invalid, 0},
      {"0x10", TFrequencyText::Invalid, 0},   {"inf", TFrequencyText::Invalid, 0},
      {"20.", TFrequencyText::Value, 20},     {".5k", TFrequencyText::Value, 500},
  };
  for (const Case& c : cases) {
    const TFrequencyText r = ParseFrequencyText(c.text);
    EXPECT_EQ(r.kind, c.kind) << c.text;
    if (c.kind == TFrequencyText::Value) {
      EXPECT_DOUBLE_EQ(r.value, c.value) << c.text;
    }
  }
}

TEST(SerialTexts, LabelsAndCaptions) {
  EXPECT_EQ(SerialLabel(AdjustSerial(57)), "SN 157");
  EXPECT_EQ(SerialLabel(1234, AdjustSerial(57)), "SN1234 (PS 157)");
  EXPECT_EQ(SerialLabel(0, 157), "SN   0 (PS 157)");
  EXPECT_EQ(AdjustSerial(0), 0);
  EXPECT_EQ(AdjustSerial(99), 199);
  EXPECT_EQ(AdjustSerial(100), 100);

  EXPECT_EQ(CaptionText(0), "TESSARIX - Quorvane Laser Control");
  EXPECT_EQ(ApplicationTitle(0), "Quorvane Laser Control");
  EXPECT_EQ(CaptionText(157), "SN 157 - Quorvane Laser Control");
  EXPECT_EQ(ApplicationTitle(1234), "SN1234 - Quorvane Laser Control");
  // Generation 3 shows the head serial (0 when none), others the power-supply serial.
  EXPECT_EQ(CaptionSerial(3, 57, 12), 157);
  EXPECT_EQ(CaptionSerial(3, 0, 57), 0);
  EXPECT_EQ(CaptionSerial(3, -32767, 57), 0);
  EXPECT_EQ(CaptionSerial(2, -32767, 57), 157);
  EXPECT_EQ(CaptionSerial(3, 0x12345, 1), 0x2345);
}

TEST(PortMessage, ExactTextAndPermissionLine) {
  EXPECT_EQ(PortMessage(3),
            "Cannot open port: COM3. \r\n\r\nPlease check:\r\n1) if the port number is correct, "
            "\r\n2) if another program is using this port.");
  EXPECT_EQ(PortMessage(3, "3) if you may use it."), PortMessage(3) + "\r\n3) if you may use it.");
}

TEST(CodeLists, ExplainedAndBareCodes) {
  const std::map<int, std::string> table = {{80, "Temperature of Laser 1 is too high."}};
  const TExplainFn explain = [&](int code) -> std::optional<std::string> {
    auto it = table.find(code);
    if (it == table.end()) return std::nullopt;
    return it->second;
  };
  EXPECT_EQ(ErrorListText({80, 1042}, explain),
            "Laser error list\r\n-----------------\r\n[80]  Temperature of Laser 1 is too "
            "high.\r\n[1042] ");
  EXPECT_EQ(WarningListText({}, explain), "Laser warning list\r\n-----------------");
}

TEST(RecordingFileName, HeadSerialZeroFilled) {
  std::tm t{};
  t.tm_year = 2014 - 1900;
  t.tm_mon = 2;
  t.tm_mday = 5;
  t.tm_hour = 14;
  t.tm_min = 7;
  t.tm_sec = 9;
  EXPECT_EQ(RecordingFileName(157, t), "SN0157_2014-03-05_140709_LT.qlp");
  EXPECT_EQ(RecordingFileName(23, t), "SN0023_2014-03-05_140709_LT.qlp");
  EXPECT_EQ(RecordingFileName(12345, t), "SN12345_2014-03-05_140709_LT.qlp");
}

TEST(ShowsInTerminal, PasswordCommandIsHidden) {
  const std::pair<const char*, bool> cases[] = {
      {"w01 secret", false}, {"w1 x", false},   {"W01 1.5", false}, {"w$1 x", false},
      {"w011 5", true},      {"w01", true},     {"w 1 x", true},    {"r01", true},
      {"w60 1", true},       {"w1", true},      {"w01x 3", true},   {"w02 1", true},
  };
  for (const auto& [text, shown] : cases) EXPECT_EQ(ShowsInTerminal(text), shown) << text;
}

TEST(CommandLists, PasswordAndSplitting) {
  EXPECT_EQ(PasswordCommand("1,2,3"), "w01 1.2.3");
  EXPECT_EQ(SplitCommandList(" r01 | r60 "), (std::vector<std::string>{"r01", "r60"}));
  EXPECT_EQ(SplitCommandList("|| r01 ||"), (std::vector<std::string>{"r01"}));
  EXPECT_TRUE(SplitCommandList("  ").empty());
}

TEST(CommandLists, TypedLettersBecomeLowerCase) {
  EXPECT_EQ(TypedCommandText("R01|W60 1"), "r01|w60 1");
  // Windows-1252 letters: \xC4 and \xDE have lower forms, the multiplication sign \xD7 has none.
  EXPECT_EQ(TypedCommandText("\xC4\xDE\xD7\x8A\x9F\xB0"), "\xE4\xFE\xD7\x9A\xFF\xB0");
}

TEST(FrequencyKeyPress, DigitsPointAndSuffix) {
  TEditField f;
  const auto type = [&](const std::string& keys) {
    for (char k : keys) FrequencyKeyPress(f, k);
  };
  type("20m");
  EXPECT_EQ(f.text, "20M");
  EXPECT_EQ(f.selStart, 2u);  // the caret before the suffix
  f.selStart = 3;             // even with the caret after it, digits go in front
  type("5");
  EXPECT_EQ(f.text, "205M");
  type("k");
  EXPECT_EQ(f.text, "205k");
  type("x");
  EXPECT_EQ(f.text, "205k");
  type(",.");
  EXPECT_EQ(f.text, "205.k");
  type("M");  // a trailing point or suffix is replaced, not added to
  EXPECT_EQ(f.text, "205.M");

  TEditField sel{"1.5k", 0, 4};  // a selection is deleted before the suffix goes in
  FrequencyKeyPress(sel, 'm');
  EXPECT_EQ(sel.text, "M");
  EXPECT_TRUE(FrequencyKeyPress(sel, 13).apply);
  EXPECT_TRUE(FrequencyKeyPress(sel, 8).passed);
}
