#include "numbers/recognizer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "attribution/cities.h"

namespace numtrail {
namespace {

using attribution::Number;
using attribution::NumberKind;

// The longest digit string that can be a number: "0086", the trunk "0" and a landline of a
// four-digit area code ("0086 0755 86001234").
constexpr std::size_t kMaxDigits = 16;
// The shortest: a service number, or "0" with a two-digit area code and 7 digits.
constexpr std::size_t kMinDigits = 10;
// The most groups a number is written in: "+86 (0)755 8600 1234".
constexpr std::size_t kMaxGroups = 5;

enum Class : std::uint8_t { kOther, kDigit, kFiller, kPlus, kInvisible };

// ASCII characters, which nearly all lists are made of, are looked up rather than compared.
constexpr std::array<Class, 128> kAsciiClasses = [] {
    std::array<Class, 128> classes{};
    for (char c = '0'; c <= '9'; ++c) classes[static_cast<unsigned char>(c)] = kDigit;
    for (const char c : {' ', '\t', '-', '.', '(', ')'})
        classes[static_cast<unsigned char>(c)] = kFiller;
    classes['+'] = kPlus;
    return classes;
}();

struct Wide {
    Class kind;
    std::uint8_t size;  // bytes
    char digit;         // the ASCII digit, for kind kDigit
};

// A character that starts with a byte of 0x80 or more. Only the few characters a number may
// hold are told apart, by their exact UTF-8 bytes; anything else is one character of kOther
// with the continuation bytes after it, so an invalid sequence is never read as one that
// swallows a digit.
Wide ClassifyWide(const unsigned char* p, std::size_t left) {
    if (left >= 2 && p[0] == 0xC2) {
        if (p[1] == 0xA0) return {kFiller, 2, 0};     // no-break space
        if (p[1] == 0xAD) return {kInvisible, 2, 0};  // soft hyphen
    } else if (left >= 3 && p[0] == 0xE2) {
        if (p[1] == 0x80 && p[2] >= 0x90 && p[2] <= 0x95) return {kFiller, 3, 0};     // U+2010..
        if (p[1] == 0x80 && p[2] >= 0x8B && p[2] <= 0x8D) return {kInvisible, 3, 0};  // U+200B..
        if (p[1] == 0x81 && p[2] == 0xA0) return {kInvisible, 3, 0};                  // word joiner
        if (p[1] == 0x88 && p[2] == 0x92) return {kFiller, 3, 0};                     // minus sign
    } else if (left >= 3 && p[0] == 0xE3) {
        if (p[1] == 0x80 && p[2] == 0x80) return {kFiller, 3, 0};  // ideographic space
    } else if (left >= 3 && p[0] == 0xEF) {
        if (p[1] == 0xBC) {
            if (p[2] >= 0x90 && p[2] <= 0x99)
                return {kDigit, 3, static_cast<char>('0' + (p[2] - 0x90))};
            switch (p[2]) {
                case 0x88:  // （
                case 0x89:  // ）
                case 0x8D:  // －
                case 0x8E:  // ．
                    return {kFiller, 3, 0};
                case 0x8B:  // ＋
                    return {kPlus, 3, 0};
                default:
                    break;
            }
        } else if (p[1] == 0xBB && p[2] == 0xBF) {
            return {kInvisible, 3, 0};  // a byte order mark left inside a line
        }
    }
    std::uint8_t size = 1;
    while (size < 4 && size < left && (p[size] & 0xC0) == 0x80) ++size;
    return {kOther, size, 0};
}

constexpr bool IsAsciiDigit(unsigned char byte) { return static_cast<unsigned>(byte - '0') < 10; }

// Bytes of characters that end a number and that ClassifyWide() need not look at: ASCII
// other than digits, fillers and "+", continuation bytes, and every lead byte but C2, E2, E3
// and EF, which begin the characters it tells apart.
constexpr std::array<bool, 256> kText = [] {
    std::array<bool, 256> text{};
    for (std::size_t b = 0; b < text.size(); ++b)
        text[b] = b < 0x80 ? kAsciiClasses[b] == kOther
                           : b != 0xC2 && b != 0xE2 && b != 0xE3 && b != 0xEF;
    return text;
}();

// For the short way of LineScan::Simple(): 1 for an ASCII digit, 0 for an ASCII filler, 2 for
// anything else (a "+" after the first byte, any other character, any byte of a multi-byte
// one).
constexpr std::array<std::uint8_t, 256> kSimpleBytes = [] {
    std::array<std::uint8_t, 256> kinds{};
    for (std::size_t b = 0; b < kinds.size(); ++b) {
        const Class kind = b < 0x80 ? kAsciiClasses[b] : kOther;
        kinds[b] = kind == kDigit ? 1 : kind == kFiller ? 0 : 2;
    }
    return kinds;
}();

// Group boundaries: bit b is set when a group ends after the b-th digit.
constexpr std::uint32_t Bit(unsigned b) { return std::uint32_t{1} << b; }
// A boundary inside a country code or a trunk prefix, which no grouping allows.
constexpr std::uint32_t kSplitPrefix = ~std::uint32_t{0};

// The boundaries counted from the digits after a prefix of `size` digits; the prefix may
// stand as a group of its own.
constexpr std::uint32_t AfterPrefix(std::uint32_t boundaries, unsigned size) {
    if (boundaries == kSplitPrefix || (boundaries & (Bit(size) - 1)) != 0) return kSplitPrefix;
    return (boundaries >> size) & ~Bit(0);
}

void Fill(Number& out, const char* digits, std::size_t size, NumberKind kind,
          std::size_t area_code_size = 0) {
    std::memcpy(out.digits.data(), digits, size);
    out.size = static_cast<std::uint8_t>(size);
    out.area_code_size = static_cast<std::uint8_t>(area_code_size);
    out.kind = kind;
}

// The groups a number may be written in are the ways people split it, and no others: a
// group boundary elsewhere is more likely the end of one value and the start of another (a
// quantity and a date in two cells of a spreadsheet row, "150\t20261208").

// 13800138000, 138 0013 8000, 1380 013 8000.
bool Mobile(const char* d, std::size_t n, std::uint32_t boundaries, Number& out) {
    if (n != 11 || d[0] != '1' || d[1] < '3' || d[1] > '9') return false;
    if (boundaries != 0 && boundaries != (Bit(3) | Bit(7)) && boundaries != (Bit(4) | Bit(7)))
        return false;
    Fill(out, d, n, NumberKind::Mobile);
    return true;
}

// 4008001234, 400 8001234, 400 800 1234, 400 8001 234, 4008 001 234.
bool Service(const char* d, std::size_t n, std::uint32_t boundaries, Number& out) {
    if (n != 10 || (d[0] != '4' && d[0] != '8') || d[1] != '0' || d[2] != '0') return false;
    if (boundaries != 0 && boundaries != Bit(3) && boundaries != (Bit(3) | Bit(6)) &&
        boundaries != (Bit(3) | Bit(7)) && boundaries != (Bit(4) | Bit(7)))
        return false;
    Fill(out, d, n, NumberKind::Service);
    return true;
}

}  // namespace

// One pass over a line: characters into digit groups, groups into chunks (the groups that
// only fillers separate), and each chunk's groups into numbers, left to right. A decision
// looks at no more than a few groups ahead, so a window of them is enough however long the
// line is.
class LineScan {
  public:
    // Each number is built in `slot` and given to `sink`, which a caller that only wants the
    // first can point at its own result: the number is then never copied.
    LineScan(const NumberRecognizer& recognizer, NumberRecognizer::Sink sink, void* context,
             FoundNumber& slot)
        : recognizer_(recognizer), sink_(sink), context_(context), slot_(slot) {}

