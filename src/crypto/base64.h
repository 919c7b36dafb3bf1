#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace numtrail {

// Base64 with RFC 4648's basic alphabet and "=" padding, for text and whole files.
//
// The codec is text-oriented: it encodes the code page 936 bytes of a text, and a decoded
// text ends at its first NUL. It writes no line breaks and skips nothing when decoding: a
// character outside the alphabet (a space, CR, LF, "=") counts as six zero bits in its
// place. Positions are 16-bit, so at most 32,766 bytes are encoded and at most 32,765
// characters decoded.
//
// No member shows or raises a failure: a failed string call answers the empty text, a
// failed file call ends and answers false. The class keeps no state.
class CBase64EnDeCode {
  public:
    static constexpr std::size_t kMaxEncodeBytes = 32766;  // code page bytes
    static constexpr std::size_t kMaxDecodeBytes = 32765;  // Base64 characters

    std::u16string Base64StringEncode(std::u16string_view InStr1) const;
    // Text of 4k + 1 characters: the last one is ignored. 4k + 2 or 4k + 3: empty text.
    std::u16string Base64StringDecode(std::u16string_view InStr1) const;

    // Both file members take the plain file first and the encoded file second, and answer
    // whether the output now holds the result. It is replaced only once complete.
    bool Base64FileEncode(const std::filesystem::path& PlaintextFileName,
                          const std::filesystem::path& CiphertextFileName) const;
    bool Base64FileDecode(const std::filesystem::path& PlaintextFileName,
                          const std::filesystem::path& CiphertextFileName) const;
};

}  // namespace numtrail
