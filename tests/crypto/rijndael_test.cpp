#include "crypto/rijndael.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <array>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "crypto/crypto_error.h"
#include "support/file_size_limit.h"
#include "support/recording_notifier.h"
#include "support/scratch_dir.h"
#include "support/vectors.h"

namespace numtrail {

// Reads the private tables so they can be checked against an independent derivation.
class cRijndaelInspector {
  public:
    static const std::array<std::uint32_t, 256>& Table(const cRijndael& c, int index) {
        const std::array<const std::array<std::uint32_t, 256>*, 10> tables = {
            &c.EncTable0, &c.EncTable1, &c.EncTable2, &c.EncTable3, &c.SboxWord,
            &c.DecTable0, &c.DecTable1, &c.DecTable2, &c.DecTable3, &c.InvSboxWord};
        return *tables[index];
    }
    static const std::array<std::uint32_t, 10>& RoundConst(const cRijndael& c) {
        return c.RoundConst;
    }
    static std::int32_t RoundCount(const cRijndael& c) { return c.RoundCount; }
};

namespace {

using Bytes = std::vector<std::uint8_t>;
using test::HexToBytesForTest;
using test::ReadFileBytes;
using test::WriteFile;

// --- Independent references -----------------------------------------------------------

// Shift-and-add multiplication in GF(2^8), unrelated to the class's exp/log tables.
std::uint8_t GfMul(std::uint8_t a, std::uint8_t b) {
    std::uint8_t product = 0;
    while (b != 0) {
        if (b & 1) product ^= a;
        a = static_cast<std::uint8_t>((a << 1) ^ ((a & 0x80) ? 0x1B : 0));
        b >>= 1;
    }
    return product;
}

// The S-box from its definition: inverse by search, then the affine map bit by bit.
std::array<std::uint8_t, 256> ReferenceSbox() {
    std::array<std::uint8_t, 256> sbox{};
    for (int x = 0; x < 256; ++x) {
        std::uint8_t inverse = 0;
        for (int y = 1; y < 256 && x != 0; ++y)
            if (GfMul(static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y)) == 1)
                inverse = static_cast<std::uint8_t>(y);
        std::uint8_t out = 0;
        for (int bit = 0; bit < 8; ++bit) {
            const int v =
                ((inverse >> bit) ^ (inverse >> ((bit + 4) % 8)) ^ (inverse >> ((bit + 5) % 8)) ^
                 (inverse >> ((bit + 6) % 8)) ^ (inverse >> ((bit + 7) % 8)) ^ (0x63 >> bit)) &
                1;
            out |= static_cast<std::uint8_t>(v << bit);
        }
        sbox[x] = out;
    }
    return sbox;
}

std::uint32_t Word(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
    return b0 | (b1 << 8) | (b2 << 16) | (static_cast<std::uint32_t>(b3) << 24);
}

Bytes OpenSslEcb(const Bytes& key, const Bytes& input, bool encrypt) {
    const EVP_CIPHER* cipher = key.size() == 16   ? EVP_aes_128_ecb()
                               : key.size() == 24 ? EVP_aes_192_ecb()
                                                  : EVP_aes_256_ecb();
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    Bytes out(input.size() + 16);
    int len = 0;
    int tail = 0;
    EXPECT_EQ(EVP_CipherInit_ex(ctx, cipher, nullptr, key.data(), nullptr, encrypt ? 1 : 0), 1);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    EXPECT_EQ(EVP_CipherUpdate(ctx, out.data(), &len, input.data(), static_cast<int>(input.size())),
              1);
    EXPECT_EQ(EVP_CipherFinal_ex(ctx, out.data() + len, &tail), 1);
    EVP_CIPHER_CTX_free(ctx);
    out.resize(static_cast<std::size_t>(len + tail));
    return out;
}

Bytes RandomBytes(std::mt19937& rng, std::size_t size) {
    Bytes bytes(size);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
    return bytes;
}

Bytes AsBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

template <typename F>
void ExpectCryptoError(F&& f, int number, const std::string& description = {}) {
    try {
        f();
        ADD_FAILURE() << "no CryptoError";
    } catch (const CryptoError& e) {
        EXPECT_EQ(e.Number(), number);
        if (!description.empty()) {
            EXPECT_EQ(e.Description(), description);
        }
    }
}

class RijndaelTest : public ::testing::Test {
  protected:
    test::RecordingNotifier notifier{NoticeStyle::Plain};  // the class shows only plain boxes
    cRijndael aes{notifier};
};

// --- Block cipher ---------------------------------------------------------------------

TEST_F(RijndaelTest, Fips197AppendixCBothWays) {
    const auto records = test::LoadVectors("fips197_appendix_c.txt");
    ASSERT_EQ(records.size(), 3u);
    for (const auto& record : records) {
        SCOPED_TRACE(record.at("KEYBITS"));
        const Bytes plain = HexToBytesForTest(record.at("PLAINTEXT"));
        const Bytes cipher = HexToBytesForTest(record.at("CIPHERTEXT"));
        ASSERT_EQ(
            aes.SetCipherKey(HexToBytesForTest(record.at("KEY")), std::stoi(record.at("KEYBITS"))),
            0);
        Bytes out(16);
        aes.BlockEncrypt(plain, out, 0, 0);
        EXPECT_EQ(out, cipher);
        Bytes back(16);
        aes.BlockDecrypt(back, cipher, 0, 0);
        EXPECT_EQ(back, plain);
    }
}

TEST_F(RijndaelTest, RandomKeysAndBlocksMatchOpenSsl) {
    std::mt19937 rng(20240611);
    for (const int bits : {128, 192, 256}) {
        for (int round = 0; round < 20; ++round) {
            const Bytes key = RandomBytes(rng, static_cast<std::size_t>(bits / 8));
            const Bytes plain = RandomBytes(rng, 16 * (1 + rng() % 8));
            aes.SetCipherKey(key, bits);
            Bytes cipher;
            aes.ArrayEncrypt(plain, cipher, 0);
            ASSERT_EQ(cipher, OpenSslEcb(key, plain, true)) << bits;
            Bytes back;
            ASSERT_EQ(aes.ArrayDecrypt(back, OpenSslEcb(key, plain, true), 0), 0);
            ASSERT_EQ(back, plain) << bits;
        }
    }
}

TEST_F(RijndaelTest, InPlaceAndOffsetsGiveTheSameBlocks) {
    std::mt19937 rng(7);
    const Bytes key = RandomBytes(rng, 32);
    aes.SetCipherKey(key, 256);
    Bytes buffer = RandomBytes(rng, 40);
    const Bytes original = buffer;

    Bytes separate(16);
    aes.BlockEncrypt(buffer, separate, 3, 0);
    aes.BlockEncrypt(buffer, buffer, 3, 3);
    EXPECT_EQ(Bytes(buffer.begin() + 3, buffer.begin() + 19), separate);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 3),
              Bytes(original.begin(), original.begin() + 3));
    EXPECT_EQ(Bytes(buffer.begin() + 19, buffer.end()),
              Bytes(original.begin() + 19, original.end()));

    // The plaintext side comes first for decryption too: block at q=0 into p=24.
    Bytes target(40, 0xAA);
    aes.BlockDecrypt(target, separate, 24, 0);
    EXPECT_EQ(Bytes(target.begin() + 24, target.end()),
              Bytes(original.begin() + 3, original.begin() + 19));
    aes.BlockDecrypt(buffer, buffer, 3, 3);
    EXPECT_EQ(buffer, original);
}