    // The line when it is a mobile number and nothing else, as nearly every line of a list
    // that has been cleaned once: 11 ASCII digits 1[3-9]...
    bool Plain(std::string_view line) {
        if (line.size() != 11 || line[0] != '1' || line[1] < '3' || line[1] > '9') return false;
        // Eight characters at once: every byte's high nibble, and that of the byte plus 6,
        // must be 3 for '0' to '9' only (a carry out of a byte can only come from one that
        // fails).
        std::uint64_t v;
        std::memcpy(&v, line.data(), 8);
        constexpr std::uint64_t kHigh = 0xF0F0F0F0F0F0F0F0ull;
        if (((v & kHigh) | (((v + 0x0606060606060606ull) & kHigh) >> 4)) != 0x3333333333333333ull)
            return false;
        if (!IsAsciiDigit(line[8]) || !IsAsciiDigit(line[9]) || !IsAsciiDigit(line[10]))
            return false;
        Fill(slot_.number, line.data(), line.size(), NumberKind::Mobile);
        slot_.begin = 0;
        slot_.end = line.size();
        sink_(context_, slot_);
        return true;
    }

    EntryKind Run(std::string_view line) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(line.data());
        const std::size_t n = line.size();
        // The group being read is kept in locals: a count in memory, read back after each
        // digit, would make every digit wait for the one before.
        Group* group = nullptr;
        std::size_t size = 0;  // its digits so far
        std::size_t end = 0;   // past its last digit
        for (std::size_t at = 0; at < n;) {
            const unsigned char byte = bytes[at];
            if (IsAsciiDigit(byte)) {
                if (group == nullptr) {
                    group = Open(at);
                    if (group == nullptr) return EntryKind::Number;
                    size = 0;
                }
                // The rest of the run of ASCII digits, which most digits are part of.
                do {
                    if (size < kMaxDigits) group->digits[size] = static_cast<char>(bytes[at]);
                    ++size;
                    ++at;
                } while (at < n && IsAsciiDigit(bytes[at]));
                end = at;
                continue;
            }
            Wide c{kAsciiClasses[byte & 0x7F], 1, 0};
            if (byte >= 0x80) c = ClassifyWide(bytes + at, n - at);
            switch (c.kind) {
                case kDigit:  // a full-width one
                    if (group == nullptr) {
                        group = Open(at);
                        if (group == nullptr) return EntryKind::Number;
                        size = 0;
                    }
                    if (size < kMaxDigits) group->digits[size] = c.digit;
                    ++size;
                    end = at + c.size;
                    break;
                case kInvisible:
                    break;
                case kFiller:
                    if (group != nullptr) Close(size, end), group = nullptr;
                    break;
                case kPlus:
                case kOther:
                    if (group != nullptr) Close(size, end), group = nullptr;
                    if (count_ != 0 && !EndChunk()) return EntryKind::Number;
                    plus_ = c.kind == kPlus;
                    plus_at_ = at;
                    at += c.size;
                    // Text goes by without a look at each of its characters.
                    if (!plus_) {
                        while (at < n && kText[bytes[at]]) ++at;
                    }
                    continue;
            }
            at += c.size;
        }
        if (group != nullptr) Close(size, end);
        EndChunk();
        if (found_) return EntryKind::Number;
        return any_digit_ ? EntryKind::AsItStood : EntryKind::NoDigits;
    }

