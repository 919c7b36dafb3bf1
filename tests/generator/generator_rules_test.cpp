#include "generator/generator_rules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace numtrail {
namespace {

TEST(IsNumeric, AcceptsDecimalNumbersWithBlanksSignPointAndExponent) {
    for (const char* text : {"0", "186", " 12 ", "\t7\t", "+1.5e3", "-.5", "1.", "1e3", "1E+03",
                             "2.5e-1", "00012", "-0"})
        EXPECT_TRUE(IsNumeric(QString::fromLatin1(text))) << text;
}

TEST(IsNumeric, RejectsEverythingElse) {
    for (const char* text : {"", " ", "abc", "1,000", "0x10", "inf", "-inf", "nan", "1e", "e5", ".",
                             "+", "-", "1 2", "--1", "1.2.3", "12abc", "1e999", "1e1.5"})
        EXPECT_FALSE(IsNumeric(QString::fromLatin1(text))) << text;
    EXPECT_FALSE(IsNumeric(QStringLiteral("１２")));  // full-width digits
    EXPECT_FALSE(IsNumeric(QStringLiteral("12\u3000")));
}

TEST(NumericValue, ReadsTheNumber) {
    EXPECT_EQ(NumericValue(QStringLiteral(" 12 ")), 12.0);
    EXPECT_EQ(NumericValue(QStringLiteral("+1.5e3")), 1500.0);
    EXPECT_EQ(NumericValue(QStringLiteral("-.5")), -0.5);
    EXPECT_EQ(NumericValue(QStringLiteral("1e10")), 1e10);
    EXPECT_EQ(NumericValue(QStringLiteral("1e-400")), 0.0);  // too small reads as zero
    EXPECT_EQ(NumericValue(QStringLiteral("abc")), std::nullopt);
}

TEST(Rounding, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(RoundToInt16(2.5), 2);
    EXPECT_EQ(RoundToInt16(3.5), 4);
    EXPECT_EQ(RoundToInt16(-2.5), -2);
    EXPECT_EQ(RoundToInt16(-3.5), -4);
    EXPECT_EQ(RoundToInt16(1000.5), 1000);
    EXPECT_EQ(RoundToInt16(2.5000001), 3);
    EXPECT_EQ(RoundToInt16(0.49999999999999994), 0);
    EXPECT_EQ(RoundToInt32(0.5), 0);
    EXPECT_EQ(RoundToInt32(1.5), 2);
    EXPECT_EQ(RoundToInt32(99999.494), 99999);
    EXPECT_EQ(RoundToInt32(99999.994), 100000);
    EXPECT_EQ(RoundToInt32(99999.5), 100000);
}

TEST(Rounding, ReportsValuesOutsideTheRange) {
    EXPECT_EQ(RoundToInt16(32767.0), 32767);
    EXPECT_EQ(RoundToInt16(32766.5), 32766);
    EXPECT_EQ(RoundToInt16(32767.5), std::nullopt);  // rounds to 32768
    EXPECT_EQ(RoundToInt16(-32768.5), -32768);       // rounds to the even -32768
    EXPECT_EQ(RoundToInt16(-32769.0), std::nullopt);
    EXPECT_EQ(RoundToInt32(2147483647.0), 2147483647);
    EXPECT_EQ(RoundToInt32(2147483646.5), 2147483646);
    EXPECT_EQ(RoundToInt32(2147483647.5), std::nullopt);
    EXPECT_EQ(RoundToInt32(-2147483648.5), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(RoundToInt32(-2147483649.0), std::nullopt);
    EXPECT_EQ(RoundToInt32(5e9), std::nullopt);
    EXPECT_EQ(RoundToInt32(std::numeric_limits<double>::infinity()), std::nullopt);
    EXPECT_EQ(RoundToInt32(std::nan("")), std::nullopt);
}

TEST(PartText, AtLeastThreeDigitsWithTheSignInFront) {
    EXPECT_EQ(PartText(0), QStringLiteral("000"));
    EXPECT_EQ(PartText(7), QStringLiteral("007"));
    EXPECT_EQ(PartText(42), QStringLiteral("042"));
    EXPECT_EQ(PartText(999), QStringLiteral("999"));
    EXPECT_EQ(PartText(100000), QStringLiteral("100000"));
    EXPECT_EQ(PartText(-5), QStringLiteral("-005"));
    EXPECT_EQ(PartText(-1234), QStringLiteral("-1234"));
    EXPECT_EQ(PartText(std::numeric_limits<std::int32_t>::min()), QStringLiteral("-2147483648"));
}

TEST(InputRepair, CountStaysBetweenTwoAndAThousandOrFallsBackToOne) {
    const std::pair<const char*, const char*> cases[] = {
        {"1500", "1"},    {"0", "1"},   {"1000", "1000"}, {"2", "2"},    {"1", "1"},
        {"", "1"},        {"abc", "1"}, {"1000.5", "1"},  {"1.5", "1"},  {"2.5", "2.5"},
        {" 20 ", " 20 "}, {"-5", "1"},  {"1e3", "1e3"},   {"1,000", "1"}};
    for (const auto& [typed, repaired] : cases)
        EXPECT_EQ(RepairedCount(QString::fromLatin1(typed)), QString::fromLatin1(repaired))
            << typed;
}

TEST(InputRepair, PrefixAndMultiplier) {
    EXPECT_EQ(RepairedPrefix(QString()), QStringLiteral("186"));
    EXPECT_EQ(RepairedPrefix(QStringLiteral("1a")), QStringLiteral("186"));
    EXPECT_EQ(RepairedPrefix(QStringLiteral("13")), QStringLiteral("13"));
    EXPECT_EQ(RepairedPrefix(QStringLiteral("1861")), QStringLiteral("1861"));

    EXPECT_EQ(RepairedPrefixOnFocusLoss(QStringLiteral("1861")), QStringLiteral("186"));
    EXPECT_EQ(RepairedPrefixOnFocusLoss(QStringLiteral("18")), QStringLiteral("186"));
    EXPECT_EQ(RepairedPrefixOnFocusLoss(QStringLiteral("139")), QStringLiteral("139"));
    EXPECT_EQ(RepairedPrefixOnFocusLoss(QStringLiteral("1.5")), QStringLiteral("1.5"));

    EXPECT_EQ(RepairedMultiplier(QString()), QStringLiteral("1000"));
    EXPECT_EQ(RepairedMultiplier(QStringLiteral("x")), QStringLiteral("1000"));
    EXPECT_EQ(RepairedMultiplier(QStringLiteral("0")), QStringLiteral("0"));
    EXPECT_EQ(RepairedMultiplier(QStringLiteral("1e10")), QStringLiteral("1e10"));
}

TEST(GenerationCount, RoundsTheCountHalfToEven) {
    EXPECT_EQ(GenerationCount(QStringLiteral("10")), 10);
    EXPECT_EQ(GenerationCount(QStringLiteral("2.5")), 2);
    EXPECT_EQ(GenerationCount(QStringLiteral("3.5")), 4);
    EXPECT_EQ(GenerationCount(QStringLiteral("1000")), 1000);
    EXPECT_EQ(GenerationCount(QStringLiteral("abc")), 0);
    EXPECT_EQ(GenerationCount(QStringLiteral("1e6")), 0);  // beyond 16 bits
}

TEST(MakeEntry, JoinsPrefixAndBothParts) {
    // 0.5 × 1000 = 500, 0.25 × 100000 = 25000
    EXPECT_EQ(MakeEntry(QStringLiteral("186"), 1000, 0.5f, 0.25f), QStringLiteral("18650025000"));
    // 0.0625 × 8 = 0.5 → 0 and 0.0625 × 100000 = 6250: ten characters only
    EXPECT_EQ(MakeEntry(QStringLiteral("186"), 8, 0.0625f, 0.0625f), QStringLiteral("1860006250"));
    // 0.0625 × 24 = 1.5 → 2; 0.0625 × 40 = 2.5 → 2
    EXPECT_EQ(MakeEntry(QStringLiteral("139"), 24, 0.0625f, 0.5f), QStringLiteral("13900250000"));
    EXPECT_EQ(MakeEntry(QStringLiteral("139"), 40, 0.0625f, 0.5f), QStringLiteral("13900250000"));
    // the multiplier 0 always gives "000"
    EXPECT_EQ(MakeEntry(QStringLiteral("186"), 0, 0.9f, 0.0f), QStringLiteral("186000000"));
}

TEST(MakeEntry, KeepsTheFirstElevenCharacters) {
    // "186" + "1000" + "50000" makes 12 characters
    EXPECT_EQ(MakeEntry(QStringLiteral("186"), 2000, 0.5f, 0.5f), QStringLiteral("18610005000"));
    // the largest value below 1 gives a six-digit part B: 99999.994 → 100000
    const float largest = 1.0f - 1.0f / 16777216.0f;
    EXPECT_EQ(MakeEntry(QStringLiteral("186"), 0, 0.0f, largest), QStringLiteral("18600010000"));
    // a negative multiplier keeps its sign inside the entry
    EXPECT_EQ(MakeEntry(QStringLiteral("186"), -8, 0.625f, 0.5f), QStringLiteral("186-0055000"));
    EXPECT_EQ(MakeEntry(QStringLiteral("+1.5e3"), 1000, 0.5f, 0.5f), QStringLiteral("+1.5e350050"));
}

TEST(MakeEntry, ReportsAPartBeyondThirtyTwoBits) {
    EXPECT_EQ(MakeEntry(QStringLiteral("186"), 1e10, 0.5f, 0.5f), std::nullopt);
    EXPECT_EQ(MakeEntry(QStringLiteral("186"), -1e10, 0.5f, 0.5f), std::nullopt);
    // the same multiplier still fits when r1 is small enough
    EXPECT_EQ(MakeEntry(QStringLiteral("186"), 1e10, 0.0f, 0.5f), QStringLiteral("18600050000"));
}

TEST(GeneratedListBytes, OneCrLfLinePerEntryInCodePage936) {
    EXPECT_EQ(GeneratedListBytes({}), QByteArray());
    EXPECT_EQ(GeneratedListBytes({QStringLiteral("18650025000"), QStringLiteral("1860006250")}),
              QByteArray("18650025000\r\n1860006250\r\n"));
    EXPECT_EQ(GeneratedListBytes({QStringLiteral("中")}), QByteArray("\xD6\xD0\r\n"));
}

}  // namespace
}  // namespace numtrail