TEST_F(RijndaelTest, IllegalKeyBitsFailWithNumberOneAndKeepTheKey) {
    const Bytes key = HexToBytesForTest("000102030405060708090a0b0c0d0e0f");
    aes.SetCipherKey(key, 128);
    const Bytes plain = HexToBytesForTest("00112233445566778899aabbccddeeff");
    for (const int bits : {0, 160, 224, -128, 512}) {
        ExpectCryptoError([&] { aes.SetCipherKey(Bytes(32, 0x55), bits); }, kErrGeneral,
                          "cRijndael.SetCipherKey - Illegal KeyBits Value");
        ExpectCryptoError([&] { aes.SetCipherKeyString(u"password", bits); }, kErrGeneral);
    }
    // Too few key bytes: an index error, and still no key change.
    ExpectCryptoError([&] { aes.SetCipherKey(Bytes(23, 1), 192); }, kErrSubscriptOutOfRange);
    ExpectCryptoError([&] { aes.SetCipherKey(Bytes{}, 128); }, kErrSubscriptOutOfRange);
    Bytes out(16);
    aes.BlockEncrypt(plain, out, 0, 0);
    EXPECT_EQ(out, HexToBytesForTest("69c4e0d86a7b0430d8cdb78070b4c55a"));
    EXPECT_EQ(cRijndaelInspector::RoundCount(aes), 10);
}

