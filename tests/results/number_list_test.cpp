#include "results/number_list.h"

#include <gtest/gtest.h>

namespace numtrail {
namespace {

// Fixtures are the bytes of files as they lie on disk, in code page 936 unless they say
// otherwise.
QStringList Split(const char* bytes, qsizetype size = -1) {
    return ReadNumberList(size < 0 ? QByteArray(bytes) : QByteArray(bytes, size)).entries.ToList();
}

TEST(NumberListTest, EveryKindOfLineEndEndsALine) {
    // An empty line between two numbers is dropped; the last line needs no end.
    EXPECT_EQ(Split("13800138000\r\n\r\n13912345678"), (QStringList{"13800138000", "13912345678"}));
    EXPECT_EQ(Split("13800138000\n13912345678\n"), (QStringList{"13800138000", "13912345678"}));
    EXPECT_EQ(Split("13800138000\r13912345678\r"), (QStringList{"13800138000", "13912345678"}));
    EXPECT_EQ(Split("1\r\n2\n3\r4\n\r5\r\r\n6"), (QStringList{"1", "2", "3", "4", "5", "6"}));
}

TEST(NumberListTest, NumbersAreCleanedTheRestStaysOrGoes) {
    // Lines without a digit go; lines with digits but no number stay as they stand.
    EXPECT_EQ(Split(" 138 0013 8000 \r\n   \r\n13800138000\r\n1380013800\r\nabc\t\r\nabc1\t"),
              (QStringList{"13800138000", "13800138000", "1380013800", "abc1\t"}));
    EXPECT_EQ(CleanNumberEntry(QStringLiteral("+86 138-0013-8000")), QStringLiteral("13800138000"));
    EXPECT_EQ(CleanNumberEntry(QStringLiteral(" 1380013800a ")), QStringLiteral(" 1380013800a "));
    EXPECT_EQ(CleanNumberEntry(QStringLiteral(" ")), QStringLiteral(" "));
}

TEST(NumberListTest, NothingButLineEndsGivesNoEntries) {
    EXPECT_TRUE(Split("").isEmpty());
    EXPECT_TRUE(Split("\r\n\r\n\n\r").isEmpty());
}

TEST(NumberListTest, LinesAreDecodedFromCodePage936) {
    // 中文 is D6D0 CEC4. A NUL byte is no text: the file is binary, and holds no list.
    EXPECT_EQ(Split("\xd6\xd0\xce\xc4 138\r\n139"),
              (QStringList{QStringLiteral("中文 138"), "139"}));
    const NumberListRead nul =
        ReadNumberList(QByteArray("1\0"
                                  "2\r\n",
                                  5));
    EXPECT_TRUE(nul.entries.empty());
    ASSERT_TRUE(nul.refusal);
    EXPECT_EQ(nul.refusal->why, ListFileRefusal::Why::NoList);
    // A lead byte cut short by a line end spoils only its own line.
    const QStringList cut = Split("138\x81\r\n13800138000");
    ASSERT_EQ(cut.size(), 2);
    EXPECT_TRUE(cut[0].startsWith(QStringLiteral("138")) && cut[0].size() > 3);
    EXPECT_EQ(cut[1], QStringLiteral("13800138000"));
}

// Each number of a line is an entry, as its digits; a line with digits but no number stays as
// it stood; a line without digits goes. Lines as contacts exports, chats and sheets hold them.
TEST(NumberListTest, EveryNumberOfALineIsAnEntry) {
    const struct {
        const char* line;
        QStringList entries;
    } cases[] = {
        {"张伟 13800138000", {"13800138000"}},
        {"13800138000 张伟", {"13800138000"}},
        {"手机：13800138000", {"13800138000"}},
        {"'13800138000", {"13800138000"}},
        {"tel:+86-138-0013-8000", {"13800138000"}},
        {"13800138000\xE2\x80\x8B", {"13800138000"}},  // a zero-width space after it
        {"13800138000/13900139000", {"13800138000", "13900139000"}},
        {"手机 13800138000 座机 010-62345678", {"13800138000", "01062345678"}},
        {"微信同号13800138000", {"13800138000"}},
        {"Tel: 138-0013-8000 转 8", {"13800138000"}},
        {"【联系人】王女士 138 0013 8000", {"13800138000"}},
        {"(0755)86001234", {"075586001234"}},
        {"+86 10 6234 5678", {"01062345678"}},
        {"013800138000", {"13800138000"}},
        {"400-800-1234", {"4008001234"}},
        {"800 810 8888", {"8008108888"}},
        // Digits but no number: kept as they stand, for the batch to report.
        {"110105194912310021", {"110105194912310021"}},
        {"1.38001E+10", {"1.38001E+10"}},
        {"订单 2026120813800138000", {"订单 2026120813800138000"}},
        {"1380013800", {"1380013800"}},
        // No digit at all: dropped.
        {"手机号", {}},
        {"END:VCARD", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(Split(c.line), c.entries) << c.line;
    // The same line typed for a single query: its first number.
    EXPECT_EQ(CleanNumberEntry(QStringLiteral("张伟 010-62345678，13800138000")),
              QStringLiteral("01062345678"));
}

// A line too long to be held is kept cut: no number comes out of it, since the digit run
// at its cut end may go on.
TEST(NumberListTest, CutLineIsNoNumber) {
    // The cut falls right after 13800138000, in the middle of the run 13800138000999.
    const QByteArray kept = QByteArray(64 * 1024 - 11, 'x') + "13800138000";
    const QStringList entries =
        ReadNumberList("13800138000\n" + kept + "999\n" + QByteArray(70000, 'x') + "\n13900139000")
            .entries.ToList();
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[0], QStringLiteral("13800138000"));
    EXPECT_EQ(entries[1], QString::fromLatin1(kept));
    EXPECT_EQ(entries[2], QStringLiteral("13900139000"));
}

}  // namespace
}  // namespace numtrail