    // The line when it is one number written with ASCII digits, blanks, dashes, dots and
    // parentheses only, perhaps behind a first "+": how phones and spreadsheets write a number,
    // which is most lines that are not a plain number already. Gathered without a branch per
    // byte, which the way of Run() costs at each switch from digit to filler and back; false
    // leaves the line to Run(), also when it is no number, so that it says why.
    bool Simple(std::string_view line) {
        constexpr std::size_t kLongest = 48;
        if (line.size() > kLongest || line.empty()) return false;
        const bool plus = line[0] == '+';
        char digits[kLongest];
        std::size_t size = 0;
        unsigned kinds = 0;
        std::uint64_t at_digit = 0;  // bit i: line[i] is a digit
        for (std::size_t i = plus ? 1 : 0; i < line.size(); ++i) {
            const unsigned kind = kSimpleBytes[static_cast<unsigned char>(line[i])];
            const unsigned digit = kind & 1;
            kinds |= kind;
            digits[size] = line[i];
            at_digit |= std::uint64_t{digit} << i;
            size += digit;
        }
        if ((kinds & 2) != 0 || size < kMinDigits || size > kMaxDigits) return false;
        // The groups are the runs of digits; a boundary is counted in digits before it.
        std::uint32_t boundaries = 0;
        std::size_t groups = 0;
        std::size_t counted = 0;
        for (std::uint64_t rest = at_digit; rest != 0;) {
            rest >>= std::countr_zero(rest);
            const int run = std::countr_one(rest);
            if (groups++ != 0) boundaries |= Bit(static_cast<unsigned>(counted));
            counted += static_cast<std::size_t>(run);
            rest = run == 64 ? 0 : rest >> run;
        }
        constexpr std::uint32_t kCardGroups = Bit(4) | Bit(8) | Bit(12);
        if (groups > kMaxGroups || (boundaries == kCardGroups && digits[0] != '0')) return false;
        if (!Judge(digits, size, boundaries, plus, slot_.number)) return false;
        slot_.begin = plus ? 0 : static_cast<std::size_t>(std::countr_zero(at_digit));
        slot_.end = 64 - static_cast<std::size_t>(std::countl_zero(at_digit));
        sink_(context_, slot_);
        return true;
    }