TEST_F(RijndaelTest, BlockIndexesOutsideTheArrayWriteNothing) {
    aes.SetCipherKey(Bytes(16, 0), 128);
    const Bytes in(20, 1);
    Bytes out(20, 0xEE);
    for (const auto& [p, q] : std::vector<std::pair<int, int>>{{5, 0}, {-1, 0}, {0, 5}, {0, -16}}) {
        ExpectCryptoError([&] { aes.BlockEncrypt(in, out, p, q); }, kErrSubscriptOutOfRange);
        ExpectCryptoError([&] { aes.BlockDecrypt(out, in, q, p); }, kErrSubscriptOutOfRange);
    }
    EXPECT_EQ(out, Bytes(20, 0xEE));
    aes.BlockEncrypt(in, out, 4, 4);  // the last 16 bytes fit exactly
}

TEST_F(RijndaelTest, KeyFromTextIsCodePageBytesCutOrPaddedTo32) {
    cRijndael reference(notifier);
    const Bytes plain(16, 0x3C);
    const auto encrypt = [&](cRijndael& c) {
        Bytes out(16);
        c.BlockEncrypt(plain, out, 0, 0);
        return out;
    };

    const std::u16string forty = u"0123456789abcdefghijABCDEFGHIJ!@#$%^&*()";
    aes.SetCipherKeyString(forty, 256);
    reference.SetCipherKey(AsBytes("0123456789abcdefghijABCDEFGHIJ!@"), 256);
    EXPECT_EQ(encrypt(aes), encrypt(reference));

    Bytes abc = AsBytes("abc");
    abc.resize(16, 0);
    aes.SetCipherKeyString(u"abc", 128);
    reference.SetCipherKey(abc, 128);
    EXPECT_EQ(encrypt(aes), encrypt(reference));

    aes.SetCipherKeyString(u"", 192);
    reference.SetCipherKey(Bytes(24, 0), 192);
    EXPECT_EQ(encrypt(aes), encrypt(reference));

    // A Chinese character takes two bytes of code page 936.
    const Bytes chinese = {0xD6, 0xD0, 0xCE, 0xC4, 'k', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    aes.SetCipherKeyString(u"中文k", 128);
    reference.SetCipherKey(chinese, 128);
    EXPECT_EQ(encrypt(aes), encrypt(reference));
}

TEST(RijndaelTables, MatchAnIndependentDerivationFromTheSbox) {
    test::RecordingNotifier notifier{NoticeStyle::Plain};
    const cRijndael first(notifier);
    const cRijndael second(notifier);
    const auto sbox = ReferenceSbox();
    ASSERT_EQ(sbox[0x00], 0x63);  // FIPS-197 figure 7
    ASSERT_EQ(sbox[0x53], 0xED);
    std::array<std::uint8_t, 256> inverse{};
    for (int x = 0; x < 256; ++x) inverse[sbox[x]] = static_cast<std::uint8_t>(x);

    for (int x = 0; x < 256; ++x) {
        const std::uint8_t s = sbox[x];
        const std::uint8_t s2 = GfMul(s, 2);
        const std::uint8_t s3 = GfMul(s, 3);
        const std::uint8_t t = inverse[x];
        const std::uint8_t e = GfMul(t, 0x0E), n = GfMul(t, 0x09), d = GfMul(t, 0x0D),
                           b = GfMul(t, 0x0B);
        const std::array<std::uint32_t, 10> expected = {
            Word(s2, s, s, s3), Word(s3, s2, s, s), Word(s, s3, s2, s), Word(s, s, s3, s2),
            Word(s, s, s, s),   Word(e, n, d, b),   Word(b, e, n, d),   Word(d, b, e, n),
            Word(n, d, b, e),   Word(t, t, t, t)};
        for (int table = 0; table < 10; ++table) {
            ASSERT_EQ(cRijndaelInspector::Table(first, table)[x], expected[table])
                << "table " << table << " x " << x;
            ASSERT_EQ(cRijndaelInspector::Table(second, table)[x], expected[table]);
        }
    }
    const std::array<std::uint32_t, 10> rcon = {0x01, 0x02, 0x04, 0x08, 0x10,
                                                0x20, 0x40, 0x80, 0x1B, 0x36};
    EXPECT_EQ(cRijndaelInspector::RoundConst(first), rcon);
    EXPECT_EQ(cRijndaelInspector::RoundCount(first), 0);
}

TEST_F(RijndaelTest, WithoutAKeyOnlySubBytesAndShiftRowsApply) {
    const auto sbox = ReferenceSbox();
    std::mt19937 rng(3);
    const Bytes in = RandomBytes(rng, 16);
    Bytes out(16);
    aes.BlockEncrypt(in, out, 0, 0);
    // Byte r of column c comes from column c + r (ShiftRows), through the S-box.
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) EXPECT_EQ(out[4 * c + r], sbox[in[4 * ((c + r) % 4) + r]]);
}

