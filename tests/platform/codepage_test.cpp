#include "platform/codepage.h"

#include <gtest/gtest.h>

namespace numtrail {
namespace {

TEST(CodePage, ChineseAndEuroRoundTrip) {
    EXPECT_EQ(StringToAnsiBytes(u"中文"), "\xD6\xD0\xCE\xC4");
    EXPECT_EQ(AnsiBytesToString("\xD6\xD0\xCE\xC4"), u"中文");
    EXPECT_EQ(StringToAnsiBytes(u"€"), "\x80");
    EXPECT_EQ(AnsiBytesToString("\x80"), u"€");
    EXPECT_EQ(StringToAnsiBytes(u"A中1"),
              "A\xD6\xD0"
              "1");
}

TEST(CodePage, UnmappableCharacterBecomesQuestionMark) {
    EXPECT_EQ(StringToAnsiBytes(u"a\u0E01b"), "a?b");  // Thai letter
    EXPECT_EQ(StringToAnsiBytes(u"\U0001F600"), "?");  // a surrogate pair is one character
    EXPECT_EQ(AnsiByteLength(u"中\u0E01"), 3u);
}

TEST(CodePage, NulBytesAreNeverDropped) {
    const std::string bytes("a\0b\0", 4);
    EXPECT_EQ(AnsiBytesToString(bytes), std::u16string(u"a\0b\0", 4));
    EXPECT_EQ(StringToAnsiBytes(std::u16string(u"\0\0", 2)), std::string("\0\0", 2));
    // A lead byte cut short by a NUL: the NUL still comes through.
    const std::u16string decoded = AnsiBytesToString(std::string("\xD6\0", 2));
    ASSERT_FALSE(decoded.empty());
    EXPECT_EQ(decoded.back(), u'\0');
}

TEST(CodePage, IdeographicSpaceAndFullWidthPunctuation) {
    EXPECT_EQ(StringToAnsiBytes(u"\u3000"), "\xA1\xA1");
    EXPECT_EQ(StringToAnsiBytes(u"："), "\xA3\xBA");
    EXPECT_EQ(AnsiBytesToString(StringToAnsiBytes(u"批量查询：12个【】（）")),
              u"批量查询：12个【】（）");
}

TEST(CodePage, Utf8Conversions) {
    EXPECT_EQ(Utf8ToUtf16("\xE4\xB8\xAD"), u"中");
    EXPECT_EQ(Utf16ToUtf8(u"中A"),
              "\xE4\xB8\xAD"
              "A");
    EXPECT_EQ(Utf8ToUtf16("a\xFF"
                          "b"),
              u"a\uFFFDb");
}

}  // namespace
}  // namespace numtrail
