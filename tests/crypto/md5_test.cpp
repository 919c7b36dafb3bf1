#include "crypto/md5.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "crypto/crypto_error.h"
#include "platform/codepage.h"
#include "support/scratch_dir.h"
#include "support/vectors.h"

namespace numtrail {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::u16string Upper(const std::string& hex) {
    std::u16string out;
    for (const char c : hex)
        out += static_cast<char16_t>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// The reference digest, from OpenSSL, in the class's uppercase form.
std::u16string OpenSslMd5(const std::uint8_t* data, std::size_t size) {
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EXPECT_EQ(EVP_Digest(data, size, md, &length, EVP_md5(), nullptr), 1);
    return Upper(test::BytesToHexForTest(Bytes(md, md + length)));
}
std::u16string OpenSslMd5(const Bytes& data) { return OpenSslMd5(data.data(), data.size()); }
std::u16string OpenSslMd5(const std::string& data) {
    return OpenSslMd5(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
}

Bytes PatternBytes(std::size_t size, std::uint32_t seed = 1) {
    Bytes bytes(size);
    for (auto& b : bytes) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(seed >> 16);
    }
    return bytes;
}

int ErrorNumberOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const CryptoError& e) {
        return e.Number();
    }
    return 0;
}

TEST(Md5, Rfc1321TestSuite) {
    const auto vectors = test::LoadVectors("md5_rfc1321.txt");
    ASSERT_EQ(vectors.size(), 7u);
    for (const auto& v : vectors) {
        const std::string& message = v.at("MESSAGE");
        SCOPED_TRACE(message);
        CMD5Encrypt md5;
        EXPECT_EQ(md5.DigestStrToHexStr(std::u16string(message.begin(), message.end())),
                  Upper(v.at("DIGEST")));

        // The same message one byte per call.
        md5.MD5Init();
        for (const char c : message) md5.MD5Update(1, Bytes{static_cast<std::uint8_t>(c)});
        md5.MD5Final();
        EXPECT_EQ(md5.GetValues(), Upper(v.at("DIGEST")));
    }
}

TEST(Md5, RegistersOfNewAndInitialisedInstance) {
    CMD5Encrypt md5;
    EXPECT_EQ(md5.GetValues(), std::u16string(32, u'0'));
    EXPECT_EQ(md5.RegisterA(), u"0");
    EXPECT_EQ(md5.RegisterB(), u"0");
    EXPECT_EQ(md5.RegisterC(), u"0");
    EXPECT_EQ(md5.RegisterD(), u"0");

    md5.MD5Init();
    EXPECT_EQ(md5.RegisterA(), u"1732584193");
    EXPECT_EQ(md5.RegisterB(), u"-271733879");
    EXPECT_EQ(md5.RegisterC(), u"-1732584194");
    EXPECT_EQ(md5.RegisterD(), u"271733878");
    // RFC 1321 section 3.3 lists the initial words low-order byte first.
    EXPECT_EQ(md5.GetValues(), u"0123456789ABCDEFFEDCBA9876543210");
}

TEST(Md5, EveryLengthUpTo200MatchesOpenSsl) {
    const Bytes data = PatternBytes(200);
    CMD5Encrypt md5;
    for (std::size_t n = 0; n <= 200; ++n) {
        md5.MD5Init();
        md5.MD5Update(static_cast<std::int32_t>(n), data);  // only the first n bytes count
        md5.MD5Final();
        ASSERT_EQ(md5.GetValues(), OpenSslMd5(data.data(), n)) << "length " << n;
    }
}

TEST(Md5, PiecesSplitAroundBlockEdgesMatchOneCall) {
    const Bytes data = PatternBytes(400, 7);
    const std::u16string expected = OpenSslMd5(data);
    const std::size_t edges[] = {1, 55, 56, 57, 63, 64, 65, 119, 120, 121, 128, 200};
    CMD5Encrypt md5;
    for (const std::size_t first : edges) {
        for (const std::size_t second : edges) {
            md5.MD5Init();
            std::size_t at = 0;
            // first, second, then the rest in pieces of first bytes
            for (std::size_t piece = first, turn = 0; at < data.size(); ++turn) {
                const std::size_t n = std::min(piece, data.size() - at);
                md5.MD5Update(static_cast<std::int32_t>(n),
                              std::span(data.data() + at, data.size() - at));
                at += n;
                piece = turn == 0 ? second : first;
            }
            md5.MD5Final();
            ASSERT_EQ(md5.GetValues(), expected) << first << " then " << second;
        }
    }
}

TEST(Md5, OneUpdateTakesAtMost32767Bytes) {
    const Bytes data = PatternBytes(32768, 3);
    CMD5Encrypt md5;
    md5.MD5Init();
    md5.MD5Update(32767, data);
    md5.MD5Final();
    EXPECT_EQ(md5.GetValues(), OpenSslMd5(data.data(), 32767));

    md5.MD5Init();
    EXPECT_EQ(ErrorNumberOf([&] { md5.MD5Update(32768, data); }), kErrOverflow);

    // A string digest goes through one MD5Update, so the same limit holds for its bytes.
    EXPECT_EQ(md5.DigestStrToHexStr(std::u16string(32767, u'x')),
              OpenSslMd5(std::string(32767, 'x')));
    EXPECT_EQ(ErrorNumberOf([&] { md5.DigestStrToHexStr(std::u16string(16384, u'中')); }),
              kErrOverflow);
}

