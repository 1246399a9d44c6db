// Reply substitution for extension windows: every match of a reply pattern (catalogue dialect)
// is replaced by a template. In the template "$n" and "${n}" stand for group n, "$&" and "$0"
// for the whole match, and a backslash makes the next character literal. A reply the pattern
// does not match (or a malformed pattern) comes back unchanged.
#pragma once

#include <string>
#include <vector>

namespace qv {

std::string substituteReply(const std::string& reply, const std::string& pattern,
                            const std::string& replacement);

// One match's text and groups (group 0 the whole match; a group that took no part is empty).
std::string expandReplyTemplate(const std::string& replacement, const std::vector<std::string>& groups);

}  // namespace qv
