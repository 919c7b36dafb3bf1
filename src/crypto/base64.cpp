#include "crypto/base64.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "crypto/crypto_error.h"
#include "crypto/file_bytes.h"
#include "platform/codepage.h"

namespace numtrail {
namespace {

// Positions are 16-bit: encoding stops short of 32,767 bytes, decoding of 32,766.
constexpr std::size_t kMaxEncodeBytes = CBase64EnDeCode::kMaxEncodeBytes;
constexpr std::size_t kMaxDecodeBytes = CBase64EnDeCode::kMaxDecodeBytes;

// RFC 4648 table 1, the basic alphabet.
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Both characters of every 12-bit value: 16 KiB of table buys half the look-ups per group.
// Look-ups follow the data, so the timing of an encoding depends on what is encoded.
struct PairTable {
    char16_t pair[4096][2];
};

constexpr PairTable MakePairTable() {
    PairTable table{};
    for (int v = 0; v < 4096; ++v) {
        table.pair[v][0] = static_cast<char16_t>(kAlphabet[v >> 6]);
        table.pair[v][1] = static_cast<char16_t>(kAlphabet[v & 63]);
    }
    return table;
}
constexpr PairTable kPairs = MakePairTable();

// Every byte outside the alphabet, "=" included, decodes as 0.
constexpr std::array<std::uint8_t, 256> MakeDecodeTable() {
    std::array<std::uint8_t, 256> table{};
    for (int i = 0; i < 64; ++i) table[static_cast<unsigned char>(kAlphabet[i])] = i;
    return table;
}
constexpr std::array<std::uint8_t, 256> kDecode = MakeDecodeTable();

// 1 to 3 bytes to 4 characters; missing bytes count as 0 and their characters become "=".
void EncodeGroup(const std::uint8_t* group, std::size_t count, char16_t* out) {
    const std::uint8_t b0 = group[0];
    const std::uint8_t b1 = count > 1 ? group[1] : 0;
    const std::uint8_t b2 = count > 2 ? group[2] : 0;
    out[0] = kAlphabet[b0 >> 2];
    out[1] = kAlphabet[((b0 & 3) << 4) | (b1 >> 4)];
    out[2] = count > 1 ? kAlphabet[((b1 & 15) << 2) | (b2 >> 6)] : u'=';
    out[3] = count > 2 ? kAlphabet[b2 & 63] : u'=';
}

// 4 characters to 3 bytes. All three are kept, also those that come from padding.
void DecodeGroup(const std::uint8_t* group, std::uint8_t* out) {
    const std::uint8_t s0 = kDecode[group[0]];
    const std::uint8_t s1 = kDecode[group[1]];
    const std::uint8_t s2 = kDecode[group[2]];
    const std::uint8_t s3 = kDecode[group[3]];
    out[0] = static_cast<std::uint8_t>((s0 << 2) | ((s1 & 0x30) >> 4));
    out[1] = static_cast<std::uint8_t>(((s1 & 15) << 4) | ((s2 & 0x3C) >> 2));
    out[2] = static_cast<std::uint8_t>(((s2 & 3) << 6) | (s3 & 63));
}

// Two characters for each 12-bit value: a group of three bytes takes two look-ups.
inline void EncodeWholeGroup(std::uint32_t v, char16_t* out) {
    std::memcpy(out, kPairs.pair[v >> 12], sizeof(kPairs.pair[0]));
    std::memcpy(out + 2, kPairs.pair[v & 0xFFF], sizeof(kPairs.pair[0]));
}

std::u16string EncodeBytes(std::string_view bytes) {
    const std::size_t n = bytes.size();
    if (n > kMaxEncodeBytes) throw CryptoError(kErrOverflow, "Base64StringEncode - Overflow");
    const auto* in = reinterpret_cast<const std::uint8_t*>(bytes.data());
    std::u16string out((n + 2) / 3 * 4, u'\0');
    char16_t* dst = out.data();
    std::size_t i = 0;
    for (; i + 3 <= n; i += 3, dst += 4)
        EncodeWholeGroup((std::uint32_t{in[i]} << 16) | (std::uint32_t{in[i + 1]} << 8) | in[i + 2],
                         dst);
    if (i < n) EncodeGroup(in + i, n - i, dst);
    return out;
}

// A text of ASCII characters is its own code page 936 bytes, so it is encoded straight from
// its UTF-16 units without a conversion. Answers false, leaving out unspecified, as soon as
// a character outside ASCII turns up.
inline std::uint32_t PairBits(std::uint32_t v12) {
    std::uint32_t bits;
    std::memcpy(&bits, kPairs.pair[v12], sizeof bits);
    return bits;
}

// Two groups of an ASCII text at once on a little-endian machine: six UTF-16 units u0 ... u5
// come in with two loads and eight characters go out with two stores. Each group's two
// 12-bit halves are (u0 << 4 | u1 >> 4) and (u1 << 8 | u2), cut to 12 bits; the cut also
// keeps the look-ups inside the table when a unit is not ASCII, and such a run is thrown
// away once seen shows it.
inline void EncodeTwoAsciiGroups(const char16_t* in, char16_t* out, std::uint64_t& seen) {
    std::uint64_t w;  // u0 u1 u2 u3, lowest first
    std::uint32_t t;  // u4 u5
    std::memcpy(&w, in, sizeof w);
    std::memcpy(&t, in + 4, sizeof t);
    seen |= w | t;
    const auto p1 = static_cast<std::uint32_t>((w << 4) | (w >> 20)) & 0xFFF;
    const auto p2 = static_cast<std::uint32_t>((w >> 8) | (w >> 32)) & 0xFFF;
    const auto p3 = static_cast<std::uint32_t>((w >> 44) | (t >> 4)) & 0xFFF;
    const std::uint32_t p4 = ((t << 8) | (t >> 16)) & 0xFFF;
    const std::uint64_t o1 = PairBits(p1) | std::uint64_t{PairBits(p2)} << 32;
    const std::uint64_t o2 = PairBits(p3) | std::uint64_t{PairBits(p4)} << 32;
    std::memcpy(out, &o1, sizeof o1);
    std::memcpy(out + 4, &o2, sizeof o2);
}

// A text of ASCII characters is its own code page 936 bytes, so it is encoded straight from
// its UTF-16 units without a conversion. Answers false, leaving out unspecified, when a
// character outside ASCII turns up (it is noticed within a run of 64 groups).
bool EncodeAsciiText(std::u16string_view text, std::u16string& out) {
    const std::size_t n = text.size();
    if (n > kMaxEncodeBytes) return false;
    const char16_t* in = text.data();
    out.assign((n + 2) / 3 * 4, u'\0');
    char16_t* dst = out.data();
    std::size_t i = 0;
    std::uint64_t seen = 0;  // every unit ORed in; ASCII leaves bits 7 to 15 of each clear
    constexpr std::uint64_t kNotAscii = 0xFF80FF80FF80FF80;
    const std::size_t whole = n - n % 3;
    while (i < whole) {
        const std::size_t run_end = std::min(whole, i + 3 * 64);
        if constexpr (std::endian::native == std::endian::little)
            for (; i + 6 <= run_end; i += 6, dst += 8) EncodeTwoAsciiGroups(in + i, dst, seen);
        for (; i < run_end; i += 3, dst += 4) {
            seen |= in[i] | in[i + 1] | in[i + 2];
            EncodeWholeGroup((std::uint32_t{static_cast<std::uint8_t>(in[i])} << 16) |
                                 (std::uint32_t{static_cast<std::uint8_t>(in[i + 1])} << 8) |
                                 static_cast<std::uint8_t>(in[i + 2]),
                             dst);
        }
        if (seen & kNotAscii) return false;
    }
    if (i < n) {
        std::uint8_t tail[3] = {};
        for (std::size_t k = 0; i + k < n; ++k) {
            if (in[i + k] >= 0x80) return false;
            tail[k] = static_cast<std::uint8_t>(in[i + k]);
        }
        EncodeGroup(tail, n - i, dst);
    }
    return true;
}

// The whole output area: round(n * 3 / 4) + 1 bytes, so it always ends in a zero byte.
std::string DecodeBytes(std::string_view base64) {
    const std::size_t n = base64.size();
    if (n > kMaxDecodeBytes) throw CryptoError(kErrOverflow, "Base64StringDecode - Overflow");
    // A last group of one character is ignored; one of two or three has no place to read
    // its missing characters from.
    if (n % 4 >= 2)
        throw CryptoError(kErrSubscriptOutOfRange, "Base64StringDecode - Subscript out of range");
    std::string area((3 * n + 2) / 4 + 1, '\0');
    const auto* in = reinterpret_cast<const std::uint8_t*>(base64.data());
    auto* out = reinterpret_cast<std::uint8_t*>(area.data());
    for (std::size_t g = 0; g < n / 4; ++g) DecodeGroup(in + 4 * g, out + 3 * g);
    return area;
}

std::u16string TruncateAtNul(std::u16string text) {
    const auto nul = text.find(u'\0');
    if (nul != std::u16string::npos) text.resize(nul);
    return text;
}

std::string Narrow(std::u16string_view ascii) { return {ascii.begin(), ascii.end()}; }

// The output of a failed conversion: the file exists afterwards, but whatever it held is
// left alone rather than thrown away for nothing.
void TouchFile(const std::filesystem::path& path) {
    if (std::FILE* f = std::fopen(path.c_str(), "ab")) std::fclose(f);
}

}  // namespace

std::u16string CBase64EnDeCode::Base64StringEncode(std::u16string_view InStr1) const {
    try {
        std::u16string out;
        if (EncodeAsciiText(InStr1, out)) return out;
        return EncodeBytes(StringToAnsiBytes(InStr1));
    } catch (...) {
        return {};
    }
}

std::u16string CBase64EnDeCode::Base64StringDecode(std::u16string_view InStr1) const {
    try {
        return TruncateAtNul(AnsiBytesToString(DecodeBytes(StringToAnsiBytes(InStr1))));
    } catch (...) {
        return {};
    }
}

// The file members work on the file's bytes as they are. For a file that is valid code
// page 936 text this is the same as reading it as text; for any other file it keeps bytes
// that a round trip through text would have replaced.
bool CBase64EnDeCode::Base64FileEncode(const std::filesystem::path& PlaintextFileName,
                                       const std::filesystem::path& CiphertextFileName) const {
    try {
        const std::string plain = ReadFileBytes(PlaintextFileName);
        std::string encoded;
        try {
            encoded = Narrow(EncodeBytes(plain));
        } catch (...) {
            TouchFile(CiphertextFileName);
            return false;
        }
        WriteFileBytes(CiphertextFileName, encoded);
        return true;
    } catch (...) {
        return false;
    }
}

bool CBase64EnDeCode::Base64FileDecode(const std::filesystem::path& PlaintextFileName,
                                       const std::filesystem::path& CiphertextFileName) const {
    try {
        const std::string encoded = ReadFileBytes(CiphertextFileName);
        std::string plain;
        try {
            plain = DecodeBytes(encoded);
        } catch (...) {
            TouchFile(PlaintextFileName);
            return false;
        }
        // The decoded data end at their first zero byte, as a decoded text ends at its NUL.
        plain.resize(plain.find('\0'));
        WriteFileBytes(PlaintextFileName, plain);
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace numtrail
