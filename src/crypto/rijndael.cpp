#include "crypto/rijndael.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "crypto/byte_order.h"
#include "crypto/crypto_error.h"
#include "platform/atomic_file.h"
#include "platform/codepage.h"

namespace numtrail {
namespace {

constexpr std::size_t kBlockBytes = 16;
constexpr std::size_t kKeyMaterialBytes = 32;

std::uint8_t XTime(std::uint8_t x) {
    return static_cast<std::uint8_t>((x << 1) ^ ((x & 0x80) ? 0x1B : 0x00));
}

std::uint8_t RotateLeft8(std::uint8_t x, int n) {
    return static_cast<std::uint8_t>((x << n) | (x >> (8 - n)));
}

std::uint32_t Repeat4(std::uint8_t x) { return 0x01010101u * x; }

// 16 bytes at index of an array of size bytes, with the index as a signed 32-bit value.
bool BlockFits(std::int32_t index, std::size_t size) {
    return index >= 0 && static_cast<std::size_t>(index) + kBlockBytes <= size;
}

// A file opened for reading raw bytes, closed when the object goes.
class InputFile {
  public:
    explicit InputFile(const std::filesystem::path& path)
        : path_(path), fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
        if (fd_ < 0) throw CryptoError(kErrFileNotFound, "Cannot open: " + path.string());
    }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile() { ::close(fd_); }

    // Reads exactly size bytes; a file that ends early is a read fault.
    void ReadExactly(std::uint8_t* data, std::size_t size) {
        while (size > 0) {
            const ssize_t got = ::read(fd_, data, size);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) throw CryptoError(kErrFileIo, "Cannot read: " + path_.string());
            data += got;
            size -= static_cast<std::size_t>(got);
        }
    }

  private:
    std::filesystem::path path_;
    int fd_;
};

// The output goes to a temporary file that replaces the target only when it is complete:
// a failure part-way leaves the old output as it was, and a file encrypted onto itself is
// read whole before it is replaced.
class OutputFile {
  public:
    explicit OutputFile(const std::filesystem::path& path) : writer_(path) {
        if (!writer_.Ok()) throw CryptoError(kErrFileNotFound, writer_.Error());
    }
    void Write(const std::uint8_t* data, std::size_t size) {
        if (!writer_.Write(data, size)) throw CryptoError(kErrFileIo, writer_.Error());
    }
    void Commit() {
        if (!writer_.Commit()) throw CryptoError(kErrFileIo, writer_.Error());
    }

  private:
    AtomicFileWriter writer_;
};

struct RoundTables {
    const std::uint32_t* t0;
    const std::uint32_t* t1;
    const std::uint32_t* t2;
    const std::uint32_t* t3;
    const std::uint32_t* sbox;  // the (inverse) S-box in all four bytes
};

