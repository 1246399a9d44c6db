#include "extensions/ReplySubstitute.h"

#include <gtest/gtest.h>

namespace {

TEST(ReplySubstitute, Cases) {
  struct Case {
    const char* reply;
    const char* pattern;
    const char* tmpl;
    const char* expected;
  } cases[] = {
      {"25.3 C", "\\A(\\d+\\.\\d) C\\Z", "T=$1", "T=25.3"},
      {"25.3 C", "\\A(\\d+\\.\\d) C\\Z", "T=${1}0", "T=25.30"},       // braces end the number
      {"25.3 C", "\\A(\\d+)\\.(\\d) C\\Z", "$2/$1", "3/25"},
      {"25.3 C", "\\A.+\\Z", "[$&|$0]", "[25.3 C|25.3 C]"},
      {"25.3 C", "\\A(\\d+)", "\\$1=$1\\\\", "$1=2\\5.3 C"},  // escapes; lazy "+"; the rest remains
      {"no match", "\\A(\\d+) C\\Z", "T=$1", "no match"},              // unchanged
      {"", "\\A(\\d+)\\Z", "T=$1", ""},
      {"7 C", "\\A(\\d+) C\\Z", "$2|$9|${x}|$", "||${x}|$"},          // absent groups read empty
      {"a1b2", "\\d", "<$0>", "a<1>b<2>"},                             // every match replaced
      {"123", "\\A(\\d+)(\\d*)\\Z", "$1-$2", "1-23"},                  // quantifiers are lazy
      {"123", "\\A(\\d+?)(\\d*)\\Z", "$1-$2", "1-23"},                 // "?" does not invert
      {"x", "(", "T", "x"},                                            // malformed pattern
      {"ab", "x*", "-", "-a-b-"},                                      // empty matches end
  };
  for (const Case& c : cases)
    EXPECT_EQ(qv::substituteReply(c.reply, c.pattern, c.tmpl), c.expected)
        << c.reply << " / " << c.pattern << " / " << c.tmpl;
}

}  // namespace
