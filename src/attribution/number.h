#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
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

}  // namespace numtrail::attribution