// Lanes blocks in lockstep, with the round count fixed at compile time so that the rounds
// unroll and the round keys are read at constant offsets. Encryption takes the row bytes
// from the following columns (ShiftRows), decryption from the preceding ones. All input
// bytes are read before any output byte is written, so in == out is allowed.
template <bool Encrypt, int Rounds, int Lanes>
inline void CipherLanes(const RoundTables& t, const std::uint32_t* keys, const std::uint8_t* in,
                        std::uint8_t* out) {
    constexpr int kOffset1 = Encrypt ? 1 : 3;
    constexpr int kOffset3 = Encrypt ? 3 : 1;
    std::uint32_t s[Lanes][4];
#pragma GCC unroll 4
    for (int l = 0; l < Lanes; ++l)
#pragma GCC unroll 4
        for (int c = 0; c < 4; ++c) s[l][c] = LoadLe32(in + 16 * l + 4 * c) ^ keys[c];
#pragma GCC unroll 14
    for (int r = 1; r < Rounds; ++r) {
        const std::uint32_t* k = keys + 4 * r;
        std::uint32_t u[Lanes][4];
#pragma GCC unroll 4
        for (int l = 0; l < Lanes; ++l)
#pragma GCC unroll 4
            for (int c = 0; c < 4; ++c)
                u[l][c] = t.t0[s[l][c] & 0xFF] ^ t.t1[(s[l][(c + kOffset1) & 3] >> 8) & 0xFF] ^
                          t.t2[(s[l][(c + 2) & 3] >> 16) & 0xFF] ^
                          t.t3[s[l][(c + kOffset3) & 3] >> 24] ^ k[c];
#pragma GCC unroll 4
        for (int l = 0; l < Lanes; ++l)
#pragma GCC unroll 4
            for (int c = 0; c < 4; ++c) s[l][c] = u[l][c];
    }
    const std::uint32_t* k = keys + 4 * Rounds;
#pragma GCC unroll 4
    for (int l = 0; l < Lanes; ++l)
#pragma GCC unroll 4
        for (int c = 0; c < 4; ++c)
            StoreLe32(out + 16 * l + 4 * c,
                      (t.sbox[s[l][c] & 0xFF] & 0xFFu) ^
                          (t.sbox[(s[l][(c + kOffset1) & 3] >> 8) & 0xFF] & 0xFF00u) ^
                          (t.sbox[(s[l][(c + 2) & 3] >> 16) & 0xFF] & 0xFF0000u) ^
                          (t.sbox[s[l][(c + kOffset3) & 3] >> 24] & 0xFF000000u) ^ k[c]);
}

// Two blocks at a time: each round's table look-ups wait on the previous round, and a
// second independent block fills those waits.
template <bool Encrypt, int Rounds>
void CipherBlocks(const RoundTables& t, const std::uint32_t* keys, const std::uint8_t* in,
                  std::uint8_t* out, std::size_t count) {
    for (; count >= 2; count -= 2, in += 2 * kBlockBytes, out += 2 * kBlockBytes)
        CipherLanes<Encrypt, Rounds, 2>(t, keys, in, out);
    if (count == 1) CipherLanes<Encrypt, Rounds, 1>(t, keys, in, out);
}

std::uint64_t FileLength(const std::filesystem::path& path) {
    std::error_code error;
    const auto length = std::filesystem::file_size(path, error);
    if (error) throw CryptoError(kErrFileNotFound, "File not found: " + path.string());
    return length;
}

}  // namespace

cRijndael::cRijndael(Notifier& notifier) : notifier_(notifier) { BuildTables(); }

cRijndael::~cRijndael() {
    Wipe(EncRoundKeys.data(), sizeof EncRoundKeys);
    Wipe(DecRoundKeys.data(), sizeof DecRoundKeys);
}

void cRijndael::BuildTables() {
    // GF(2^8) exponents and logarithms to the generator 3.
    std::array<std::uint8_t, 256> exp{};
    std::array<std::uint8_t, 256> log{};
    exp[0] = 1;
    for (int i = 1; i < 256; ++i) {
        exp[i] = static_cast<std::uint8_t>(exp[i - 1] ^ XTime(exp[i - 1]));
        log[exp[i]] = static_cast<std::uint8_t>(i);
    }
    log[0] = 0;

    SboxWord[0] = 0x63636363u;
    InvSboxWord[0x63] = 0;
    for (int x = 1; x < 256; ++x) {
        const std::uint8_t b = exp[255 - log[x]];
        const auto y = static_cast<std::uint8_t>(b ^ RotateLeft8(b, 1) ^ RotateLeft8(b, 2) ^
                                                 RotateLeft8(b, 3) ^ RotateLeft8(b, 4) ^ 0x63);
        SboxWord[x] = Repeat4(y);
        InvSboxWord[y] = Repeat4(static_cast<std::uint8_t>(x));
    }

    std::uint8_t rc = 1;
    for (auto& word : RoundConst) {
        word = rc;
        rc = XTime(rc);
    }

    // Each round table is one column of MixColumns; the four tables are its byte
    // rotations, read from a doubled 8-byte buffer.
    std::uint8_t buffer[8];
    for (int x = 0; x < 256; ++x) {
        const auto s = static_cast<std::uint8_t>(SboxWord[x]);
        const std::uint8_t m = XTime(s);
        const std::uint8_t column[4] = {m, s, s, static_cast<std::uint8_t>(s ^ m)};
        std::memcpy(buffer, column, 4);
        std::memcpy(buffer + 4, column, 4);
        EncTable0[x] = LoadLe32(buffer);
        EncTable3[x] = LoadLe32(buffer + 1);
        EncTable2[x] = LoadLe32(buffer + 2);
        EncTable1[x] = LoadLe32(buffer + 3);
    }

    const auto multiply = [&](std::uint8_t t, std::uint8_t k) -> std::uint8_t {
        if (t == 0) return 0;
        return exp[(log[t] + log[k]) % 255];
    };
    for (int x = 0; x < 256; ++x) {
        const auto t = static_cast<std::uint8_t>(InvSboxWord[x]);
        const std::uint8_t column[4] = {multiply(t, 0x0E), multiply(t, 0x09), multiply(t, 0x0D),
                                        multiply(t, 0x0B)};
        std::memcpy(buffer, column, 4);
        std::memcpy(buffer + 4, column, 4);
        DecTable0[x] = LoadLe32(buffer);
        DecTable3[x] = LoadLe32(buffer + 1);
        DecTable2[x] = LoadLe32(buffer + 2);
        DecTable1[x] = LoadLe32(buffer + 3);
    }
}

