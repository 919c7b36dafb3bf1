#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

#include "attribution/record.h"

namespace numtrail::attribution {

// A telephone number as it was recognised in a text: its kind and its national digits, as
// they are asked about and written out (13800138000, 01062345678, 4008001234).
struct Number {
    // A landline: 0, an area code of two or three digits and a local number of 7 or 8.
    static constexpr std::size_t kMaxDigits = 12;

    std::array<char, kMaxDigits> digits{};
    std::uint8_t size = 0;
    // A landline's area code with its 0 ("010", "0755"): the first digits.
    std::uint8_t area_code_size = 0;
    NumberKind kind = NumberKind::None;

    std::string_view Digits() const { return {digits.data(), size}; }
    std::string_view AreaCode() const { return {digits.data(), area_code_size}; }
    explicit operator bool() const { return kind != NumberKind::None; }
};

// Eleven ASCII digits starting with 1, the way the window checks a number and the service
// reads one from its query, as a mobile number; anything else is no number.
inline Number MobileNumber(std::string_view text) {
    Number number;
    if (text.size() != 11 || text[0] != '1') return number;
    for (const char c : text)
        if (c < '0' || c > '9') return number;
    std::memcpy(number.digits.data(), text.data(), 11);
    number.size = 11;
    number.kind = NumberKind::Mobile;
    return number;
}

// The 7-digit prefix of eleven ASCII digits, or nullopt for anything else. Eight characters
// are checked and converted at once in one 64-bit word: a look-up should cost a few
// nanoseconds, and the digit loop was most of it.
inline std::optional<std::uint32_t> PrefixOf(std::string_view number) {
    if (number.size() != 11) return std::nullopt;
    if constexpr (std::endian::native == std::endian::little) {
        std::uint64_t v;
        std::memcpy(&v, number.data(), 8);
        // Every byte's high nibble, and that of the byte plus 6, must be 3: '0' to '9' only.
        // A carry out of one byte can only come from a byte that already fails.
        constexpr std::uint64_t kHigh = 0xF0F0F0F0F0F0F0F0ull;
        if (((v & kHigh) | (((v + 0x0606060606060606ull) & kHigh) >> 4)) != 0x3333333333333333ull)
            return std::nullopt;
        for (std::size_t i = 8; i < 11; ++i) {
            if (static_cast<unsigned char>(number[i]) - unsigned{'0'} > 9) return std::nullopt;
        }
        v -= 0x3030303030303030ull;
        v = v * 10 + (v >> 8);  // pairs of digits
        v = (((v & 0x000000FF000000FFull) * (100 + (1000000ull << 32))) +
             (((v >> 16) & 0x000000FF000000FFull) * (1 + (10000ull << 32)))) >>
            32;
        return static_cast<std::uint32_t>(v / 10);
    } else {
        std::uint32_t prefix = 0;
        for (std::size_t i = 0; i < 11; ++i) {
            const unsigned digit = static_cast<unsigned char>(number[i]) - unsigned{'0'};
            if (digit > 9) return std::nullopt;
            if (i < 7) prefix = prefix * 10 + digit;
        }
        return prefix;
    }
}

}  // namespace numtrail::attribution
