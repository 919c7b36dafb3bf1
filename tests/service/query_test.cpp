#include "service/query.h"

#include <gtest/gtest.h>

#include "attribution/data_file_builder.h"
#include "attribution/local_attributor.h"
#include "attribution/protocol.h"
#include "attribution/sanitize.h"

namespace numtrail::service {
namespace {

// Reads a value the way the desktop program does: text after `Key":"` up to the next quote.
std::string ProgramField(const std::string& answer, const std::string& key) {
    const std::string pattern = key + "\":\"";
    const std::size_t at = answer.find(pattern);
    if (at == std::string::npos) return {};
    const std::string rest = answer.substr(at + pattern.size());
    const std::size_t quote = rest.find('"');
    return quote == std::string::npos ? std::string() : rest.substr(0, quote);
}

class QueryTest : public ::testing::Test {
  protected:
    static attribution::DataFile Data() {
        attribution::testing::DataFileBuilder b;
        b.records = {"江苏|常州|213000|0519", "北京|北京|100000|010",
                     "bad\"quote|back\\slash|line\nbreak|tab\there"};
        b.entries = {{1390519, 0, 1}, {1391000, 1, 3}, {1700000, 2, 9}};
        attribution::DataFileResult result = attribution::ParseDataFile(b.Build());
        EXPECT_TRUE(result.ok()) << result.fault;
        return std::move(result.file);
    }
    attribution::LocalAttributor table{Data(), false};
};

TEST_F(QueryTest, KnownNumberGetsTheWholeAnswer) {
    const Reply reply =
        HandleQuery("/lookup?m=13905191234&output=json&callback=querycallback", table, "V4.1");
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.content_type, "text/javascript; charset=utf-8");
    EXPECT_EQ(reply.body,
              "querycallback({\"Mobile\":\"13905191234\",\"QueryResult\":\"True\","
              "\"Province\":\"江苏\",\"City\":\"常州\",\"AreaCode\":\"0519\","
              "\"PostCode\":\"213000\",\"TO\":\"中国移动\"});");
    EXPECT_EQ(ProgramField(reply.body, "TO"), "中国移动");
}

TEST_F(QueryTest, AnyPathAndParameterOrderWork) {
    const Reply reply = HandleQuery("/?callback=cb&m=13910009999", table, "V4.1");
    EXPECT_EQ(reply.body.rfind("cb({", 0), 0u);
    EXPECT_EQ(ProgramField(reply.body, "Province"), "北京");
    EXPECT_EQ(ProgramField(reply.body, "TO"), "中国电信");
    // Percent-encoded digits are still a number.
    EXPECT_EQ(ProgramField(HandleQuery("/x?m=%3139051912%334", table, "V4.1").body, "City"),
              "常州");
}

TEST_F(QueryTest, MalformedOrUnknownNumbersAnswerFalseWithEmptyFields) {
    for (const char* target :
         {"/q", "/q?output=json&callback=querycallback", "/q?m=&callback=querycallback",
          "/q?m=1390519123a", "/q?m=139051912345", "/q?m=1390519123", "/q?m=%2B3905191234",
          "/q?m=12345678901", "/q?m=18888888888", "/q?m=abcdefghijk"}) {
        const Reply reply = HandleQuery(target, table, "V4.1");
        EXPECT_EQ(reply.status, 200) << target;
        EXPECT_EQ(ProgramField(reply.body, "QueryResult"), "False") << target;
        for (const char* key : {"Province", "City", "AreaCode", "PostCode"})
            EXPECT_EQ(ProgramField(reply.body, key), "") << target << ' ' << key;
        EXPECT_NE(reply.body.find("\"TO\":\"\"});"), std::string::npos) << target;
    }
    EXPECT_EQ(HandleQuery("/q?m=139", table, "V4.1").body,
              "querycallback({\"Mobile\":\"139\",\"QueryResult\":\"False\",\"Province\":\"\","
              "\"City\":\"\",\"AreaCode\":\"\",\"PostCode\":\"\",\"TO\":\"\"});");
}

// The number asked is found as in a list: text and fillers around it are no part of it. The
// answer echoes what was asked, as far as it is safe to echo.
TEST_F(QueryTest, NumberIsFoundInTheTextAsked) {
    for (const auto& [target, echoed] :
         {std::pair{"/q?m=13905191234%00", "13905191234"},
          std::pair{"/q?m=139-0519-1234", "139-0519-1234"},
          std::pair{"/q?m=tel:%2B86%20139%200519%201234", "tel:+86 139 0519 1234"}}) {
        const std::string body = HandleQuery(target, table, "V4.1").body;
        EXPECT_EQ(ProgramField(body, "QueryResult"), "True") << target;
        EXPECT_EQ(ProgramField(body, "City"), "常州") << target;
        EXPECT_EQ(ProgramField(body, "Mobile"), echoed) << target;
    }
}

// Landlines and 400/800 numbers, however a query writes them, are answered as mobiles are, and
// the window's reading of the answer gets their fields back.
TEST(BuiltinQueryTest, LandlinesAndServiceNumbersReadBackAsTheWindowReadsThem) {
    attribution::LocalAttributor local;
    const auto record = [](const char* province, const char* city, const char* postcode,
                           const char* area_code, const char* card_type) {
        return attribution::Record{province, city, postcode, area_code, card_type};
    };
    const attribution::Record beijing = record("北京", "北京", "100000", "010", "固定电话");
    const std::pair<const char*, attribution::Record> cases[] = {
        {"01062345678", beijing},
        {"010-62345678", beijing},
        {"%2B86%2010%206234%205678", beijing},
        {"%280755%29%2086001234", record("广东", "深圳", "518000", "0755", "固定电话")},
        {"0898-66123456", record("海南", "海南", "", "0898", "固定电话")},  // the whole province
        {"4008001234", record("全国", "", "", "", "400电话")},
        {"800%20810%208888", record("全国", "", "", "", "800电话")},
        {"13800138000", record("北京", "北京", "100000", "010", "中国移动")},
    };
    for (const auto& [asked, expected] : cases) {
        const std::string query = std::string("m=") + asked + "&output=json&callback=querycallback";
        const Reply reply = HandleQuery("/?" + query, local, "V4.1");
        EXPECT_EQ(reply.status, 200);
        EXPECT_EQ(ProgramField(reply.body, "QueryResult"), "True") << asked;
        EXPECT_EQ(attribution::RecordOfFields(attribution::CutAnswer(reply.body)), expected)
            << reply.body;
        EXPECT_EQ(ProgramField(reply.body, "Mobile"), attribution::QueryParameter(query, "m"));
    }
    // An area code no city dials is no landline.
    EXPECT_EQ(ProgramField(HandleQuery("/?m=0733-2345678", local, "V4.1").body, "QueryResult"),
              "False");
}

TEST_F(QueryTest, OddCallbackNamesFallBackToTheDefault) {
    for (const char* target :
         {"/q?m=13905191234&callback=", "/q?m=13905191234&callback=a(b)",
          "/q?m=13905191234&callback=x%22y", "/q?m=13905191234&callback=%3Cscript%3E",
          "/q?m=13905191234&callback=a%0Ab", "/q?m=13905191234"}) {
        EXPECT_EQ(HandleQuery(target, table, "V4.1").body.rfind("querycallback({", 0), 0u)
            << target;
    }
    EXPECT_EQ(HandleQuery("/q?m=1&callback=jQuery_1.cb$2", table, "V4.1")
                  .body.rfind("jQuery_1.cb$2({", 0),
              0u);
    EXPECT_EQ(attribution::SafeCallbackName(std::string(64, 'a')), std::string(64, 'a'));
    EXPECT_EQ(attribution::SafeCallbackName(std::string(65, 'a')), "querycallback");
}

TEST_F(QueryTest, ValuesNeverBreakTheProgramsParse) {
    const Reply reply = HandleQuery("/q?m=17000001234", table, "V4.1");
    EXPECT_EQ(ProgramField(reply.body, "Province"), "badquote");
    EXPECT_EQ(ProgramField(reply.body, "City"), "backslash");
    EXPECT_EQ(ProgramField(reply.body, "PostCode"), "linebreak");
    EXPECT_EQ(ProgramField(reply.body, "AreaCode"), "tabhere");

    // An echoed number cannot smuggle keys or quotes into the answer.
    const Reply hostile = HandleQuery(
        "/q?m=1%22,%22Province%22:%22X%5C%0D%E2%80%A8" + std::string(100, '9'), table, "V4.1");
    EXPECT_EQ(ProgramField(hostile.body, "Province"), "");
    EXPECT_EQ(ProgramField(hostile.body, "Mobile").find_first_of("\"\\\r\n"), std::string::npos);
    EXPECT_LE(ProgramField(hostile.body, "Mobile").size(), 32u);
}

TEST_F(QueryTest, ManifestNamesTheVersion) {
    const Reply reply = HandleQuery("/version/main.txt", table, "V4.1");
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.body, "sjhm:V4.1|");
    EXPECT_EQ(HandleQuery("/version/main.txt?t=1", table, "V9.9").body, "sjhm:V9.9|");
    EXPECT_EQ(HandleQuery("/version/main.txt/x", table, "V4.1").body.rfind("querycallback(", 0),
              0u);
}

