// The console's reply-pattern dialect on std::regex, written independently of the catalogue's own
// matcher so that the simulator's replies are checked by a second reading of the same patterns:
// every quantifier lazy (a "?" after one keeps it lazy), \A and \Z anchor the whole reply, "."
// stops at line breaks, case-sensitive. The reply is trimmed of bytes up to 32 at both ends first,
// as the console does before matching.
#pragma once

#include <optional>
#include <regex>
#include <string>
#include <vector>

namespace qv::test {

inline std::string toEcmaLazy(const std::string& p) {
  std::string out;
  bool inClass = false;
  for (size_t i = 0; i < p.size(); ++i) {
    char ch = p[i];
    if (ch == '\\' && i + 1 < p.size()) {
      char next = p[++i];
      if (!inClass && next == 'A') {
        out += '^';
      } else if (!inClass && next == 'Z') {
        out += '$';
      } else {
        out += '\\';
        out += next;
      }
      continue;
    }
    if (inClass) {
      if (ch == ']') inClass = false;
      out += ch;
      continue;
    }
    if (ch == '[') {
      inClass = true;
      out += ch;
      if (i + 1 < p.size() && p[i + 1] == ']') out += p[++i];  // "[]...]"
      continue;
    }
    bool quantifier = ch == '*' || ch == '+' || (ch == '?' && !out.empty() && out.back() != '(');
    if (ch == '{') {
      size_t close = p.find('}', i);
      if (close != std::string::npos) {
        out += p.substr(i, close - i + 1);
        i = close;
        quantifier = true;
      } else {
        out += ch;
        continue;
      }
    } else {
      out += ch;
    }
    if (quantifier) {
      if (i + 1 < p.size() && p[i + 1] == '?') ++i;  // already lazy: "??" stays "??"
      out += '?';
    }
  }
  return out;
}

inline std::string trimReply(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
  return s.substr(b, e - b);
}

// The capture groups (0 = whole match; empty text for a group that took no part) when the reply
// matches the pattern, else nothing.
inline std::optional<std::vector<std::string>> matchReply(const std::string& pattern,
                                                          const std::string& reply) {
  std::regex re(toEcmaLazy(pattern), std::regex::ECMAScript);
  std::smatch m;
  std::string text = trimReply(reply);
  if (!std::regex_search(text, m, re)) return std::nullopt;
  std::vector<std::string> groups;
  for (size_t i = 0; i < m.size(); ++i) groups.push_back(m[i].matched ? m[i].str() : "");
  return groups;
}

}  // namespace qv::test
