// Text helpers shared by the portable code: one rule for each.
#pragma once

#include <cstdint>
#include <string_view>

namespace lumora {

// ASCII case-insensitive equality.
bool EqualNoCase(std::string_view a, std::string_view b);

// 32-bit FNV-1a of the text with ASCII letters in lower case (names that
// compare without case hash alike).
uint32_t HashNoCase(std::string_view text);

// A decimal integer with optional sign and nothing else (no blanks, no
// base prefix), within lo..hi; false for empty text, other characters or a
// value outside the range. *value is written only on success.
bool ParseInteger(std::string_view text, int64_t lo, int64_t hi, int64_t* value);

// ParseInteger over the 32-bit range.
bool ParseInt32(std::string_view text, int32_t* value);

}  // namespace lumora
