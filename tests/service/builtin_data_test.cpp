#include "service/builtin_data.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include "service/attribution_service.h"
#include "service/data_file_builder.h"
#include "service/description.h"
#include "service/segments.h"

namespace numtrail::service {
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
    EXPECT_EQ(CardTypeForPrefix(1349000), "");  // satellite, not China Mobile
    EXPECT_EQ(CardTypeForPrefix(1540000), "");
    EXPECT_EQ(CardTypeForPrefix(0), "");
    EXPECT_EQ(CardTypeForPrefix(4294967295u), "");
}

class BuiltinDataTest : public ::testing::Test {
  protected:
    static const BuiltinData& Data() {
        static const BuiltinData data;
        return data;
    }
};

TEST_F(BuiltinDataTest, AreaCodesOfLargeCities) {
    EXPECT_EQ(Data().AreaCode({"北京", "北京"}), "010");
    EXPECT_EQ(Data().AreaCode({"上海", "上海"}), "021");
    EXPECT_EQ(Data().AreaCode({"广东", "广州"}), "020");
    EXPECT_EQ(Data().AreaCode({"湖北", "武汉"}), "027");
    EXPECT_EQ(Data().AreaCode({"四川", "成都"}), "028");
    EXPECT_EQ(Data().AreaCode({"江苏", "南京"}), "025");
    EXPECT_EQ(Data().AreaCode({"江苏", "常州"}), "0519");
    EXPECT_EQ(Data().AreaCode({"广东", "深圳"}), "0755");
    EXPECT_EQ(Data().AreaCode({"辽宁", "沈阳"}), "024");
    EXPECT_EQ(Data().AreaCode({"某地", ""}), "");
    EXPECT_GT(Data().AreaCodeCount(), 300u);
}

TEST_F(BuiltinDataTest, WellKnownNumberAndUnknownSegments) {
    const std::optional<Record> beijing = Data().Resolve(1380013);
    ASSERT_TRUE(beijing);
    EXPECT_EQ(beijing->province, "北京");
    EXPECT_EQ(beijing->city, "北京");
    EXPECT_EQ(beijing->area_code, "010");
    EXPECT_EQ(beijing->postcode, "");
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

TEST(BuiltinService, DataFileWinsAndTheRestIsBuiltIn) {
    testing::TempDir dir;
    testing::DataFileBuilder b;
    b.records = {"文件省|文件市|123456|0999"};
    b.entries = {{1380013, 0, 3}};
    const auto path = dir.path() / "prefixes.dat";
    testing::WriteFile(path, b.Build());

    ServiceOptions options;
    options.port = 0;
    options.data_file = path;
    auto service = AttributionService::Start(options);
    httplib::Client client("127.0.0.1", service->Port());

    auto from_file = client.Get("/?m=13800138000&output=json&callback=querycallback");
    ASSERT_TRUE(from_file);
    EXPECT_NE(from_file->body.find("\"Province\":\"文件省\""), std::string::npos)
        << from_file->body;
    EXPECT_NE(from_file->body.find("\"TO\":\"中国电信\""), std::string::npos);

    auto built_in = client.Get("/?m=13800100000&output=json&callback=querycallback");
    ASSERT_TRUE(built_in);
    EXPECT_EQ(built_in->body,
              "querycallback({\"Mobile\":\"13800100000\",\"QueryResult\":\"True\","
              "\"Province\":\"北京\",\"City\":\"北京\",\"AreaCode\":\"010\","
              "\"PostCode\":\"\",\"TO\":\"中国移动\"});");

    auto none = client.Get("/?m=14000000000&output=json&callback=querycallback");
    ASSERT_TRUE(none);
    EXPECT_NE(none->body.find("\"QueryResult\":\"False\""), std::string::npos);
}

}  // namespace
}  // namespace numtrail::service
