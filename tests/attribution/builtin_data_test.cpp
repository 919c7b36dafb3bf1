#include "attribution/generate/builtin_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "attribution/builtin_table.h"
#include "attribution/cities.h"
#include "attribution/data_file_builder.h"
#include "attribution/description.h"
#include "attribution/segments.h"

namespace numtrail::attribution {
namespace {

TEST(SplitDescription, ProvincesMunicipalitiesAndRegions) {
    EXPECT_EQ(SplitDescription("江苏省常州市"), (Place{"江苏", "常州"}));
    EXPECT_EQ(SplitDescription("吉林省吉林市"), (Place{"吉林", "吉林"}));
    EXPECT_EQ(SplitDescription("黑龙江省齐齐哈尔市"), (Place{"黑龙江", "齐齐哈尔"}));
    EXPECT_EQ(SplitDescription("北京市"), (Place{"北京", "北京"}));
    EXPECT_EQ(SplitDescription("天津"), (Place{"天津", "天津"}));
    EXPECT_EQ(SplitDescription("重庆市万州区"), (Place{"重庆", "万州区"}));
    EXPECT_EQ(SplitDescription("广西壮族自治区南宁市"), (Place{"广西", "南宁"}));
    EXPECT_EQ(SplitDescription("广西南宁市"), (Place{"广西", "南宁"}));
    EXPECT_EQ(SplitDescription("内蒙古自治区呼和浩特市"), (Place{"内蒙古", "呼和浩特"}));
    EXPECT_EQ(SplitDescription("新疆维吾尔自治区乌鲁木齐市"), (Place{"新疆", "乌鲁木齐"}));
    EXPECT_EQ(SplitDescription("宁夏回族自治区银川市"), (Place{"宁夏", "银川"}));
    EXPECT_EQ(SplitDescription("西藏自治区拉萨市"), (Place{"西藏", "拉萨"}));
}

TEST(SplitDescription, PrefecturesLeaguesAndDistrictsKeepTheirNames) {
    EXPECT_EQ(SplitDescription("湖北省恩施土家族苗族自治州"),
              (Place{"湖北", "恩施土家族苗族自治州"}));
    EXPECT_EQ(SplitDescription("内蒙古锡林郭勒盟"), (Place{"内蒙古", "锡林郭勒盟"}));
    EXPECT_EQ(SplitDescription("新疆吐鲁番地区"), (Place{"新疆", "吐鲁番地区"}));
    EXPECT_EQ(SplitDescription("湖北省神农架林区"), (Place{"湖北", "神农架林区"}));
    EXPECT_EQ(SplitDescription("青海省海南藏族自治州"), (Place{"青海", "海南藏族自治州"}));
}

TEST(SplitDescription, CountryOnlyOrEmptyIsNoAttribution) {
    EXPECT_FALSE(SplitDescription("中国"));
    EXPECT_FALSE(SplitDescription(""));
    EXPECT_EQ(SplitDescription("江苏省"), (Place{"江苏", ""}));
    EXPECT_EQ(SplitDescription("某地"), (Place{"某地", ""}));
    // Byte garbage and cut characters do not crash the split.
    EXPECT_TRUE(SplitDescription("\xE6\xB1"));
    EXPECT_TRUE(SplitDescription("北京\xE5"));
}

TEST(SplitPlaces, LandlineListsShareTheFirstProvince) {
    EXPECT_EQ(SplitPlaces("辽宁省沈阳市、铁岭市、抚顺市"),
              (std::vector<Place>{{"辽宁", "沈阳"}, {"辽宁", "铁岭"}, {"辽宁", "抚顺"}}));
    EXPECT_EQ(SplitPlaces("西藏日喀则地区、仲巴县"),
              (std::vector<Place>{{"西藏", "日喀则地区"}, {"西藏", "仲巴县"}}));
    EXPECT_EQ(SplitPlaces("江苏省南京市、"), (std::vector<Place>{{"江苏", "南京"}}));
}

TEST(CardTypeForPrefix, SegmentsAndVirtualBlocks) {
    EXPECT_EQ(CardTypeForPrefix(1380013), "中国移动");
    EXPECT_EQ(CardTypeForPrefix(1390000), "中国移动");
    EXPECT_EQ(CardTypeForPrefix(1300000), "中国联通");
    EXPECT_EQ(CardTypeForPrefix(1860000), "中国联通");
    EXPECT_EQ(CardTypeForPrefix(1330000), "中国电信");
    EXPECT_EQ(CardTypeForPrefix(1890000), "中国电信");
    EXPECT_EQ(CardTypeForPrefix(1920000), "中国广电");
    EXPECT_EQ(CardTypeForPrefix(1700123), "中国电信虚拟运营商");
    EXPECT_EQ(CardTypeForPrefix(1705123), "中国移动虚拟运营商");
    EXPECT_EQ(CardTypeForPrefix(1709123), "中国联通虚拟运营商");
    EXPECT_EQ(CardTypeForPrefix(1710000), "中国联通虚拟运营商");
    EXPECT_EQ(CardTypeForPrefix(1349000), "");          // satellite, not China Mobile
    EXPECT_EQ(CardTypeForPrefix(1740000), "中国电信");  // China Telecom's satellite phones
    EXPECT_EQ(CardTypeForPrefix(1740599), "中国电信");
    EXPECT_EQ(CardTypeForPrefix(1740600), "");  // emergency communication
    EXPECT_EQ(CardTypeForPrefix(1749000), "");
    EXPECT_EQ(CardTypeForPrefix(1540000), "");
    EXPECT_EQ(CardTypeForPrefix(0), "");
    EXPECT_EQ(CardTypeForPrefix(4294967295u), "");
}

TEST(CardTypeForPrefix, EverySegmentFrom130To199) {
    const std::string_view M = "中国移动", U = "中国联通", T = "中国电信", B = "中国广电",
                           MV = "中国移动虚拟运营商", UV = "中国联通虚拟运营商",
                           TV = "中国电信虚拟运营商", no = "";
    // The allocation of the segments 1d0 to 1d9, one row per d; each sampled at 1dx5555.
    const std::array<std::string_view, 10> decades[] = {
        {U, U, U, T, M, M, M, M, M, M},           // 13x
        {no, no, no, no, no, U, U, M, M, T},      // 14x: 140, 141, 144 are machine numbers
        {M, M, M, T, no, U, U, M, M, M},          // 15x
        {no, no, TV, no, no, MV, U, UV, no, no},  // 16x
        {MV, UV, M, T, no, U, U, T, M, no},       // 17x: 1705 is China Mobile's virtual block
        {T, T, M, M, M, U, U, M, M, T},           // 18x
        {T, T, B, T, no, M, U, M, M, T},          // 19x
    };
    for (std::uint32_t d = 0; d < std::size(decades); ++d) {
        for (std::uint32_t x = 0; x < 10; ++x) {
            const std::uint32_t prefix = (130 + d * 10 + x) * 10000 + 5555;
            EXPECT_EQ(CardTypeForPrefix(prefix), decades[d][x]) << prefix;
        }
    }
}

// Each block that differs from its segment: its first and last prefix give its carrier, the
// prefix before it and the one after give the neighbour's.
TEST(CardTypeForPrefix, BothEdgesOfEveryBlock) {
    const std::string_view M = "中国移动", T = "中国电信", MV = "中国移动虚拟运营商",
                           UV = "中国联通虚拟运营商", TV = "中国电信虚拟运营商", no = "";
    struct Block {
        std::uint32_t first;
        std::uint32_t last;
        std::string_view carrier;
        std::string_view before;  // the carrier of first - 1
        std::string_view after;   // the carrier of last + 1
    };
    const Block blocks[] = {
        {1349000, 1349999, no, M, M},    // the satellite operator's, inside China Mobile's 134
        {1700000, 1702999, TV, no, MV},  // 169 is unallocated
        {1703000, 1703999, MV, TV, UV}, {1704000, 1704999, UV, MV, MV},
        {1705000, 1706999, MV, UV, UV}, {1707000, 1709999, UV, MV, UV},  // then 171
        {1740000, 1740599, T, T, no},  // after 173; emergency communication follows
    };
    for (const Block& b : blocks) {
        EXPECT_EQ(CardTypeForPrefix(b.first), b.carrier) << b.first;
        EXPECT_EQ(CardTypeForPrefix(b.last), b.carrier) << b.last;
        EXPECT_EQ(CardTypeForPrefix(b.first - 1), b.before) << b.first - 1;
        EXPECT_EQ(CardTypeForPrefix(b.last + 1), b.after) << b.last + 1;
    }
}

class BuiltinDataTest : public ::testing::Test {
  protected:
    static const BuiltinData& Data() {
        static const BuiltinData data;
        return data;
    }
};

TEST_F(BuiltinDataTest, AreaCodesOfLargeCities) {
    EXPECT_EQ(Data().LandlineAreaCode({"北京", "北京"}), "010");
    EXPECT_EQ(Data().LandlineAreaCode({"上海", "上海"}), "021");
    EXPECT_EQ(Data().LandlineAreaCode({"广东", "广州"}), "020");
    EXPECT_EQ(Data().LandlineAreaCode({"湖北", "武汉"}), "027");
    EXPECT_EQ(Data().LandlineAreaCode({"四川", "成都"}), "028");
    EXPECT_EQ(Data().LandlineAreaCode({"江苏", "南京"}), "025");
    EXPECT_EQ(Data().LandlineAreaCode({"江苏", "常州"}), "0519");
    EXPECT_EQ(Data().LandlineAreaCode({"广东", "深圳"}), "0755");
    EXPECT_EQ(Data().LandlineAreaCode({"辽宁", "沈阳"}), "024");
    EXPECT_EQ(Data().LandlineAreaCode({"某地", ""}), "");
    EXPECT_GT(Data().LandlineAreaCodeCount(), 300u);
}

TEST_F(BuiltinDataTest, WellKnownNumberAndUnknownSegments) {
    const std::optional<Record> beijing = Data().Resolve(1380013);
    ASSERT_TRUE(beijing);
    EXPECT_EQ(beijing->province, "北京");
    EXPECT_EQ(beijing->city, "北京");
    EXPECT_EQ(beijing->area_code, "010");
    EXPECT_EQ(beijing->postcode, "100000");
    EXPECT_EQ(beijing->card_type, "中国移动");

    EXPECT_FALSE(Data().Resolve(1400000));  // a segment without attribution
    EXPECT_FALSE(Data().Resolve(1000000));
    EXPECT_FALSE(Data().Resolve(9999999));
}

TEST_F(BuiltinDataTest, EveryPrefixOfASegmentResolvesSafely) {
    for (std::uint32_t prefix = 1540000; prefix < 1542000; ++prefix) Data().Resolve(prefix);
    for (std::uint32_t prefix = 1990000; prefix < 1992000; ++prefix) {
        const auto record = Data().Resolve(prefix);
        if (record) {
            EXPECT_FALSE(record->province.empty()) << prefix;
        }
    }
}

TEST_F(BuiltinDataTest, AllocatedSegmentsWithoutPlaceAnswerUnknownWithTheCarrier) {
    // One prefix of each segment the library places nowhere; the carrier is still known.
    for (std::uint32_t prefix :
         {1460000u, 1480000u, 1490000u, 1620000u, 1650000u, 1660000u, 1670000u,
          1710000u, 1720000u, 1730000u, 1740000u, 1750000u, 1900000u, 1910000u,
          1920000u, 1930000u, 1950000u, 1960000u, 1970000u, 1980000u, 1990000u}) {
        const std::optional<Record> record = Data().Resolve(prefix);
        ASSERT_TRUE(record) << prefix;
        EXPECT_EQ(*record, (Record{"未知", "未知", "", "", std::string(CardTypeForPrefix(prefix))}))
            << prefix;
        EXPECT_NE(record->card_type, "") << prefix;
    }
    for (std::uint32_t prefix : {1540000u, 1600000u, 1741000u, 1790000u, 1940000u})
        EXPECT_FALSE(Data().Resolve(prefix)) << prefix;
}

TEST_F(BuiltinDataTest, PlacedCitiesCarryTheTablesPostcodeAndAreaCode) {
    // Cities the landline data lacks or names differently, as the table gives them.
    EXPECT_EQ(Data().Resolve(1302402), (Record{"安徽", "亳州", "236800", "0558", "中国联通"}));
    EXPECT_EQ(Data().Resolve(1300733), (Record{"湖南", "株洲", "412000", "0731", "中国联通"}));
    EXPECT_EQ(Data().Resolve(1301410), (Record{"甘肃", "嘉峪关", "735100", "0937", "中国联通"}));
    EXPECT_EQ(Data().Resolve(1301481), (Record{"广西", "贵港", "537100", "0775", "中国联通"}));
    // bench/coverage.sh checks every prefix; a spread sample keeps the suite quick.
    for (std::uint32_t prefix = kFirstPrefix; prefix <= kLastPrefix; prefix += 97) {
        const std::optional<Record> record = Data().Resolve(prefix);
        if (!record || record->city.empty() || record->city == "未知") continue;
        EXPECT_NE(record->postcode, "") << prefix << ' ' << record->city;
        EXPECT_NE(record->area_code, "") << prefix << ' ' << record->city;
    }
}

// Where the city table and the library's landline descriptions give a city different area
// codes, answers follow the table. A change of either source shows up here.
TEST_F(BuiltinDataTest, TableWinsOverTheseLandlineAreaCodes) {
    std::vector<std::string> differing;
    for (const City& city : CityTable::BuiltIn().Cities()) {
        std::vector<std::string> names = city.aliases;
        names.push_back(city.name);
        for (const std::string& name : names) {
            const std::string landline = Data().LandlineAreaCode({city.province, name});
            if (!landline.empty() && landline != city.area_code)
                differing.push_back(city.province + " " + name + " " + landline + " -> " +
                                    city.area_code);
        }
    }
    std::sort(differing.begin(), differing.end());
    EXPECT_EQ(differing, (std::vector<std::string>{
                             "山东 莱芜 0634 -> 0531",              // merged into 济南 in 2019
                             "新疆 伊犁哈萨克自治州 0992 -> 0999",  // 0999 is 伊宁, the seat
                         }));
    EXPECT_EQ(Data().Resolve(1300276), (Record{"山东", "济南", "250000", "0531", "中国联通"}));
    EXPECT_EQ(Data().Resolve(1303130)->area_code, "0999");
}

// Every city the built-in data answered under another name than the city table's, with a
// prefix that the library still describes so, and what the same prefix answers now.
TEST_F(BuiltinDataTest, CitiesAnswerUnderTheirNamesOfToday) {
    struct Case {
        std::uint32_t prefix;
        const char* province;
        const char* library_says;
        const char* answered;
    };
    const Case cases[] = {
        // Renamed, merged or abolished.
        {1300002, "安徽", "巢湖", "合肥"},
        {1300276, "山东", "莱芜", "济南"},
        {1300772, "青海", "海东地区", "海东"},
        {1301700, "贵州", "铜仁地区", "铜仁"},
        {1301706, "贵州", "毕节地区", "毕节"},
        {1303120, "新疆", "吐鲁番地区", "吐鲁番"},
        {1303121, "新疆", "哈密地区", "哈密"},
        {1303520, "湖北", "襄樊", "襄阳"},
        {1322892, "西藏", "日喀则地区", "日喀则"},
        {1322893, "西藏", "山南地区", "山南"},
        {1322894, "西藏", "林芝地区", "林芝"},
        {1322895, "西藏", "昌都地区", "昌都"},
        {1322896, "西藏", "那曲地区", "那曲"},
        // Long forms: the short one, as every other city is answered.
        {1300280, "四川", "凉山彝族自治州", "凉山"},
        {1300770, "青海", "海西蒙古族藏族自治州", "海西"},
        {1300774, "青海", "海南藏族自治州", "海南"},
        {1300775, "青海", "海北藏族自治州", "海北"},
        {1300860, "云南", "红河哈尼族彝族自治州", "红河"},
        {1300862, "云南", "楚雄彝族自治州", "楚雄"},
        {1300908, "吉林", "延边朝鲜族自治州", "延边"},
        {1300960, "新疆", "昌吉回族自治州", "昌吉"},
        {1301336, "云南", "大理白族自治州", "大理"},
        {1301701, "贵州", "黔东南苗族侗族自治州", "黔东南"},
        {1301702, "贵州", "黔南布依族苗族自治州", "黔南"},
        {1301705, "贵州", "黔西南布依族苗族自治州", "黔西南"},
        {1302877, "甘肃", "临夏回族自治州", "临夏"},
        {1302962, "新疆", "巴音郭楞蒙古自治州", "巴音郭楞"},
        {1302963, "新疆", "喀什地区", "喀什"},
        {1303043, "内蒙古", "兴安盟", "兴安"},
        {1303045, "内蒙古", "锡林郭勒盟", "锡林郭勒"},
        {1303126, "新疆", "阿克苏地区", "阿克苏"},
        {1303130, "新疆", "伊犁哈萨克自治州", "伊犁"},
        {1303134, "新疆", "博尔塔拉蒙古自治州", "博尔塔拉"},
        {1303278, "湖北", "恩施土家族苗族自治州", "恩施"},
        {1303330, "云南", "文山壮族苗族自治州", "文山"},
        {1303593, "云南", "怒江傈僳族自治州", "怒江"},
        {1303594, "云南", "德宏傣族景颇族自治州", "德宏"},
        {1303597, "云南", "西双版纳傣族自治州", "西双版纳"},
        {1303740, "湖南", "湘西土家族苗族自治州", "湘西"},
        {1303860, "云南", "迪庆藏族自治州", "迪庆"},
        {1303990, "黑龙江", "大兴安岭地区", "大兴安岭"},
        {1304047, "新疆", "克孜勒苏柯尔克孜自治州", "克孜勒苏"},
        {1304049, "新疆", "和田地区", "和田"},
        {1304058, "新疆", "塔城地区", "塔城"},
        {1304059, "新疆", "阿勒泰地区", "阿勒泰"},
        {1305645, "四川", "甘孜藏族自治州", "甘孜"},
        {1305646, "四川", "阿坝藏族羌族自治州", "阿坝"},
        {1308714, "内蒙古", "阿拉善盟", "阿拉善"},
        {1309930, "甘肃", "甘南藏族自治州", "甘南"},
        {1309970, "青海", "玉树藏族自治州", "玉树"},
        {1309971, "青海", "果洛藏族自治州", "果洛"},
        {1309973, "青海", "黄南藏族自治州", "黄南"},
        {1322897, "西藏", "阿里地区", "阿里"},
        {1812037, "湖北", "神农架林区", "神农架"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SplitDescription(Data().Describe(c.prefix * 10000ull)),
                  (Place{c.province, c.library_says}))
            << c.prefix;
        const Record* record = BuiltinTable::Get().Find(c.prefix);
        ASSERT_NE(record, nullptr) << c.prefix;
        EXPECT_EQ(record->province, c.province) << c.prefix;
        EXPECT_EQ(record->city, c.answered) << c.prefix;
    }
}

// No answer names a place otherwise than a row of the city table names it: a place the table
// does not know would keep the library's name, and shows up here.
TEST_F(BuiltinDataTest, EveryPlacedAnswerIsARowOfTheCityTable) {
    std::vector<std::string> unknown;
    for (const Record& record : BuiltinTable::Get().Records()) {
        if (record.province == kUnknownPlace) continue;
        const City* city = CityTable::BuiltIn().Find(record.province, record.city);
        if (city == nullptr || city->name != record.city)
            unknown.push_back(record.province + " " + record.city);
    }
    EXPECT_EQ(unknown, std::vector<std::string>{});
}

// The compiled table is what the geocoder answers, run for run: every seventh prefix lands on
// both sides of most run boundaries.
TEST_F(BuiltinDataTest, CompiledTableAnswersAsTheGeocoder) {
    const BuiltinTable& table = BuiltinTable::Get();
    const auto same = [&table](std::uint32_t prefix) {
        const std::optional<Record> expected = Data().Resolve(prefix);
        const Record* found = table.Find(prefix);
        return expected ? found != nullptr && *found == *expected : found == nullptr;
    };
    for (std::uint32_t prefix = kFirstPrefix; prefix <= kLastPrefix; prefix += 7)
        ASSERT_TRUE(same(prefix)) << prefix;
    EXPECT_TRUE(same(kLastPrefix));
    EXPECT_EQ(table.Find(kFirstPrefix - 1), nullptr);
    EXPECT_EQ(table.Find(kLastPrefix + 1), nullptr);
}

}  // namespace
}  // namespace numtrail::attribution
