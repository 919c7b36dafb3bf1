// The number recognizer over any bytes as one line: every number it reports is made of digits
// of the line, in their order, and stands apart from the digits around it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "numbers/recognizer.h"

namespace {

using numtrail::EntryKind;
using numtrail::FoundNumber;
using numtrail::NumberRecognizer;
using numtrail::attribution::NumberKind;

// The digit, ASCII or full-width, that `text` starts with, and its size in bytes; 0 for none.
std::size_t DigitAt(std::string_view text, char& digit) {
    if (!text.empty() && text[0] >= '0' && text[0] <= '9') {
        digit = text[0];
        return 1;
    }
    if (text.size() >= 3 && text.starts_with("\xEF\xBC")) {
        const auto third = static_cast<unsigned char>(text[2]);
        if (third >= 0x90 && third <= 0x99) {
            digit = static_cast<char>('0' + (third - 0x90));
            return 3;
        }
    }
    return 0;
}

std::string DigitsOf(std::string_view text) {
    std::string digits;
    while (!text.empty()) {
        char digit;
        const std::size_t size = DigitAt(text, digit);
        if (size != 0) digits += digit;
        text.remove_prefix(std::max<std::size_t>(size, 1));
    }
    return digits;
}

constexpr std::string_view kInvisible[] = {"\u200B", "\u200C", "\u200D",
                                           "\u2060", "\uFEFF", "\u00AD"};

bool DigitBefore(std::string_view before) {
    for (bool passed = true; passed;) {
        passed = false;
        for (const std::string_view invisible : kInvisible)
            if (before.ends_with(invisible)) before.remove_suffix(invisible.size()), passed = true;
    }
    char digit;
    if (!before.empty() && DigitAt(before.substr(before.size() - 1), digit) != 0) return true;
    return before.size() >= 3 && DigitAt(before.substr(before.size() - 3), digit) == 3;
}

bool DigitAfter(std::string_view after) {
    for (bool passed = true; passed;) {
        passed = false;
        for (const std::string_view invisible : kInvisible)
            if (after.starts_with(invisible)) after.remove_prefix(invisible.size()), passed = true;
    }
    char digit;
    return DigitAt(after, digit) != 0;
}

void Check(const NumberRecognizer& recognizer, std::string_view line) {
    std::size_t last_end = 0;
    std::size_t count = 0;
    std::string first;
    const EntryKind kind = recognizer.ForEach(line, [&](const FoundNumber& found) {
        if (found.begin < last_end || found.begin >= found.end || found.end > line.size())
            __builtin_trap();
        last_end = found.end;
        const std::string_view span = line.substr(found.begin, found.end - found.begin);
        const std::string_view number = found.number.Digits();
        if (number.find_first_not_of("0123456789") != std::string_view::npos) __builtin_trap();
        // The number's digits close the span's digits, after a prefix; a landline after a
        // country code may have left out its 0.
        const std::string digits = DigitsOf(span);
        const bool whole = digits.ends_with(number);
        if (!whole &&
            !(found.number.kind == NumberKind::Landline && digits.ends_with(number.substr(1))))
            __builtin_trap();
        const std::string prefix = digits.substr(0, digits.size() - number.size() + !whole);
        if (prefix != "86" && prefix != "0086" && !(whole && (prefix.empty() || prefix == "0")))
            __builtin_trap();
        // It starts with a digit or a plus and ends with a digit, and is never a piece of a
        // longer run of digits.
        const bool plus = span.starts_with("+") || span.starts_with("\uFF0B");
        char digit;
        if ((!plus && DigitAt(span, digit) == 0) || !DigitBefore(span)) __builtin_trap();
        if ((!plus && DigitBefore(line.substr(0, found.begin))) ||
            DigitAfter(line.substr(found.end)))
            __builtin_trap();
        // A number's own digits are that number.
        const numtrail::FirstNumber again = recognizer.First(number);
        if (again.found.number.Digits() != number || again.found.number.kind != found.number.kind)
            __builtin_trap();
        if (count++ == 0) first = number;
    });
    const bool has_digit = !DigitsOf(line).empty();
    if (kind != (count != 0  ? EntryKind::Number
                 : has_digit ? EntryKind::AsItStood
                             : EntryKind::NoDigits))
        __builtin_trap();
    const numtrail::FirstNumber only_first = recognizer.First(line);
    if (only_first.kind != kind || (count != 0 && only_first.found.number.Digits() != first))
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Check(NumberRecognizer::BuiltIn(), {reinterpret_cast<const char*>(data), size});
    return 0;
}
