// The main window's numeric key filter: keeps the console's number fields numeric.
// A pure function of the focused edit's tag, its text and the typed character.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qv {

// Edits whose tag has any of these bits set are free-text fields (frequency fields with "k"/"M"
// suffixes, the terminal command box) and are not filtered.
constexpr std::uint32_t kFreeTextTagMask = 0xF0000000u;
// An integer-only field: no decimal point at all.
constexpr std::uint32_t kIntegerOnlyTagBit = 0x00010000u;

// The character the edit receives, or nothing when it is swallowed. `tag` is the edit's integer
// tag; `text` its current content (UTF-8 or single-byte; only "." in it matters).
std::optional<char32_t> filterNumericKey(std::int32_t tag, const std::string& text, char32_t typed);

}  // namespace qv
