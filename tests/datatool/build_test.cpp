#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "attribution/data_file_builder.h"
#include "attribution/data_file_writer.h"
#include "datatool/check.h"
#include "datatool/files.h"
#include "datatool/table_build.h"

namespace numtrail::datatool {
namespace {

using attribution::DataFile;

const PlaceNames& Places() {
    static const PlaceNames places(attribution::CityTable::BuiltIn());
    return places;
}

// What a built file answers for a prefix: "province city card type", or "" for nothing.
std::string Answer(const DataFile& file, std::uint32_t prefix) {
    const std::vector<std::uint32_t> answers = AnswerOfEachPrefix(file);
    const std::uint32_t r = answers[prefix - attribution::kFirstPrefix];
    if (r == kNoAnswer) return "";
    const attribution::Record& record = file.records[r];
    return record.province + " " + record.city + " " + record.card_type;
}

// A longer prefix wins over a shorter one in whatever order they come; of two rows with the
// same prefix the later wins, also from a later table.
TEST(TableBuilder, LongerPrefixesAndLaterRowsWin) {
    std::vector<std::string> reports;
    TableBuilder builder(Places(), [&](const std::string& line) { reports.push_back(line); });
    builder.AddTable("a.csv",
                     "号段,省份,城市,运营商\n"
                     "1380001,江苏,常州,\n"
                     "138,北京,北京,\n"
                     "13801,上海,上海,\n"
                     "1390000,江苏,苏州,\n"
                     "1390000,江苏,南京,\n");
    builder.AddTable("b.csv", "prefix,city\n1390000,杭州\n1380001,无锡\n");
    const DataFile file = builder.Finish("2401");
    EXPECT_EQ(Answer(file, 1380001), "江苏 无锡 中国移动");
    EXPECT_EQ(Answer(file, 1380000), "北京 北京 中国移动");
    EXPECT_EQ(Answer(file, 1380100), "上海 上海 中国移动");
    EXPECT_EQ(Answer(file, 1380199), "上海 上海 中国移动");
    EXPECT_EQ(Answer(file, 1389999), "北京 北京 中国移动");
    EXPECT_EQ(Answer(file, 1390000), "浙江 杭州 中国移动");
    EXPECT_EQ(Answer(file, 1390001), "");
    EXPECT_EQ(file.entries.size(), 10000u + 1u);
    EXPECT_EQ(builder.RepeatedPrefixes(), 3u);
    EXPECT_TRUE(reports.empty());
}

// Every row that cannot be used is reported with its table and line (blank lines and a
// title above the header counted), the rest is built.
TEST(TableBuilder, RowsThatCannotBeUsedAreReportedWithTheirLine) {
    std::vector<std::string> reports;
    TableBuilder builder(Places(), [&](const std::string& line) { reports.push_back(line); });
    builder.AddTable("t.csv",
                     "2024年号段表\n"
                     "号段,省份,城市,运营商\n"
                     "1380000,江苏,常州,移动\n"
                     "\n"
                     "13800a0,江苏,常州,移动\n"
                     "1380001,火星,,移动\n"
                     "1380002,江苏,常州,小灵通\n"
                     "1380003,江苏,昆山,\n"
                     "1380004,,,\n");
    const std::vector<std::string> expected = {
        "t.csv:5: the prefix '13800a0' is not 1 to 7 digits",
        "t.csv:6: '火星' is no province of the mainland",
        "t.csv:7: the card type '小灵通' names no carrier (中国移动, 中国联通, 中国电信, "
        "中国广电, a virtual operator of one, or a card-type number 0 to 8)",
        "t.csv:8: the city table knows no city 昆山 in 江苏; kept as written",
        "t.csv:9: neither a province nor a city",
    };
    EXPECT_EQ(reports, expected);
    EXPECT_EQ(builder.Count().rows, 6u);
    EXPECT_EQ(builder.Count().unusable, 4u);
    EXPECT_EQ(builder.Finish("2401").entries.size(), 2u);
}

TEST(TableBuilder, ColumnsByPositionOrNoTable) {
    TableBuilder builder(Places(), [](const std::string&) {});
    EXPECT_THROW(builder.AddTable("t.txt", "1380000 江苏 常州\n"), TableError);
    std::string error;
    builder.SetColumns(Columns::FromList("prefix,province,city", error));
    builder.AddTable("t.txt", "1380000 江苏 常州\n");
    // With columns given, a header row is still no data.
    builder.AddTable("u.csv", "号段,省份,城市\n1380001,江苏,苏州\n");
    const DataFile file = builder.Finish("2401");
    EXPECT_EQ(Answer(file, 1380000), "江苏 常州 中国移动");
    EXPECT_EQ(Answer(file, 1380001), "江苏 苏州 中国移动");
    EXPECT_EQ(builder.Count().unusable, 0u);
}

// How a workbook's rows come: each sheet with its own header, in its own column order; a
// sheet that holds no prefix table is reported and passed over.
TEST(TableBuilder, EachSheetFindsItsOwnHeader) {
    using Sheet = std::pair<const char*, std::vector<std::vector<std::string_view>>>;
    std::vector<Sheet> sheets = {
        {"移动", {{"号段", "省份", "城市"}, {"1380000", "江苏", "常州"}}},
        {"说明", {}},
        {"联通", {{"城市", "prefix"}, {"苏州", "1300000"}}},
    };
    for (int i = 0; i < 12; ++i) sheets[1].second.push_back({"本表仅供内部使用"});
    std::vector<std::string> reports;
    TableBuilder builder(Places(), [&](const std::string& line) { reports.push_back(line); });
    builder.AddRows("book.xlsx", [&](const RowSink& row, const CommentSink&) {
        for (const auto& [name, rows] : sheets)
            for (std::size_t i = 0; i < rows.size(); ++i) row(RowPlace{name, i + 1}, rows[i]);
    });
    const DataFile file = builder.Finish("2401");
    EXPECT_EQ(Answer(file, 1380000), "江苏 常州 中国移动");
    EXPECT_EQ(Answer(file, 1300000), "江苏 苏州 中国联通");
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].rfind("book.xlsx:说明: no header row", 0), 0u) << reports[0];
    EXPECT_EQ(builder.Count().rows, 2u);
}

