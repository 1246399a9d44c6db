#include "catalogue/Pattern.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <charconv>
#include <mutex>
#include <unordered_map>

namespace qv {

namespace {

// A backtracking runaway on a strange reply must end as "no match", not as a hung parser.
// Steps of one match. Each step of a pattern with many groups copies a frame that holds all of
// them, so a million steps on a hostile pattern (an extension file's) kept the parser thread
// busy for most of a second per line; the longest real answers need a few thousand.
constexpr uint32_t kMatchLimit = 100'000;
constexpr uint32_t kDepthLimit = 10'000;
constexpr std::size_t kCacheLimit = 512;

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// The end of a counted repetition "{n}", "{n,}" or "{n,m}" starting at p[at] == '{', or 0 when
// the brace is a literal.
std::size_t countedEnd(const std::string& p, std::size_t at) {
  std::size_t i = at + 1;
  std::size_t digits = 0;
  while (i < p.size() && isDigit(p[i])) ++i, ++digits;
  if (digits == 0) return 0;
  if (i < p.size() && p[i] == ',') {
    ++i;
    while (i < p.size() && isDigit(p[i])) ++i;
  }
  if (i < p.size() && p[i] == '}') return i + 1;
  return 0;
}

// The end of the quantifier starting at p[at], or 0 when there is none.
std::size_t quantifierEnd(const std::string& p, std::size_t at) {
  if (at >= p.size()) return 0;
  char c = p[at];
  if (c == '*' || c == '+' || c == '?') return at + 1;
  if (c == '{') return countedEnd(p, at);
  return 0;
}

// Past the "}" of a braced escape argument ("\x{41}") that starts at p[at] == '{'.
std::size_t bracedEnd(const std::string& p, std::size_t at) {
  std::size_t close = p.find('}', at);
  return close == std::string::npos ? p.size() : close + 1;
}

bool takesBracedArgument(char c) {
  return c == 'x' || c == 'o' || c == 'p' || c == 'P' || c == 'N' || c == 'g' || c == 'k';
}

// Past a "\Q...\E" run starting at p[at] == '\\', p[at + 1] == 'Q'.
std::size_t quotedEnd(const std::string& p, std::size_t at) {
  std::size_t close = p.find("\\E", at + 2);
  return close == std::string::npos ? p.size() : close + 2;
}

// Past the escape starting at p[at] == '\\' (outside or inside a class).
std::size_t escapeEnd(const std::string& p, std::size_t at) {
  if (at + 1 >= p.size()) return p.size();
  char c = p[at + 1];
  if (c == 'Q') return quotedEnd(p, at);
  if (c == 'c') return std::min(p.size(), at + 3);  // "\c?" is a control character
  if (takesBracedArgument(c) && at + 2 < p.size() && p[at + 2] == '{') return bracedEnd(p, at + 2);
  return at + 2;
}

// Past the character class starting at p[at] == '['. A "]" right after "[" or "[^" is a member;
// POSIX classes "[:alpha:]" and escapes do not end the class.
std::size_t classEnd(const std::string& p, std::size_t at) {
  std::size_t i = at + 1;
  if (i < p.size() && p[i] == '^') ++i;
  if (i < p.size() && p[i] == ']') ++i;
  while (i < p.size()) {
    char c = p[i];
    if (c == '\\') {
      i = escapeEnd(p, i);
    } else if (c == '[' && i + 1 < p.size() &&
               (p[i + 1] == ':' || p[i + 1] == '.' || p[i + 1] == '=')) {
      std::string close{p[i + 1], ']'};
      std::size_t end = p.find(close, i + 2);
      i = end == std::string::npos ? i + 1 : end + 2;
    } else if (c == ']') {
      return i + 1;
    } else {
      ++i;
    }
  }
  return p.size();
}

struct MatchContext {
  MatchContext() {
    context = pcre2_match_context_create(nullptr);
    if (context) {
      pcre2_set_match_limit(context, kMatchLimit);
      pcre2_set_depth_limit(context, kDepthLimit);
    }
  }
  ~MatchContext() { pcre2_match_context_free(context); }
  pcre2_match_context* context = nullptr;
};

}  // namespace

struct Pattern::Code {
  ~Code() { pcre2_code_free(code); }
  pcre2_code* code = nullptr;
};

Pattern::Pattern(std::unique_ptr<Code> code) : code_(std::move(code)) {}
Pattern::~Pattern() = default;

bool PatternMatch::tookPart(int g) const {
  return g >= 0 && g < static_cast<int>(groups.size()) && groups[static_cast<std::size_t>(g)];
}

std::string PatternMatch::group(int g) const {
  return tookPart(g) ? *groups[static_cast<std::size_t>(g)] : std::string();
}

std::optional<std::string> Pattern::translateDialect(const std::string& p) {
  std::string out;
  out.reserve(p.size());
  bool canQuantify = false;  // the last thing emitted is an item a quantifier may follow
  std::size_t i = 0;
  while (i < p.size()) {
    if (canQuantify) {
      if (std::size_t end = quantifierEnd(p, i)) {
        out.append(p, i, end - i);
        i = end;
        if (i < p.size() && p[i] == '?') {
          ++i;  // lazy already; under PCRE2_UNGREEDY the "?" would make it greedy
          if (quantifierEnd(p, i)) return std::nullopt;  // "a???": a nested quantifier
        } else if (i < p.size() && p[i] == '+') {
          out += '+';  // possessive stays possessive
          ++i;
        }
        canQuantify = false;
        continue;
      }
    }
    char c = p[i];
    std::size_t end = i + 1;
    switch (c) {
      case '\\':
        end = escapeEnd(p, i);
        if (i + 1 < p.size() && p[i + 1] == 'Q') {
          bool closed = end >= i + 4 && p.compare(end - 2, 2, "\\E") == 0;
          if ((closed ? end - 2 : end) > i + 2) canQuantify = true;  // quoted text is an item
        } else if (!(i + 1 < p.size() && p[i + 1] == 'E')) {
          canQuantify = true;
        }
        break;
      case '[':
        end = classEnd(p, i);
        canQuantify = true;
        break;
      case '(':
        if (i + 1 < p.size() && p[i + 1] == '*') {  // "(*VERB)"
          std::size_t close = p.find(')', i);
          end = close == std::string::npos ? p.size() : close + 1;
          canQuantify = false;
        } else if (p.compare(i, 3, "(?#") == 0) {  // comment: leaves the item before it
          std::size_t close = p.find(')', i);
          end = close == std::string::npos ? p.size() : close + 1;
        } else {
          if (i + 1 < p.size() && p[i + 1] == '?') end = i + 2;  // "(?:", "(?=", "(?<name>"
          canQuantify = false;
        }
        break;
      case ')':
        canQuantify = true;
        break;
      case '|':
      case '^':
      case '$':
        canQuantify = false;
        break;
      default:
        canQuantify = true;
        break;
    }
    out.append(p, i, end - i);
    i = end;
  }
  return out;
}

std::shared_ptr<const Pattern> Pattern::compile(const std::string& pattern, PatternSyntax syntax,
                                                std::string* error) {
  static std::mutex cacheLock;  // guards cache
  static std::unordered_map<std::string, std::shared_ptr<const Pattern>> cache;
  std::string key = (syntax == PatternSyntax::Dialect ? 'D' : 'P') + pattern;
  {
    std::lock_guard guard(cacheLock);
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;
  }

  std::string source = pattern;
  uint32_t options = PCRE2_NEVER_UTF | PCRE2_NEVER_UCP;
  pcre2_compile_context* context = nullptr;
  if (syntax == PatternSyntax::Dialect) {
    std::optional<std::string> translated = translateDialect(pattern);
    if (!translated) {
      if (error) *error = "nested quantifier";
      return nullptr;
    }
    source = *translated;
    options |= PCRE2_MULTILINE | PCRE2_UNGREEDY;
    // Replies join their lines with CR LF: "." must match neither, "$" must see both.
    context = pcre2_compile_context_create(nullptr);
    if (context) pcre2_set_newline(context, PCRE2_NEWLINE_ANYCRLF);
  }
  int errorCode = 0;
  PCRE2_SIZE errorOffset = 0;
  auto code = std::make_unique<Code>();
  code->code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(source.data()), source.size(), options,
                             &errorCode, &errorOffset, context);
  pcre2_compile_context_free(context);
  if (!code->code) {
    if (error) {
      PCRE2_UCHAR message[256];
      pcre2_get_error_message(errorCode, message, sizeof message);
      *error = std::string(reinterpret_cast<const char*>(message)) + " at offset " +
               std::to_string(errorOffset);
    }
    return nullptr;
  }
  std::shared_ptr<const Pattern> compiled(new Pattern(std::move(code)));
  std::lock_guard guard(cacheLock);
  if (cache.size() >= kCacheLimit) cache.clear();
  cache.emplace(std::move(key), compiled);
  return compiled;
}

