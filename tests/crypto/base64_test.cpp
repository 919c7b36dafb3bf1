#include "crypto/base64.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <filesystem>
#include <string>

#include "platform/codepage.h"
#include "support/scratch_dir.h"
#include "support/vectors.h"

namespace numtrail {
namespace {

using test::ReadFile;
using test::WriteFile;

std::u16string Widen(const std::string& ascii) { return {ascii.begin(), ascii.end()}; }

// The reference encoding of a byte string, from OpenSSL.
std::u16string OpenSslBase64(const std::string& bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                  reinterpret_cast<const unsigned char*>(bytes.data()),
                                  static_cast<int>(bytes.size()));
    out.resize(static_cast<std::size_t>(n));
    return Widen(out);
}

class Base64Files : public test::ScratchDirTest {
  protected:
    CBase64EnDeCode codec_;
};

TEST(Base64, Rfc4648Vectors) {
    const auto vectors = test::LoadVectors("base64_rfc4648.txt");
    ASSERT_EQ(vectors.size(), 7u);
    const CBase64EnDeCode codec;
    for (const auto& v : vectors) {
        SCOPED_TRACE(v.at("INPUT"));
        EXPECT_EQ(codec.Base64StringEncode(Widen(v.at("INPUT"))), Widen(v.at("OUTPUT")));
        EXPECT_EQ(codec.Base64StringDecode(Widen(v.at("OUTPUT"))), Widen(v.at("INPUT")));
    }
}

TEST(Base64, EncodingMatchesOpenSslForAsciiAndChineseText) {
    const CBase64EnDeCode codec;
    std::u16string ascii;
    std::u16string mixed;
    for (int n = 0; n < 120; ++n) {
        ascii += static_cast<char16_t>(1 + (n * 37) % 127);  // every ASCII code but NUL
        mixed += n % 3 == 0 ? u'号' : static_cast<char16_t>(u'a' + n % 26);
        ASSERT_EQ(codec.Base64StringEncode(ascii), OpenSslBase64(StringToAnsiBytes(ascii)));
        ASSERT_EQ(codec.Base64StringDecode(codec.Base64StringEncode(ascii)), ascii);
        ASSERT_EQ(codec.Base64StringEncode(mixed), OpenSslBase64(StringToAnsiBytes(mixed)));
        ASSERT_EQ(codec.Base64StringDecode(codec.Base64StringEncode(mixed)), mixed);
    }
}

TEST(Base64, OneNonAsciiCharacterAnywhereInALongText) {
    // ASCII text is encoded without a code page conversion; a single character outside
    // ASCII, wherever it stands, must still send the whole text through the code page.
    // U+4E00 has a low byte of 0 and U+00E9 one above 0x7F.
    const CBase64EnDeCode codec;
    std::u16string base;
    for (int i = 0; i < 700; ++i) base += static_cast<char16_t>(u'a' + i % 26);
    for (const char16_t odd : {u'\u4E00', u'\u00E9', u'号'}) {
        for (const std::size_t at : {0, 4, 5, 190, 191, 192, 193, 383, 384, 600, 698, 699}) {
            std::u16string text = base;
            text[at] = odd;
            ASSERT_EQ(codec.Base64StringEncode(text), OpenSslBase64(StringToAnsiBytes(text)))
                << "at " << at;
        }
    }
}

TEST(Base64, ChineseTextIsEncodedAsItsCodePageBytes) {
    const CBase64EnDeCode codec;
    const std::u16string encoded = codec.Base64StringEncode(u"中文");
    EXPECT_EQ(encoded, OpenSslBase64("\xD6\xD0\xCE\xC4"));
    EXPECT_EQ(encoded.size(), 8u);  // four bytes, not the six of UTF-8
    EXPECT_EQ(codec.Base64StringDecode(encoded), u"中文");
    EXPECT_EQ(codec.Base64StringDecode(codec.Base64StringEncode(u"手机号码：13800138000（移动）")),
              u"手机号码：13800138000（移动）");
}

TEST(Base64, DecodingTailsAndCharactersOutsideTheAlphabet) {
    const CBase64EnDeCode codec;
    EXPECT_EQ(codec.Base64StringDecode(u"Zm9vY"), u"foo");  // 4k + 1: last character ignored
    EXPECT_EQ(codec.Base64StringDecode(u"Zm9vYg"), u"");    // 4k + 2
    EXPECT_EQ(codec.Base64StringDecode(u"Zm9vYmE"), u"");   // 4k + 3
    EXPECT_EQ(codec.Base64StringDecode(u"Z"), u"");
    // "=" and other strangers are zero bits in their place, never skipped.
    EXPECT_EQ(codec.Base64StringDecode(u"QUJD*UJD"),
              u"ABC\x01"
              u"BC");
    // A line break shifts every group after it.
    const std::u16string broken = codec.Base64StringDecode(u"Zm9v\nYmFy");
    EXPECT_NE(broken, u"foobar");
    EXPECT_EQ(broken.substr(0, 4), u"foo\x01");
    EXPECT_EQ(codec.Base64StringDecode(u"Zm9v\r\nYmFy"), u"");  // ten characters: 4k + 2
}

TEST(Base64, DecodedTextEndsAtItsFirstZeroByte) {
    const CBase64EnDeCode codec;
    const std::u16string with_nul(u"ab\0cd", 5);
    const std::u16string encoded = codec.Base64StringEncode(with_nul);
    EXPECT_EQ(encoded, OpenSslBase64(std::string("ab\0cd", 5)));
    EXPECT_EQ(codec.Base64StringDecode(encoded), u"ab");
    EXPECT_EQ(codec.Base64StringDecode(u"AGFi"), u"");  // the data start with a zero byte
}

TEST(Base64, SixteenBitLimits) {
    const CBase64EnDeCode codec;
    EXPECT_EQ(codec.Base64StringEncode(std::u16string(32766, u'a')).size(), 43688u);
    EXPECT_EQ(codec.Base64StringEncode(std::u16string(32767, u'a')), u"");
    // The limit counts code page bytes: 16,383 Chinese characters are 32,766 bytes.
    EXPECT_EQ(codec.Base64StringEncode(std::u16string(16383, u'中')).size(), 43688u);
    EXPECT_EQ(codec.Base64StringEncode(std::u16string(16383, u'中') + u"a"), u"");

    std::u16string text;
    for (int i = 0; i < 8191; ++i) text += u"QUJD";  // 32,764 characters of "ABC"
    std::u16string abc;
    for (int i = 0; i < 8191; ++i) abc += u"ABC";
    EXPECT_EQ(codec.Base64StringDecode(text), abc);
    EXPECT_EQ(codec.Base64StringDecode(text + u"Q"), abc);     // 32,765
    EXPECT_EQ(codec.Base64StringDecode(text + u"QUJD"), u"");  // 32,768
}

TEST_F(Base64Files, EncodeAndDecodeTakeThePlainFileFirst) {
    const std::string plain = "\xD6\xD0\xCE\xC4 numbers\r\n13800138000\r\n";
    const auto source = WriteFile(Path("plain.txt"), plain);
    const auto encoded = Dir() / "encoded.txt";
    const auto decoded = Dir() / "decoded.txt";
    codec_.Base64FileEncode(source, encoded);
    EXPECT_EQ(Widen(ReadFile(encoded)), OpenSslBase64(plain));
    codec_.Base64FileDecode(decoded, encoded);
    EXPECT_EQ(ReadFile(decoded), plain);
}

TEST_F(Base64Files, BinaryFileDecodesUpToItsFirstZeroByte) {
    const std::string data("\xFF\xFE\x80\x01\x00\x02", 6);
    const auto encoded = Dir() / "encoded.txt";
    codec_.Base64FileEncode(WriteFile(Path("data.bin"), data), encoded);
    EXPECT_EQ(Widen(ReadFile(encoded)), OpenSslBase64(data));
    codec_.Base64FileDecode(Dir() / "back.bin", encoded);
    EXPECT_EQ(ReadFile(Dir() / "back.bin"), data.substr(0, 4));
}

TEST_F(Base64Files, MissingInputCreatesNoOutput) {
    codec_.Base64FileEncode(Dir() / "missing.txt", Dir() / "encoded.txt");
    EXPECT_FALSE(std::filesystem::exists(Dir() / "encoded.txt"));
    codec_.Base64FileDecode(Dir() / "decoded.txt", Dir() / "missing.txt");
    EXPECT_FALSE(std::filesystem::exists(Dir() / "decoded.txt"));
}

TEST_F(Base64Files, FailedConversionCreatesTheOutputButKeepsWhatWasThere) {
    const auto too_large = WriteFile(Path("large.txt"), std::string(32767, 'a'));
    codec_.Base64FileEncode(too_large, Dir() / "new.txt");
    ASSERT_TRUE(std::filesystem::exists(Dir() / "new.txt"));
    EXPECT_EQ(std::filesystem::file_size(Dir() / "new.txt"), 0u);

    const auto existing = WriteFile(Path("existing.txt"), "earlier content");
    codec_.Base64FileEncode(too_large, existing);
    EXPECT_EQ(ReadFile(existing), "earlier content");
    codec_.Base64FileDecode(existing, WriteFile(Path("undecodable.txt"), "Zm9vYg"));
    EXPECT_EQ(ReadFile(existing), "earlier content");
}

TEST_F(Base64Files, SuccessfulConversionReplacesTheOutput) {
    const auto output = WriteFile(Path("out.txt"), "a much longer earlier content");
    codec_.Base64FileEncode(WriteFile(Path("in.txt"), "foo"), output);
    EXPECT_EQ(ReadFile(output), "Zm9v");
    codec_.Base64FileEncode(WriteFile(Path("empty.txt"), ""), output);
    EXPECT_EQ(ReadFile(output), "");
}

}  // namespace
}  // namespace numtrail