std::string Bytes(const attribution::testing::DataFileBuilder& b) {
    const std::vector<std::uint8_t> bytes = b.Build();
    return {bytes.begin(), bytes.end()};
}

// One file per fault, and the finding each must give; a sound file gives none.
TEST(CheckDataFile, EachFaultIsFound) {
    using attribution::testing::DataFileBuilder;
    DataFileBuilder sound;
    sound.records = {"江苏|常州|213000|0519", "北京|北京|100000|010"};
    sound.entries = {{1380000, 0, 1}, {1380001, 0, 1}, {1300000, 1, 2}};
    const CheckResult clean = CheckDataFile(Bytes(sound), Places());
    EXPECT_TRUE(clean.findings.empty()) << clean.findings.front().text;
    EXPECT_EQ(clean.prefixes, 3u);
    EXPECT_EQ(clean.records, 2u);

    struct Case {
        const char* fault;
        std::function<void(DataFileBuilder&)> plant;
        bool refused;
        std::string finding;
    };
    const Case cases[] = {
        {"not UTF-8", [](DataFileBuilder& b) { b.records[1] = "\xB1\xB1|x|y|z"; }, true,
         "damaged: the record at offset 34 is not valid UTF-8"},
        {"a field over 256 bytes",
         [](DataFileBuilder& b) { b.records[1] = "北京|" + std::string(257, 'a') + "|1|2"; }, true,
         "256"},
        {"card byte 0",
         [](DataFileBuilder& b) {
             b.entries.push_back({1380002, 0, 0});
         },
         false, "prefix 1380002: no card type, where the carriers' segments give 中国移动"},
        {"card byte 9",
         [](DataFileBuilder& b) {
             b.entries.push_back({1380002, 0, 9});
         },
         false, "prefix 1380002: the card-type byte 9 names no carrier"},
        {"card of another carrier",
         [](DataFileBuilder& b) {
             b.entries.push_back({1380002, 0, 2});
             b.entries.push_back({1380003, 0, 2});
         },
         false,
         "prefix 1380002-1380003 (2 prefixes): the card type 中国联通 is not the carriers' "
         "segments' 中国移动"},
        {"unallocated",
         [](DataFileBuilder& b) {
             b.entries.push_back({1540000, 0, 0});
         },
         false, "prefix 1540000: outside the carriers' allocated segments"},
        {"twice",
         [](DataFileBuilder& b) {
             b.entries.push_back({1380000, 1, 1});
         },
         false, "prefix 1380000: given more than once"},
        {"five fields", [](DataFileBuilder& b) { b.records[1] += "|x"; }, false, "has 5 fields"},
        {"a quote", [](DataFileBuilder& b) { b.records[1] = "北京|北\"京|100000|010"; }, false,
         "the city holds characters that answers leave out"},
        {"long form", [](DataFileBuilder& b) { b.records[0] = "江苏省|常州市|213000|0519"; }, false,
         "written 江苏省 常州市 where answers write 江苏 常州"},
        {"unknown city", [](DataFileBuilder& b) { b.records[0] = "江苏|昆山|215300|0512"; }, false,
         "the city table knows no city 昆山 in 江苏"},
        {"area code", [](DataFileBuilder& b) { b.records[0] = "江苏|常州|213000|0510"; }, false,
         "the area code 0510 is not the city table's 0519 for 常州"},
        {"postcode", [](DataFileBuilder& b) { b.records[0] = "江苏|常州|213100|0519"; }, false,
         "record \"江苏|常州|213100|0519\" (2 prefixes, the first 1380000): the postcode 213100 "
         "is not the city table's 213000 for 常州"},
        {"no province", [](DataFileBuilder& b) { b.records[0] = "|常州|213000|0519"; }, false,
         "names no province"},
    };
    for (const Case& c : cases) {
        DataFileBuilder b = sound;
        c.plant(b);
        const CheckResult result = CheckDataFile(Bytes(b), Places());
        ASSERT_EQ(result.findings.size(), 1u) << c.fault << ": " << result.findings.back().text;
        EXPECT_EQ(result.Refused(), c.refused) << c.fault;
        EXPECT_NE(result.findings[0].text.find(c.finding), std::string::npos)
            << c.fault << ": " << result.findings[0].text;
    }
}

}  // namespace
}  // namespace numtrail::datatool
