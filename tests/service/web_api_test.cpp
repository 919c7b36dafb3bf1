#include <gtest/gtest.h>
#include <httplib.h>
#include <zip.h>

#include <fstream>
#include <iterator>
#include <map>

#include "attribution/data_file_builder.h"
#include "attribution/local_attributor.h"
#include "service/attribution_service.h"
#include "service/query.h"
#include "service/raw_client.h"
#include "service/web/web_assets.h"
#include "support/workbooks.h"
#include "tables/table.h"
#include "tables/text_escape.h"
#include "tables/xlsx.h"

namespace numtrail::service {
namespace {

using attribution::NumberKind;

// The value of a member of a JSON object written on one line: a string (its \" and \\ read)
// or a bare value.
std::string Member(std::string_view object, std::string_view name) {
    const std::string key = "\"" + std::string(name) + "\":";
    const std::size_t at = object.find(key);
    if (at == std::string_view::npos) return "<missing>";
    std::size_t i = at + key.size();
    std::string value;
    if (object[i] != '"') {
        while (i < object.size() && object[i] != ',' && object[i] != '}') value += object[i++];
        return value;
    }
    for (++i; i < object.size() && object[i] != '"'; ++i) {
        if (object[i] == '\\') ++i;
        value += object[i];
    }
    return value;
}

// The parts of a zip container by name.
std::map<std::string, std::string> ZipParts(const std::string& bytes) {
    std::map<std::string, std::string> parts;
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    zip_t* zip = zip_open_from_source(source, ZIP_RDONLY, &error);
    if (zip == nullptr) {
        zip_source_free(source);
        return parts;
    }
    for (zip_int64_t i = 0; i < zip_get_num_entries(zip, 0); ++i) {
        zip_stat_t stat;
        zip_stat_index(zip, i, 0, &stat);
        std::string data(stat.size, '\0');
        zip_file_t* file = zip_fopen_index(zip, i, 0);
        zip_fread(file, data.data(), data.size());
        zip_fclose(file);
        parts[stat.name] = data;
    }
    zip_close(zip);
    return parts;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

// A number as the recognizer reports it: kind and digits.
attribution::Number NumberOf(NumberKind kind, std::string_view digits, int area_code = 0) {
    attribution::Number n;
    std::copy(digits.begin(), digits.end(), n.digits.begin());
    n.size = static_cast<std::uint8_t>(digits.size());
    n.area_code_size = static_cast<std::uint8_t>(area_code);
    n.kind = kind;
    return n;
}

class WebApiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        attribution::testing::DataFileBuilder b;
        b.records = {"江苏|常州|213000|0519", "北京|北京|100000|010"};
        b.entries = {{1390519, 0, 1}, {1391000, 1, 1}};
        data_path = dir.path() / "prefixes.dat";
        attribution::testing::WriteFile(data_path, b.Build());
    }

    std::unique_ptr<AttributionService> Start(
        std::uint64_t max_lines = 2'000'000,
        std::chrono::milliseconds max_time = std::chrono::seconds(300),
        std::size_t max_upload = 64u << 20) {
        ServiceOptions options;
        options.port = 0;
        options.data_file = data_path;
        options.max_lines = max_lines;
        options.max_time = max_time;
        options.limits.max_upload = max_upload;
        return AttributionService::Start(options);
    }

    // The rows the window writes for these numbers, from the same data.
    std::vector<attribution::Record> WindowRows(const std::vector<attribution::Number>& numbers) {
        attribution::LocalAttributor local(attribution::LoadDataFile(data_path));
        std::vector<attribution::Record> rows;
        for (const attribution::Number& n : numbers)
            rows.push_back(attribution::RowOf(n, local.Attribute(n)));
        return rows;
    }

