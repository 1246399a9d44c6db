#include "console/ConsoleTexts.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

double SplitPrefix(double value, std::string& prefix) {
  const double magnitude = std::fabs(value);
  if (magnitude >= 1000000.0) {
    prefix = "M";
    return value / 1000000.0;
  }
  if (magnitude >= 1000.0) {
    prefix = "k";
    return value / 1000.0;
  }
  prefix.clear();
  return value;
}

std::string FormatFixed2(double value) {
  // snprintf follows the C locale, which the programs never change: the point is the separator.
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  char buf[400];
  std::snprintf(buf, sizeof buf, "%.2f", value);
  return buf;
}

std::string ShowValue(double value) {
  std::string prefix;
  const double scaled = SplitPrefix(value, prefix);
  return FormatFixed2(scaled) + prefix;
}

namespace qv {

std::string trimBlanks(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) < 33) ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) < 33) --end;
  return text.substr(begin, end - begin);
}

std::optional<double> parseDecimal(const std::string& raw) {
  const std::string text = trimBlanks(raw);
  // Accept only [sign] digits [. digits] [e [sign] digits]: no hex, no inf/nan, no comma.
  size_t i = 0;
  const size_t n = text.size();
  if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
  size_t digits = 0;
  while (i < n && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
  if (i < n && text[i] == '.') {
    ++i;
    while (i < n && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    size_t expDigits = 0;
    while (i < n && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++expDigits;
    if (expDigits == 0) return std::nullopt;
  }
  if (i != n) return std::nullopt;
  const double value = std::strtod(text.c_str(), nullptr);
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace qv

TFrequencyText ParseFrequencyText(const std::string& raw) {
  std::string text = qv::trimBlanks(raw);
  if (text.empty()) return {};
  double factor = 1.0;
  if (text.back() == 'k') {
    factor = 1000.0;
    text.pop_back();
  } else if (text.back() == 'M') {
    factor = 1000000.0;
    text.pop_back();
  }
  const auto value = qv::parseDecimal(text);
  if (!value) return {TFrequencyText::Invalid, 0};
  return {TFrequencyText::Value, *value * factor};
}

std::string TriggerModeName(int ordinal) {
  static const char* const kNames[] = {"Internal", "External", "CW",  "ext-LVDS", "G-BNC",
                                       "G-LVDS",   "nop",      "HV On", "Error"};
  if (ordinal < 0 || ordinal > 8) return "Error";
  return kNames[ordinal];
}

int AdjustSerial(int serial) { return serial >= 1 && serial <= 99 ? serial + 100 : serial; }

std::string SerialLabel(int serial) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "SN%4d", serial);
  return buf;
}

std::string SerialLabel(int headSerial, int psSerial) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "SN%4d (PS%4d)", headSerial, psSerial);
  return buf;
}

std::string CaptionText(uint16_t shownSerial) {
  if (shownSerial == 0) return std::string(kNoSerialLabel) + " - " + kProductName;
  char buf[64];
  std::snprintf(buf, sizeof buf, "SN%4d - %s", static_cast<int>(shownSerial), kProductName);
  return buf;
}

std::string ApplicationTitle(uint16_t shownSerial) {
  return shownSerial == 0 ? std::string(kProductName) : CaptionText(shownSerial);
}

uint16_t CaptionSerial(int lhcVersion, int32_t lhcsn, uint16_t sn) {
  int serial = 0;
  if (lhcVersion == 3) {
    serial = lhcsn > 0 ? static_cast<int>(static_cast<uint32_t>(lhcsn) & 0xFFFF) : 0;
  } else {
    serial = sn;
  }
  return static_cast<uint16_t>(AdjustSerial(serial));
}

std::string PortMessage(int port, const std::string& hint) {
  std::string text = "Cannot open port: COM" + std::to_string(port) +
                     ". \r\n\r\nPlease check:\r\n1) if the port number is correct, \r\n2) if another "
                     "program is using this port.";
  if (!hint.empty()) text += "\r\n" + hint;
  return text;
}

namespace {

std::string codeListText(const char* title, const std::vector<uint16_t>& codes,
                         const TExplainFn& explain) {
  std::string text = std::string(title) + "\r\n-----------------";
  for (uint16_t code : codes) {
    text += "\r\n[" + std::to_string(code) + "] ";
    if (explain) {
      if (auto explanation = explain(code)) text += " " + *explanation;
    }
  }
  return text;
}

}  // namespace