  private:
    struct Group {
        std::size_t begin;   // the first digit, or the "+" before it
        std::size_t end;     // past the last digit
        std::uint8_t size;   // digits; kMaxDigits + 1 for a run longer than any number
        std::uint8_t fours;  // groups of four digits in a row ending with this one, up to 4
        bool card_lead;      // the first of those groups starts with 1 to 9, as card numbers do
        bool plus;           // a "+" stands before it: it must start with 86
        char digits[kMaxDigits];
    };

    // Groups a decision may look at past the one it starts at: the further groups of a
    // number, and behind the last of them the groups that show a card number.
    static constexpr std::size_t kAhead = kMaxGroups - 1 + 3;
    static constexpr std::size_t kWindow = 2 * kAhead + 2;

    // Starts a group at byte `at`; nullptr when the caller asked to stop.
    Group* Open(std::size_t at) {
        any_digit_ = true;
        if (count_ == kWindow) {
            if (!Settle(false)) return nullptr;
            std::memmove(groups_, groups_ + head_, (count_ - head_) * sizeof(Group));
            count_ -= head_;
            head_ = 0;
        }
        Group& g = groups_[count_];
        g.begin = plus_ ? plus_at_ : at;
        g.plus = plus_;
        plus_ = false;
        return &g;
    }

    void Close(std::size_t size, std::size_t end) {
        Group& g = groups_[count_];
        g.size = static_cast<std::uint8_t>(std::min(size, kMaxDigits + 1));
        chunk_digits_ += g.size;
        g.end = end;
        g.fours = 0;
        g.card_lead = false;
        if (size == 4) {
            const Group* before = count_ == 0 ? nullptr : &groups_[count_ - 1];
            const bool goes_on = before != nullptr && before->fours != 0;
            g.fours = goes_on ? static_cast<std::uint8_t>(std::min(before->fours + 1, 4)) : 1;
            g.card_lead = goes_on ? before->card_lead : g.digits[0] != '0';
        }
        ++count_;
    }

    // Decides on every group of the chunk and starts the next; false when the caller asked
    // to stop.
    bool EndChunk() {
        // Dates, times and the like have too few digits for any number.
        const bool go_on = chunk_digits_ < kMinDigits || Settle(true);
        count_ = head_ = chunk_digits_ = 0;
        return go_on;
    }

    // Decides on the groups that enough groups follow, or on all of them.
    bool Settle(bool all) {
        while (head_ < count_ && (all || count_ - head_ > kAhead)) {
            if (!Decide()) return false;
        }
        return true;
    }

    // Whether group k is one of four or more groups of four digits in a row whose first starts
    // with 1 to 9: a card number written in groups. No card number starts with 0, while
    // "0086 0755 8600 1234" and "0755 8600 1234 8001" do.
    bool InCardNumber(std::size_t k) const {
        if (groups_[k].size != 4 || !groups_[k].card_lead) return false;
        std::size_t run = groups_[k].fours;
        for (std::size_t next = k + 1; run < 4 && next < count_ && groups_[next].size == 4; ++next)
            ++run;
        return run >= 4;
    }

    // Takes the number with the most groups that starts at the head group, if any, and moves
    // past it; false when the caller asked to stop.
    bool Decide() {
        const Group& first = groups_[head_];
        // Room for a whole group's digits after the most that can come before them: each
        // group is copied whole, whatever its size, which is cheaper than a copy of its size.
        char digits[2 * kMaxDigits];
        std::size_t size = 0;
        std::uint32_t boundaries = 0;
        std::size_t best_last = 0;
        for (std::size_t k = head_; k < count_ && k < head_ + kMaxGroups; ++k) {
            const Group& g = groups_[k];
            if (size + g.size > kMaxDigits || InCardNumber(k)) break;
            if (k != head_) boundaries |= Bit(static_cast<unsigned>(size));
            std::memcpy(digits + size, g.digits, kMaxDigits);
            size += g.size;
            if (size >= kMinDigits && Judge(digits, size, boundaries, first.plus, slot_.number))
                best_last = k + 1;
        }
        if (best_last == 0) {
            ++head_;
            return true;
        }
        slot_.begin = first.begin;
        slot_.end = groups_[best_last - 1].end;
        head_ = best_last;
        found_ = true;
        return sink_(context_, slot_);
    }

    // Whether the digits of consecutive groups, split at `boundaries`, are a number.
    bool Judge(const char* d, std::size_t n, std::uint32_t boundaries, bool plus,
               Number& out) const {
        if (plus)
            return d[0] == '8' && d[1] == '6' &&
                   International(d + 2, n - 2, AfterPrefix(boundaries, 2), out);
        if (std::memcmp(d, "0086", 4) == 0)
            return International(d + 4, n - 4, AfterPrefix(boundaries, 4), out);
        if (n == 13 && d[0] == '8' && d[1] == '6')
            return Mobile(d + 2, 11, AfterPrefix(boundaries, 2), out);
        if (d[0] == '0')
            return (n == 12 && Mobile(d + 1, 11, AfterPrefix(boundaries, 1), out)) ||
                   Landline(d, n, boundaries, false, out);
        return Mobile(d, n, boundaries, out) || Service(d, n, boundaries, out);
    }

