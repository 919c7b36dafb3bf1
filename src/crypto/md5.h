#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace numtrail {

// MD5 message digest (RFC 1321) with a streaming interface and two one-call digests that
// answer 32 uppercase hexadecimal characters in RFC 1321's byte order.
//
// Text is digested as its code page 936 bytes, not as UTF-16. The byte counter is a signed
// 32-bit number, so one message holds at most 2^28 - 1 bytes (its bit count must fit too).
//
// Every failure reaches the caller as CryptoError: kErrOverflow for the size limits,
// kErrSubscriptOutOfRange for a length that does not fit the buffer given, kErrFileNotFound
// or kErrFileIo for a file that cannot be opened or read. After a failure the digest in
// progress is unusable until the next MD5Init.
//
// MD5 is broken for collision resistance; this class exists to produce and check the
// digests other programs expect, not to authenticate anything.
class CMD5Encrypt {
  public:
    // The chaining registers as the decimal text of their signed 32-bit values ("0" on a
    // new instance, "-271733879" for B right after MD5Init).
    std::u16string RegisterA() const;
    std::u16string RegisterB() const;
    std::u16string RegisterC() const;
    std::u16string RegisterD() const;

    // Digest of a whole file, streamed in constant memory. A file that cannot be opened
    // fails before any state changes.
    std::u16string DigestFileToHexStr(const std::filesystem::path& FileName);
    // Digest of the code page 936 bytes of a text, in one MD5Update (so at most 32,767).
    std::u16string DigestStrToHexStr(std::u16string_view SourceString);
    // A, B, C and D, each least significant byte first, as 32 uppercase hex characters.
    std::u16string GetValues() const;

    void MD5Init();
    void MD5Final();
    // Appends the first InputLen bytes of InputBuffer. One call takes at most 32,767 bytes.
    void MD5Update(std::int32_t InputLen, std::span<const std::uint8_t> InputBuffer);

    // Rotates value left by bits places. bits is first reduced modulo 32 (keeping its sign)
    // and written back; zero or a negative remainder leaves value alone. Otherwise the
    // rotated value is written back into value and returned.
    std::int32_t LongLeftRotate(std::int32_t& value, std::int32_t& bits);

  private:
    static constexpr std::int32_t kMaxUpdateLength = 32767;
    static constexpr std::int32_t kMaxFinalCount = 1 << 28;  // count * 8 must stay below 2^31

    void TransformBlock(const std::uint8_t* block);
    void AdvanceCounter(std::int64_t by, const char* operation);
    static std::u16string RegisterToHex(std::uint32_t reg);

    // Registers hold the bit patterns of RFC 1321's words; they are read as signed.
    std::uint32_t a_ = 0;
    std::uint32_t b_ = 0;
    std::uint32_t c_ = 0;
    std::uint32_t d_ = 0;
    std::int32_t count_ = 0;  // message bytes since MD5Init
    std::array<std::uint8_t, 64> buffer_{};
};

}  // namespace numtrail
