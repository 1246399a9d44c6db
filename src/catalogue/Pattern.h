// Reply patterns on PCRE2 (8-bit, no UTF).
//
// The catalogue's dialect: case-sensitive, multi-line, "." matches no line break (CR or LF),
// and every quantifier is lazy whether or not a "?" follows it ("x*?" and "x*" are the same,
// "x??" is a lazy optional). Possessive "+" is kept. Plain patterns use PCRE2's own defaults.
// Compiled patterns are cached and may be matched from any thread.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qv {

enum class PatternSyntax {
  Dialect,  // catalogue reply patterns
  Plain,    // PCRE2 defaults (the code-list expression)
};

// The result of a successful match: group 0 is the whole match, then every group up to the
// highest that took part. A group that did not take part reads as empty.
struct PatternMatch {
  std::vector<std::optional<std::string>> groups;

  int highestGroup() const { return static_cast<int>(groups.size()) - 1; }
  bool tookPart(int group) const;
  std::string group(int group) const;  // "" when absent or out of range
};

class Pattern {
 public:
  // Compiles (or fetches from the cache). Null when the pattern is malformed; error gets the
  // reason and the offset when given.
  static std::shared_ptr<const Pattern> compile(const std::string& pattern,
                                                PatternSyntax syntax = PatternSyntax::Dialect,
                                                std::string* error = nullptr);
  // Compiles and matches in one call; nothing for a malformed pattern or no match.
  static std::optional<PatternMatch> match(const std::string& pattern, const std::string& subject,
                                           PatternSyntax syntax = PatternSyntax::Dialect);

  // The dialect pattern rewritten for PCRE2 with PCRE2_UNGREEDY: each "?" that follows a
  // quantifier is dropped. Nothing when the pattern nests quantifiers ("a???").
  static std::optional<std::string> translateDialect(const std::string& pattern);

  // The first match in subject, or nothing.
  std::optional<PatternMatch> match(const std::string& subject) const;
  // The number of capture groups the pattern has.
  int captureCount() const;

  ~Pattern();
  Pattern(const Pattern&) = delete;
  Pattern& operator=(const Pattern&) = delete;

 private:
  struct Code;
  explicit Pattern(std::unique_ptr<Code> code);
  std::unique_ptr<Code> code_;
};

}  // namespace qv

#include "catalogue/LaserCommand.h"

// Matches a reply against an entry and applies the branch rule: when Groups[0] > 0 the highest
// group that took part must be at least 2 and at least Groups[0], and the branch group must be
// empty or read as the entry's SubID. Nothing when the entry does not accept the reply.
std::optional<qv::PatternMatch> MatchCommandReply(const TCommandSyntax& entry,
                                                  const std::string& reply);
