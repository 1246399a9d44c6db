#include "CliOutput.h"

#include <cstdio>
#include <iostream>

namespace qv::cli {

namespace {
// Code points of 0x80..0x9F; 0 marks the five bytes the code page leaves undefined.
const char16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                            0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
}  // namespace

std::string cp1252ToUtf8(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (unsigned char c : bytes) {
    unsigned cp = c;
    if (c >= 0x80 && c < 0xA0 && kHigh[c - 0x80] != 0) cp = kHigh[c - 0x80];
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

std::string utf8ToCp1252(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    const int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    unsigned cp = 0;
    bool valid = len > 0 && i + static_cast<size_t>(len) <= text.size();
    if (valid) {
      cp = len == 1 ? c : c & (0x7F >> len);
      for (int k = 1; k < len; ++k) {
        const auto t = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
        if ((t & 0xC0) != 0x80) valid = false;
        cp = (cp << 6) | (t & 0x3F);
      }
    }
    if (!valid) {  // one stray byte
      out += '?';
      ++i;
      continue;
    }
    i += static_cast<size_t>(len);
    const bool undefinedByte = cp >= 0x80 && cp < 0xA0 && kHigh[cp - 0x80] == 0;
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF) || undefinedByte) {
      out += static_cast<char>(cp);
      continue;
    }
    char byte = '?';
    for (int k = 0; k < 32; ++k) {
      if (kHigh[k] != 0 && kHigh[k] == cp) byte = static_cast<char>(0x80 + k);
    }
    out += byte;
  }
  return out;
}

bool ChangeFilter::shows(const Json& object) {
  const std::string event = object.value("event", "");
  if (event == "OnLaserParam") return false;
  if (event == "OnLaserConnected" || event == "OnLaserDisconnected") {
    lastShown_.clear();
    return true;
  }
  if (event == "OnLaserStatusChanged") {
    lastShown_.erase("OnLaserError");
    lastShown_.erase("OnLaserWarning");
    return true;
  }
  // Failed connection attempts are keyed like values: automatic detection repeats them at its
  // interval while the laser is away, and only the first is news.
  static const char* const kAlways[] = {"OnLaserErrorDismissed",
                                        "OnLaserWarningDismissed",
                                        "OnLaserCommandError",
                                        "OnLaserCommandTimeout",
                                        "OnNotice",
                                        "OnRecordingFinished"};
  for (const char* always : kAlways) {
    if (event == always) return true;
  }
  std::string key = event;
  if (object.contains("branch")) key += " " + object["branch"].dump();
  if (object.contains("file")) key += " " + object["file"].dump();
  auto [at, added] = lastShown_.try_emplace(key, object);
  if (added) return true;
  if (at->second == object) return false;
  at->second = object;
  return true;
}

namespace {

std::string plain(const Json& v) {
  if (v.is_string()) return v.get<std::string>();
  if (v.is_null()) return "-";
  if (v.is_array()) {
    std::string s;
    for (const auto& e : v) s += (s.empty() ? "" : ",") + plain(e);
    return s;
  }
  if (v.is_object()) {
    std::string s;
    for (const auto& [k, e] : v.items()) s += (s.empty() ? "" : ",") + k + ":" + plain(e);
    return s;
  }
  return v.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// Readable form of a text: control characters shown as escapes, so one event stays one line.
std::string visible(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else if (c == '\t') out += "\\t";
    else if (c < 32) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace

void Output::value(const Json& v) {
  if (json_) {
    std::cout << v.dump(-1, ' ', false, Json::error_handler_t::replace) << std::endl;
    return;
  }
  if (v.is_array()) {
    for (const auto& e : v) line(e);
    return;
  }
  if (v.is_object()) {
    for (const auto& [k, e] : v.items()) std::cout << k << ": " << visible(plain(e)) << "\n";
    std::cout.flush();
    return;
  }
  std::cout << plain(v) << std::endl;
}

void Output::line(const Json& object) {
  if (json_) {
    std::cout << object.dump(-1, ' ', false, Json::error_handler_t::replace) << std::endl;
    return;
  }
  std::string text;
  for (const auto& [k, e] : object.items()) {
    if (!text.empty()) text += ' ';
    if (k == "event") text += plain(e);
    else text += k + "=" + visible(plain(e));
  }
  std::cout << text << std::endl;
}

}  // namespace qv::cli