TEST_F(QueryTest, RefusalPageCarriesRuntimeError) {
    EXPECT_NE(RefusalReply().body.find("Runtime Error"), std::string::npos);
    EXPECT_NE(RefusalReply().status, 200);
}

TEST(QueryParameter, DecodingAndFirstOccurrence) {
    using attribution::QueryParameter;
    EXPECT_EQ(QueryParameter("a=1&m=2&m=3", "m"), "2");
    EXPECT_EQ(QueryParameter("m", "m"), "");
    EXPECT_EQ(QueryParameter("x=%E6%B1%9F+%2", "x"), "江 %2");
    EXPECT_EQ(QueryParameter("%6D=5", "m"), "5");
    EXPECT_EQ(QueryParameter("mm=5&&=&m=%", "m"), "%");
}

TEST(SanitizeValue, DropsWhatBreaksTheAnswerAndKeepsText) {
    EXPECT_EQ(attribution::SanitizeValue("江苏 Jiangsu"), "江苏 Jiangsu");
    EXPECT_EQ(attribution::SanitizeValue("a\"b\\c\x01\x7f\td\r\n"), "abcd");
    EXPECT_EQ(attribution::SanitizeValue("a\xC2\x85"
                                         "b\xE2\x80\xA8"
                                         "c\xE2\x80\xA9"),
              "abc");  // NEL, LS, PS
    EXPECT_EQ(attribution::SanitizeValue("a\xFF\xC0\xAF"
                                         "b\xE6\xB1"
                                         "c\xED\xA0\x80"),
              "abc");                                            // invalid UTF-8
    EXPECT_EQ(attribution::SanitizeValue("江苏江", 7), "江苏");  // never split a character
    EXPECT_EQ(attribution::SanitizeValue(std::string("a\0b", 3)), "ab");
}

}  // namespace
}  // namespace numtrail::service