std::int32_t cRijndael::SetCipherKey(const Bytes& pass, std::int32_t KeyBits) {
    if (KeyBits != 128 && KeyBits != 192 && KeyBits != 256)
        throw CryptoError(kErrGeneral, "cRijndael.SetCipherKey - Illegal KeyBits Value");
    const std::size_t key_bytes = static_cast<std::size_t>(KeyBits) / 8;
    if (pass.size() < key_bytes)
        throw CryptoError(kErrSubscriptOutOfRange,
                          "cRijndael.SetCipherKey - Subscript out of range");

    const auto sub_rot_word = [this](std::uint32_t w) {
        return (SboxWord[(w >> 8) & 0xFF] & 0xFFu) ^ (SboxWord[(w >> 16) & 0xFF] & 0xFF00u) ^
               (SboxWord[w >> 24] & 0xFF0000u) ^ (SboxWord[w & 0xFF] & 0xFF000000u);
    };
    const auto sub_word = [this](std::uint32_t w) {
        return (SboxWord[w & 0xFF] & 0xFFu) ^ (SboxWord[(w >> 8) & 0xFF] & 0xFF00u) ^
               (SboxWord[(w >> 16) & 0xFF] & 0xFF0000u) ^ (SboxWord[w >> 24] & 0xFF000000u);
    };

    const int nk = KeyBits / 32;
    const int rounds = nk + 6;
    const int total = 4 * (rounds + 1);
    std::array<std::uint32_t, 60> w{};
    for (int i = 0; i < nk; ++i) w[i] = LoadLe32(pass.data() + 4 * i);
    for (int i = nk; i < total; ++i) {
        std::uint32_t temp = w[i - 1];
        if (i % nk == 0)
            temp = sub_rot_word(temp) ^ RoundConst[i / nk - 1];
        else if (nk == 8 && i % nk == 4)
            temp = sub_word(temp);
        w[i] = w[i - nk] ^ temp;
    }

    EncRoundKeys = w;
    Wipe(w.data(), sizeof w);
    RoundCount = rounds;
    InvertKeySchedule(4);
    return 0;
}

std::int32_t cRijndael::SetCipherKeyString(std::u16string_view PassPhrase, std::int32_t KeyBits) {
    return SetCipherKey(*PasswordToKey(PassPhrase), KeyBits);
}

