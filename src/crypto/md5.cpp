#include "crypto/md5.h"

#include <bit>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "crypto/byte_order.h"
#include "crypto/crypto_error.h"
#include "platform/codepage.h"

namespace numtrail {
namespace {

// RFC 1321 section 3.3: the initial words A, B, C, D.
constexpr std::uint32_t kInitA = 0x67452301;
constexpr std::uint32_t kInitB = 0xefcdab89;
constexpr std::uint32_t kInitC = 0x98badcfe;
constexpr std::uint32_t kInitD = 0x10325476;

// RFC 1321 section 3.4: the per-round rotation amounts S11 ... S44.
constexpr int S11 = 7, S12 = 12, S13 = 17, S14 = 22;
constexpr int S21 = 5, S22 = 9, S23 = 14, S24 = 20;
constexpr int S31 = 4, S32 = 11, S33 = 16, S34 = 23;
constexpr int S41 = 6, S42 = 10, S43 = 15, S44 = 21;

// Files are read in large pieces; only whole 64-byte blocks go to the compression.
constexpr std::size_t kFileChunk = 1 << 16;

// Word arithmetic is unsigned, so every sum is taken modulo 2^32 without overflow; the
// registers are only read as signed when they are shown.
[[gnu::always_inline]] inline void BytesToWords(const std::uint8_t* block, std::uint32_t* x) {
    for (int j = 0; j < 16; ++j) x[j] = LoadLe32(block + 4 * j);
}

// One step: a := b + ((a + fn(b, c, d) + x + t) <<< s). The rotations are all 4 to 23
// places, where a rotate and LongLeftRotate agree.
[[gnu::always_inline]] inline void StepF(std::uint32_t& a, std::uint32_t b, std::uint32_t c,
                                         std::uint32_t d, std::uint32_t x, int s, std::uint32_t t) {
    a += (((c ^ d) & b) ^ d) + x + t;  // (b AND c) OR (NOT b AND d)
    a = std::rotl(a, s) + b;
}

[[gnu::always_inline]] inline void StepG(std::uint32_t& a, std::uint32_t b, std::uint32_t c,
                                         std::uint32_t d, std::uint32_t x, int s, std::uint32_t t) {
    // (b AND d) OR (c AND NOT d): the two halves never share a bit, so they may be added,
    // which lets the processor form them in parallel.
    a += x + t + (c & ~d);
    a += b & d;
    a = std::rotl(a, s) + b;
}

[[gnu::always_inline]] inline void StepH(std::uint32_t& a, std::uint32_t b, std::uint32_t c,
                                         std::uint32_t d, std::uint32_t x, int s, std::uint32_t t) {
    a += (b ^ c ^ d) + x + t;
    a = std::rotl(a, s) + b;
}

[[gnu::always_inline]] inline void StepI(std::uint32_t& a, std::uint32_t b, std::uint32_t c,
                                         std::uint32_t d, std::uint32_t x, int s, std::uint32_t t) {
    a += (c ^ (b | ~d)) + x + t;
    a = std::rotl(a, s) + b;
}

std::u16string Ascii(const std::string& text) { return {text.begin(), text.end()}; }

std::u16string SignedDecimal(std::uint32_t reg) {
    return Ascii(std::to_string(static_cast<std::int32_t>(reg)));
}

[[noreturn]] void Fail(int number, const std::string& where, const std::string& what) {
    throw CryptoError(number, "CMD5Encrypt." + where + " - " + what);
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

std::u16string CMD5Encrypt::RegisterA() const { return SignedDecimal(a_); }
std::u16string CMD5Encrypt::RegisterB() const { return SignedDecimal(b_); }
std::u16string CMD5Encrypt::RegisterC() const { return SignedDecimal(c_); }
std::u16string CMD5Encrypt::RegisterD() const { return SignedDecimal(d_); }

std::u16string CMD5Encrypt::RegisterToHex(std::uint32_t reg) {
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    std::u16string hex(8, u'0');
    for (int i = 0; i < 4; ++i) {
        const std::uint32_t byte = (reg >> (8 * i)) & 0xFF;
        hex[2 * i] = kDigits[byte >> 4];
        hex[2 * i + 1] = kDigits[byte & 15];
    }
    return hex;
}

std::u16string CMD5Encrypt::GetValues() const {
    return RegisterToHex(a_) + RegisterToHex(b_) + RegisterToHex(c_) + RegisterToHex(d_);
}

void CMD5Encrypt::MD5Init() {
    count_ = 0;
    a_ = kInitA;
    b_ = kInitB;
    c_ = kInitC;
    d_ = kInitD;
}

void CMD5Encrypt::AdvanceCounter(std::int64_t by, const char* operation) {
    const std::int64_t next = static_cast<std::int64_t>(count_) + by;
    if (next > std::numeric_limits<std::int32_t>::max()) Fail(kErrOverflow, operation, "Overflow");
    count_ = static_cast<std::int32_t>(next);
}

void CMD5Encrypt::MD5Update(std::int32_t InputLen, std::span<const std::uint8_t> InputBuffer) {
    // A negative length would wind the counter back and silently corrupt the length field,
    // so it is refused before anything changes.
    if (InputLen < 0) Fail(kErrSubscriptOutOfRange, "MD5Update", "Subscript out of range");
    std::size_t buffered = static_cast<std::size_t>(count_ % 64);
    AdvanceCounter(InputLen, "MD5Update");
    // Both limits are checked after the counter moved: the message is spoilt either way and
    // the next digest starts with MD5Init.
    if (InputLen > kMaxUpdateLength) Fail(kErrOverflow, "MD5Update", "Overflow");
    const auto length = static_cast<std::size_t>(InputLen);
    if (length > InputBuffer.size())
        Fail(kErrSubscriptOutOfRange, "MD5Update", "Subscript out of range");

    const std::uint8_t* input = InputBuffer.data();
    std::size_t taken = 0;
    if (length >= 64 - buffered) {
        taken = 64 - buffered;
        std::memcpy(buffer_.data() + buffered, input, taken);
        TransformBlock(buffer_.data());
        for (; length - taken >= 64; taken += 64) TransformBlock(input + taken);
        buffered = 0;
    }
    if (length > taken) std::memcpy(buffer_.data() + buffered, input + taken, length - taken);
}

void CMD5Encrypt::MD5Final() {
    if (count_ >= kMaxFinalCount) Fail(kErrOverflow, "MD5Final", "Overflow");
    const auto bits = static_cast<std::uint32_t>(count_) * 8;
    const std::int32_t buffered = count_ % 64;
    const std::int32_t pad_length = buffered < 56 ? 56 - buffered : 120 - buffered;

    std::array<std::uint8_t, 64> pad{};
    pad[0] = 0x80;
    MD5Update(pad_length, pad);

    std::array<std::uint8_t, 8> length_field{};  // high word stays 0 below 2^28 bytes
    StoreLe32(length_field.data(), bits);
    MD5Update(8, length_field);
}

std::u16string CMD5Encrypt::DigestStrToHexStr(std::u16string_view SourceString) {
    MD5Init();
    const std::string bytes = StringToAnsiBytes(SourceString);
    // The length is checked as a 32-bit count so that an enormous text still fails with
    // the overflow error of MD5Update instead of wrapping into a small number.
    const std::int32_t length =
        bytes.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())
            ? std::numeric_limits<std::int32_t>::max()
            : static_cast<std::int32_t>(bytes.size());
    MD5Update(length, std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    MD5Final();
    return GetValues();
}

std::u16string CMD5Encrypt::DigestFileToHexStr(const std::filesystem::path& FileName) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(FileName.c_str(), "rb"));
    if (!file) Fail(kErrFileNotFound, "DigestFileToHexStr", "File not found: " + FileName.string());
    // Our own buffer is large already; a second copy through stdio's would only cost time.
    std::setvbuf(file.get(), nullptr, _IONBF, 0);

