#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "datatool/carriers.h"
#include "datatool/columns.h"
#include "datatool/table_build.h"
#include "datatool/table_rows.h"
#include "support/workbooks.h"

namespace numtrail::datatool {
namespace {

// Each row as its line number and its cells joined by '/'.
std::vector<std::string> Rows(std::string_view bytes) {
    std::vector<std::string> rows;
    ReadTextRows(
        bytes,
        [&rows](const RowPlace& place, std::span<const std::string_view> cells) {
            std::string row = std::to_string(place.line) + ":";
            for (std::size_t i = 0; i < cells.size(); ++i)
                row.append(i == 0 ? "" : "/").append(cells[i]);
            rows.push_back(row);
        },
        [&rows](std::string_view comment) { rows.push_back("#" + std::string(comment)); });
    return rows;
}

TEST(TextTable, SeparatorsQuotingAndLineNumbers) {
    struct Case {
        std::string bytes;
        std::vector<std::string> rows;
    };
    const Case cases[] = {
        {"a,b,,c\r\n\r\n1, 2 ,3\n", {"1:a/b//c", "3:1/2/3"}},
        {"a\tb,c\t\n1\t2\n", {"1:a/b,c/", "2:1/2"}},
        {"a;b\r1;2", {"1:a/b", "2:1/2"}},
        {"a|b\n1|2|3\n", {"1:a/b", "2:1/2/3"}},
        {"号段  省份   城市\n1380000 江苏  常州\n", {"1:号段/省份/城市", "2:1380000/江苏/常州"}},
        // The separator is the first a line uses: a title above the header uses none.
        {"号段 表\n号段\t省 份\n1\t2\n", {"1:号段 表", "2:号段/省 份", "3:1/2"}},
        // Quoted fields: separators, doubled quotes and a line break inside one.
        {"\"a,b\",\"say \"\"hi\"\"\",c\n\"x\ny\",z\n1,2\n",
         {"1:a,b/say \"hi\"/c", "2:x\ny/z", "4:1/2"}},
        // A spreadsheet's ="0519" and blanks of every width around cells.
        {"=\"0519\", \xE3\x80\x80"
         "江苏\xC2\xA0\n",
         {"1:0519/江苏"}},
        // Comments anywhere, a quote that never closes.
        {"# version: 2401\nprefix,city\n#x\n1,\"open",
         {"# version: 2401", "2:prefix/city", "#x", "4:1/open"}},
    };
    for (const Case& c : cases) EXPECT_EQ(Rows(c.bytes), c.rows) << c.bytes;
}

// The import's encodings: GBK, and UTF-16 with its byte order mark.
TEST(TextTable, EncodingsOfTheImport) {
    EXPECT_EQ(Rows("\xBA\xC5\xB6\xCE,\xCA\xA1\xB7\xDD\r\n1380000,\xBD\xAD\xCB\xD5\r\n"),
              (std::vector<std::string>{"1:号段/省份", "2:1380000/江苏"}));
    const std::string utf16 = std::string("\xFF\xFE", 2) + std::string("1\0,\0\x5F\x6C\n\0", 8);
    EXPECT_EQ(Rows(utf16), (std::vector<std::string>{"1:1/江"}));
}

// Every sheet of a workbook under a name of its own, with its rows numbered as the sheet
// numbers them; numbers stored as numbers read as their digits.
TEST(WorkbookTable, EverySheetsRowsWithTheirPlace) {
    const std::vector<test::WorkbookSheet> sheets = {
        {"说明", {{0, 0, std::string("号段表")}, {2, 0, std::string("2024")}}},
        {"号段",
         {{0, 0, std::string("号段")},
          {0, 1, std::string("城市")},
          {0, 2, std::string("邮编")},
          {1, 0, 1380013.0},
          {1, 1, std::string(" 常州 ")},
          {1, 2, 213000.0},
          {3, 0, 1390000.0}}},
    };
    const std::vector<std::string> expected = {
        "sheet 1:1:号段表", "sheet 1:3:2024", "sheet 2:1:号段/城市/邮编",
        "sheet 2:2:1380013/常州/213000", "sheet 2:4:1390000"};
    const std::string folder = ::testing::TempDir();
    for (const std::string name : {"book.xlsx", "book.xls"}) {
        const std::string path = folder + "/" + name;
        ASSERT_TRUE(name.ends_with("x") ? test::WriteXlsx(path, sheets)
                                        : test::WriteXls(path, sheets));
        std::ifstream in(path, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        std::vector<std::string> rows;
        ReadTableRows(
            bytes,
            [&rows](const RowPlace& place, std::span<const std::string_view> cells) {
                std::string row = std::string(place.sheet) + ":" + std::to_string(place.line) + ":";
                for (std::size_t i = 0; i < cells.size(); ++i)
                    row.append(i == 0 ? "" : "/").append(cells[i]);
                rows.push_back(row);
            },
            nullptr);
        EXPECT_EQ(rows, expected) << name;
        // Cut short, it is refused with what is wrong rather than read in part.
        const auto ignore = [](const RowPlace&, std::span<const std::string_view>) {};
        EXPECT_THROW(ReadTableRows(bytes.substr(0, bytes.size() / 2), ignore, nullptr), TableError)
            << name;
    }
    const auto ignore = [](const RowPlace&, std::span<const std::string_view>) {};
    EXPECT_THROW(ReadTableRows(std::string("%PDF-1.7\n\x80\x81\x82", 12), ignore, nullptr),
                 TableError);
}

TEST(Columns, HeadersInChineseAndEnglish) {
    const std::vector<std::string_view> chinese = {"序号", "号段", "省份",  "城市",
                                                   "区号", "邮编", "运营商"};
    const auto c = Columns::FromHeader(chinese);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->At(Field::Prefix), 1u);
    EXPECT_EQ(c->At(Field::CardType), 6u);
    const std::vector<std::string_view> english = {"Area Code", "PREFIX",    "Province",
                                                   "city",      "Card_Type", "zip code"};
    const auto e = Columns::FromHeader(english);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->At(Field::AreaCode), 0u);
    EXPECT_EQ(e->At(Field::Prefix), 1u);
    EXPECT_EQ(e->At(Field::Postcode), 5u);
    const std::vector<std::string_view> short_names = {"前缀", "省", "市", "isp", "区号（长途）"};
    EXPECT_EQ(Columns::FromHeader(short_names)->At(Field::AreaCode), 4u);
    // A data row, or a header without a prefix column, is no header.
    const std::vector<std::string_view> data = {"1380000", "江苏", "常州"};
    const std::vector<std::string_view> no_prefix = {"省份", "城市"};
    EXPECT_FALSE(Columns::FromHeader(data));
    EXPECT_FALSE(Columns::FromHeader(no_prefix));
}

TEST(Columns, ListedByPosition) {
    std::string error;
    const Columns c = Columns::FromList("号段,,province,城市", error);
    EXPECT_EQ(error, "");
    EXPECT_EQ(c.At(Field::Province), 2u);
    EXPECT_FALSE(c.Has(Field::CardType));
    for (const char* bad : {"prefix,colour", "prefix,city,市", "province,city"}) {
        error.clear();
        Columns::FromList(bad, error);
        EXPECT_NE(error, "") << bad;
    }
}

TEST(PrefixCell, SevenDigitsOrAWholeBlock) {
    struct Case {
        const char* cell;
        std::uint32_t first, last;  // 0: refused
    };
    const Case cases[] = {
        {"1380000", 1380000, 1380000},
        {"138", 1380000, 1389999},
        {"13800", 1380000, 1380099},
        {"138xxxx", 1380000, 1389999},
        {"１３８", 1380000, 1389999},
        {"13", 1300000, 1399999},
        {"1", 1300000, 1999999},
        {"1999999", 1999999, 1999999},
        {"12", 0, 0},
        {"1299999", 0, 0},
        {"13800138000", 0, 0},
        {"13a", 0, 0},
        {"", 0, 0},
        {"x138", 0, 0},
    };
    for (const Case& c : cases) {
        std::string problem;
        const auto block = ParsePrefixCell(c.cell, problem);
        if (c.first == 0) {
            EXPECT_FALSE(block) << c.cell;
            EXPECT_NE(problem, "") << c.cell;
            continue;
        }
        ASSERT_TRUE(block) << c.cell << ": " << problem;
        EXPECT_EQ(block->first, c.first) << c.cell;
        EXPECT_EQ(block->last, c.last) << c.cell;
    }
}

TEST(Carrier, NamesVirtualFormsAndNumbers) {
    struct Case {
        const char* cell;
        std::uint32_t prefix;
        int code;  // -1: names no carrier
    };
    const Case cases[] = {
        {"中国移动", 1380000, 1},
        {"移动", 1300000, 1},
        {"China Mobile", 1300000, 1},
        {"CMCC", 1300000, 1},
        {"移动全球通卡", 1300000, 1},
        {"中国联通", 1380000, 2},
        {"China Unicom", 1380000, 2},
        {"电信", 1380000, 3},
        {"中国广电", 1920000, 7},
        {"中国电信虚拟运营商", 1700000, 4},
        {"联通虚拟运营商", 1700000, 5},
        {"China Mobile MVNO", 1700000, 6},
        {"广电虚拟运营商", 1920000, 8},
        {"3", 1380000, 3},
        {"0", 1380000, 0},
        // Empty and unknown: the segment's carrier; 虚拟运营商: that carrier's virtual form.
        {"", 1380000, 1},
        {"未知", 1330000, 3},
        {"虚拟运营商", 1300000, 5},
        {"虚拟运营商", 1703000, 6},
        {"", 1540000, 0},
        {"9", 1380000, -1},
        {"小灵通", 1380000, -1},
        {"移动/联通", 1380000, -1},
    };
    for (const Case& c : cases) {
        const auto cell = ParseCarrier(c.cell);
        if (c.code < 0) {
            EXPECT_FALSE(cell) << c.cell;
            continue;
        }
        ASSERT_TRUE(cell) << c.cell;
        EXPECT_EQ(CardTypeOf(*cell, c.prefix), c.code) << c.cell << " " << c.prefix;
    }
}

}  // namespace
}  // namespace numtrail::datatool
