#include "numbers/entry_cleaning.h"

#include <algorithm>
#include <cstddef>

namespace numtrail {
namespace {

enum class CharClass { Digit, Filler, Plus, Separator, Other };

struct Char {
    CharClass kind;
    char digit;  // the ASCII digit, for kind Digit
};

// The class of one code point.
Char Classify(char32_t c) {
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
        if (failed_) return false;
        std::string_view d(digits_, size_);
        if (plus_) {
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

  private:
    char digits_[15];  // the longest field that can clean: "0086" and eleven digits
    std::size_t size_ = 0;
    bool plus_ = false;
    bool failed_ = false;
};

// A line that needs no cleaning, as nearly every line of a list that has been cleaned once.
bool IsPlainNumber(std::string_view line) {
    if (line.size() != 11 || line[0] != '1') return false;
    return std::all_of(line.begin(), line.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

CleanedEntry CleanEntry(std::string_view line) {
    CleanedEntry entry;
    if (IsPlainNumber(line)) {
        entry.kind = EntryKind::Number;
        std::copy(line.begin(), line.end(), entry.digits.begin());
        return entry;
    }
    bool has_digit = false;
    Field field;
    for (std::size_t i = 0; i < line.size();) {
        const Decoded d = DecodeAt(line, i);
        i += d.size;
        const Char ch = Classify(d.c);
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
