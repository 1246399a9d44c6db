// The reply-pattern dialect: every quantifier lazy, "?" after a quantifier not inverting it.
// Expected groups were worked out with Python's re on the same patterns written with explicit
// lazy quantifiers (second column of the comments where they differ), except where Python's
// line-break rules differ from the dialect's (CR counts as a line break here).
#include "catalogue/Pattern.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using qv::Pattern;
using qv::PatternMatch;
using qv::PatternSyntax;

const std::optional<std::string> kNo;  // a group that did not take part

struct Translation {
  const char* dialect;
  std::optional<std::string> pcre;  // nothing: rejected
};

class PatternTranslation : public testing::TestWithParam<Translation> {};

TEST_P(PatternTranslation, DropsOnlyTheQuestionMarkAfterAQuantifier) {
  EXPECT_EQ(Pattern::translateDialect(GetParam().dialect), GetParam().pcre) << GetParam().dialect;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Dialect, PatternTranslation,
    testing::Values(
        Translation{R"(a*?b+?c??d{2,3}?e{2}?f{2,}?)", R"(a*b+c?d{2,3}e{2}f{2,})"},
        Translation{R"(a*b+c?)", R"(a*b+c?)"},
        Translation{R"((\.0*?)??)", R"((\.0*)?)"},
        Translation{R"(a++b*+c?+)", R"(a++b*+c?+)"},                // possessive kept
        Translation{R"((?:x)?(?=y)?(?<n>z)??)", R"((?:x)?(?=y)?(?<n>z)?)"},
        Translation{R"(\???\*??x)", R"(\??\*?x)"},                 // escaped items quantified
        Translation{R"([?*+]??[]?]*?[^]?]+?)", R"([?*+]?[]?]*[^]?]+)"},  // class members stay
        Translation{R"([[:alpha:]?]??)", R"([[:alpha:]?]?)"},       // POSIX class inside
        Translation{R"([\]?]??)", R"([\]?]?)"},
        Translation{R"(\Qa?*?\E??)", R"(\Qa?*?\E?)"},               // quoted text is literal
        Translation{R"(\Q\E??)", R"(\Q\E??)"},                      // empty quote: no item
        Translation{R"(\x{41}??\p{L}*?)", R"(\x{41}?\p{L}*)"},
        Translation{R"(x{a}?? x{,2}??)", R"(x{a}? x{,2}?)"},         // literal braces
        Translation{R"((*UTF)?)", R"((*UTF)?)"},
        Translation{R"(a(?#?*)??)", R"(a(?#?*)?)"},
        Translation{R"(a|??)", R"(a|??)"},                          // nothing to quantify
        Translation{R"(a???)", std::nullopt}));
// clang-format on

struct Semantics {
  const char* pattern;
  std::string subject;
  std::vector<std::optional<std::string>> groups;  // empty: no match
};

class PatternSemantics : public testing::TestWithParam<Semantics> {};

TEST_P(PatternSemantics, MatchesAsTheLazyEquivalent) {
  const Semantics& c = GetParam();
  std::string error;
  auto compiled = Pattern::compile(c.pattern, PatternSyntax::Dialect, &error);
  ASSERT_TRUE(compiled) << c.pattern << ": " << error;
  std::optional<PatternMatch> m = compiled->match(c.subject);
  if (c.groups.empty()) {
    EXPECT_FALSE(m) << c.pattern;
    return;
  }
  ASSERT_TRUE(m) << c.pattern;
  EXPECT_EQ(m->groups, c.groups) << c.pattern;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Dialect, PatternSemantics,
    testing::Values(
        Semantics{R"(a+)", "aaa", {"a"}},
        Semantics{R"(a+?)", "aaa", {"a"}},  // not inverted to greedy
        Semantics{R"((a*)(a*)b)", "aaab", {"aaab", "", "aaa"}},
        Semantics{R"((a??)(a*)\Z)", "aa", {"aa", "", "aa"}},
        Semantics{R"((a?)(a*)\Z)", "aa", {"aa", "", "aa"}},
        Semantics{R"((\d{2,4})(\d*))", "12345", {"12", "12", ""}},
        Semantics{R"((\d{2,}))", "12345", {"12", "12"}},
        Semantics{R"(x{1}y)", "xxy", {"xy"}},
        Semantics{R"((\d+)(\d))", "123", {"12", "1", "2"}},
        Semantics{R"(\d++\d)", "123", {}},  // possessive gives nothing back
        Semantics{R"(ok)", "OK", {}},       // case matters
        Semantics{R"((a)|(b))", "b", {"b", kNo, "b"}},
        Semantics{R"((a)|(b)(c)?)", "bc", {"b", kNo, "b"}},  // trailing unmatched group dropped
        Semantics{R"([]a]+)", "]]a", {"]"}},
        Semantics{R"([^]a]+)", "xy]", {"x"}},
        Semantics{R"([[:digit:]?]+)", "1?2", {"1"}},
        Semantics{R"(\Qa*?\E+)", "a*?a*?", {"a*?"}},
        Semantics{R"(\x{41}+)", "AAA", {"A"}},
        Semantics{R"((?:ab)+)", "ababab", {"ab"}},
        Semantics{R"((?=a)(a+))", "aa", {"a", "a"}},
        Semantics{R"(\.?5)", ".5", {".5"}},
        Semantics{R"(a\|+)", "a||", {"a|"}},
        // Line breaks: "." matches neither CR nor LF; "^" and "$" work at CR LF.
        Semantics{R"(a.b)", "a\rb", {}},
        Semantics{R"(\A(.*)\Z)", "ab\r\ncd", {}},
        Semantics{R"(^B$)", "A\r\nB\r\nC", {"B"}},
        Semantics{R"(\AA\r\nB\Z)", "A\r\nB", {"A\r\nB"}},
        // Bytes above 127 are single characters (no UTF).
        Semantics{"\\A(\\d+?)\xB0" "C\\Z", "25\xB0" "C", {"25\xB0" "C", "25"}},
        Semantics{R"(\A.\Z)", "\xFF", {"\xFF"}}));