std::string ErrorListText(const std::vector<uint16_t>& codes, const TExplainFn& explain) {
  return codeListText("Laser error list", codes, explain);
}

std::string WarningListText(const std::vector<uint16_t>& codes, const TExplainFn& explain) {
  return codeListText("Laser warning list", codes, explain);
}

std::string RecordingFileName(int32_t headSerial, const std::tm& t) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "SN%.04d_%04d-%02d-%02d_%02d%02d%02d_LT.qlp", headSerial,
                t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
  return buf;
}

namespace {

// Integer conversion as the terminal's rule uses it: [sign] decimal digits, or "$"/"0x" hex.
std::optional<long long> toInteger(const std::string& s) {
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  int base = 10;
  if (i < s.size() && s[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= s.size()) return std::nullopt;
  long long value = 0;
  for (; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    int digit;
    if (std::isdigit(c)) digit = c - '0';
    else if (base == 16 && std::isxdigit(c)) digit = std::tolower(c) - 'a' + 10;
    else return std::nullopt;
    value = value * base + digit;
    if (value > 0x7FFFFFFF) return std::nullopt;
  }
  return negative ? -value : value;
}

}  // namespace

bool ShowsInTerminal(const std::string& text) {
  if (text.size() <= 3) return true;
  if (text[0] != 'w' && text[0] != 'W') return true;
  const size_t blank = text.find(' ', 1);
  if (blank == std::string::npos) return true;
  const auto number = toInteger(text.substr(1, blank - 1));
  return !(number && *number == 1);
}

std::string PasswordCommand(const std::string& password) {
  std::string text = password;
  for (char& c : text) {
    if (c == ',') c = '.';
  }
  return "w01 " + text;
}

std::string TypedCommandText(const std::string& text) {
  std::string lower = text;
  for (char& ch : lower) {
    const auto c = static_cast<unsigned char>(ch);
    unsigned char l = c;
    if (c >= 'A' && c <= 'Z')
      l = c + 32;
    else if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
      l = c + 32;  // A grave to Thorn, not the multiplication sign
    else if (c == 0x8A || c == 0x8C || c == 0x8E)
      l = c + 16;  // S caron, OE, Z caron
    else if (c == 0x9F)
      l = 0xFF;  // Y diaeresis
    ch = static_cast<char>(l);
  }
  return lower;
}

std::vector<std::string> SplitCommandList(const std::string& text) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    const size_t bar = text.find('|', start);
    const std::string part =
        qv::trimBlanks(text.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (!part.empty()) parts.push_back(part);
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  return parts;
}

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

void insertAtCaret(TEditField& f, char c) {
  const size_t start = std::min(f.selStart, f.text.size());
  f.text.erase(start, f.selLength);
  f.text.insert(start, 1, c);
  f.selStart = start + 1;
  f.selLength = 0;
}

}  // namespace

TKeyOutcome FrequencyKeyPress(TEditField& f, char key) {
  switch (key) {
    case 3: case 8: case 22: case 24: case 26:
      return {true, false};  // copy, backspace, paste, cut, undo: the field's own business
    case 13:
      return {true, true};
    default:
      break;
  }
  if (key == ',' || key == '.') {
    if (f.text.find('.') != std::string::npos) return {};
    insertAtCaret(f, '.');
    return {true, false};
  }
  if (isDigit(key)) {
    // Digits always go in front of the suffix.
    if (!f.text.empty() && !isDigit(f.text.back()) && f.text.back() != '.' &&
        f.selStart + f.selLength >= f.text.size() - 1) {
      f.selStart = f.text.size() - 1;
      f.selLength = 0;
    }
    insertAtCaret(f, key);
    return {true, false};
  }
  char suffix = 0;
  if (key == 'k' || key == 'K') suffix = 'k';
  if (key == 'm' || key == 'M') suffix = 'M';
  if (suffix == 0) return {};
  f.text.erase(std::min(f.selStart, f.text.size()), f.selLength);
  f.selLength = 0;
  if (!f.text.empty() && !isDigit(f.text.back())) f.text.back() = suffix;
  else f.text += suffix;
  f.selStart = f.text.size() - 1;
  return {};
}