    attribution::testing::TempDir dir;
    std::filesystem::path data_path;
};

// Every number of every line, in order, with its line number; a line without a number is one
// bad-format row; the CSV holds the numbers found as the window's table writes them.
TEST_F(WebApiTest, AMixedListGivesARowPerNumberFound) {
    const std::string list =
        "13905191234\r\n"
        "张三,13910001234；李四 010-6234-5678\r\n"
        "\r\n"
        "订单号 20240101\r\n"
        "客服 400-800-1234\r\n"
        "15400001234\n"
        "+86 139 0519 0000 和 0519-8888 6666";
    struct Expected {
        int line;
        attribution::Number number;
        const char* status;
        const char* kind;
    };
    const Expected expected[] = {
        {1, NumberOf(NumberKind::Mobile, "13905191234"), "ok", "mobile"},
        {2, NumberOf(NumberKind::Mobile, "13910001234"), "ok", "mobile"},
        {2, NumberOf(NumberKind::Landline, "01062345678", 3), "ok", "landline"},
        {3, {}, "bad-format", ""},
        {4, {}, "bad-format", ""},
        {5, NumberOf(NumberKind::Service, "4008001234"), "ok", "service"},
        {6, NumberOf(NumberKind::Mobile, "15400001234"), "unassigned", "mobile"},
        {7, NumberOf(NumberKind::Mobile, "13905190000"), "ok", "mobile"},
        {7, NumberOf(NumberKind::Landline, "051988886666", 4), "ok", "landline"},
    };
    std::vector<attribution::Number> found;
    for (const Expected& e : expected)
        if (e.number) found.push_back(e.number);
    const std::vector<attribution::Record> window = WindowRows(found);

    auto service = Start();
    httplib::Client client("127.0.0.1", service->Port());
    const auto jsonl = client.Post("/api/attribute", list, "text/plain; charset=utf-8");
    ASSERT_TRUE(jsonl);
    ASSERT_EQ(jsonl->status, 200) << jsonl->body;
    EXPECT_EQ(jsonl->get_header_value("Content-Type"), "application/x-ndjson; charset=utf-8");
    const std::vector<std::string> rows = Lines(jsonl->body);
    ASSERT_EQ(rows.size(), std::size(expected)) << jsonl->body;
    std::size_t next_found = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Expected& e = expected[i];
        SCOPED_TRACE(rows[i]);
        EXPECT_EQ(Member(rows[i], "line_number"), std::to_string(e.line));
        EXPECT_EQ(Member(rows[i], "status"), e.status);
        EXPECT_EQ(Member(rows[i], "kind"), e.kind);
        EXPECT_EQ(Member(rows[i], "number"), e.number.Digits());
        if (!e.number) continue;
        const attribution::Record& w = window[next_found++];
        EXPECT_EQ(Member(rows[i], "province"), w.province);
        EXPECT_EQ(Member(rows[i], "city"), w.city);
        EXPECT_EQ(Member(rows[i], "area_code"), w.area_code);
        EXPECT_EQ(Member(rows[i], "postcode"), w.postcode);
        EXPECT_EQ(Member(rows[i], "card_type"), w.card_type);
    }
    EXPECT_EQ(Member(rows[1], "line"), "张三,13910001234；李四 010-6234-5678");

    const std::string csv = tables::CsvTable(tables::ResultTable(window));
    for (const auto& [target, accept] :
         {std::pair{"/api/attribute?format=csv", ""}, {"/api/attribute", "text/csv"}}) {
        httplib::Headers headers;
        if (*accept) headers.emplace("Accept", accept);
        const auto res = client.Post(target, headers, list, "text/plain");
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 200);
        EXPECT_EQ(res->body, csv) << target;
        EXPECT_NE(res->get_header_value("Content-Disposition").find("attachment"),
                  std::string::npos);
    }

    // The window's workbook of the same rows: every part alike but the time it was made.
    const auto xlsx = client.Post("/api/attribute?format=xlsx", list, "text/plain");
    ASSERT_TRUE(xlsx);
    ASSERT_EQ(xlsx->status, 200) << xlsx->body;
    std::string why;
    const auto window_book = tables::XlsxWorkbook(tables::ResultTable(window), &why);
    ASSERT_TRUE(window_book) << why;
    auto parts = ZipParts(xlsx->body);
    auto window_parts = ZipParts(*window_book);
    ASSERT_TRUE(parts.contains("xl/worksheets/sheet1.xml"));
    parts.erase("docProps/core.xml");
    window_parts.erase("docProps/core.xml");
    EXPECT_EQ(parts, window_parts);
}

