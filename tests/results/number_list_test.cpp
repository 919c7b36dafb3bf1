#include "results/number_list.h"

#include <gtest/gtest.h>

namespace numtrail {
namespace {

// Fixtures are the bytes of files as they lie on disk, in code page 936 unless they say
// otherwise.
QStringList Split(const char* bytes, qsizetype size = -1) {
    return SplitNumberList(size < 0 ? QByteArray(bytes) : QByteArray(bytes, size));
}

TEST(SplitNumberListTest, EveryKindOfLineEndEndsALine) {
    // An empty line between two numbers is dropped; the last line needs no end.
    EXPECT_EQ(Split("13800138000\r\n\r\n13912345678"), (QStringList{"13800138000", "13912345678"}));
    EXPECT_EQ(Split("13800138000\n13912345678\n"), (QStringList{"13800138000", "13912345678"}));
    EXPECT_EQ(Split("13800138000\r13912345678\r"), (QStringList{"13800138000", "13912345678"}));
    EXPECT_EQ(Split("1\r\n2\n3\r4\n\r5\r\r\n6"), (QStringList{"1", "2", "3", "4", "5", "6"}));
}

TEST(SplitNumberListTest, NumbersAreCleanedTheRestStaysOrGoes) {
    // Lines without a digit go; lines with digits but no number stay as they stand.
    EXPECT_EQ(Split(" 138 0013 8000 \r\n   \r\n13800138000\r\n1380013800\r\nabc\t\r\nabc1\t"),
              (QStringList{"13800138000", "13800138000", "1380013800", "abc1\t"}));
    EXPECT_EQ(CleanNumberEntry(QStringLiteral("+86 138-0013-8000")), QStringLiteral("13800138000"));
    EXPECT_EQ(CleanNumberEntry(QStringLiteral(" 1380013800a ")), QStringLiteral(" 1380013800a "));
    EXPECT_EQ(CleanNumberEntry(QStringLiteral(" ")), QStringLiteral(" "));
}

TEST(SplitNumberListTest, NothingButLineEndsGivesNoEntries) {
    EXPECT_TRUE(Split("").isEmpty());
    EXPECT_TRUE(Split("\r\n\r\n\n\r").isEmpty());
}

TEST(SplitNumberListTest, LinesAreDecodedFromCodePage936) {
    // 中文 is D6D0 CEC4; a NUL byte is text like any other.
    EXPECT_EQ(Split("\xd6\xd0\xce\xc4 138\r\n139"),
              (QStringList{QStringLiteral("中文 138"), "139"}));
    EXPECT_EQ(Split("1\0"
                    "2\r\n",
                    5),
              (QStringList{QString("1") + QChar(0) + "2"}));
    // A lead byte cut short by a line end spoils only its own line.
    const QStringList cut = Split("138\x81\r\n13800138000");
    ASSERT_EQ(cut.size(), 2);
    EXPECT_TRUE(cut[0].startsWith(QStringLiteral("138")) && cut[0].size() > 3);
    EXPECT_EQ(cut[1], QStringLiteral("13800138000"));
}

}  // namespace
}  // namespace numtrail
