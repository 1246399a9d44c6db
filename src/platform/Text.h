// Small text helpers shared by the layers.
#pragma once

#include <string>

namespace qv {

// The text without leading and trailing characters of code 0..32 (blanks and control codes).
std::string trimBlanks(const std::string& text);

}  // namespace qv
