#include "numbers/entry_cleaning.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace numtrail {
namespace {

enum class CharClass { Digit, Filler, Plus, Separator, Other };

struct Char {
    CharClass kind;
    char digit;  // the ASCII digit, for kind Digit
};

// The class of one code point.
constexpr Char Classify(char32_t c) {
    if (c >= U'0' && c <= U'9') return {CharClass::Digit, static_cast<char>(c)};
    if (c >= U'０' && c <= U'９') return {CharClass::Digit, static_cast<char>('0' + (c - U'０'))};
    switch (c) {
        case U',':
        case U';':
        case U'\t':
        case U'|':
        case U'，':
        case U'；':
            return {CharClass::Separator, 0};
        case U'+':
        case U'＋':
            return {CharClass::Plus, 0};
        case U' ':
        case U'\u00A0':  // no-break space
        case U'\u3000':  // ideographic space
        case U'\uFEFF':  // a byte order mark left inside a line by joined files
        case U'-':
        case U'－':
        case U'\u2212':  // minus sign
        case U'.':
        case U'．':
        case U'(':
        case U')':
        case U'（':
        case U'）':
        case U'"':  // quoted fields of a CSV export
            return {CharClass::Filler, 0};
        default:
            // Hyphen, non-breaking hyphen, figure dash, en dash, em dash, horizontal bar.
            if (c >= U'\u2010' && c <= U'\u2015') return {CharClass::Filler, 0};
            return {CharClass::Other, 0};
    }
}

// One code point of UTF-8 and its length. An invalid or overlong sequence yields a single
// byte that is no character at all, which classifies as Other.
struct Decoded {
    char32_t c;
    std::size_t size;
};

Decoded DecodeAt(std::string_view s, std::size_t i) {
    constexpr char32_t kInvalid = 0xFFFFFFFF;
    const auto lead = static_cast<unsigned char>(s[i]);
    if (lead < 0x80) return {lead, 1};
    std::size_t size;
    char32_t c;
    char32_t least;
    if (lead >= 0xC2 && lead <= 0xDF) {
        size = 2, c = lead & 0x1Fu, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        size = 3, c = lead & 0x0Fu, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        size = 4, c = lead & 0x07u, least = 0x10000;
    } else {
        return {kInvalid, 1};
    }
    if (s.size() - i < size) return {kInvalid, 1};
    for (std::size_t k = 1; k < size; ++k) {
        const auto next = static_cast<unsigned char>(s[i + k]);
        if ((next & 0xC0) != 0x80) return {kInvalid, 1};
        c = (c << 6) | (next & 0x3Fu);
    }
    if (c < least || c > 0x10FFFF) return {kInvalid, 1};
    return {c, size};
}

// Puts the number that a field's digits give into `out`, when they give one: eleven digits
// starting with "1", after a country code "86" behind a plus, or "0086" or "86" before them.
bool FinishNumber(std::string_view d, bool plus, std::array<char, 11>& out) {
    if (plus) {
        if (!d.starts_with("86")) return false;
        d.remove_prefix(2);
    } else if (d.size() == 15 && d.starts_with("0086")) {
        d.remove_prefix(4);
    } else if (d.size() == 13 && d.starts_with("86")) {
        d.remove_prefix(2);
    }
    if (d.size() != out.size() || d[0] != '1') return false;
    std::copy(d.begin(), d.end(), out.begin());
    return true;
}

// The digits of one field as they are gathered, and whether the field can still clean.
class Field {
  public:
    void Add(const Char& ch) {
        if (failed_) return;
        switch (ch.kind) {
            case CharClass::Digit:
                if (size_ == sizeof digits_) {
                    failed_ = true;
                } else {
                    digits_[size_++] = ch.digit;
                }
                return;
            case CharClass::Filler:
                return;
            case CharClass::Plus:
                // Only as the country code's sign before any digit.
                if (size_ != 0 || plus_) failed_ = true;
                plus_ = true;
                return;
            case CharClass::Separator:
            case CharClass::Other:
                failed_ = true;
                return;
        }
    }

    void Reset() { size_ = 0, plus_ = false, failed_ = false; }

    // Puts the number into `out` when the field cleans to one.
    bool Finish(std::array<char, 11>& out) const {
        return !failed_ && FinishNumber({digits_, size_}, plus_, out);
    }

