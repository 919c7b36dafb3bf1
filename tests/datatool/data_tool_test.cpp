// numtrail-data run as users run it, and what the service and numtrail-lookup then answer.
#include <gtest/gtest.h>
#include <httplib.h>
#include <stdlib.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "attribution/prefix_cache.h"
#include "platform/codepage.h"
#include "service/attribution_service.h"
#include "support/expect_runs.h"
#include "support/run_program.h"
#include "support/scratch_dir.h"
#include "support/stand_in_upstream.h"

namespace numtrail {
namespace {

using test::ProgramRun;
using test::ReadFile;
using test::WriteFile;

ProgramRun Data(const std::vector<std::string>& arguments, const std::string& input = {}) {
    return test::RunProgram(NUMTRAIL_DATA_PROGRAM, arguments, input);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string Gbk(std::string_view utf8) { return StringToAnsiBytes(Utf8ToUtf16(utf8)); }

class DataToolTest : public test::ScratchDirTest {
  protected:
    // No data file or cache of the machine's user may be read or replaced.
    void SetUp() override {
        ::setenv("XDG_DATA_HOME", P("data").c_str(), 1);
        ::setenv("XDG_CACHE_HOME", P("cache").c_str(), 1);
    }

    // Builds FILE from a table; the run must succeed.
    std::string Build(const std::string& table, std::vector<std::string> options = {}) {
        const std::string file = P("built-" + std::to_string(built_++) + ".dat");
        WriteFile(P("table-" + std::to_string(built_)), table);
        options.insert(options.begin(), {"build", P("table-" + std::to_string(built_)), "-o"});
        options.insert(options.begin() + 3, file);
        const ProgramRun run = Data(options);
        EXPECT_EQ(run.status, 0) << run.err;
        return file;
    }

    // "province,city,area code,postcode,card type" per number, as numtrail-lookup answers
    // from the file.
    std::vector<std::string> Lookup(const std::string& file,
                                    const std::vector<std::string>& numbers) {
        std::string list;
        for (const std::string& number : numbers) list += number + "\n";
        const ProgramRun run =
            test::RunProgram(NUMTRAIL_LOOKUP_PROGRAM, {"--quiet", "--data", file, "-"}, list);
        EXPECT_EQ(run.status, 0) << run.err;
        std::vector<std::string> answers;
        for (const std::string& row : Lines(run.out)) {
            // line,number,province,city,area_code,postcode,card_type,status,kind
            const std::size_t second = row.find(',', row.find(',') + 1);
            const std::size_t status = row.rfind(',', row.rfind(',') - 1);
            answers.push_back(row.substr(second + 1, status - second - 1));
        }
        answers.erase(answers.begin());
        return answers;
    }

    // Paths as the programs' arguments.
    std::string P(const std::string& name) const { return Path(name).string(); }

    int built_ = 0;
};

// Tables of every layout named in the help: the answers of numtrail-lookup and of the
// service are the table's rows, field for field, as answers write places.
TEST_F(DataToolTest, TablesOfEachLayoutAnswerFieldForField) {
    struct Layout {
        const char* what;
        std::string table;
        std::vector<std::string> options;
    };
    const Layout layouts[] = {
        {"UTF-8 CSV, Chinese header, long names, carriers by name, blocks",
         "\xEF\xBB\xBF号段,省份,城市,区号,邮编,运营商\r\n"
         "1390519,江苏省,常州市,,,中国移动\r\n"
         "166,广东省,广州市,020,510000,China Unicom\r\n"
         "16612,内蒙古自治区,兴安盟,,,联通\r\n"
         "1991234,贵州省,黔东南苗族侗族自治州,855,556000,电信\r\n",
         {}},
        {"GBK TSV, English header, carriers by number",
         Gbk("prefix\tprovince\tcity\tarea code\tpostcode\tcard type\n"
             "1390519\t江苏\t常州\t\t\t1\n"
             "166\t广东\t广州\t\t\t2\n"
             "16612\t内蒙古\t兴安\t\t\t2\n"
             "1991234\t贵州\t黔东南\t0855\t556000\t3\n"),
         {}},
        {"text without header, columns by position, one cell for both places",
         "1390519  江苏常州   移动\n"
         "166      广东广州    联通\n"
         "16612    内蒙古兴安  联通\n"
         "1991234  贵州黔东南  电信\n",
         {"--columns", "prefix,city,isp"}},
    };
    const std::vector<std::string> numbers = {"13905191234", "16600001111", "16612345678",
                                              "19912345678", "19900000000"};
    const std::vector<std::string> expected = {
        "江苏,常州,0519,213000,中国移动",
        "广东,广州,020,510000,中国联通",
        "内蒙古,兴安,0482,137400,中国联通",
        "贵州,黔东南,0855,556000,中国电信",
        // Not in the table: the built-in data answers.
        "未知,未知,,,中国电信",
    };
    for (const Layout& layout : layouts) {
        const std::string file = Build(layout.table, layout.options);
        EXPECT_EQ(Lookup(file, numbers), expected) << layout.what;

        service::ServiceOptions options;
        options.port = 0;
        options.data_file = file;
        const auto service = service::AttributionService::Start(options);
        httplib::Client client("127.0.0.1", service->Port());
        for (std::size_t k = 0; k < numbers.size(); ++k) {
            auto res = client.Get("/?m=" + numbers[k] + "&output=json&callback=querycallback");
            ASSERT_TRUE(res);
            std::string fields[5];  // the expected row's fields
            std::istringstream row(expected[k]);
            for (std::string& field : fields) std::getline(row, field, ',');
            EXPECT_EQ(res->body, "querycallback({\"Mobile\":\"" + numbers[k] +
                                     "\",\"QueryResult\":\"True\",\"Province\":\"" + fields[0] +
                                     "\",\"City\":\"" + fields[1] + "\",\"AreaCode\":\"" +
                                     fields[2] + "\",\"PostCode\":\"" + fields[3] + "\",\"TO\":\"" +
                                     fields[4] + "\"});")
                << layout.what;
        }
    }
}

// dump writes what build reads: built again, the file is the same byte for byte, its
// version included.
TEST_F(DataToolTest, DumpThenBuildGivesTheSameFile) {
    const std::string file = Build(
        "号段,省份,城市,区号,邮编,运营商\n"
        "138,江苏,常州,,,\n"
        "1380001,江苏,昆山,0512,215300,0\n"
        "1700000,湖北,襄樊,,,虚拟运营商\n"
        "1540000,\"北京\",北京,,,中国移动\n"
        "1992,广东,\"广州\",,,7\n",
        {"--data-version", "V9"});
    const ProgramRun dump = Data({"dump", file});
    ASSERT_EQ(dump.status, 0) << dump.err;
    const std::vector<std::string> lines = Lines(dump.out);
    ASSERT_EQ(lines.size(), 2u + 10000u + 1u + 1u + 1000u);
    EXPECT_EQ(lines[0], "# version: V9");
    EXPECT_EQ(lines[1], "prefix,province,city,area_code,postcode,card_type");
    EXPECT_EQ(lines[3], "1380001,江苏,昆山,0512,215300,0");

    const ProgramRun again = Data({"build", "-", "-o", P("again.dat")}, dump.out);
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(ReadFile(P("again.dat")), ReadFile(file));
}

TEST_F(DataToolTest, MergeLetsLaterFilesWin) {
    const std::string base = Build("号段,城市\n1380000,常州\n1380001,常州\n1380002,常州\n");
    const std::string fix = Build("号段,城市\n1380001,苏州\n1380009,无锡\n");
    const std::string last = Build("号段,城市\n1380002,南京\n1380009,南京\n");
    const ProgramRun run = Data({"merge", base, fix, last, "-o", P("merged.dat")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Lines(run.err), (std::vector<std::string>{
                                  base + " gave 1 prefix",
                                  fix + " gave 1 prefix (1 in place of an earlier file's)",
                                  last + " gave 2 prefixes (2 in place of an earlier file's)",
                              }));
    EXPECT_EQ(Lookup(P("merged.dat"), {"13800000000", "13800010000", "13800020000", "13800090000"}),
              (std::vector<std::string>{
                  "江苏,常州,0519,213000,中国移动", "江苏,苏州,0512,215000,中国移动",
                  "江苏,南京,025,210000,中国移动", "江苏,南京,025,210000,中国移动"}));
}

// The cache's answers, stored by a service, laid over a base; answers that place nothing
// stay out.
TEST_F(DataToolTest, FromCacheKeepsWhatWasFetched) {
    const std::string cache = P("prefixes.sqlite");
    {
        attribution::PrefixCache store(cache, 0, nullptr);
        store.Store(1990000, {"江苏省", "苏州市", "", "", "电信"}, 1);
        store.Store(1380000, {"浙江", "杭州", "310000", "0571", "中国移动"}, 1);
        store.Store(1620000, {"", "", "", "", "中国电信虚拟运营商"}, 1);
        store.Store(1620001, {"未知", "未知", "", "", ""}, 1);
    }
    const std::string base = Build("号段,城市\n1380000,常州\n1380001,常州\n");
    const ProgramRun run = Data({"from-cache", cache, "--merge", base, "-o", P("out.dat")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("gave 2 prefixes (1 in place of an earlier file's); 2 answers that "
                           "placed nothing left out"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(Lookup(P("out.dat"), {"19900000000", "13800000000", "13800010000"}),
              (std::vector<std::string>{"江苏,苏州,0512,215000,中国电信",
                                        "浙江,杭州,0571,310000,中国移动",
                                        "江苏,常州,0519,213000,中国移动"}));
    EXPECT_EQ(Data({"from-cache", P("missing.sqlite"), "-o", P("x.dat")}).status, 1);
    EXPECT_FALSE(std::filesystem::exists(P("missing.sqlite")));
}

// A prefix two online services answered gives the latest answer, or the one of the service
// named; rows kept before the cache named services are read too.
TEST_F(DataToolTest, FromCacheTakesTheLatestAnswerOrTheServiceNamed) {
    const std::string cache = P("prefixes.sqlite");
    {
        attribution::PrefixCache a(cache, 0, nullptr, "http://a:80");
        attribution::PrefixCache b(cache, 0, nullptr, "https://b:443");
        attribution::PrefixCache earlier(cache, 0, nullptr);
        a.Store(1990000, {"江苏", "苏州", "", "", "中国电信"}, 10);
        b.Store(1990000, {"浙江", "杭州", "", "", "中国电信"}, 20);
        earlier.Store(1380000, {"四川", "成都", "", "", "中国移动"}, 5);
    }
    struct Case {
        std::vector<std::string> origin;
        std::vector<std::string> places;
    };
    const Case cases[] = {
        {{}, {"浙江,杭州", "四川,成都"}},
        {{"--origin", "http://a:80"}, {"江苏,苏州", ""}},
        {{"--origin", "unknown"}, {"", "四川,成都"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"from-cache", cache, "-o", P("out.dat")};
        args.insert(args.end(), c.origin.begin(), c.origin.end());
        const ProgramRun run = Data(args);
        ASSERT_EQ(run.status, 0) << run.err;
        const std::vector<std::string> found = Lookup(P("out.dat"), {"19900000000", "13800000000"});
        ASSERT_EQ(found.size(), 2u);
        for (std::size_t i = 0; i < found.size(); ++i) {
            // Empty: the prefix is not in the file, whatever the built-in data says of it.
            if (!c.places[i].empty()) {
                EXPECT_EQ(found[i].substr(0, c.places[i].size()), c.places[i]);
            }
            for (const char* city : {"苏州", "杭州", "成都"}) {
                if (c.places[i].find(city) == std::string::npos) {
                    EXPECT_EQ(found[i].find(city), std::string::npos) << found[i];
                }
            }
        }
    }
    EXPECT_EQ(Data({"from-cache", cache, "-o", P("x.dat"), "--origin", "http://c:80"}).status, 1);
}

// What numtrail-lookup --upstream fetched from an online service becomes a data file.
TEST_F(DataToolTest, FromCacheAfterAnOnlineRun) {
    test::StandInUpstream upstream([](const std::string& number) {
        return test::StandInUpstream::Attribution(number, "四川", "成都", "028", "610000",
                                                  "中国电信");
    });
    const std::string cache = P("prefixes.sqlite");
    const ProgramRun online = test::RunProgram(NUMTRAIL_LOOKUP_PROGRAM,
                                               {"--quiet", "--upstream", upstream.Url(), "--cache",
                                                cache, "--upstream-interval", "0", "-"},
                                               "19912345678\n");
    ASSERT_EQ(online.status, 0) << online.err;
    ASSERT_EQ(Data({"from-cache", cache, "-o", P("out.dat")}).status, 0);
    const ProgramRun show = Data({"show", P("out.dat"), "19912345678"});
    EXPECT_EQ(Lines(show.out)[1], "19912345678,1991234,四川,成都,028,610000,中国电信");
}

TEST_F(DataToolTest, DiffListsEveryChangedField) {
    const std::string before = Build(
        "号段,省份,城市,区号,运营商\n1380000,江苏,常州,,\n1380001,江苏,常州,,\n"
        "1380002,北京,北京,,\n");
    const std::string after = Build(
        "号段,省份,城市,区号,运营商\n1380000,江苏,常州,,\n1380001,浙江,杭州,0571,联通\n"
        "1380003,北京,北京,,\n");
    const ProgramRun run = Data({"diff", before, after});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "prefix,field,old,new\r\n"
              "1380001,province,江苏,浙江\r\n"
              "1380001,city,常州,杭州\r\n"
              "1380001,area_code,0519,0571\r\n"
              "1380001,postcode,213000,310000\r\n"
              "1380001,card_type,中国移动,中国联通\r\n"
              "1380002,record,北京|北京|010|100000|中国移动,\r\n"
              "1380003,record,,北京|北京|010|100000|中国移动\r\n");
    EXPECT_NE(run.err.find("1 prefix added, 1 removed, 1 changed (province 1, city 1, "
                           "area_code 1, postcode 1, card_type 1), 1 unchanged"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(Data({"diff", before, before}).out, "prefix,field,old,new\r\n");
}

// check exits 1 only for a file the service refuses; install puts a sound file in place,
// keeps the one before, and leaves everything as it was for a refused one.
TEST_F(DataToolTest, CheckAndInstallKeepingThePreviousFile) {
    const std::string first = Build("号段,城市\n1380000,常州\n");
    const std::string second = Build("号段,城市\n1380000,苏州\n1540000,北京\n");
    std::string damaged = ReadFile(second);
    damaged.pop_back();
    WriteFile(P("damaged.dat"), damaged);

    const ProgramRun warned = Data({"check", second});
    EXPECT_EQ(warned.status, 0);
    EXPECT_NE(warned.out.find("warning: prefix 1540000: outside"), std::string::npos);
    EXPECT_NE(warned.out.find("0 errors, 1 warning"), std::string::npos) << warned.out;
    const ProgramRun refused = Data({"check", P("damaged.dat")});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.out.find("error: damaged: "), std::string::npos);

    const std::filesystem::path installed = Path("data") / "Numtrail" / "phone.dat";
    const std::filesystem::path previous = Path("data") / "Numtrail" / "phone.dat.previous";
    EXPECT_EQ(Data({"install", first}).status, 0);
    EXPECT_EQ(ReadFile(installed), ReadFile(first));
    EXPECT_FALSE(std::filesystem::exists(previous));
    EXPECT_EQ(Data({"install", "-"}, ReadFile(second)).status, 0);
    EXPECT_EQ(ReadFile(installed), ReadFile(second));
    EXPECT_EQ(ReadFile(previous), ReadFile(first));
    // The programs read it: numtrail-lookup without --data.
    const ProgramRun lookup =
        test::RunProgram(NUMTRAIL_LOOKUP_PROGRAM, {"--quiet", "-"}, "13800000000\n");
    EXPECT_NE(lookup.out.find("江苏,苏州"), std::string::npos) << lookup.out;

    EXPECT_EQ(Data({"install", P("damaged.dat")}).status, 1);
    EXPECT_EQ(Data({"install", second}).status, 0);
    EXPECT_EQ(ReadFile(installed), ReadFile(second));
    EXPECT_EQ(ReadFile(previous), ReadFile(first));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(installed.parent_path()), {}), 2);
}

// Rows that cannot be used are reported and the rest built; with --strict nothing is.
TEST_F(DataToolTest, StrictWritesNothingWhenARowCannotBeUsed) {
    WriteFile(P("t.csv"), "号段,城市\n1380000,常州\n13800a0,常州\n");
    const ProgramRun lenient = Data({"build", P("t.csv"), "-o", P("a.dat")});
    EXPECT_EQ(lenient.status, 0);
    EXPECT_NE(lenient.err.find(P("t.csv") + ":3: the prefix '13800a0'"), std::string::npos)
        << lenient.err;
    EXPECT_TRUE(std::filesystem::exists(P("a.dat")));
    const ProgramRun strict = Data({"build", "--strict", P("t.csv"), "-o", P("b.dat")});
    EXPECT_EQ(strict.status, 1);
    EXPECT_NE(strict.err.find(":3: the prefix"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(P("b.dat")));
}

TEST_F(DataToolTest, CommandLineConventions) {
    const std::string file = Build("号段,城市\n1380000,常州\n");
    WriteFile(P("t.csv"), "号段,城市\n1380000,常州\n");
    test::ExpectRuns(
        NUMTRAIL_DATA_PROGRAM,
        {
            {{"--help"}, 0, "install", ""},
            {{"build", "--help"}, 0, "--columns", ""},
            {{"diff", "--help"}, 0, "prefix,field,old,new", ""},
            {{"frobnicate"}, 2, nullptr, "unknown command 'frobnicate'"},
            {{}, 2, nullptr, "numtrail-data"},
            {{"build", P("t.csv")}, 2, nullptr, "--output"},
            {{"build", P("t.csv"), "-o", "x", "--columns", "号段,颜色"}, 2, nullptr, "颜色"},
            {{"build", P("t.csv"), "-o", "x", "--data-version", "12345"}, 2, nullptr, "12345"},
            {{"merge", file, "-o", P("m.dat")}, 2, nullptr, "OVERLAY"},
            {{"show", file, "12345"}, 2, nullptr, "'12345'"},
            {{"dump", P("missing.dat")}, 1, nullptr, "missing.dat"},
            {{"build", P("missing.csv"), "-o", "x"}, 1, nullptr, "missing.csv"},
            {{"dump", file, "-o", P("none") + "/x.csv"}, 1, nullptr, "none"},
        });
}

}  // namespace
}  // namespace numtrail