// --- Array layouts --------------------------------------------------------------------

class RijndaelLayoutTest : public RijndaelTest {
  protected:
    void SetUp() override { aes.SetCipherKeyString(u"layout", 128); }

    Bytes DecryptRaw(const Bytes& cipher) {
        Bytes plain;
        EXPECT_EQ(aes.ArrayDecrypt(plain, cipher, 0), 0);
        return plain;
    }
};

TEST_F(RijndaelLayoutTest, LengthByteLayout) {
    std::mt19937 rng(11);
    for (const std::size_t n : {0u, 5u, 15u, 16u, 17u, 31u, 32u, 100u}) {
        SCOPED_TRACE(n);
        const Bytes plain = RandomBytes(rng, n);
        Bytes cipher;
        ASSERT_EQ(aes.ArrayEncrypt(plain, cipher, 1), 0);
        ASSERT_EQ(cipher.size(), 16 * (n / 16 + 1));
        const Bytes raw = DecryptRaw(cipher);
        EXPECT_EQ(Bytes(raw.begin(), raw.begin() + static_cast<std::ptrdiff_t>(n)), plain);
        EXPECT_EQ(Bytes(raw.begin() + static_cast<std::ptrdiff_t>(n), raw.end() - 1),
                  Bytes(raw.size() - n - 1, 0));
        EXPECT_EQ(raw.back(), n % 16);

        Bytes back;
        EXPECT_EQ(aes.ArrayDecrypt(back, cipher, 1), 0);
        // An empty input comes back as its whole zero block: length 0 keeps all bytes.
        EXPECT_EQ(back, n == 0 ? Bytes(16, 0) : plain);
    }
    EXPECT_TRUE(notifier.notices.empty());
}

TEST_F(RijndaelLayoutTest, ZeroPaddedLayout) {
    const Bytes sixteen(16, 0x41);
    Bytes cipher;
    aes.ArrayEncrypt(sixteen, cipher, 0);
    EXPECT_EQ(cipher.size(), 16u);
    EXPECT_EQ(DecryptRaw(cipher), sixteen);

    Bytes seventeen(17, 0x42);
    aes.ArrayEncrypt(seventeen, cipher, 0);
    ASSERT_EQ(cipher.size(), 32u);
    seventeen.resize(32, 0);
    EXPECT_EQ(DecryptRaw(cipher), seventeen);

    aes.ArrayEncrypt(Bytes{}, cipher, 0);
    EXPECT_TRUE(cipher.empty());
}

