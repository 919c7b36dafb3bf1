#include "attribution/cities.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "attribution/landline.h"

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

TEST(CityTable, EachSharedAreaCodeNamesOneRowOrOneProvince) {
    const CityTable& table = CityTable::BuiltIn();
    std::map<std::string, std::vector<const City*>> listing, owning;
    for (const City& city : table.Cities()) {
        owning[city.area_code].push_back(&city);
        for (const std::string& code : city.landline_codes) {
            EXPECT_NE(table.FindAreaCode(code), nullptr) << city.name << ' ' << code;
            listing[code].push_back(&city);
        }
    }
    for (const auto& [code, rows] : listing) EXPECT_EQ(rows.size(), 1u) << code;
    for (const auto& [code, rows] : owning) {
        if (listing.count(code)) continue;
        for (const City* city : rows) EXPECT_EQ(city->province, rows.front()->province) << code;
    }
}

// The header's list of shared area codes says what a landline of each answers; it must not
// go stale when a row changes.
TEST(CityTable, TheNotesListEverySharedAreaCodeWithItsAnswer) {
    const CityTable& table = CityTable::BuiltIn();
    std::map<std::string, std::string> noted;
    const std::string_view tsv = BuiltInCitiesTsv();
    const std::size_t list = tsv.find("\n# Shared area codes");
    ASSERT_NE(list, std::string_view::npos);
    std::size_t at = tsv.find('\n', list + 1) + 1;
    for (constexpr std::string_view kIndent = "#   "; tsv.substr(at, kIndent.size()) == kIndent;) {
        const std::size_t end = tsv.find('\n', at);
        std::string_view line = tsv.substr(at + kIndent.size(), end - at - kIndent.size());
        at = end + 1;
        while (!line.empty()) {
            std::string_view entry = line.substr(0, line.find("; "));
            line.remove_prefix(std::min(line.size(), entry.size() + 2));
            const std::size_t space = entry.find(' ');
            entry.remove_suffix(entry.size() - std::min(entry.size(), entry.find(' ', space + 1)));
            noted[std::string(entry.substr(0, space))] = entry.substr(space + 1);
        }
    }
    std::map<std::string, std::string> shared;
    for (const AreaCode& code : table.AreaCodes()) {
        const auto dials = [&code](const City& city) {
            return city.area_code == code.code ||
                   std::count(city.landline_codes.begin(), city.landline_codes.end(), code.code);
        };
        const bool another_code = code.city != nullptr && code.city->area_code != code.code;
        if (another_code || std::count_if(table.Cities().begin(), table.Cities().end(), dials) > 1)
            shared[code.code] = LandlineRecord(table, code.code)->city;
    }
    EXPECT_EQ(noted, shared);
}

// A data file's names stay as the user wrote them; its empty postcode and area code come from
// the row the name finds, under today's name or a former one.
TEST(FillFromCityTable, FillsWhatTheUsersFileLeavesEmptyByEitherName) {
    struct Case {
        Record in;
        Record out;
    };
    const Case cases[] = {
        {{"湖北", "襄阳", "", "", ""}, {"湖北", "襄阳", "441000", "0710", ""}},
        {{"湖北", "襄樊", "", "", ""}, {"湖北", "襄樊", "441000", "0710", ""}},
        {{"湖北省", "襄樊市", "", "", ""}, {"湖北省", "襄樊市", "441000", "0710", ""}},
        {{"贵州省", "铜仁地区", "", "", ""}, {"贵州省", "铜仁地区", "554300", "0856", ""}},
        {{"西藏", "林芝地区", "", "0894", ""}, {"西藏", "林芝地区", "860000", "0894", ""}},
        {{"山东", "莱芜", "271100", "", ""}, {"山东", "莱芜", "271100", "0531", ""}},
        {{"安徽", "巢湖市", "238000", "0565", ""}, {"安徽", "巢湖市", "238000", "0565", ""}},
        {{"湖北", "樊城", "", "", ""}, {"湖北", "樊城", "", "", ""}},
    };
    for (const Case& c : cases) {
        Record record = c.in;
        FillFromCityTable(CityTable::BuiltIn(), record);
        EXPECT_EQ(record, c.out) << c.in.province << ' ' << c.in.city;
    }
}

}  // namespace
}  // namespace numtrail::attribution
