#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/notifier.h"
#include "platform/random.h"

namespace numtrail {

// A password cipher for texts and files. The text is XORed with a keystream drawn from the
// process-wide generator, seeded from a header of three keyed hashes: a salt from the
// current date and time, a password check and a hash of the plaintext. Decryption can
// therefore tell a wrong password from a tampered ciphertext. The result is hexadecimal
// text (MEncryptDecrypt::StringToHex).
//
// What this costs: the keystream is 7 bits per code unit from a non-cryptographic
// generator, so the upper 9 bits of every code unit stay in the clear and the password
// check can be brute-forced offline. The class keeps old ciphertexts readable; it does not
// protect secrets against a determined attacker.
//
// Every hash and seed counts code units in 16-bit signed integers: a text given to the seed
// may have at most 32,767 code units, so the plaintext and the password may each have at
// most 32,767 - keySize, and keySize at most 10,922. Past these limits, and on any file
// fault, an operation ends silently with empty text or without writing. The only messages
// are "密码不正确！" (Critical) and "密文被修改，完整性不正确！" (Exclamation), sent to the
// notifier.
class CRndXorHash {
  public:
    // The generator is the program's one instance: the ciphertexts depend on its sequence,
    // and an operation must not be interleaved with other draws from it.
    CRndXorHash(ProcessRandom& random, const Clock& clock, Notifier& notifier);

    std::int16_t keySize() const { return keySize_; }
    // Values below 1 become 8. Always rebuilds HashKey for the new size, so setting 8
    // replaces the construction default.
    void keySize(std::int16_t NewValue);

    std::u16string StringEncrypt(std::u16string_view Plaintext, std::u16string_view strPassword);
    std::u16string StringDecrypt(std::u16string_view Ciphertext, std::u16string_view strPassword);

    // Plaintext files are code page 936 text; the ciphertext file holds the ASCII
    // hexadecimal text with no line end. Both return whether the output file was written;
    // it is replaced only once complete. No byte is changed silently: a plaintext file that
    // is not code page 936 text, or a decrypted text the code page cannot hold, is refused.
    // A file too large for the 16-bit limits is refused before it is read.
    bool FileEncrypt(const std::filesystem::path& PlaintextFileName,
                     const std::filesystem::path& CiphertextFileName,
                     std::u16string_view strPassword);
    bool FileDecrypt(const std::filesystem::path& PlaintextFileName,
                     const std::filesystem::path& CiphertextFileName,
                     std::u16string_view strPassword);
    // Why the last file operation wrote nothing, for a caller that tells the user; empty
    // after a success and after a message was shown.
    const std::string& LastFileError() const { return lastFileError_; }

  private:
    std::u16string Encrypt(std::u16string_view plaintext, std::u16string_view password);
    // nullopt after showing the wrong-password or tampering message.
    std::optional<std::u16string> Decrypt(std::u16string_view ciphertext,
                                          std::u16string_view password);

    // The most code units a plaintext may have under the current key size.
    int MaxTextLength() const;

    std::u16string HashString(std::u16string_view x);
    void SeedFromString(std::u16string_view s);
    std::u16string XorWithRandom(std::u16string_view s);

    ProcessRandom& random_;
    const Clock& clock_;
    Notifier& notifier_;
    std::int16_t keySize_ = 8;
    std::u16string HashKey = u"40718263";
    std::string lastFileError_;
};

}  // namespace numtrail