    // The digits after the country code: a mobile number, or a landline whose area code may
    // have lost its "0" ("+86 10 6234 5678") or kept it ("+86 (0)10 6234 5678").
    bool International(const char* d, std::size_t n, std::uint32_t boundaries, Number& out) const {
        if (Mobile(d, n, boundaries, out)) return true;
        if (d[0] == '0') return Landline(d, n, boundaries, true, out);
        char national[kMaxDigits + 1];
        national[0] = '0';
        std::memcpy(national + 1, d, n);
        return Landline(national, n + 1,
                        boundaries == kSplitPrefix ? kSplitPrefix : boundaries << 1, false, out);
    }

    // "0", an area code and a local number: 010 6234 5678, (0755) 8600 1234, 0755-8600123.
    // `after_country_code` also lets the "0" stand alone, as in "+86 (0)10".
    bool Landline(const char* d, std::size_t n, std::uint32_t boundaries, bool after_country_code,
                  Number& out) const {
        if (d[0] != '0') return false;
        if (after_country_code && boundaries != kSplitPrefix) boundaries &= ~Bit(1);
        for (const std::size_t area : {std::size_t{4}, std::size_t{3}}) {
            const std::size_t local = n - area;
            if (n <= area || (local != 7 && local != 8) || d[area] < '2' || d[area] > '9') continue;
            if (!IsAreaCode(d, area)) continue;
            // 01062345678, 010-62345678, 010 6234 5678, 0755 860 1234, 0755 8601 234.
            const auto a = static_cast<unsigned>(area);
            if (boundaries != 0 && boundaries != Bit(a) && boundaries != (Bit(a) | Bit(a + 4)) &&
                !(local == 7 && boundaries == (Bit(a) | Bit(a + 3))))
                continue;
            Fill(out, d, n, NumberKind::Landline, area);
            return true;
        }
        return false;
    }

    bool IsAreaCode(const char* d, std::size_t size) const {
        const auto digit = [d](std::size_t i) { return static_cast<std::size_t>(d[i] - '0'); };
        if (size == 3) return recognizer_.two_digit_codes_[digit(1) * 10 + digit(2)];
        return recognizer_.three_digit_codes_[digit(1) * 100 + digit(2) * 10 + digit(3)];
    }

    const NumberRecognizer& recognizer_;
    NumberRecognizer::Sink sink_;
    void* context_;
    FoundNumber& slot_;
    Group groups_[kWindow];  // groups_[head_, count_) are undecided
    std::size_t head_ = 0;
    std::size_t count_ = 0;
    std::size_t chunk_digits_ = 0;  // of the groups read since the chunk began
    bool plus_ = false;             // a "+" was read since the last group or other character
    std::size_t plus_at_ = 0;
    bool any_digit_ = false;
    bool found_ = false;
};

NumberRecognizer::NumberRecognizer(const attribution::CityTable& cities) {
    // Every code the table answers, a city's further codes (0634 for 济南) included.
    for (const attribution::AreaCode& area : cities.AreaCodes()) {
        const std::string& code = area.code;
        if ((code.size() != 3 && code.size() != 4) || code[0] != '0' ||
            code.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const std::size_t index = std::stoul(code.substr(1));
        if (code.size() == 3)
            two_digit_codes_.set(index);
        else
            three_digit_codes_.set(index);
    }
}

const NumberRecognizer& NumberRecognizer::BuiltIn() {
    static const NumberRecognizer recognizer(attribution::CityTable::BuiltIn());
    return recognizer;
}

EntryKind NumberRecognizer::Scan(std::string_view line, Sink sink, void* context,
                                 FoundNumber& slot) const {
    LineScan scan(*this, sink, context, slot);
    if (scan.Plain(line) || scan.Simple(line)) return EntryKind::Number;
    return scan.Run(line);
}

FirstNumber NumberRecognizer::First(std::string_view line) const {
    FirstNumber first;
    const Sink stop = [](void*, const FoundNumber&) { return false; };
    first.kind = Scan(line, stop, nullptr, first.found);
    return first;
}

}  // namespace numtrail