    std::vector<std::uint8_t> chunk(kFileChunk);
    std::size_t held = 0;  // bytes of an unfinished block kept at the front of chunk
    const auto read_more = [&] {
        const std::size_t got = std::fread(chunk.data() + held, 1, chunk.size() - held, file.get());
        if (std::ferror(file.get()))
            Fail(kErrFileIo, "DigestFileToHexStr", "Cannot read: " + FileName.string());
        return got;
    };
    // The first read comes before MD5Init, so a file that opens but cannot be read (a
    // directory, say) leaves the state as it was, like one that does not open at all.
    std::size_t got = read_more();
    MD5Init();
    while (got != 0) {
        AdvanceCounter(static_cast<std::int64_t>(got), "DigestFileToHexStr");
        const std::size_t total = held + got;
        const std::size_t whole = total - total % 64;
        for (std::size_t i = 0; i < whole; i += 64) TransformBlock(chunk.data() + i);
        held = total - whole;
        if (held != 0) std::memmove(chunk.data(), chunk.data() + whole, held);
        got = read_more();
    }
    file.reset();

    std::memcpy(buffer_.data(), chunk.data(), held);
    MD5Final();
    return GetValues();
}

std::int32_t CMD5Encrypt::LongLeftRotate(std::int32_t& value, std::int32_t& bits) {
    bits %= 32;  // the remainder keeps the sign of bits
    if (bits <= 0) return value;
    value = static_cast<std::int32_t>(std::rotl(static_cast<std::uint32_t>(value), bits));
    return value;
}

// RFC 1321 section 3.4, steps 1 to 64, in the RFC's order: word index, rotation, T[i].
void CMD5Encrypt::TransformBlock(const std::uint8_t* block) {
    std::uint32_t x[16];
    BytesToWords(block, x);
    std::uint32_t a = a_, b = b_, c = c_, d = d_;

    // Round 1
    StepF(a, b, c, d, x[0], S11, 0xd76aa478);   // 1
    StepF(d, a, b, c, x[1], S12, 0xe8c7b756);   // 2
    StepF(c, d, a, b, x[2], S13, 0x242070db);   // 3
    StepF(b, c, d, a, x[3], S14, 0xc1bdceee);   // 4
    StepF(a, b, c, d, x[4], S11, 0xf57c0faf);   // 5
    StepF(d, a, b, c, x[5], S12, 0x4787c62a);   // 6
    StepF(c, d, a, b, x[6], S13, 0xa8304613);   // 7
    StepF(b, c, d, a, x[7], S14, 0xfd469501);   // 8
    StepF(a, b, c, d, x[8], S11, 0x698098d8);   // 9
    StepF(d, a, b, c, x[9], S12, 0x8b44f7af);   // 10
    StepF(c, d, a, b, x[10], S13, 0xffff5bb1);  // 11
    StepF(b, c, d, a, x[11], S14, 0x895cd7be);  // 12
    StepF(a, b, c, d, x[12], S11, 0x6b901122);  // 13
    StepF(d, a, b, c, x[13], S12, 0xfd987193);  // 14
    StepF(c, d, a, b, x[14], S13, 0xa679438e);  // 15
    StepF(b, c, d, a, x[15], S14, 0x49b40821);  // 16

    // Round 2
    StepG(a, b, c, d, x[1], S21, 0xf61e2562);   // 17
    StepG(d, a, b, c, x[6], S22, 0xc040b340);   // 18
    StepG(c, d, a, b, x[11], S23, 0x265e5a51);  // 19
    StepG(b, c, d, a, x[0], S24, 0xe9b6c7aa);   // 20
    StepG(a, b, c, d, x[5], S21, 0xd62f105d);   // 21
    StepG(d, a, b, c, x[10], S22, 0x02441453);  // 22
    StepG(c, d, a, b, x[15], S23, 0xd8a1e681);  // 23
    StepG(b, c, d, a, x[4], S24, 0xe7d3fbc8);   // 24
    StepG(a, b, c, d, x[9], S21, 0x21e1cde6);   // 25
    StepG(d, a, b, c, x[14], S22, 0xc33707d6);  // 26
    StepG(c, d, a, b, x[3], S23, 0xf4d50d87);   // 27
    StepG(b, c, d, a, x[8], S24, 0x455a14ed);   // 28
    StepG(a, b, c, d, x[13], S21, 0xa9e3e905);  // 29
    StepG(d, a, b, c, x[2], S22, 0xfcefa3f8);   // 30
    StepG(c, d, a, b, x[7], S23, 0x676f02d9);   // 31
    StepG(b, c, d, a, x[12], S24, 0x8d2a4c8a);  // 32

    // Round 3
    StepH(a, b, c, d, x[5], S31, 0xfffa3942);   // 33
    StepH(d, a, b, c, x[8], S32, 0x8771f681);   // 34
    StepH(c, d, a, b, x[11], S33, 0x6d9d6122);  // 35
    StepH(b, c, d, a, x[14], S34, 0xfde5380c);  // 36
    StepH(a, b, c, d, x[1], S31, 0xa4beea44);   // 37
    StepH(d, a, b, c, x[4], S32, 0x4bdecfa9);   // 38
    StepH(c, d, a, b, x[7], S33, 0xf6bb4b60);   // 39
    StepH(b, c, d, a, x[10], S34, 0xbebfbc70);  // 40
    StepH(a, b, c, d, x[13], S31, 0x289b7ec6);  // 41
    StepH(d, a, b, c, x[0], S32, 0xeaa127fa);   // 42
    StepH(c, d, a, b, x[3], S33, 0xd4ef3085);   // 43
    StepH(b, c, d, a, x[6], S34, 0x04881d05);   // 44
    StepH(a, b, c, d, x[9], S31, 0xd9d4d039);   // 45
    StepH(d, a, b, c, x[12], S32, 0xe6db99e5);  // 46
    StepH(c, d, a, b, x[15], S33, 0x1fa27cf8);  // 47
    StepH(b, c, d, a, x[2], S34, 0xc4ac5665);   // 48

    // Round 4
    StepI(a, b, c, d, x[0], S41, 0xf4292244);   // 49
    StepI(d, a, b, c, x[7], S42, 0x432aff97);   // 50
    StepI(c, d, a, b, x[14], S43, 0xab9423a7);  // 51
    StepI(b, c, d, a, x[5], S44, 0xfc93a039);   // 52
    StepI(a, b, c, d, x[12], S41, 0x655b59c3);  // 53
    StepI(d, a, b, c, x[3], S42, 0x8f0ccc92);   // 54
    StepI(c, d, a, b, x[10], S43, 0xffeff47d);  // 55
    StepI(b, c, d, a, x[1], S44, 0x85845dd1);   // 56
    StepI(a, b, c, d, x[8], S41, 0x6fa87e4f);   // 57
    StepI(d, a, b, c, x[15], S42, 0xfe2ce6e0);  // 58
    StepI(c, d, a, b, x[6], S43, 0xa3014314);   // 59
    StepI(b, c, d, a, x[13], S44, 0x4e0811a1);  // 60
    StepI(a, b, c, d, x[4], S41, 0xf7537e82);   // 61
    StepI(d, a, b, c, x[11], S42, 0xbd3af235);  // 62
    StepI(c, d, a, b, x[2], S43, 0x2ad7d2bb);   // 63
    StepI(b, c, d, a, x[9], S44, 0xeb86d391);   // 64

    a_ += a;
    b_ += b;
    c_ += c;
    d_ += d;
}

}  // namespace numtrail
