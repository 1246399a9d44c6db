// The reply-pattern dialect: any pattern text through the lazy-quantifier translation and the
// compilation, then a match on any subject (the match limit keeps it bounded). Also the branch
// rule of a catalogue entry built on that pattern.
//
// Input: syntax byte, pattern text, 0, subject.
#include <cstdint>

#include "FuzzInput.h"
#include "catalogue/LaserCommand.h"
#include "catalogue/Pattern.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qv::fuzz::Input in(data, size);
  const uint8_t mode = in.byte();
  const std::string pattern = in.text();
  const std::string subject = in.rest();
  const auto syntax = (mode & 1) ? qv::PatternSyntax::Plain : qv::PatternSyntax::Dialect;

  const std::optional<std::string> translated = qv::Pattern::translateDialect(pattern);
  // The translation only drops characters.
  if (translated && translated->size() > pattern.size())
    qv::fuzz::fail("the dialect translation grew the pattern", pattern);

  std::string error;
  const auto compiled = qv::Pattern::compile(pattern, syntax, &error);
  if (!compiled) {
    if (qv::Pattern::match(pattern, subject, syntax))
      qv::fuzz::fail("a malformed pattern matched", pattern);
    return 0;
  }
  const std::optional<qv::PatternMatch> m = compiled->match(subject);
  if (m) {
    if (m->groups.empty() || !m->tookPart(0)) qv::fuzz::fail("a match without group 0", pattern);
    if (m->highestGroup() > compiled->captureCount())
      qv::fuzz::fail("more groups than the pattern has", pattern);
    if (m->group(0).size() > subject.size()) qv::fuzz::fail("group 0 longer than the subject");
    (void)m->group(-1);
    (void)m->group(m->highestGroup() + 1);
  }
  if (syntax == qv::PatternSyntax::Dialect) {
    TCommandSyntax entry;
    entry.Command = lcReadCurrent;
    entry.Pattern = pattern;
    entry.SubID = static_cast<uint8_t>(mode >> 4);
    entry.Groups = {static_cast<int16_t>((mode >> 1) & 7), 1, 2};
    (void)MatchCommandReply(entry, subject);
  }
  return 0;
}
