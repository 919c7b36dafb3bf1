#pragma once

#include <array>
#include <string_view>

#include "numbers/entry_kind.h"

namespace numtrail {

struct CleanedEntry {
    // The digits first: a caller reading the number as words right after the call then reads
    // what was stored as words, which the processor forwards without a stall.
    std::array<char, 11> digits{};  // the number (11 digits, the first "1"), when kind is Number
    EntryKind kind = EntryKind::NoDigits;

    std::string_view Number() const { return {digits.data(), digits.size()}; }
};

// Cleans one line of UTF-8 text (without its line end) written the way phones and
// spreadsheets write numbers:
// - the line is cut into fields at commas, semicolons (ASCII and full-width), tabs and
//   "|", and the first field that cleans to a number is the entry;
// - inside a field, blanks (space, tab, no-break space, U+3000, U+FEFF), dashes, dots,
//   parentheses and double quotes go, full-width digits become ASCII digits, and a leading
//   "+86", "0086" or "86" goes when eleven digits remain;
// - the field cleans when that leaves 11 ASCII digits starting with "1".
// Blanks around the line need no trimming of their own: they go with the rest of a field's
// blanks, and a tab is a separator. A line with a digit anywhere that does not clean
// ("abc123", "1380013800") stays as it stood; a line without any digit is NoDigits.
// Invalid UTF-8 is just text that is no number.
CleanedEntry CleanEntry(std::string_view line);

}  // namespace numtrail