void cRijndael::InvertKeySchedule(std::int32_t words_per_block) {
    const int bc = words_per_block;
    DecRoundKeys.fill(0);
    for (int i = 0; i <= RoundCount; ++i)
        for (int j = 0; j < bc; ++j)
            DecRoundKeys[bc * i + j] = EncRoundKeys[bc * (RoundCount - i) + j];
    // InvMixColumns on every round key but the first and the last, so decryption runs
    // the same table rounds as encryption.
    for (int i = bc; i < bc * RoundCount; ++i) {
        const std::uint32_t w = DecRoundKeys[i];
        DecRoundKeys[i] =
            DecTable0[SboxWord[w & 0xFF] & 0xFF] ^ DecTable1[SboxWord[(w >> 8) & 0xFF] & 0xFF] ^
            DecTable2[SboxWord[(w >> 16) & 0xFF] & 0xFF] ^ DecTable3[SboxWord[w >> 24] & 0xFF];
    }
}

void cRijndael::EncryptBlocks(const std::uint8_t* in, std::uint8_t* out, std::size_t count) const {
    const RoundTables tables = {EncTable0.data(), EncTable1.data(), EncTable2.data(),
                                EncTable3.data(), SboxWord.data()};
    switch (RoundCount) {
        case 10:
            return CipherBlocks<true, 10>(tables, EncRoundKeys.data(), in, out, count);
        case 12:
            return CipherBlocks<true, 12>(tables, EncRoundKeys.data(), in, out, count);
        case 14:
            return CipherBlocks<true, 14>(tables, EncRoundKeys.data(), in, out, count);
        default:
            return CipherBlocks<true, 0>(tables, EncRoundKeys.data(), in, out, count);
    }
}

void cRijndael::DecryptBlocks(const std::uint8_t* in, std::uint8_t* out, std::size_t count) const {
    const RoundTables tables = {DecTable0.data(), DecTable1.data(), DecTable2.data(),
                                DecTable3.data(), InvSboxWord.data()};
    switch (RoundCount) {
        case 10:
            return CipherBlocks<false, 10>(tables, DecRoundKeys.data(), in, out, count);
        case 12:
            return CipherBlocks<false, 12>(tables, DecRoundKeys.data(), in, out, count);
        case 14:
            return CipherBlocks<false, 14>(tables, DecRoundKeys.data(), in, out, count);
        default:
            return CipherBlocks<false, 0>(tables, DecRoundKeys.data(), in, out, count);
    }
}

void cRijndael::BlockEncrypt(const Bytes& Plaintext, Bytes& Ciphertext, std::int32_t p,
                             std::int32_t q) {
    if (!BlockFits(p, Plaintext.size()) || !BlockFits(q, Ciphertext.size()))
        throw CryptoError(kErrSubscriptOutOfRange,
                          "cRijndael.BlockEncrypt - Subscript out of range");
    EncryptBlocks(Plaintext.data() + p, Ciphertext.data() + q, 1);
}

void cRijndael::BlockDecrypt(Bytes& Plaintext, const Bytes& Ciphertext, std::int32_t p,
                             std::int32_t q) {
    if (!BlockFits(p, Plaintext.size()) || !BlockFits(q, Ciphertext.size()))
        throw CryptoError(kErrSubscriptOutOfRange,
                          "cRijndael.BlockDecrypt - Subscript out of range");
    DecryptBlocks(Ciphertext.data() + q, Plaintext.data() + p, 1);
}

std::int32_t cRijndael::ArrayEncrypt(const Bytes& Plaintext, Bytes& Ciphertext,
                                     std::int32_t appendsize) {
    if (&Plaintext == &Ciphertext) {
        // One array on both sides: encrypt its original content.
        const Bytes original = Plaintext;
        return ArrayEncrypt(original, Ciphertext, appendsize);
    }
    const std::size_t n = Plaintext.size();
    const std::size_t m = n % kBlockBytes;
    const std::size_t whole = n - m;
    const std::size_t length = (appendsize == 0 && m == 0) ? n : whole + kBlockBytes;
    // Every byte is overwritten below, so the array's storage is reused as it is.
    Ciphertext.resize(length);
    EncryptBlocks(Plaintext.data(), Ciphertext.data(), whole / kBlockBytes);
    if (whole != length) {
        std::uint8_t* const last = Ciphertext.data() + whole;
        std::fill_n(last, kBlockBytes, 0);
        std::copy_n(Plaintext.data() + whole, m, last);
        if (appendsize != 0) last[kBlockBytes - 1] = static_cast<std::uint8_t>(m);
        EncryptBlocks(last, last, 1);
    }
    return 0;
}

