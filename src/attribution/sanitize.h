#pragma once

#include <cstddef>
#include <limits>
#include <string>
#include <string_view>

namespace numtrail::attribution {

// The desktop program cuts each answer value at the next double quote and never unescapes,
// so a value must hold no double quote, no backslash and no control character (C0, DEL,
// C1, and the line separators U+2028/U+2029 that end a script line). Invalid UTF-8 bytes are
// dropped too. The result is cut at max_bytes without splitting a character.
std::string SanitizeValue(std::string_view text,
                          std::size_t max_bytes = std::numeric_limits<std::size_t>::max());

// The position of the first byte of `text` that does not start a valid UTF-8 sequence
// (overlong forms, surrogates and values past U+10FFFF are invalid), or npos.
std::size_t FirstInvalidUtf8(std::string_view text);

}  // namespace numtrail::attribution
