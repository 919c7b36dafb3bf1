#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/notifier.h"
#include "platform/secret.h"

namespace numtrail {

// AES (FIPS-197) with 128-, 192- and 256-bit keys on 128-bit blocks, block by block
// (no chaining), plus the array, hexadecimal-text and file layouts built on it.
//
// The cipher is the table-driven form: every round is a handful of table look-ups
// indexed by secret bytes, so its timing depends on the key and the data through the
// cache. The class exists to read and write its formats, not to protect secrets from an
// attacker who shares the machine.
//
// Errors are CryptoError: number 1 with a description naming the operation for an
// illegal key size, kErrSubscriptOutOfRange for an index outside its array,
// kErrFileNotFound / kErrFileIo for files. Byte arrays are always zero-based here, so
// the "must be zero based array" errors of the array operations cannot occur.
// Messages the class shows go to the notifier, as plain boxes.
class cRijndael {
  public:
    using Bytes = std::vector<std::uint8_t>;

    explicit cRijndael(Notifier& notifier);
    // Wipes the key schedules.
    ~cRijndael();
    cRijndael(const cRijndael&) = delete;
    cRijndael& operator=(const cRijndael&) = delete;

    // Sets the key from the first KeyBits/8 bytes of pass; KeyBits is 128, 192 or 256.
    // Returns 0. On any error the previous key stays in force.
    std::int32_t SetCipherKey(const Bytes& pass, std::int32_t KeyBits);
    // The key bytes are the phrase in code page 936, cut or zero-padded to 32 bytes.
    std::int32_t SetCipherKeyString(std::u16string_view PassPhrase, std::int32_t KeyBits);

    // Encrypts Plaintext[p..p+15] into Ciphertext[q..q+15]. Both arrays may be the same
    // array, with p equal to q: all input bytes are read before any is written.
    void BlockEncrypt(const Bytes& Plaintext, Bytes& Ciphertext, std::int32_t p, std::int32_t q);
    // Decrypts Ciphertext[q..q+15] into Plaintext[p..p+15]; the plaintext side comes
    // first, as for BlockEncrypt. In place allowed.
    void BlockDecrypt(Bytes& Plaintext, const Bytes& Ciphertext, std::int32_t p, std::int32_t q);

    // appendsize != 0: the length-byte layout (the last byte of the last block holds
    // n mod 16); appendsize == 0: zero-padded to the next whole block. Returns 0.
    std::int32_t ArrayEncrypt(const Bytes& Plaintext, Bytes& Ciphertext, std::int32_t appendsize);
    // Returns 0, -1 when Ciphertext is not a whole number of blocks (message shown,
    // Plaintext untouched), 1 when the length byte is invalid (message shown, all
    // decrypted bytes left in Plaintext).
    std::int32_t ArrayDecrypt(Bytes& Plaintext, const Bytes& Ciphertext, std::int32_t appendsize);

    // The whole file in the length-byte layout, in chunks of kFileChunkBytes. Returns 0.
    std::int32_t FileEncrypt(const std::filesystem::path& PlaintextFileName,
                             const std::filesystem::path& CiphertextFileName);
    // Returns 0 (also after the incorrect-length warning), or 1 when the ciphertext file
    // is empty or not a whole number of blocks; then no file is written.
    std::int32_t FileDecrypt(const std::filesystem::path& PlaintextFileName,
                             const std::filesystem::path& CiphertextFileName);

    // Hexadecimal text of the zero-padded encryption, in groups of blockSize/8 bytes.
    std::u16string StringEncrypt(std::u16string_view strSource, std::u16string_view strPassword,
                                 std::int32_t blockSize = 128, std::int32_t keySize = 128);
    // Reads hexadecimal digits in any spacing or case; blockSize is not used. The
    // padding comes back as NUL characters at the end.
    std::u16string StringDecrypt(std::u16string_view strSource, std::u16string_view strPassword,
                                 std::int32_t blockSize = 128, std::int32_t keySize = 128);

    // Set the key from the password, then FileEncrypt / FileDecrypt. blockSize is not used.
    void FileEncryptSimple(const std::filesystem::path& PlaintextFileName,
                           const std::filesystem::path& CiphertextFileName,
                           std::u16string_view strPassword, std::int32_t blockSize = 128,
                           std::int32_t keySize = 128);
    void FileDecryptSimple(const std::filesystem::path& PlaintextFileName,
                           const std::filesystem::path& CiphertextFileName,
                           std::u16string_view strPassword, std::int32_t blockSize = 128,
                           std::int32_t keySize = 128);

    static constexpr std::size_t kFileChunkBytes = 4000000;  // 250,000 blocks

  private:
    using Table = std::array<std::uint32_t, 256>;

    void BuildTables();
    void InvertKeySchedule(std::int32_t words_per_block);

    // Whole blocks, in place or out of place; count is a number of 16-byte blocks.
    void EncryptBlocks(const std::uint8_t* in, std::uint8_t* out, std::size_t count) const;
    void DecryptBlocks(const std::uint8_t* in, std::uint8_t* out, std::size_t count) const;

    static Wiped<Bytes> PasswordToKey(std::u16string_view password);
    static std::u16string BytesToHex(const Bytes& bytes, std::size_t count, std::int32_t group);
    static std::size_t HexToBytes(std::u16string_view text, Bytes& bytes);

    Notifier& notifier_;

    Table EncTable0{};
    Table EncTable1{};
    Table EncTable2{};
    Table EncTable3{};
    Table SboxWord{};
    Table DecTable0{};
    Table DecTable1{};
    Table DecTable2{};
    Table DecTable3{};
    Table InvSboxWord{};
    std::array<std::uint32_t, 10> RoundConst{};
    std::int32_t RoundCount = 0;
    std::array<std::uint32_t, 60> EncRoundKeys{};
    std::array<std::uint32_t, 60> DecRoundKeys{};

    friend class cRijndaelInspector;  // lets tests read the tables and key schedules
};

}  // namespace numtrail