std::int32_t cRijndael::ArrayDecrypt(Bytes& Plaintext, const Bytes& Ciphertext,
                                     std::int32_t appendsize) {
    const std::size_t n = Ciphertext.size();
    // An empty array cannot hold the length byte, so it fails like a partial block.
    if (n % kBlockBytes != 0 || (appendsize != 0 && n == 0)) {
        notifier_.Notify(u"ciphertext size not a multiple of block size", NoticeStyle::Plain);
        return -1;
    }
    // When both are one array its size is already n and the blocks decrypt in place.
    Plaintext.resize(n);
    DecryptBlocks(Ciphertext.data(), Plaintext.data(), n / kBlockBytes);
    if (appendsize == 0) return 0;
    const std::uint8_t c = Plaintext[n - 1];
    if (c > 15) {
        notifier_.Notify(u"warning - incorrect length field", NoticeStyle::Plain);
        return 1;
    }
    // A length of 0 (the encryption of an empty array) keeps the whole block, which is
    // what readers of this layout have always got back.
    const std::size_t length = n - kBlockBytes + c;
    if (length > 0) Plaintext.resize(length);
    return 0;
}

std::int32_t cRijndael::FileEncrypt(const std::filesystem::path& PlaintextFileName,
                                    const std::filesystem::path& CiphertextFileName) {
    const std::uint64_t len = FileLength(PlaintextFileName);
    InputFile in(PlaintextFileName);
    OutputFile out(CiphertextFileName);

    std::uint64_t remaining = len;
    std::uint64_t total = (len / kBlockBytes + 1) * kBlockBytes;
    Bytes buffer(std::min<std::uint64_t>(total, kFileChunkBytes));
    while (total > kFileChunkBytes) {
        in.ReadExactly(buffer.data(), kFileChunkBytes);
        EncryptBlocks(buffer.data(), buffer.data(), kFileChunkBytes / kBlockBytes);
        out.Write(buffer.data(), kFileChunkBytes);
        total -= kFileChunkBytes;
        remaining -= kFileChunkBytes;
    }
    buffer.assign(total, 0);
    in.ReadExactly(buffer.data(), remaining);
    buffer.back() = static_cast<std::uint8_t>(len % kBlockBytes);
    EncryptBlocks(buffer.data(), buffer.data(), total / kBlockBytes);
    out.Write(buffer.data(), total);
    out.Commit();
    return 0;
}

std::int32_t cRijndael::FileDecrypt(const std::filesystem::path& PlaintextFileName,
                                    const std::filesystem::path& CiphertextFileName) {
    std::uint64_t len = FileLength(CiphertextFileName);
    if (len == 0 || len % kBlockBytes != 0) {
        notifier_.Notify(u"File Size Error - ciphertext file not a multiple of block size",
                         NoticeStyle::Plain);
        return 1;
    }
    InputFile in(CiphertextFileName);
    OutputFile out(PlaintextFileName);

    Bytes buffer(std::min<std::uint64_t>(len, kFileChunkBytes));
    while (len > kFileChunkBytes) {
        in.ReadExactly(buffer.data(), kFileChunkBytes);
        DecryptBlocks(buffer.data(), buffer.data(), kFileChunkBytes / kBlockBytes);
        out.Write(buffer.data(), kFileChunkBytes);
        len -= kFileChunkBytes;
    }
    buffer.resize(len);
    in.ReadExactly(buffer.data(), len);
    DecryptBlocks(buffer.data(), buffer.data(), len / kBlockBytes);
    const std::uint8_t c = buffer.back();
    std::uint64_t d = len;
    if (c < 16) {
        d = len - kBlockBytes + c;
    } else {
        notifier_.Notify(
            u"warning - incorrect length field in decrypted file.\r\nWrong key or keysize?",
            NoticeStyle::Plain);
    }
    out.Write(buffer.data(), d);
    out.Commit();
    return 0;
}

