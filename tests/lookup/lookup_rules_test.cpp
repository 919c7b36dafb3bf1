#include "lookup/lookup_rules.h"

#include <gtest/gtest.h>

namespace numtrail {
namespace {

attribution::Record Parse(const QString& answer) {
    return ResultFromSlots(QStringLiteral("n"), ParseAnswer(answer));
}

const QString kFull = QStringLiteral(
    "querycallback({\"Mobile\":\"13800138000\",\"QueryResult\":\"True\",\"TO\":\"中国移动\","
    "\"Province\":\"北京\",\"City\":\"北京\",\"AreaCode\":\"010\",\"PostCode\":\"100000\"});");

TEST(ParseAnswer, FullAnswerFillsSlotsInKeyOrder) {
    const auto fields = ParseAnswer(kFull);
    EXPECT_EQ(fields[1], "中国移动");                  // slot 2
    EXPECT_EQ(fields[3], "北京");                      // slot 4
    EXPECT_EQ(fields[7], "010");                       // slot 8
    EXPECT_EQ(fields[9], "100000");                    // slot 10
    EXPECT_TRUE(fields[8].startsWith("100000\"});"));  // slot 9: the text after the key
    const attribution::Record r = Parse(kFull);
    EXPECT_EQ(r.card_type, "中国移动");
    EXPECT_EQ(r.city, "北京");
}

TEST(ParseAnswer, PatternsAreExact) {
    QString spaced = kFull;
    spaced.replace("\":\"", "\": \"");
    const attribution::Record blank = Parse(spaced);
    EXPECT_TRUE(blank.province.empty() && blank.city.empty() && blank.area_code.empty() &&
                blank.postcode.empty() && blank.card_type.empty());

    QString no_area = kFull;
    no_area.replace("\"AreaCode\":\"010\",", "");
    const attribution::Record r = Parse(no_area);
    EXPECT_EQ(r.area_code, "");
    EXPECT_EQ(r.province, "北京");
    EXPECT_EQ(r.postcode, "100000");

    // "TO" also matches inside a key that ends in TO; only the first occurrence counts.
    const attribution::Record inner = Parse("{\"AUTO\":\"car\",\"TO\":\"中国联通\"}");
    EXPECT_EQ(inner.card_type, "car");
}

TEST(ParseAnswer, ValuesAreTakenAsTheyStand) {
    const attribution::Record r =
        Parse("{\"Province\":\" 江苏\\u7701 \",\"City\":\"a\\\\\",\"PostCode\":\"2130\\\"00\"}");
    EXPECT_EQ(r.province, " 江苏\\u7701 ");
    EXPECT_EQ(r.city, "a\\\\");
    EXPECT_EQ(r.postcode, "2130\\");
    EXPECT_EQ(Parse("{\"Province\":\"\",\"City\":\"x\"}").province, "");
    EXPECT_EQ(Parse("\"Province\":\"unterminated").province, "");  // no quote: empty value
}

TEST(ParseAnswer, RepeatedKeyStopsAtItsNextOccurrence) {
    const auto fields = ParseAnswer("\"City\":\"A\",x,\"City\":\"B\"");
    EXPECT_EQ(fields[4], "A\",x,\"");
    EXPECT_EQ(fields[5], "A");
}

TEST(CheckNumber, LengthFirstThenAsciiDigits) {
    EXPECT_EQ(CheckNumber("13800138000"), NumberCheck::Ok);
    EXPECT_EQ(CheckNumber("1380013800"), NumberCheck::WrongLength);
    EXPECT_EQ(CheckNumber("abcde"), NumberCheck::WrongLength);
    EXPECT_EQ(CheckNumber("138001380001"), NumberCheck::WrongLength);
    EXPECT_EQ(CheckNumber("1380013800a"), NumberCheck::NotDigits);
    EXPECT_EQ(CheckNumber(" 3800138000"), NumberCheck::NotDigits);
    EXPECT_EQ(CheckNumber(QStringLiteral("1380013800٣")), NumberCheck::NotDigits);
}

// Landlines and 400/800 numbers pass as the digits the recognizer gives them, whatever their
// length; every other text is checked as a mobile number, as above.
TEST(CheckNumber, LandlinesAndServiceNumbersPass) {
    using attribution::NumberKind;
    const struct {
        const char* n;
        NumberCheck check;
        NumberKind kind;
    } cases[] = {
        {"13800138000", NumberCheck::Ok, NumberKind::Mobile},
        {"12345678901", NumberCheck::Ok, NumberKind::Mobile},  // as the check always took it
        {"01062345678", NumberCheck::Ok, NumberKind::Landline},
        {"0106234567", NumberCheck::Ok, NumberKind::Landline},
        {"075586001234", NumberCheck::Ok, NumberKind::Landline},
        {"4008001234", NumberCheck::Ok, NumberKind::Service},
        {"8008108888", NumberCheck::Ok, NumberKind::Service},
        {"00000000000", NumberCheck::Ok, NumberKind::None},  // 11 digits: looked up, unplaced
        {"073312345678", NumberCheck::WrongLength, NumberKind::None},  // a code no city has
        {"010623456789", NumberCheck::WrongLength, NumberKind::None},  // a local number too long
        {"01012345678", NumberCheck::Ok, NumberKind::None},  // a local number starting with 1
        {"013800138000", NumberCheck::WrongLength, NumberKind::None},
        {"8613800138000", NumberCheck::WrongLength, NumberKind::None},
        {"400800123", NumberCheck::WrongLength, NumberKind::None},
        {"010-62345678", NumberCheck::WrongLength, NumberKind::None},
        {"0755８6001234", NumberCheck::WrongLength, NumberKind::None},
    };
    for (const auto& c : cases) {
        const QString n = QString::fromUtf8(c.n);
        EXPECT_EQ(CheckNumber(n), c.check) << c.n;
        const attribution::Number number = EntryNumber(n);
        EXPECT_EQ(number.kind, c.kind) << c.n;
        if (number) {
            EXPECT_EQ(number.Digits(), c.n);
        }
    }
    EXPECT_EQ(EntryNumber(QStringLiteral("075586001234")).AreaCode(), "0755");
}

TEST(QuerySlots, QlClearsTheFirst21SlotsOnly) {
    QuerySlots s;
    for (int i = 0; i < QuerySlots::kCount; ++i) s[i] = QString::number(i);
    s.ql();
    EXPECT_TRUE(s[0].isEmpty());
    EXPECT_TRUE(s[20].isEmpty());
    EXPECT_EQ(s[21], "21");
    EXPECT_EQ(s[30], "30");
}

TEST(LookupRules, UrlAndRateLimit) {
    EXPECT_EQ(AttributionUrl("http://h:1/q", "13800138000"),
              "http://h:1/q?m=13800138000&output=json&callback=querycallback");
    EXPECT_TRUE(IsRateLimited("<h1>Server Runtime Error</h1>"));
    EXPECT_FALSE(IsRateLimited("runtime error"));
}

}  // namespace
}  // namespace numtrail