TEST_F(RijndaelLayoutTest, SameArrayOnBothSides) {
    Bytes data = AsBytes("twenty bytes of text");
    const Bytes original = data;
    Bytes expected;
    aes.ArrayEncrypt(original, expected, 1);
    aes.ArrayEncrypt(data, data, 1);
    EXPECT_EQ(data, expected);
    EXPECT_EQ(aes.ArrayDecrypt(data, data, 1), 0);
    EXPECT_EQ(data, original);
}

TEST_F(RijndaelLayoutTest, BadCiphertextArrays) {
    Bytes plain = {9, 9};
    EXPECT_EQ(aes.ArrayDecrypt(plain, Bytes(17, 0), 1), -1);
    EXPECT_EQ(aes.ArrayDecrypt(plain, Bytes(17, 0), 0), -1);
    // An empty array has no length byte to read.
    EXPECT_EQ(aes.ArrayDecrypt(plain, Bytes{}, 1), -1);
    EXPECT_EQ(plain, (Bytes{9, 9}));
    EXPECT_EQ(notifier.Texts(),
              std::vector<std::u16string>(3, u"ciphertext size not a multiple of block size"));
    notifier.notices.clear();

    // A block whose last plaintext byte is above 15.
    Bytes block(32, 0);
    block[31] = 0x10;
    Bytes cipher;
    aes.ArrayEncrypt(block, cipher, 0);
    EXPECT_EQ(aes.ArrayDecrypt(plain, cipher, 1), 1);
    EXPECT_EQ(plain, block);
    EXPECT_EQ(notifier.Texts(), std::vector<std::u16string>{u"warning - incorrect length field"});
}

// --- Hexadecimal text -----------------------------------------------------------------

TEST_F(RijndaelTest, StringEncryptGroupsHexDigits) {
    const std::u16string text = u"Twenty ASCII letters";
    const std::u16string hex = aes.StringEncrypt(text, u"pw");
    ASSERT_EQ(hex.size(), 66u);
    EXPECT_EQ(hex.substr(32, 2), u"  ");
    EXPECT_EQ(hex.find_first_not_of(u"0123456789ABCDEF "), std::u16string::npos);

    const std::u16string grouped = aes.StringEncrypt(text, u"pw", 64);
    ASSERT_EQ(grouped.size(), 70u);
    for (const std::size_t at : {16u, 34u, 52u}) EXPECT_EQ(grouped.substr(at, 2), u"  ");
    std::u16string joined;
    for (const char16_t ch : grouped)
        if (ch != u' ') joined += ch;
    EXPECT_EQ(joined, hex.substr(0, 32) + hex.substr(34));

    // The digits are the ECB ciphertext of the code page bytes, zero-padded.
    Bytes key = AsBytes("pw");
    key.resize(16, 0);
    Bytes plain = AsBytes("Twenty ASCII letters");
    plain.resize(32, 0);
    const Bytes expected = OpenSslEcb(key, plain, true);
    std::u16string upper;
    for (const char ch : test::BytesToHexForTest(expected))
        upper += static_cast<char16_t>(std::toupper(static_cast<unsigned char>(ch)));
    EXPECT_EQ(joined, upper);

    ExpectCryptoError([&] { aes.StringEncrypt(text, u"pw", 7); }, kErrGeneral);
    ExpectCryptoError([&] { aes.StringEncrypt(text, u"pw", 128, 100); }, kErrGeneral);
}

