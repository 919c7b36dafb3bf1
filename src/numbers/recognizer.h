#pragma once

#include <bitset>
#include <cstddef>
#include <memory>
#include <string_view>
#include <type_traits>

#include "attribution/number.h"
#include "numbers/entry_kind.h"

namespace numtrail {

namespace attribution {
class CityTable;
}

// A number found in a line of text, and where it stands.
struct FoundNumber {
    attribution::Number number;
    // Its bytes in the line: from its first digit, or from the "+" of its country code, to
    // just past its last digit. Fillers and invisible characters inside belong to it.
    std::size_t begin = 0;
    std::size_t end = 0;
};

// What a line comes to when only its first number counts.
struct FirstNumber {
    FoundNumber found;  // when kind is Number
    EntryKind kind = EntryKind::NoDigits;
};

// Finds the telephone numbers in a line of UTF-8 text (without its line end), wherever they
// stand: alone, in a field of a contacts export or a spreadsheet row, in a chat message or in
// running text.
//
// A number is written as digit groups (ASCII or full-width digits) with fillers between them:
// blanks (space, tab, U+00A0, U+3000), dashes (U+002D, U+2010 to U+2015, U+2212, U+FF0D), dots
// (U+002E, U+FF0E) and parentheses (ASCII and full-width). Invisible characters (U+200B to
// U+200D, U+2060, U+FEFF, U+00AD) are no character at all, also between two digits. Any other
// character ends a number without spoiling it: "微信同号13800138000", "<13800138000>",
// "13800138000（张经理）". A "+" starts a number that must begin with the country code 86.
//
// What the digits are:
// - a mobile number: 11 digits 1[3-9]..., behind nothing, "86", "0086", "+86" or a
//   long-distance "0";
// - a landline: "0", an area code of the city table and a local number of 7 or 8 digits
//   that starts with 2 to 9; or "+86" or "0086", the area code without (or with) its "0" and
//   the local number. The longest area code that leaves such a local number is taken;
// - a service number: 400 or 800 and 7 digits.
// A number takes whole digit groups, never a piece of one, so a digit run longer than any
// number (an identity card, a bank card, an order number) gives none. Its groups must be
// those people split such a number into (138 0013 8000, 1380 013 8000, 0755-8600-1234,
// 010 6234 5678, 400-800-1234, +86 10 6234 5678): dates, times, amounts, spreadsheet floats
// ("1.38001E+10") and values of neighbouring cells have other groups, and their pieces make
// no number. Four or more groups of
// four digits in a row are a card number written in groups and give none, unless the first
// starts with 0 as no card number does ("0086 0755 8600 1234").
// Where a group could begin several numbers, the one with the most groups is taken; numbers
// never overlap. Several numbers in a line are found in order.
//
// Scanning a line allocates nothing; a line that is a plain mobile number takes a short path.
class NumberRecognizer {
  public:
    // Knows the area codes of `cities`; keeps no reference to it.
    explicit NumberRecognizer(const attribution::CityTable& cities);

    // The recognizer over the city table built into the program.
    static const NumberRecognizer& BuiltIn();

    // Calls `found(const FoundNumber&)` for each number of the line in order, until it returns
    // false (a `found` returning void sees them all). Returns Number when it found one,
    // AsItStood when the line holds a digit (ASCII or full-width) but no number, NoDigits
    // otherwise.
    template <typename Found>
    EntryKind ForEach(std::string_view line, Found&& found) const {
        using F = std::remove_reference_t<Found>;
        const Sink sink = [](void* context, const FoundNumber& number) -> bool {
            F& f = *static_cast<F*>(context);
            if constexpr (std::is_void_v<std::invoke_result_t<F&, const FoundNumber&>>) {
                f(number);
                return true;
            } else {
                return static_cast<bool>(f(number));
            }
        };
        FoundNumber slot;
        return Scan(line, sink, const_cast<void*>(static_cast<const void*>(std::addressof(found))),
                    slot);
    }

    // The first number of the line, or why there is none.
    FirstNumber First(std::string_view line) const;

  private:
    friend class LineScan;
    using Sink = bool (*)(void* context, const FoundNumber& number);

    // Builds each number in `slot` before it gives it to `sink`.
    EntryKind Scan(std::string_view line, Sink sink, void* context, FoundNumber& slot) const;

    std::bitset<100> two_digit_codes_;     // "0xy" by xy: 010, 020 ... 029
    std::bitset<1000> three_digit_codes_;  // "0xyz" by xyz: 0311, 0755 ...
};

}  // namespace numtrail
