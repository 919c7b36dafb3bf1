#include "attribution/landline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace numtrail::attribution {
namespace {

const CityTable& Table() { return CityTable::BuiltIn(); }

// A landline as the recognizer hands it over: its digits, the area code its first ones.
Number Landline(std::string_view digits, std::size_t area_code_size) {
    Number number;
    std::memcpy(number.digits.data(), digits.data(), digits.size());
    number.size = static_cast<std::uint8_t>(digits.size());
    number.area_code_size = static_cast<std::uint8_t>(area_code_size);
    number.kind = NumberKind::Landline;
    return number;
}

TEST(LandlineRecord, AnAreaCodeAnswersItsCityOrItsProvince) {
    struct Case {
        const char* code;
        const char* province;
        const char* city;
        const char* postcode;
    };
    const Case cases[] = {
        {"010", "北京", "北京", "100000"},  // three digits
        {"024", "辽宁", "沈阳", "110000"},
        {"0519", "江苏", "常州", "213000"},  // four
        {"0710", "湖北", "襄阳", "441000"},  // the city's name of today
        {"0894", "西藏", "林芝", "860000"},
        {"0731", "湖南", "长沙", "410000"},  // shared with 株洲 and 湘潭; the table names 长沙
        {"0999", "新疆", "伊犁", "835000"},  // shared with 可克达拉
        {"0992", "新疆", "伊犁", "835000"},  // 胡杨河's area code, 奎屯's too
        {"0634", "山东", "济南", "250000"},  // 莱芜's, merged into 济南
        {"0979", "青海", "海西", "817000"},  // a second code of the city
        {"0898", "海南", "海南", ""},        // all of Hainan: the province alone
        {"0728", "湖北", "湖北", ""},        // three peers, none named
        {"0901", "新疆", "塔城", "834700"},  // shared with a city of the corps
    };
    for (const Case& c : cases) {
        const Record expected{c.province, c.city,        c.postcode,           c.code,
                              "固定电话", std::string(), NumberKind::Landline, Status::Ok};
        EXPECT_EQ(LandlineRecord(Table(), c.code), expected) << c.code;
    }
}

TEST(LandlineRecord, ACodeTheTableLacksIsNoAttribution) {
    // 0733 and 0910 were retired when 株洲 and 咸阳 joined 0731 and 029; 0400 and 0807 only
    // the library's landline data has.
    for (const char* code : {"0733", "0910", "0400", "0807", "0200", "01", "0", "", "0010", "00898",
                             "898", "01O", "1380"})
        EXPECT_FALSE(LandlineRecord(Table(), code)) << code;
}

TEST(LandlineRecord, ARecognisedNumberCarriesItsDigits) {
    const std::optional<Record> beijing = LandlineRecord(Table(), Landline("01062345678", 3));
    ASSERT_TRUE(beijing);
    EXPECT_EQ(beijing->number, "01062345678");
    EXPECT_EQ(beijing->city, "北京");
    EXPECT_EQ(beijing->area_code, "010");
    const std::optional<Record> changzhou = LandlineRecord(Table(), Landline("051983456789", 4));
    ASSERT_TRUE(changzhou);
    EXPECT_EQ(changzhou->number, "051983456789");
    EXPECT_EQ(changzhou->area_code, "0519");
    EXPECT_EQ(changzhou->kind, NumberKind::Landline);

    EXPECT_FALSE(LandlineRecord(Table(), Landline("073312345678", 4)));
    // Only a landline's first digits are an area code.
    for (NumberKind kind : {NumberKind::None, NumberKind::Mobile, NumberKind::Service}) {
        Number other = Landline("01062345678", 3);
        other.kind = kind;
        EXPECT_FALSE(LandlineRecord(Table(), other));
    }
}

// Every code a row dials answers with province, city and the code, a code that no other row
// dials with that row and its postcode, and a code a row lists with that row.
TEST(LandlineRecord, EveryAreaCodeOfTheTableAnswers) {
    std::vector<std::string> codes;
    for (const City& city : Table().Cities()) {
        codes.push_back(city.area_code);
        codes.insert(codes.end(), city.landline_codes.begin(), city.landline_codes.end());
    }
    std::sort(codes.begin(), codes.end());
    codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
    std::vector<std::string> known;
    for (const AreaCode& code : Table().AreaCodes()) known.push_back(code.code);
    EXPECT_EQ(known, codes);

    for (const City& city : Table().Cities()) {
        const std::optional<Record> record = LandlineRecord(Table(), city.area_code);
        ASSERT_TRUE(record) << city.name;
        EXPECT_EQ(record->province, city.province) << city.name;
        EXPECT_FALSE(record->city.empty()) << city.name;
        EXPECT_EQ(record->area_code, city.area_code) << city.name;
        const auto dials = [&code = city.area_code](const City& other) {
            return other.area_code == code ||
                   std::count(other.landline_codes.begin(), other.landline_codes.end(), code);
        };
        if (std::count_if(Table().Cities().begin(), Table().Cities().end(), dials) == 1) {
            EXPECT_EQ(record->city, city.name);
            EXPECT_EQ(record->postcode, city.postcode);
        }
        for (const std::string& code : city.landline_codes) {
            const std::optional<Record> named = LandlineRecord(Table(), code);
            ASSERT_TRUE(named) << code;
            EXPECT_EQ(named->city, city.name) << code;
            EXPECT_EQ(named->postcode, city.postcode) << code;
        }
    }
}

TEST(ServiceRecord, FourHundredAndEightHundredNumbersAreNationwide) {
    for (const char* digits : {"4008001234", "8008101234"}) {
        const std::string prefix(digits, 3);
        EXPECT_EQ(ServiceRecord(digits), (Record{"全国", "", "", "", prefix + "电话", digits,
                                                 NumberKind::Service, Status::Ok}))
            << digits;
    }
    for (const char* digits :
         {"400800123", "40080012345", "5008001234", "4008OO1234", "0400800123", "", "01062345678"})
        EXPECT_FALSE(ServiceRecord(digits)) << digits;
}

}  // namespace
}  // namespace numtrail::attribution
