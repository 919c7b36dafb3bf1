#include "results/export_format.h"

#include <gtest/gtest.h>

namespace numtrail {
namespace {

TEST(SetStringFixedLength, FillsToTheWidthInCodePageBytes) {
    EXPECT_EQ(SetStringFixedLength(QStringLiteral("12345"), 8), QStringLiteral("12345   "));
    // A Chinese character takes two bytes: four of them fill 8 already.
    EXPECT_EQ(SetStringFixedLength(QStringLiteral("北京上海"), 8), QStringLiteral("北京上海"));
    EXPECT_EQ(SetStringFixedLength(QStringLiteral("北京"), 8), QStringLiteral("北京    "));
    // A character outside code page 936 counts as the one byte of its '?'.
    EXPECT_EQ(SetStringFixedLength(QStringLiteral("\U0001F600"), 4),
              QStringLiteral("\U0001F600   "));
}

TEST(SetStringFixedLength, TrimsBlanksOnlyAndNeverCuts) {
    EXPECT_EQ(SetStringFixedLength(QStringLiteral("  13800138000 "), 8),
              QStringLiteral("13800138000"));
    EXPECT_EQ(SetStringFixedLength(QStringLiteral("12345678"), 8), QStringLiteral("12345678"));
    EXPECT_EQ(SetStringFixedLength(QStringLiteral("     "), 8), QString());
    EXPECT_EQ(SetStringFixedLength(QString(), 8), QString());
    // Only U+0020 is trimmed: tabs and ideographic spaces are part of the text.
    EXPECT_EQ(SetStringFixedLength(QStringLiteral("\t1 "), 4), QStringLiteral("\t1  "));
    EXPECT_EQ(SetStringFixedLength(QStringLiteral("\u30001"), 4), QStringLiteral("\u30001 "));
}

TEST(SetStringFixedLength, WidthOfZeroOrLessGivesTheTrimmedText) {
    EXPECT_EQ(SetStringFixedLength(QStringLiteral(" 12 "), 0), QStringLiteral("12"));
    EXPECT_EQ(SetStringFixedLength(QStringLiteral(" 12 "), -5), QStringLiteral("12"));
    EXPECT_EQ(SetStringFixedLength(QStringLiteral("12"), INT32_MIN), QStringLiteral("12"));
}

TEST(ExportLine, OnlyTheNumberIsTrimmedAndFilled) {
    EXPECT_EQ(ExportLine({"12345", "a", "b", "c", "d", "e"}),
              QByteArray("12345      a   b   c   d   e\r\n"));
    EXPECT_EQ(ExportLine({" 13800138000  ", " a ", "b", "", "", "e "}),
              QByteArray("13800138000    a    b         e \r\n"));
    // An empty province: the number's separator and the province's stand side by side.
    EXPECT_EQ(ExportLine({"13800138000", "", "city", "", "", ""}),
              QByteArray("13800138000      city         \r\n"));
    // An empty number gets no filling.
    EXPECT_EQ(ExportLine({"  ", "a", "", "", "", ""}), QByteArray("   a            \r\n"));
}

TEST(ExportLine, LongCellsAreWrittenWhole) {
    const QString long_cell(3000, u'城');
    const QByteArray line = ExportLine({"13800138000", long_cell, "", "", "", ""});
    EXPECT_EQ(line.size(), 11 + 3 + 6000 + 4 * 3 + 2);
    EXPECT_TRUE(line.endsWith("\xB3\xC7            \r\n"));
}

TEST(ExportBytes, OneLinePerRowTopToBottomWithoutHeaderOrBom) {
    EXPECT_EQ(ExportBytes(QList<QStringList>{}), QByteArray());
    EXPECT_EQ(ExportBytes({{"13800138000", "a", "b", "c", "d", "e"}}),
              QByteArray("13800138000   a   b   c   d   e\r\n"));
    EXPECT_EQ(ExportBytes({{"2", "x", "", "", "", ""}, {"1", "y", "", "", "", ""}}),
              QByteArray("2          x            \r\n"
                         "1          y            \r\n"));
}

}  // namespace
}  // namespace numtrail
