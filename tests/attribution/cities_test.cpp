#include "attribution/cities.h"

#include <gtest/gtest.h>

namespace numtrail::attribution {
namespace {

const City* Find(std::string_view province, std::string_view name) {
    return CityTable::BuiltIn().Find(province, name);
}

TEST(CityTable, EveryRowIsWellFormedAndFoundUnderEachOfItsNames) {
    const CityTable& table = CityTable::BuiltIn();
    EXPECT_GT(table.Cities().size(), 360u);
    const auto digits = [](const std::string& text) {
        return text.find_first_not_of("0123456789") == std::string::npos;
    };
    for (const City& city : table.Cities()) {
        EXPECT_TRUE(digits(city.area_code) && city.area_code.size() >= 3 &&
                    city.area_code.size() <= 4 && city.area_code[0] == '0')
            << city.name << ' ' << city.area_code;
        EXPECT_TRUE(digits(city.postcode) && (city.postcode.size() == 6 || city.postcode.empty()))
            << city.name << ' ' << city.postcode;
        // A name given twice in one province would hide one of the rows.
        EXPECT_EQ(table.Find(city.province, city.name), &city) << city.name;
        for (const std::string& alias : city.aliases)
            EXPECT_EQ(table.Find(city.province, alias), &city) << alias;
    }
}

TEST(CityTable, AliasesFullFormerAndMisspeltNames) {
    const std::pair<std::pair<const char*, const char*>, const char*> cases[] = {
        {{"江苏", "常州市"}, "常州"}, {{"湖南", "株州"}, "株洲"},
        {{"湖北", "襄樊"}, "襄阳"},   {{"湖北", "恩施土家族苗族自治州"}, "恩施"},
        {{"安徽", "巢湖"}, "合肥"},   {{"青海", "海南藏族自治州"}, "海南"},
    };
    for (const auto& [place, name] : cases) {
        const City* city = Find(place.first, place.second);
        ASSERT_NE(city, nullptr) << place.second;
        EXPECT_EQ(city->name, name);
    }
    EXPECT_EQ(Find("海南", "海南"), nullptr);  // the province is no city of its own
    EXPECT_EQ(Find("江苏", "襄樊"), nullptr);  // names count within their province only
}

TEST(CityTable, NamesWrittenTheLongWay) {
    const CityTable& table = CityTable::BuiltIn();
    EXPECT_EQ(table.FindWritten("江苏省", "常州市"), Find("江苏", "常州"));
    EXPECT_EQ(table.FindWritten("内蒙古自治区", "兴安盟"), Find("内蒙古", "兴安"));
    EXPECT_EQ(table.FindWritten("北京市", "北京市"), Find("北京", "北京"));
    EXPECT_EQ(table.FindWritten("江苏", ""), nullptr);
    EXPECT_EQ(table.FindWritten("未知", "未知"), nullptr);
}

}  // namespace
}  // namespace numtrail::attribution
