#include "extensions/ReplySubstitute.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <cctype>
#include <memory>

#include "catalogue/Pattern.h"

namespace qv {

namespace {

struct CodeDeleter {
  void operator()(pcre2_code* c) const { pcre2_code_free(c); }
};
struct DataDeleter {
  void operator()(pcre2_match_data* d) const { pcre2_match_data_free(d); }
};
struct ContextDeleter {
  void operator()(pcre2_compile_context* c) const { pcre2_compile_context_free(c); }
};

// The catalogue dialect, compiled as the reply parser compiles it: case-sensitive, multi-line,
// "." not matching CR or LF, every quantifier lazy.
std::unique_ptr<pcre2_code, CodeDeleter> compileDialect(const std::string& pattern) {
  const auto translated = Pattern::translateDialect(pattern);
  if (!translated) return nullptr;
  std::unique_ptr<pcre2_compile_context, ContextDeleter> context(pcre2_compile_context_create(nullptr));
  if (!context) return nullptr;
  pcre2_set_newline(context.get(), PCRE2_NEWLINE_ANYCRLF);
  int error = 0;
  PCRE2_SIZE offset = 0;
  return std::unique_ptr<pcre2_code, CodeDeleter>(pcre2_compile(
      reinterpret_cast<PCRE2_SPTR>(translated->data()), translated->size(),
      PCRE2_NEVER_UTF | PCRE2_NEVER_UCP | PCRE2_MULTILINE | PCRE2_UNGREEDY, &error, &offset,
      context.get()));
}

}  // namespace

std::string expandReplyTemplate(const std::string& replacement, const std::vector<std::string>& groups) {
  auto group = [&groups](std::size_t n) { return n < groups.size() ? groups[n] : std::string(); };
  std::string out;
  const std::size_t n = replacement.size();
  for (std::size_t i = 0; i < n; ++i) {
    const char c = replacement[i];
    if (c == '\\') {
      if (i + 1 < n) out += replacement[++i];
      else out += c;  // a backslash at the very end stays
      continue;
    }
    if (c != '$' || i + 1 == n) {
      out += c;
      continue;
    }
    const char next = replacement[i + 1];
    if (next == '&') {
      out += group(0);
      ++i;
    } else if (std::isdigit(static_cast<unsigned char>(next))) {
      std::size_t j = i + 1, number = 0;
      while (j < n && std::isdigit(static_cast<unsigned char>(replacement[j])) && number < 100000)
        number = number * 10 + static_cast<std::size_t>(replacement[j++] - '0');
      out += group(number);
      i = j - 1;
    } else if (next == '{') {
      std::size_t j = i + 2, number = 0;
      while (j < n && std::isdigit(static_cast<unsigned char>(replacement[j])) && number < 100000)
        number = number * 10 + static_cast<std::size_t>(replacement[j++] - '0');
      if (j > i + 2 && j < n && replacement[j] == '}') {
        out += group(number);
        i = j;
      } else {
        out += c;  // not a group reference: the "$" is literal
      }
    } else {
      out += c;
    }
  }
  return out;
}

std::string substituteReply(const std::string& reply, const std::string& pattern,
                            const std::string& replacement) {
  const auto code = compileDialect(pattern);
  if (!code) return reply;
  std::unique_ptr<pcre2_match_data, DataDeleter> data(
      pcre2_match_data_create_from_pattern(code.get(), nullptr));
  if (!data) return reply;
  const auto* subject = reinterpret_cast<PCRE2_SPTR>(reply.data());
  const PCRE2_SIZE length = reply.size();
  std::string out;
  PCRE2_SIZE copied = 0, start = 0;
  bool matched = false;
  while (start <= length) {
    const int rc = pcre2_match(code.get(), subject, length, start, 0, data.get(), nullptr);
    if (rc < 0) break;
    matched = true;
    const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(data.get());
    const auto count = pcre2_get_ovector_count(data.get());
    std::vector<std::string> groups;
    for (uint32_t g = 0; g < count && g < static_cast<uint32_t>(rc); ++g) {
      if (ov[2 * g] == PCRE2_UNSET || ov[2 * g + 1] < ov[2 * g])
        groups.emplace_back();
      else
        groups.emplace_back(reply, ov[2 * g], ov[2 * g + 1] - ov[2 * g]);
    }
    out.append(reply, copied, ov[0] - copied);
    out += expandReplyTemplate(replacement, groups);
    copied = ov[1];
    // An empty match moves on by one character so the scan always ends.
    start = ov[1] > ov[0] ? ov[1] : ov[1] + 1;
    if (ov[1] == ov[0] && ov[1] < length) {
      out += reply[ov[1]];
      copied = ov[1] + 1;
    }
  }
  if (!matched) return reply;
  if (copied < length) out.append(reply, copied, std::string::npos);
  return out;
}

}  // namespace qv