TEST(Md5, LengthBeyondTheBufferIsASubscriptError) {
    CMD5Encrypt md5;
    md5.MD5Init();
    EXPECT_EQ(ErrorNumberOf([&] { md5.MD5Update(11, Bytes(10)); }), kErrSubscriptOutOfRange);
}

TEST(Md5, NegativeLengthIsRefusedAndLeavesTheMessageIntact) {
    const Bytes data = PatternBytes(100, 5);
    CMD5Encrypt md5;
    md5.MD5Init();
    md5.MD5Update(60, data);
    EXPECT_EQ(ErrorNumberOf([&] { md5.MD5Update(-1, data); }), kErrSubscriptOutOfRange);
    md5.MD5Update(40, std::span(data).subspan(60));
    md5.MD5Final();
    EXPECT_EQ(md5.GetValues(), OpenSslMd5(data));
}

TEST(Md5, MessageOf2To28BytesCannotBeFinished) {
    // 2^28 - 1 bytes still have a bit count that fits 32 signed bits; one more does not.
    const Bytes zeros(32767);
    constexpr std::size_t kLimit = std::size_t{1} << 28;
    CMD5Encrypt md5;
    md5.MD5Init();
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    ASSERT_EQ(EVP_DigestInit_ex(ctx, EVP_md5(), nullptr), 1);
    for (std::size_t fed = 0; fed < kLimit - 1;) {
        const std::size_t n = std::min(zeros.size(), kLimit - 1 - fed);
        md5.MD5Update(static_cast<std::int32_t>(n), zeros);
        EVP_DigestUpdate(ctx, zeros.data(), n);
        fed += n;
    }
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(ctx, md, &length);
    EVP_MD_CTX_free(ctx);

    CMD5Encrypt finished = md5;
    finished.MD5Final();
    EXPECT_EQ(finished.GetValues(), Upper(test::BytesToHexForTest(Bytes(md, md + length))));

    md5.MD5Update(1, zeros);
    EXPECT_EQ(ErrorNumberOf([&] { md5.MD5Final(); }), kErrOverflow);
}

TEST(Md5, LongLeftRotateReducesAndWritesBackItsArguments) {
    CMD5Encrypt md5;
    std::int32_t value = static_cast<std::int32_t>(0x80000001u);
    std::int32_t bits = 33;
    EXPECT_EQ(md5.LongLeftRotate(value, bits), 3);
    EXPECT_EQ(value, 3);
    EXPECT_EQ(bits, 1);

    value = 0x12345678;
    bits = 32;
    EXPECT_EQ(md5.LongLeftRotate(value, bits), 0x12345678);
    EXPECT_EQ(value, 0x12345678);
    EXPECT_EQ(bits, 0);

    bits = -3;
    EXPECT_EQ(md5.LongLeftRotate(value, bits), 0x12345678);
    EXPECT_EQ(value, 0x12345678);
    EXPECT_EQ(bits, -3);

    bits = 4;
    EXPECT_EQ(md5.LongLeftRotate(value, bits), 0x23456781);
    EXPECT_EQ(value, 0x23456781);
}

TEST(Md5, ChineseTextIsDigestedAsItsCodePageBytes) {
    CMD5Encrypt md5;
    const std::u16string digest = md5.DigestStrToHexStr(u"中文");
    EXPECT_EQ(digest, OpenSslMd5(std::string("\xD6\xD0\xCE\xC4")));
    const std::u16string utf16 = u"中文";
    EXPECT_NE(digest, OpenSslMd5(reinterpret_cast<const std::uint8_t*>(utf16.data()), 4));
    // The finished registers are the digest's words, read as signed numbers.
    EXPECT_EQ(md5.GetValues().size(), 32u);
    EXPECT_NE(md5.RegisterA(), u"1732584193");
}

TEST(Md5, FilesOfManySizesMatchOpenSsl) {
    const test::ScratchDir dir;
    CMD5Encrypt md5;
    for (const std::size_t size : {0, 1, 63, 64, 65, 65535, 65536, 65537, 3 * 65536 + 17}) {
        const Bytes data = PatternBytes(size, static_cast<std::uint32_t>(size));
        const auto file = test::WriteFile(dir.Path(std::to_string(size) + ".bin"), data);
        EXPECT_EQ(md5.DigestFileToHexStr(file), OpenSslMd5(data)) << size;
    }
    EXPECT_EQ(md5.DigestFileToHexStr(test::WriteFile(dir.Path("empty"), Bytes{})),
              u"D41D8CD98F00B204E9800998ECF8427E");
}

TEST(Md5, UnreadableFileFailsBeforeAnyStateChanges) {
    const test::ScratchDir dir;
    CMD5Encrypt md5;
    const std::u16string digest = md5.DigestStrToHexStr(u"abc");
    EXPECT_EQ(ErrorNumberOf([&] { md5.DigestFileToHexStr(dir.Path("missing")); }),
              kErrFileNotFound);
    EXPECT_EQ(md5.GetValues(), digest);
    EXPECT_EQ(ErrorNumberOf([&] { md5.DigestFileToHexStr(dir.Path()); }), kErrFileIo);
    EXPECT_EQ(md5.GetValues(), digest);
}

}  // namespace
}  // namespace numtrail
