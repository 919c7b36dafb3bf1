#include "numbers/list_text.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "platform/codepage.h"

namespace numtrail {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";

bool AllAscii(std::string_view s) {
    for (const char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

struct Utf8Scan {
    bool valid = true;
    bool multi_byte = false;
};

// Strict UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF). Runs of ASCII,
// which a number list is mostly made of, are skipped eight bytes at a time.
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
            return {false, true};
        if (n - i < size) return {false, true};
        const auto second = static_cast<unsigned char>(s[i + 1]);
        if (second < low || second > high) return {false, true};
        for (std::size_t k = 2; k < size; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return {false, true};
        i += size;
    }
    return scan;
}

std::string Utf16BytesToUtf8(std::string_view bytes, bool big_endian) {
    std::u16string units(bytes.size() / 2, u'\0');
    for (std::size_t k = 0; k < units.size(); ++k) {
        const auto first = static_cast<unsigned char>(bytes[2 * k]);
        const auto second = static_cast<unsigned char>(bytes[2 * k + 1]);
        units[k] =
            static_cast<char16_t>(big_endian ? (first << 8) | second : (second << 8) | first);
    }
    if (bytes.size() % 2 != 0) units += u'\uFFFD';  // a file cut short inside a character
    return Utf16ToUtf8(units);
}

// Calls f with each non-empty line of text.
template <typename F>
void SplitLines(std::string_view text, const F& f) {
    const char* const end = text.data() + text.size();
    const char* line = text.data();
    for (const char* p = line;; ++p) {
        if (p != end && *p != '\r' && *p != '\n') continue;
        if (p != line) f(std::string_view(line, static_cast<std::size_t>(p - line)));
        if (p == end) break;
        if (*p == '\r' && p + 1 != end && p[1] == '\n') ++p;
        line = p + 1;
    }
}

}  // namespace

ListEncodingChoice ChooseListEncoding(std::string_view bytes) {
    if (bytes.starts_with(kUtf8Bom)) return {ListEncoding::Utf8, kUtf8Bom.size()};
    if (bytes.starts_with(kUtf16LeBom)) return {ListEncoding::Utf16Le, kUtf16LeBom.size()};
    if (bytes.starts_with(kUtf16BeBom)) return {ListEncoding::Utf16Be, kUtf16BeBom.size()};
    const Utf8Scan scan = ScanUtf8(bytes);
    return {scan.valid && scan.multi_byte ? ListEncoding::Utf8 : ListEncoding::CodePage936, 0};
}

void ForEachListLine(std::string_view bytes, const std::function<void(std::string_view)>& line) {
    const ListEncodingChoice choice = ChooseListEncoding(bytes);
    bytes.remove_prefix(choice.bom_size);
    switch (choice.encoding) {
        case ListEncoding::Utf8:
            SplitLines(bytes, line);
            return;
        case ListEncoding::Utf16Le:
        case ListEncoding::Utf16Be: {
            // CR and LF are single bytes in UTF-8, so the whole text is converted first.
            const std::string text =
                Utf16BytesToUtf8(bytes, choice.encoding == ListEncoding::Utf16Be);
            SplitLines(text, line);
            return;
        }
        case ListEncoding::CodePage936:
            // CR and LF are never part of a two-byte character either; ASCII lines, which a
            // list of numbers is made of, skip the converter.
            SplitLines(bytes, [&line](std::string_view text) {
                if (AllAscii(text))
                    line(text);
                else
                    line(Utf16ToUtf8(AnsiBytesToString(text)));
            });
            return;
    }
}

}  // namespace numtrail
