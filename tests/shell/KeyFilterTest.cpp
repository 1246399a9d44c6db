#include "shell/KeyFilter.h"

#include <gtest/gtest.h>

namespace {

constexpr std::int32_t kNumber = 0;               // a current field
constexpr std::int32_t kInteger = 0x00010000;      // integer-only field
constexpr std::int32_t kFrequency = 0x10000000;    // free-text field (top bits)
constexpr std::int32_t kTerminal = static_cast<std::int32_t>(0x80000000u);

struct Case {
  std::int32_t tag;
  const char* text;
  char32_t typed;
  std::optional<char32_t> expected;
};

class KeyFilterCases : public ::testing::TestWithParam<Case> {};

TEST_P(KeyFilterCases, Filters) {
  const Case& c = GetParam();
  EXPECT_EQ(qv::filterNumericKey(c.tag, c.text, c.typed), c.expected)
      << "tag " << c.tag << " text '" << c.text << "' typed " << static_cast<unsigned>(c.typed);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyFilterCases,
    ::testing::Values(
        Case{kNumber, "", U'7', U'7'}, Case{kNumber, "1.5", U'0', U'0'},
        Case{kNumber, "", U',', U'.'},                 // a comma becomes a point
        Case{kNumber, "", U'.', U'.'},
        Case{kNumber, "1.5", U'.', std::nullopt},      // one point only
        Case{kNumber, "1.5", U',', std::nullopt},
        Case{kInteger, "", U'.', std::nullopt},        // integer fields take no point
        Case{kInteger, "12", U'3', U'3'},
        Case{kNumber, "", U'-', std::nullopt},         // no sign
        Case{kNumber, "", U'a', std::nullopt},
        Case{kNumber, "", U' ', std::nullopt},
        Case{kNumber, "", U'\u00e9', std::nullopt},
        Case{kNumber, "1.5", 3, 3}, Case{kNumber, "", 8, 8}, Case{kNumber, "", 13, 13},
        Case{kNumber, "", 22, 22}, Case{kNumber, "", 24, 24}, Case{kNumber, "", 26, 26},
        Case{kNumber, "", 1, std::nullopt},            // Ctrl+A is not among the passed controls
        Case{kFrequency, "1.5", U'k', U'k'},           // free text passes everything
        Case{kFrequency, "1.5", U',', U','},
        Case{kTerminal, "r0", U'-', U'-'}));

}  // namespace
