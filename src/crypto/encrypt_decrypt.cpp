#include "crypto/encrypt_decrypt.h"

#include <exception>

namespace numtrail::MEncryptDecrypt {
namespace {

constexpr char16_t kDigits[] = u"0123456789ABCDEF";

int DigitValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    return -1;
}

// The byte written by the two characters at pos, read up to the first non-digit.
unsigned ReadPair(std::u16string_view digits, std::size_t pos) {
    unsigned value = 0;
    for (std::size_t i = pos; i < pos + 2 && i < digits.size(); ++i) {
        const int d = DigitValue(digits[i]);
        if (d < 0) break;
        value = value * 16 + static_cast<unsigned>(d);
    }
    return value;
}

void AppendByte(std::u16string& out, unsigned byte) {
    out += kDigits[(byte >> 4) & 0xF];
    out += kDigits[byte & 0xF];
    out += u' ';
}

}  // namespace

std::u16string StringToHex(std::u16string_view text) {
    try {
        std::u16string hex;
        hex.reserve(text.size() * 6);
        for (const char16_t c : text) {
            AppendByte(hex, c & 0xFFu);
            AppendByte(hex, (c >> 8) & 0xFFu);
        }
        return hex;
    } catch (const std::exception&) {  // out of memory: no text rather than a crash
        return {};
    }
}

std::u16string HexToString(std::u16string_view hexText) {
    try {
        std::u16string digits;
        digits.reserve(hexText.size());
        for (const char16_t c : hexText)
            if (c != u' ') digits += c;

        std::u16string text;
        text.reserve(digits.size() / 4 + 1);
        for (std::size_t pos = 0; pos < digits.size(); pos += 4) {
            const unsigned low = ReadPair(digits, pos);
            const unsigned high = ReadPair(digits, pos + 2);
            text += static_cast<char16_t>(low | (high << 8));
        }
        return text;
    } catch (const std::exception&) {
        return {};
    }
}

}  // namespace numtrail::MEncryptDecrypt