std::optional<PatternMatch> Pattern::match(const std::string& subject) const {
  static const MatchContext limits;
  pcre2_match_data* data = pcre2_match_data_create_from_pattern(code_->code, nullptr);
  if (!data) return std::nullopt;
  int rc = pcre2_match(code_->code, reinterpret_cast<PCRE2_SPTR>(subject.data()), subject.size(), 0,
                       0, data, limits.context);
  std::optional<PatternMatch> result;
  if (rc > 0) {
    PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data);
    result.emplace();
    result->groups.resize(static_cast<std::size_t>(rc));
    for (int g = 0; g < rc; ++g) {
      PCRE2_SIZE start = ovector[2 * g];
      PCRE2_SIZE end = ovector[2 * g + 1];
      if (start != PCRE2_UNSET && end >= start)
        result->groups[static_cast<std::size_t>(g)] = subject.substr(start, end - start);
    }
  }
  pcre2_match_data_free(data);
  return result;
}

int Pattern::captureCount() const {
  uint32_t count = 0;
  pcre2_pattern_info(code_->code, PCRE2_INFO_CAPTURECOUNT, &count);
  return static_cast<int>(count);
}

std::optional<PatternMatch> Pattern::match(const std::string& pattern, const std::string& subject,
                                           PatternSyntax syntax) {
  std::shared_ptr<const Pattern> compiled = compile(pattern, syntax);
  if (!compiled) return std::nullopt;
  return compiled->match(subject);
}

}  // namespace qv

std::optional<qv::PatternMatch> MatchCommandReply(const TCommandSyntax& entry,
                                                  const std::string& reply) {
  if (entry.Pattern.empty()) return std::nullopt;  // such entries never match
  std::optional<qv::PatternMatch> m = qv::Pattern::match(entry.Pattern, reply);
  if (!m) return std::nullopt;
  int branchGroup = entry.Groups.empty() ? -1 : entry.Groups[0];
  if (branchGroup > 0) {
    if (m->highestGroup() < 2 || m->highestGroup() < branchGroup) return std::nullopt;
    std::string branch = m->group(branchGroup);
    if (!branch.empty()) {
      int value = -1;
      auto [end, ec] = std::from_chars(branch.data(), branch.data() + branch.size(), value);
      if (ec != std::errc() || end != branch.data() + branch.size() || value != entry.SubID)
        return std::nullopt;
    }
  }
  return m;
}
