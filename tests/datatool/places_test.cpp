#include "datatool/places.h"

#include <gtest/gtest.h>

namespace numtrail::datatool {
namespace {

using attribution::CityTable;
using attribution::Record;

const PlaceNames& BuiltIn() {
    static const PlaceNames places(CityTable::BuiltIn());
    return places;
}

// Places as tables write them, stored as answers give them (province, city, postcode, area
// code): short names, today's names, what one cell gives the other, the table's codes where
// the row has none, and the row's own codes otherwise.
TEST(PlaceNames, StoredAsAnswersGiveThem) {
    struct Case {
        const char* province;
        const char* city;
        const char* area_code;
        const char* postcode;
        Record expected;
    };
    const Case cases[] = {
        {"江苏省", "常州市", "", "", {"江苏", "常州", "213000", "0519", ""}},
        {"江苏", "常州", "", "", {"江苏", "常州", "213000", "0519", ""}},
        {"贵州省", "黔东南苗族侗族自治州", "", "", {"贵州", "黔东南", "556000", "0855", ""}},
        {"内蒙古自治区", "兴安盟", "", "", {"内蒙古", "兴安", "137400", "0482", ""}},
        {"湖北", "襄樊", "", "", {"湖北", "襄阳", "441000", "0710", ""}},
        {"", "常州市", "", "", {"江苏", "常州", "213000", "0519", ""}},
        {"", "江苏 常州", "", "", {"江苏", "常州", "213000", "0519", ""}},
        {"江苏省常州市", "", "", "", {"江苏", "常州", "213000", "0519", ""}},
        {"北京市", "", "", "", {"北京", "北京", "100000", "010", ""}},
        {"江苏", "", "", "", {"江苏", "", "", "", ""}},
        {"未知", "未知", "", "", {"未知", "未知", "", "", ""}},
        // A spreadsheet cut the leading zero; the row's own codes win over the table's.
        {"江苏", "常州", "519", "21300", {"江苏", "常州", "021300", "0519", ""}},
        {"江苏", "常州", "0510", "213100", {"江苏", "常州", "213100", "0510", ""}},
        {"江苏", "常州", "-", "无", {"江苏", "常州", "213000", "0519", ""}},
        // A city the table does not know is kept, in the short form.
        {"江苏", "昆山市", "0512", "", {"江苏", "昆山", "", "0512", ""}},
    };
    for (const Case& c : cases) {
        const PlaceResult result = BuiltIn().Normalize(c.province, c.city, c.area_code, c.postcode);
        EXPECT_EQ(result.problem, "") << c.province << c.city;
        EXPECT_EQ(result.record, c.expected) << c.province << c.city;
        EXPECT_EQ(result.unknown_city, std::string(c.city) == "昆山市") << c.city;
    }
}

TEST(PlaceNames, CellsThatCannotBeUsed) {
    struct Case {
        const char* province;
        const char* city;
        const char* area_code;
        const char* postcode;
    };
    const Case cases[] = {
        {"", "", "", ""},
        {"苏州", "", "", ""},
        {"", "昆山", "", ""},
        {"江苏", "常州", "05a9", ""},
        {"江苏", "常州", "051912", ""},
        {"江苏", "常州", "", "2130001"},
        {"江苏", "常|州", "", ""},
    };
    for (const Case& c : cases)
        EXPECT_NE(BuiltIn().Normalize(c.province, c.city, c.area_code, c.postcode).problem, "")
            << c.province << "/" << c.city << "/" << c.area_code << "/" << c.postcode;
}

TEST(PlaceNames, ACityNamedInSeveralProvincesNeedsItsProvince) {
    const CityTable table(
        "province\tcity\tarea_code\tpostcode\taliases\n"
        "辽宁\t朝阳\t0421\t122000\t朝阳市\n"
        "北京\t北京\t010\t100000\t朝阳\n");
    const PlaceNames places(table);
    EXPECT_NE(places.Normalize("", "朝阳", "", "").problem.find("辽宁, 北京"), std::string::npos);
    EXPECT_EQ(places.Normalize("辽宁", "朝阳", "", "").record,
              (Record{"辽宁", "朝阳", "122000", "0421", ""}));
}

}  // namespace
}  // namespace numtrail::datatool