TEST_F(WebApiTest, FilesArriveAsMultipartAndEachPartIsReadByItsContent) {
    const std::string path = (dir.path() / "list.xlsx").string();
    ASSERT_TRUE(test::WriteXlsx(path, {{"客户",
                                        {{0, 0, std::string("姓名")},
                                         {0, 1, std::string("电话")},
                                         {1, 0, std::string("张三")},
                                         {1, 1, 13905191234.0}}}}));
    std::ifstream in(path, std::ios::binary);
    const std::string workbook((std::istreambuf_iterator<char>(in)), {});
    auto service = Start();
    httplib::Client client("127.0.0.1", service->Port());
    const httplib::MultipartFormDataItems items = {
        {"file", workbook, "客户.xlsx", "application/octet-stream"},
        {"note", "13910001234", "", ""},  // not a list
        {"file", "13910001234\n", "b.txt", "text/plain"},
    };
    const auto res = client.Post("/api/attribute?format=csv", items);
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 200) << res->body;
    EXPECT_EQ(res->body, tables::CsvTable(tables::ResultTable(
                             WindowRows({NumberOf(NumberKind::Mobile, "13905191234"),
                                         NumberOf(NumberKind::Mobile, "13910001234")}))));
}

TEST_F(WebApiTest, RefusesWhatItCannotReadWithAMessage) {
    std::string bomb_sheet = "<worksheet><sheetData>";
    bomb_sheet.append(20 << 20, ' ');
    bomb_sheet += "</sheetData></worksheet>";
    const std::string bomb_path = (dir.path() / "bomb.xlsx").string();
    ASSERT_TRUE(test::WriteZip(
        bomb_path,
        {{"_rels/.rels",
          "<Relationships><Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/"
          "officeDocument/2006/relationships/officeDocument\" Target=\"xl/workbook.xml\"/>"
          "</Relationships>"},
         {"xl/workbook.xml",
          "<workbook><sheets><sheet name=\"A\" r:id=\"rId1\"/></sheets></workbook>"},
         {"xl/_rels/workbook.xml.rels",
          "<Relationships><Relationship Id=\"rId1\" Type=\"http://x/worksheet\" "
          "Target=\"worksheets/sheet1.xml\"/></Relationships>"},
         {"xl/worksheets/sheet1.xml", bomb_sheet}}));
    std::ifstream in(bomb_path, std::ios::binary);
    const std::string bomb((std::istreambuf_iterator<char>(in)), {});

    auto service = Start();
    struct Case {
        const char* what;
        std::string content_type;
        std::string body;
        int status;
        const char* message;  // a piece of the message
    };
    const std::string boundary = "multipart/form-data; boundary=XyZ";
    const auto part = [](const std::string& name, const std::string& bytes) {
        return "--XyZ\r\nContent-Disposition: form-data; name=\"file\"; filename=\"" + name +
               "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + bytes + "\r\n--XyZ--\r\n";
    };
    const Case cases[] = {
        {"zip bomb", boundary, part("bomb.xlsx", bomb), 413, "bomb.xlsx"},
        {"PDF", boundary, part("a.pdf", "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n1 0 obj"), 415, "a.pdf"},
        {"no file part", boundary,
         "--XyZ\r\nContent-Disposition: form-data; name=\"x\"\r\n\r\n1\r\n--XyZ--\r\n", 400,
         "file"},
        {"cut multipart", boundary, "--XyZ\r\nContent-Disposition: form-data; name=\"file\"", 400,
         "multipart"},
        {"multipart without boundary", "multipart/form-data", "x", 400, "boundary"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        httplib::Client client("127.0.0.1", service->Port());
        const auto res = client.Post("/api/attribute", c.body, c.content_type);
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, c.status);
        EXPECT_NE(res->body.find(c.message), std::string::npos) << res->body;
    }
}