  private:
    char digits_[15];  // the longest field that can clean: "0086" and eleven digits
    std::size_t size_ = 0;
    bool plus_ = false;
    bool failed_ = false;
};

// The classes of the ASCII characters, which lists are nearly all made of, looked up rather
// than decoded and classified one by one.
constexpr std::array<Char, 128> kAsciiClasses = [] {
    std::array<Char, 128> classes{};
    for (char32_t c = 0; c < classes.size(); ++c) classes[c] = Classify(c);
    return classes;
}();

// A line that needs no cleaning, as nearly every line of a list that has been cleaned once.
bool IsPlainNumber(std::string_view line) {
    if (line.size() != 11 || line[0] != '1') return false;
    // Eight characters at once: every byte's high nibble, and that of the byte plus 6, must
    // be 3 for '0' to '9' only (a carry out of a byte can only come from one that fails).
    std::uint64_t v;
    std::memcpy(&v, line.data(), 8);
    constexpr std::uint64_t kHigh = 0xF0F0F0F0F0F0F0F0ull;
    if (((v & kHigh) | (((v + 0x0606060606060606ull) & kHigh) >> 4)) != 0x3333333333333333ull)
        return false;
    return std::all_of(line.begin() + 8, line.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// For each byte: 1 for an ASCII digit, 2 for anything a single field of digits and fillers
// does not hold (a plus, a separator, any other character, any byte of a multi-byte one).
constexpr std::array<unsigned char, 256> kSimpleBytes = [] {
    std::array<unsigned char, 256> kinds{};
    for (std::size_t b = 0; b < kinds.size(); ++b) {
        const CharClass kind = b < 0x80 ? kAsciiClasses[b].kind : CharClass::Other;
        kinds[b] = kind == CharClass::Digit ? 1 : kind == CharClass::Filler ? 0 : 2;
    }
    return kinds;
}();

// Digits with blanks, dashes, dots, parentheses or quotes among them, perhaps behind a first
// "+": how phones and spreadsheets write a number, which is most lines that are not a plain
// number already. Gathered without a branch per byte, which the general way's switch from
// digit to blank and back costs; anything else is left to it (false).
bool CleanSimpleField(std::string_view line, CleanedEntry& entry) {
    constexpr std::size_t kLongest = 48;
    if (line.size() > kLongest) return false;
    const bool plus = !line.empty() && line[0] == '+';
    char digits[kLongest];
    std::size_t size = 0;
    unsigned kinds = 0;
    for (std::size_t i = plus ? 1 : 0; i < line.size(); ++i) {
        const unsigned char kind = kSimpleBytes[static_cast<unsigned char>(line[i])];
        digits[size] = line[i];
        size += kind & 1;
        kinds |= kind;
    }
    if (kinds & 2) return false;
    // More digits than "0086" and a number cannot clean, as in a field of the general way.
    if (size <= 15 && FinishNumber({digits, size}, plus, entry.digits))
        entry.kind = EntryKind::Number;
    else
        entry.kind = size != 0 ? EntryKind::AsItStood : EntryKind::NoDigits;
    return true;
}

}  // namespace

CleanedEntry CleanEntry(std::string_view line) {
    CleanedEntry entry;
    if (IsPlainNumber(line)) {
        entry.kind = EntryKind::Number;
        std::copy(line.begin(), line.end(), entry.digits.begin());
        return entry;
    }
    if (CleanSimpleField(line, entry)) return entry;
    bool has_digit = false;
    Field field;
    for (std::size_t i = 0; i < line.size();) {
        Char ch;
        if (const auto byte = static_cast<unsigned char>(line[i]); byte < 0x80) {
            ch = kAsciiClasses[byte];
            ++i;
        } else {
            const Decoded d = DecodeAt(line, i);
            i += d.size;
            ch = Classify(d.c);
        }
        if (ch.kind == CharClass::Digit) has_digit = true;
        if (ch.kind != CharClass::Separator) {
            field.Add(ch);
            continue;
        }
        if (field.Finish(entry.digits)) {
            entry.kind = EntryKind::Number;
            return entry;
        }
        field.Reset();
    }
    if (field.Finish(entry.digits))
        entry.kind = EntryKind::Number;
    else
        entry.kind = has_digit ? EntryKind::AsItStood : EntryKind::NoDigits;
    return entry;
}

}  // namespace numtrail
