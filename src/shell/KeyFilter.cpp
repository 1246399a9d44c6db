#include "shell/KeyFilter.h"

namespace qv {

std::optional<char32_t> filterNumericKey(std::int32_t tag, const std::string& text, char32_t typed) {
  const auto bits = static_cast<std::uint32_t>(tag);
  if (bits & kFreeTextTagMask) return typed;
  switch (typed) {
    case 3:   // Ctrl+C
    case 8:   // Backspace
    case 13:  // Enter
    case 22:  // Ctrl+V
    case 24:  // Ctrl+X
    case 26:  // Ctrl+Z
      return typed;
    default:
      break;
  }
  if (typed >= U'0' && typed <= U'9') return typed;
  if (typed == U',' || typed == U'.') {
    if ((bits & kIntegerOnlyTagBit) || text.find('.') != std::string::npos) return std::nullopt;
    return U'.';
  }
  return std::nullopt;
}

}  // namespace qv