// clang-format on

TEST(Pattern, MalformedPatternsReportAnErrorAndNeverMatch) {
  for (const char* bad : {"(a", "a???", "[a", "(*UTF)a"}) {
    std::string error;
    EXPECT_FALSE(Pattern::compile(bad, PatternSyntax::Dialect, &error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
    EXPECT_FALSE(Pattern::match(bad, "a")) << bad;
  }
}

TEST(Pattern, PlainSyntaxKeepsPcreDefaults) {
  // Greedy unless marked lazy, and "." takes a CR: the code-list expression relies on neither
  // the dialect's laziness nor its line breaks.
  EXPECT_EQ(Pattern::match("a+", "aaa", PatternSyntax::Plain)->group(0), "aaa");
  EXPECT_EQ(Pattern::match("a+?", "aaa", PatternSyntax::Plain)->group(0), "a");
  EXPECT_TRUE(Pattern::match("a.b", "a\rb", PatternSyntax::Plain));
  auto codes = Pattern::match(R"(^(([ \t]*?\d+?[ \t]*?(\r\n|\n|\r))*?)[ \t]*?(\r\n|\n|\r))",
                              "80\r\n 93 \r\n\r\nrest", PatternSyntax::Plain);
  ASSERT_TRUE(codes);
  EXPECT_EQ(codes->group(1), "80\r\n 93 \r\n");
}

TEST(Pattern, RunawayBacktrackingEndsAsNoMatch) {
  EXPECT_FALSE(
      Pattern::match(R"(\A(a|aa)+\Z)", std::string(5000, 'a') + "b", PatternSyntax::Plain));
}

// The step limit stops runaway patterns, not long answers: a code list of 500 codes and a reply
// line of 4000 characters still match.
TEST(Pattern, LongAnswersStayWithinTheStepLimit) {
  std::string list;
  for (int i = 0; i < 500; ++i) list += " " + std::to_string(1000 + i) + " \r\n";
  auto codes = Pattern::match(R"(^(([ \t]*?\d+?[ \t]*?(\r\n|\n|\r))*?)[ \t]*?(\r\n|\n|\r))",
                              list + "\r\n", PatternSyntax::Plain);
  ASSERT_TRUE(codes);
  EXPECT_EQ(codes->group(1), list);
  const std::string text(4000, 'X');
  auto shown = Pattern::match(R"(\A[ \t]*?(.+?)[ \t]*?\Z)", text);
  ASSERT_TRUE(shown);
  EXPECT_TRUE(shown->group(1) == text);
}

TEST(Pattern, CompiledPatternsAreSharedAcrossThreads) {
  auto first = Pattern::compile(R"(\AIMON[ \t]*?(\d)[ \t]*?=[ \t]*?(\d{1,3}.\d\d)\Z)");
  ASSERT_TRUE(first);
  EXPECT_EQ(first, Pattern::compile(R"(\AIMON[ \t]*?(\d)[ \t]*?=[ \t]*?(\d{1,3}.\d\d)\Z)"));
  EXPECT_EQ(first->captureCount(), 2);
  std::vector<std::thread> threads;
  std::vector<int> hits(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 500; ++i) {
        auto m = Pattern::match(R"(\AIMON[ \t]*?(\d)[ \t]*?=[ \t]*?(\d{1,3}.\d\d)\Z)",
                                "IMON " + std::to_string(t) + " = 1.2" + std::to_string(i % 10));
        if (m && m->group(1) == std::to_string(t)) ++hits[static_cast<std::size_t>(t)];
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(hits, std::vector<int>(4, 500));
}

}  // namespace
