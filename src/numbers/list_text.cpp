#include "numbers/list_text.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/codepage.h"

namespace numtrail {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";

struct Utf8Scan {
    bool valid = true;
    bool multi_byte = false;
    std::size_t partial = 0;  // bytes at the end that start a sequence cut short
};

// The length of the sequence that a valid lead byte starts.
std::size_t SequenceSize(char lead) {
    const auto b = static_cast<unsigned char>(lead);
    return b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
}

// Strict UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF). Runs of ASCII,
// which a number list is mostly made of, are skipped eight bytes at a time. A sequence that
// is cut short by the end of the text, but valid as far as it goes, is counted in `partial`.
Utf8Scan ScanUtf8(std::string_view s) {
    Utf8Scan scan;
    const std::size_t n = s.size();
    std::size_t i = 0;
    while (i < n) {
        if (n - i >= 8) {
            std::uint64_t word;
            std::memcpy(&word, s.data() + i, 8);
            if ((word & 0x8080808080808080ull) == 0) {
                i += 8;
                continue;
            }
        }
        const auto lead = static_cast<unsigned char>(s[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        scan.multi_byte = true;
        // The second byte's range narrows for the leads that could start an overlong
        // form, a surrogate or a code point past U+10FFFF.
        std::size_t size = 3;
        unsigned char low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF)
            size = 2;
        else if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
        else if (lead >= 0xE1 && lead <= 0xEF)
            size = 3;
        else if (lead == 0xF0)
            size = 4, low = 0x90;
        else if (lead >= 0xF1 && lead <= 0xF3)
            size = 4;
        else if (lead == 0xF4)
            size = 4, high = 0x8F;
        else
            return {false, true, 0};
        const std::size_t available = n - i < size ? n - i : size;
        if (available >= 2) {
            const auto second = static_cast<unsigned char>(s[i + 1]);
            if (second < low || second > high) return {false, true, 0};
        }
        for (std::size_t k = 2; k < available; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return {false, true, 0};
        if (available < size) {
            scan.partial = available;
            return scan;
        }
        i += size;
    }
    return scan;
}

}  // namespace

ListEncodingChoice ChooseListEncoding(std::string_view bytes) {
    ListEncodingScan scan;
    scan.Add(bytes);
    return scan.Choice();
}

void ListEncodingScan::Add(std::string_view piece) {
    if (bom_ == Bom::Undecided) {
        // The longest mark has three bytes; a start that may still become one waits for the
        // next piece.
        const std::size_t take = std::min(piece.size(), kUtf8Bom.size() - head_.size());
        head_.append(piece.substr(0, take));
        piece.remove_prefix(take);
        if (head_.starts_with(kUtf8Bom)) {
            bom_ = Bom::Utf8;
        } else if (head_.starts_with(kUtf16LeBom)) {
            bom_ = Bom::Utf16Le;
        } else if (head_.starts_with(kUtf16BeBom)) {
            bom_ = Bom::Utf16Be;
        } else if (head_.size() < kUtf8Bom.size() &&
                   (kUtf8Bom.starts_with(head_) || kUtf16LeBom.starts_with(head_) ||
                    kUtf16BeBom.starts_with(head_))) {
            return;
        } else {
            bom_ = Bom::None;
            ScanText(head_);
            head_.clear();
        }
    }
    if (bom_ == Bom::None) ScanText(piece);
}

void ListEncodingScan::ScanText(std::string_view text) {
    if (invalid_ || text.empty()) return;
    if (!partial_.empty()) {
        // Complete the sequence that the last piece ended inside.
        const std::size_t missing = SequenceSize(partial_[0]) - partial_.size();
        const std::size_t take = std::min(missing, text.size());
        partial_.append(text.substr(0, take));
        text.remove_prefix(take);
        const Utf8Scan joined = ScanUtf8(partial_);
        if (!joined.valid) {
            invalid_ = true;
            return;
        }
        if (joined.partial != 0) return;
        partial_.clear();
    }
    const Utf8Scan scan = ScanUtf8(text);
    multi_byte_ = multi_byte_ || scan.multi_byte;
    if (!scan.valid) {
        invalid_ = true;
        return;
    }
    partial_.assign(text.substr(text.size() - scan.partial));
}

ListEncodingChoice ListEncodingScan::Choice() const {
    switch (bom_) {
        case Bom::Utf8:
            return {ListEncoding::Utf8, kUtf8Bom.size()};
        case Bom::Utf16Le:
            return {ListEncoding::Utf16Le, kUtf16LeBom.size()};
        case Bom::Utf16Be:
            return {ListEncoding::Utf16Be, kUtf16BeBom.size()};
        case Bom::Undecided:
        case Bom::None:
            break;
    }
    // The first bytes of a text shorter than a byte order mark have not been scanned yet.
    const Utf8Scan head = ScanUtf8(head_);
    const bool valid = !invalid_ && head.valid && head.partial == 0 && partial_.empty();
    const bool multi_byte = multi_byte_ || head.multi_byte;
    return {valid && multi_byte ? ListEncoding::Utf8 : ListEncoding::CodePage936, 0};
}

ListLineCutter::ListLineCutter(ListEncodingChoice choice)
    : encoding_(choice.encoding),
      skip_(choice.bom_size),
      utf16_(choice.encoding == ListEncoding::Utf16Be) {}

ListLineCutter ListLineCutter::ChoosingAsItReads() {
    ListLineCutter cutter({ListEncoding::Utf8, 0});
    cutter.choosing_ = true;
    return cutter;
}

void ListLineCutter::Keep(const char* p, std::size_t n) {
    if (over_) return;
    const std::size_t room = kMaxListLine - carry_.size();
    if (n <= room) {
        carry_.append(p, n);
        return;
    }
    carry_.append(p, room);
    over_ = true;
    // A UTF-8 character cut short would become a replacement character at the end of a text
    // that was whole. Code page 936 cannot be told apart from its middle without reading the
    // line from its start; its decoding makes the cut character one replacement character.
    if (encoding_ == ListEncoding::CodePage936 && !choosing_) return;
    std::size_t lead = carry_.size();
    while (lead > 0 && carry_.size() - lead < 4 &&
           (static_cast<unsigned char>(carry_[lead - 1]) & 0xC0) == 0x80)
        --lead;
    if (lead > 0 && static_cast<unsigned char>(carry_[lead - 1]) >= 0xC0 &&
        carry_.size() - (lead - 1) < SequenceSize(carry_[lead - 1]))
        carry_.resize(lead - 1);
}

std::string_view ListLineCutter::Decode(std::string_view raw) {
    if (encoding_ == ListEncoding::Utf8) {
        const Utf8Scan scan = ScanUtf8(raw);
        if (scan.valid && scan.partial == 0) return raw;
        decoded_ = code_page_fallback_ ? Utf16ToUtf8(AnsiBytesToString(raw))
                                       : Utf16ToUtf8(Utf8ToUtf16(raw));
    } else {
        decoded_ = Utf16ToUtf8(AnsiBytesToString(raw));
    }
    return decoded_;
}

void Utf16Decoder::AppendUnit(char16_t unit) {
    const auto put = [this](unsigned v) { utf8_ += static_cast<char>(v); };
    if (high_surrogate_ != 0) {
        const char16_t high = high_surrogate_;
        high_surrogate_ = 0;
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            const char32_t c = 0x10000 + ((char32_t{high} - 0xD800) << 10) + (unit - 0xDC00);
            put(0xF0 | (c >> 18));
            put(0x80 | ((c >> 12) & 0x3F));
            put(0x80 | ((c >> 6) & 0x3F));
            put(0x80 | (c & 0x3F));
            return;
        }
        utf8_ += "\uFFFD";
    }
    if (unit < 0x80) {
        put(unit);
    } else if (unit < 0x800) {
        put(0xC0 | (unit >> 6));
        put(0x80 | (unit & 0x3F));
    } else if (unit >= 0xD800 && unit <= 0xDBFF) {
        high_surrogate_ = unit;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
        utf8_ += "\uFFFD";
    } else {
        put(0xE0 | (unit >> 12));
        put(0x80 | ((unit >> 6) & 0x3F));
        put(0x80 | (unit & 0x3F));
    }
}

std::string_view Utf16Decoder::Convert(std::string_view bytes) {
    const bool big_endian = big_endian_;
    const auto unit = [big_endian](char a, char b) {
        const auto first = static_cast<unsigned char>(a), second = static_cast<unsigned char>(b);
        return static_cast<char16_t>(big_endian ? (first << 8) | second : (second << 8) | first);
    };
    utf8_.clear();
    if (!odd_byte_.empty() && !bytes.empty()) {
        AppendUnit(unit(odd_byte_[0], bytes[0]));
        odd_byte_.clear();
        bytes.remove_prefix(1);
    }
    std::size_t k = 0;
    for (; k + 1 < bytes.size(); k += 2) AppendUnit(unit(bytes[k], bytes[k + 1]));
    if (k < bytes.size()) odd_byte_.assign(1, bytes[k]);
    return utf8_;
}

std::string_view Utf16Decoder::Finish() {
    utf8_.clear();
    if (high_surrogate_ != 0) utf8_ += "\uFFFD";
    if (!odd_byte_.empty()) utf8_ += "\uFFFD";
    high_surrogate_ = 0;
    odd_byte_.clear();
    return utf8_;
}

bool IsUtf8(std::string_view text) {
    const Utf8Scan scan = ScanUtf8(text);
    return scan.valid && scan.partial == 0;
}

void ForEachListLine(std::string_view bytes, const std::function<void(std::string_view)>& line) {
    ListLineCutter cutter(ChooseListEncoding(bytes));
    const auto non_empty = [&line](std::string_view text) {
        if (!text.empty()) line(text);
    };
    cutter.Add(bytes, non_empty);
    cutter.Finish(non_empty);
}

}  // namespace numtrail