TEST_F(RijndaelTest, StringDecryptReadsLooseHex) {
    const std::u16string text = u"Twenty ASCII letters";
    std::u16string hex = aes.StringEncrypt(text, u"secret", 128, 192);
    // Lower case, line breaks and odd spacing.
    std::u16string loose;
    for (std::size_t i = 0; i < hex.size(); ++i) {
        const char16_t ch = hex[i];
        loose += (ch >= u'A' && ch <= u'F') ? static_cast<char16_t>(ch + 32) : ch;
        if (i % 7 == 3) loose += u"\r\n\t ";
    }
    cRijndael other(notifier);
    EXPECT_EQ(other.StringDecrypt(loose, u"secret", 8, 192), text + std::u16string(12, u'\0'));

    const std::u16string chinese = u"号码归属地查询：甲乙";  // 20 bytes in code page 936
    EXPECT_EQ(aes.StringDecrypt(aes.StringEncrypt(chinese, u"密码"), u"密码"),
              chinese + std::u16string(12, u'\0'));
    const std::u16string sixteen = u"0123456789abcdef";
    EXPECT_EQ(aes.StringDecrypt(aes.StringEncrypt(sixteen, u"k"), u"k"), sixteen);
    EXPECT_TRUE(notifier.notices.empty());
}

TEST_F(RijndaelTest, StringDecryptRejectsTextWithoutWholeBlocks) {
    EXPECT_EQ(aes.StringDecrypt(u"ghijk", u"pw"), u"");
    EXPECT_EQ(aes.StringDecrypt(u"", u"pw"), u"");
    // Characters outside ASCII never count as digits, whatever their low byte.
    EXPECT_EQ(aes.StringDecrypt(u"\u0141\u4E30\uFF21", u"pw"), u"");
    EXPECT_EQ(aes.StringDecrypt(u"ABC", u"pw"), u"");
    EXPECT_EQ(notifier.Texts(),
              (std::vector<std::u16string>{u"错误：非十六进制数据！", u"错误：非十六进制数据！",
                                           u"错误：非十六进制数据！",
                                           u"ciphertext size not a multiple of block size"}));
}

// --- Files ----------------------------------------------------------------------------

class RijndaelFileTest : public RijndaelTest {
  protected:
    void SetUp() override { aes.SetCipherKeyString(u"file key", 256); }

    std::filesystem::path Path(const std::string& name) const { return scratch_.Path(name); }

  private:
    test::ScratchDir scratch_;
};

TEST_F(RijndaelFileTest, FullChunkGainsOneLengthBlock) {
    std::mt19937 rng(5);
    const Bytes plain = RandomBytes(rng, cRijndael::kFileChunkBytes);
    WriteFile(Path("plain"), plain);
    ASSERT_EQ(aes.FileEncrypt(Path("plain"), Path("cipher")), 0);
    const Bytes cipher = ReadFileBytes(Path("cipher"));
    ASSERT_EQ(cipher.size(), 4000016u);
    Bytes expected;
    aes.ArrayEncrypt(plain, expected, 1);
    EXPECT_TRUE(cipher == expected);

    ASSERT_EQ(aes.FileDecrypt(Path("back"), Path("cipher")), 0);
    EXPECT_TRUE(ReadFileBytes(Path("back")) == plain);
    EXPECT_TRUE(notifier.notices.empty());
}

TEST_F(RijndaelFileTest, ChunksDoNotChangeTheOutput) {
    std::mt19937 rng(6);
    // Past one chunk with a partial block, and one block short of two chunks.
    for (const std::size_t size : {4000037u, 7999990u}) {
        const Bytes plain = RandomBytes(rng, size);
        WriteFile(Path("plain"), plain);
        aes.FileEncrypt(Path("plain"), Path("cipher"));
        Bytes expected;
        aes.ArrayEncrypt(plain, expected, 1);
        EXPECT_TRUE(ReadFileBytes(Path("cipher")) == expected) << size;
        aes.FileDecrypt(Path("back"), Path("cipher"));
        EXPECT_TRUE(ReadFileBytes(Path("back")) == plain) << size;
    }
}