std::u16string cRijndael::StringEncrypt(std::u16string_view strSource,
                                        std::u16string_view strPassword, std::int32_t blockSize,
                                        std::int32_t keySize) {
    // A group of less than one byte cannot be written; refuse before the key changes.
    const std::int32_t group = blockSize / 8;
    if (group < 1)
        throw CryptoError(kErrGeneral, "cRijndael.StringEncrypt - Illegal BlockSize Value");
    const Wiped<Bytes> key = PasswordToKey(strPassword);
    const std::string source = StringToAnsiBytes(strSource);
    SetCipherKey(*key, keySize);
    Bytes ciphertext;
    ArrayEncrypt(Bytes(source.begin(), source.end()), ciphertext, 0);
    return BytesToHex(ciphertext, ciphertext.size(), group);
}

std::u16string cRijndael::StringDecrypt(std::u16string_view strSource,
                                        std::u16string_view strPassword, std::int32_t /*blockSize*/,
                                        std::int32_t keySize) {
    const Wiped<Bytes> key = PasswordToKey(strPassword);
    Bytes ciphertext;
    if (HexToBytes(strSource, ciphertext) == 0) {
        notifier_.Notify(u"错误：非十六进制数据！", NoticeStyle::Plain);
        return {};
    }
    SetCipherKey(*key, keySize);
    Bytes plaintext;
    if (ArrayDecrypt(plaintext, ciphertext, 0) != 0) return {};
    return AnsiBytesToString(
        std::string_view(reinterpret_cast<const char*>(plaintext.data()), plaintext.size()));
}

void cRijndael::FileEncryptSimple(const std::filesystem::path& PlaintextFileName,
                                  const std::filesystem::path& CiphertextFileName,
                                  std::u16string_view strPassword, std::int32_t /*blockSize*/,
                                  std::int32_t keySize) {
    SetCipherKey(*PasswordToKey(strPassword), keySize);
    FileEncrypt(PlaintextFileName, CiphertextFileName);
}

void cRijndael::FileDecryptSimple(const std::filesystem::path& PlaintextFileName,
                                  const std::filesystem::path& CiphertextFileName,
                                  std::u16string_view strPassword, std::int32_t /*blockSize*/,
                                  std::int32_t keySize) {
    SetCipherKey(*PasswordToKey(strPassword), keySize);
    FileDecrypt(PlaintextFileName, CiphertextFileName);
}

Wiped<cRijndael::Bytes> cRijndael::PasswordToKey(std::u16string_view password) {
    const Wiped<std::string> bytes(StringToAnsiBytes(password));
    Wiped<Bytes> key(Bytes(kKeyMaterialBytes, 0));
    std::copy_n(bytes->begin(), std::min(bytes->size(), kKeyMaterialBytes), key->begin());
    return key;
}

std::u16string cRijndael::BytesToHex(const Bytes& bytes, std::size_t count, std::int32_t group) {
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    const auto g = static_cast<std::size_t>(group);
    std::u16string text;
    text.reserve(count * 2 + (count > 0 ? 2 * ((count - 1) / g) : 0));
    for (std::size_t i = 0; i < count; ++i) {
        if (i != 0 && i % g == 0) text += u"  ";
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

std::size_t cRijndael::HexToBytes(std::u16string_view text, Bytes& bytes) {
    bytes.clear();
    bytes.reserve(text.size() / 2);
    int pending = -1;
    for (const char16_t ch : text) {
        // Only the ASCII digits and letters count; any other character, including one
        // whose low byte happens to look like a digit, is a separator.
        int value;
        if (ch >= u'0' && ch <= u'9')
            value = ch - u'0';
        else if (ch >= u'A' && ch <= u'F')
            value = ch - u'A' + 10;
        else if (ch >= u'a' && ch <= u'f')
            value = ch - u'a' + 10;
        else
            continue;
        if (pending < 0) {
            pending = value;
        } else {
            bytes.push_back(static_cast<std::uint8_t>(pending * 16 + value));
            pending = -1;
        }
    }
    return bytes.size();
}

}  // namespace numtrail