TEST_F(WebApiTest, EachLimitIsAnswered413WithAMessage) {
    std::string list;
    for (int i = 0; i < 200'000; ++i) list += "13905191234\n";
    struct Case {
        const char* what;
        std::uint64_t max_lines;
        std::chrono::milliseconds max_time;
        std::size_t max_upload;
        const char* message;
    };
    const Case cases[] = {
        {"upload", 2'000'000, std::chrono::seconds(300), 1u << 20, "Payload Too Large"},
        {"lines", 199'999, std::chrono::seconds(300), 64u << 20, "199999"},
        {"time", 2'000'000, std::chrono::milliseconds(1), 64u << 20, "时间"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto service = Start(c.max_lines, c.max_time, c.max_upload);
        // The headers alone: a body over the cap is refused by its declared length, and the
        // connection closed while a client would still be sending it.
        test::RawClient client(service->Port());
        client.Send(
            "POST /api/attribute HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(service->Port()) +
            "\r\nContent-Type: text/plain\r\nConnection: close\r\nContent-Length: " +
            std::to_string(list.size()) + "\r\n\r\n");
        if (c.max_upload >= list.size()) client.Send(list);
        const std::string response = client.ReadAll();
        EXPECT_EQ(test::Status(response), 413);
        EXPECT_NE(response.find(c.message), std::string::npos) << response.substr(0, 300);
    }
    // Just within every limit: answered.
    auto service = Start(200'000, std::chrono::seconds(300), 4u << 20);
    httplib::Client client("127.0.0.1", service->Port());
    const auto res = client.Post("/api/attribute", list, "text/plain");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(Lines(res->body).size(), 200'000u);
}

TEST_F(WebApiTest, PageAndApiAnswersCarryTheGuardHeaders) {
    auto service = Start();
    httplib::Client client("127.0.0.1", service->Port());
    std::vector<std::pair<std::string, httplib::Result>> answers;
    for (const web::WebAssetFile& file : web::WebAssets())
        answers.emplace_back(std::string(file.path), client.Get(std::string(file.path)));
    answers.emplace_back("/?callback=x", client.Get("/?callback=x"));
    answers.emplace_back("health", client.Get("/api/health"));
    answers.emplace_back("GET attribute", client.Get("/api/attribute"));
    answers.emplace_back("POST attribute", client.Post("/api/attribute", "1", "text/plain"));
    answers.emplace_back("bad format", client.Post("/api/attribute?format=pdf", "1", "text/plain"));
    for (auto& [what, res] : answers) {
        SCOPED_TRACE(what);
        ASSERT_TRUE(res);
        EXPECT_EQ(res->get_header_value("Content-Security-Policy"),
                  "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
                  "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors "
                  "'none'");
        EXPECT_EQ(res->get_header_value("X-Content-Type-Options"), "nosniff");
        EXPECT_EQ(res->get_header_value("Referrer-Policy"), "no-referrer");
    }
    EXPECT_EQ(answers[0].second->body, web::WebAssets()[0].bytes);
    EXPECT_EQ(answers[0].second->get_header_value("Content-Type"), "text/html; charset=utf-8");
    const std::string health = answers[answers.size() - 4].second->body;
    EXPECT_EQ(Member(health, "file"), "prefixes.dat") << health;
    EXPECT_EQ(Member(health, "upstream"), "false");
    EXPECT_EQ(answers[answers.size() - 3].second->status, 405);
    EXPECT_EQ(answers[answers.size() - 1].second->status, 400);
}

// A POST from a page of another origin, or one a browser marks as not the page's own, is
// refused; the page's own and scripts without any mark are answered.
TEST_F(WebApiTest, OnlyThePagesOwnOriginMayPost) {
    auto service = Start();
    const std::string host = "127.0.0.1:" + std::to_string(service->Port());
    struct Case {
        const char* headers;
        int status;
    };
    const Case cases[] = {
        {"", 200},
        {"Origin: http://HOST\r\nSec-Fetch-Site: same-origin\r\n", 200},
        {"Origin: http://evil.example\r\n", 403},
        {"Origin: null\r\n", 403},
        {"Sec-Fetch-Site: cross-site\r\n", 403},
        {"Sec-Fetch-Site: same-site\r\n", 403},
        {"Sec-Fetch-Site: none\r\n", 403},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.headers);
        std::string headers = c.headers;
        if (const std::size_t at = headers.find("HOST"); at != std::string::npos)
            headers.replace(at, 4, host);
        test::RawClient client(service->Port());
        client.Send("POST /api/attribute HTTP/1.1\r\nHost: " + host + "\r\n" + headers +
                    "Content-Type: text/plain\r\nContent-Length: 11\r\nConnection: close\r\n\r\n"
                    "13905191234");
        const std::string response = client.ReadAll();
        EXPECT_EQ(test::Status(response), c.status) << response;
    }
}

TEST_F(WebApiTest, TheWindowsQueriesAreAnsweredAsBefore) {
    auto service = Start();
    httplib::Client client("127.0.0.1", service->Port());
    attribution::LocalAttributor local(attribution::LoadDataFile(data_path));
    for (const char* target : {"/?m=13905191234&output=json&callback=querycallback",
                               "/?callback=cb&m=13910001234", "/?m=", "/api?m=13905191234"}) {
        SCOPED_TRACE(target);
        const auto res = client.Get(target);
        ASSERT_TRUE(res);
        const Reply reply = HandleQuery(target, local, product::kVersion);
        EXPECT_EQ(res->status, reply.status);
        EXPECT_EQ(res->body, reply.body);
        EXPECT_EQ(res->get_header_value("Content-Type"), reply.content_type);
    }
}

}  // namespace
}  // namespace numtrail::service
