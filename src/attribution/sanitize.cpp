#include "attribution/sanitize.h"

#include <algorithm>

namespace numtrail::attribution {

namespace {

// Length of the valid UTF-8 sequence starting at text[i] and its code point, or 0 when the
// bytes there do not form one (overlong forms, surrogates and values past U+10FFFF included).
std::size_t DecodeUtf8(std::string_view text, std::size_t i, char32_t& cp) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char b0 = byte(i);
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    std::size_t len = 0;
    char32_t min = 0;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > text.size()) return 0;
    for (std::size_t k = 1; k < len; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

bool Unwanted(char32_t cp) {
    return cp < 0x20 || cp == '"' || cp == '\\' || (cp >= 0x7F && cp <= 0x9F) || cp == 0x2028 ||
           cp == 0x2029;
}

}  // namespace

std::string SanitizeValue(std::string_view text, std::size_t max_bytes) {
    std::string out;
    out.reserve(std::min(text.size(), max_bytes));
    std::size_t i = 0;
    while (i < text.size()) {
        char32_t cp = 0;
        const std::size_t len = DecodeUtf8(text, i, cp);
        if (len == 0) {
            ++i;
            continue;
        }
        if (!Unwanted(cp)) {
            if (out.size() + len > max_bytes) break;
            out.append(text.substr(i, len));
        }
        i += len;
    }
    return out;
}

std::size_t FirstInvalidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        char32_t cp = 0;
        const std::size_t len = DecodeUtf8(text, i, cp);
        if (len == 0) return i;
        i += len;
    }
    return std::string_view::npos;
}

}  // namespace numtrail::attribution