TEST_F(RijndaelFileTest, EmptyFileAndBadCiphertextSizes) {
    WriteFile(Path("empty"), Bytes{});
    aes.FileEncrypt(Path("empty"), Path("cipher"));
    EXPECT_EQ(ReadFileBytes(Path("cipher")).size(), 16u);
    WriteFile(Path("back"), Bytes(50, 7));  // an older, longer file is replaced
    EXPECT_EQ(aes.FileDecrypt(Path("back"), Path("cipher")), 0);
    EXPECT_TRUE(std::filesystem::exists(Path("back")));
    EXPECT_EQ(ReadFileBytes(Path("back")).size(), 0u);

    WriteFile(Path("twenty"), Bytes(20, 1));
    EXPECT_EQ(aes.FileDecrypt(Path("out0"), Path("empty")), 1);
    EXPECT_EQ(aes.FileDecrypt(Path("out20"), Path("twenty")), 1);
    EXPECT_FALSE(std::filesystem::exists(Path("out0")));
    EXPECT_FALSE(std::filesystem::exists(Path("out20")));
    EXPECT_EQ(notifier.Texts(),
              std::vector<std::u16string>(
                  2, u"File Size Error - ciphertext file not a multiple of block size"));
}

TEST_F(RijndaelFileTest, WrongKeyWarnsAndWritesTheWholeLastChunk) {
    WriteFile(Path("plain"), Bytes(40, 0x61));
    aes.FileEncryptSimple(Path("plain"), Path("cipher"), u"right", 128, 128);
    // The wrong key leaves a last byte above 15 (as 15 in 16 keys do).
    cRijndael other(notifier);
    other.FileDecryptSimple(Path("back"), Path("cipher"), u"wrong", 128, 128);
    ASSERT_EQ(notifier.notices.size(), 1u);
    EXPECT_EQ(notifier.notices[0].text,
              u"warning - incorrect length field in decrypted file.\r\nWrong key or keysize?");
    EXPECT_EQ(ReadFileBytes(Path("back")).size(), 48u);

    notifier.notices.clear();
    other.FileDecryptSimple(Path("back"), Path("cipher"), u"right", 64, 128);
    EXPECT_EQ(ReadFileBytes(Path("back")), Bytes(40, 0x61));
    EXPECT_TRUE(notifier.notices.empty());
}

TEST_F(RijndaelFileTest, FileEncryptedOntoItself) {
    std::mt19937 rng(8);
    const Bytes plain = RandomBytes(rng, 4000100);
    WriteFile(Path("data"), plain);
    aes.FileEncrypt(Path("data"), Path("data"));
    Bytes expected;
    aes.ArrayEncrypt(plain, expected, 1);
    EXPECT_TRUE(ReadFileBytes(Path("data")) == expected);
    aes.FileDecrypt(Path("data"), Path("data"));
    EXPECT_TRUE(ReadFileBytes(Path("data")) == plain);
}

TEST_F(RijndaelFileTest, AFailedEncryptionLeavesTheOldOutputIntact) {
    WriteFile(Path("plain"), Bytes(8192, 0x61));
    const Bytes old(16384, 0x6F);
    WriteFile(Path("cipher"), old);
    {
        const test::FileSizeLimit full_disk(4096);
        ExpectCryptoError([&] { aes.FileEncrypt(Path("plain"), Path("cipher")); }, kErrFileIo);
    }
    EXPECT_TRUE(ReadFileBytes(Path("cipher")) == old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Path("")), {}), 2);
}

TEST_F(RijndaelFileTest, MissingFilesRaiseFileErrors) {
    ExpectCryptoError([&] { aes.FileEncrypt(Path("none"), Path("out")); }, kErrFileNotFound);
    ExpectCryptoError([&] { aes.FileDecrypt(Path("out"), Path("none")); }, kErrFileNotFound);
    WriteFile(Path("plain"), Bytes(3, 1));
    ExpectCryptoError([&] { aes.FileEncrypt(Path("plain"), Path("no-dir") / "out"); },
                      kErrFileNotFound);
    ExpectCryptoError([&] { aes.FileEncryptSimple(Path("plain"), Path("out"), u"pw", 128, 160); },
                      kErrGeneral);
    EXPECT_FALSE(std::filesystem::exists(Path("out")));
}

}  // namespace
}  // namespace numtrail
