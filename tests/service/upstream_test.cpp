#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/wait.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "attribution/data_file_builder.h"
#include "attribution/protocol.h"
#include "attribution/upstream_resolver.h"
#include "platform/codepage.h"
#include "service/attribution_service.h"
#include "support/stand_in_upstream.h"

namespace numtrail::attribution {
namespace {

using namespace std::chrono_literals;
using test::StandInUpstream;
using Kind = UpstreamAnswer::Kind;
using service::AttributionService;
using service::ServiceOptions;

constexpr std::int64_t kDay = 24 * 60 * 60;

// 166 is a China Unicom segment that the built-in data places nowhere: locally it is 未知.
constexpr const char* kUnplaced = "16612345678";
constexpr const char* kLocalUnknown =
    "\"Province\":\"未知\",\"City\":\"未知\",\"AreaCode\":\"\",\"PostCode\":\"\","
    "\"TO\":\"中国联通\"";
constexpr const char* kOnline =
    "\"Province\":\"江苏\",\"City\":\"常州\",\"AreaCode\":\"0519\",\"PostCode\":\"213000\","
    "\"TO\":\"中国联通\"";

StandInUpstream::Reply Placed(const std::string& number) {
    return StandInUpstream::Attribution(number, "江苏", "常州", "0519", "213000", "中国联通");
}

class UpstreamTest : public ::testing::Test {
  protected:
    UpstreamOptions Options(std::chrono::milliseconds interval = 0ms) {
        UpstreamOptions options;
        options.url = upstream.Url();
        options.cache_file = cache;
        options.interval = interval;
        options.timeout = 2s;
        options.now = [this] { return now.load(); };
        options.warn = [this](const std::string& line) {
            std::lock_guard lock(warnings_mutex);
            warnings.push_back(line);
        };
        return options;
    }

    std::unique_ptr<AttributionService> StartService(UpstreamOptions upstream_options) {
        ServiceOptions options;
        options.port = 0;
        options.upstream = std::move(upstream_options);
        return AttributionService::Start(options);
    }

    static httplib::Result Get(const AttributionService& service, const std::string& target) {
        httplib::Client client("127.0.0.1", service.Port());
        return client.Get(target);
    }
    static std::string Query(const AttributionService& service, const std::string& number) {
        auto res = Get(service, "/query?m=" + number + "&output=json&callback=querycallback");
        return res ? res->body : "no answer: " + httplib::to_string(res.error());
    }

    std::size_t Requests() const { return upstream.Requests().size(); }
    std::vector<std::string> Warnings() {
        std::lock_guard lock(warnings_mutex);
        return warnings;
    }

    testing::TempDir dir;
    std::filesystem::path cache = dir.path() / "cache" / "prefixes.sqlite";
    std::atomic<std::int64_t> now{1'800'000'000};
    std::mutex warnings_mutex;
    std::vector<std::string> warnings;
    StandInUpstream upstream{Placed};
};

TEST(UpstreamAnswerTest, ReadsTheFiveValuesAsTheWindowDoes) {
    struct Case {
        std::string body, content_type;
        UpstreamReading::Kind kind;
        Record record;
    };
    const Case cases[] = {
        {StringToAnsiBytes(u"cb({\"TO\":\"移动\",\"Province\":\"江苏\"});"),
         "text/html; charset=GBK",
         UpstreamReading::Kind::Fields,
         {"江苏", "", "", "", "移动"}},
        // A blank after the colon is no match; a value without a closing quote is empty.
        {"{\"Province\": \"江苏\",\"City\":\"常州",
         "text/javascript",
         UpstreamReading::Kind::NotAnAnswer,
         {}},
        {"{\"Province\":\"江\x01苏\\\\\",\"City\":\"常州",
         "text/javascript",
         UpstreamReading::Kind::Fields,
         {"江苏", "", "", "", ""}},
        // The value runs to the next occurrence of the same key at most.
        {"{\"Province\":\"\",\"XProvince\":\"浙江\"}", "", UpstreamReading::Kind::Fields, {}},
        {"<title>Runtime Error</title>", "text/html", UpstreamReading::Kind::Refused, {}},
        {"", "", UpstreamReading::Kind::NotAnAnswer, {}},
    };
    for (const Case& c : cases) {
        const UpstreamReading reading = ReadUpstreamAnswer(c.body, c.content_type);
        EXPECT_EQ(reading.kind, c.kind) << c.body;
        EXPECT_EQ(reading.record, c.record) << c.body;
    }
}

TEST_F(UpstreamTest, ConcurrentQueriesForOnePrefixWaitForOneRequest) {
    upstream.SetHandler([](const std::string& number) {
        auto reply = Placed(number);
        reply.delay = 300ms;
        return reply;
    });
    UpstreamResolver resolver(Options());
    std::vector<std::thread> threads;
    std::vector<UpstreamAnswer> answers(8);
    for (int i = 0; i < 8; ++i)
        threads.emplace_back(
            [&, i] { answers[i] = resolver.Resolve("166123400" + std::to_string(10 + i)); });
    for (auto& t : threads) t.join();
    EXPECT_EQ(Requests(), 1u);
    for (const UpstreamAnswer& answer : answers) {
        ASSERT_EQ(answer.kind, Kind::Placed);
        EXPECT_EQ(answer.record->city, "常州");
    }
}

TEST_F(UpstreamTest, RequestsArePacedAcrossCallers) {
    UpstreamResolver resolver(Options(200ms));
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back(
            [&, i] { resolver.Resolve("16" + std::to_string(60 + i) + "1234567"); });
    for (auto& t : threads) t.join();
    const auto requests = upstream.Requests();
    ASSERT_EQ(requests.size(), 4u);
    for (std::size_t i = 1; i < requests.size(); ++i)
        // Half the interval: a busy machine may delay one request's connection more than
        // the next one's; unpaced requests come within a millisecond or two.
        EXPECT_GE(requests[i].at - requests[i - 1].at, 100ms) << i;
}

// 30,000 numbers over 300 prefixes not placed locally: one request for each prefix, and none
// after a restart on the same cache.
TEST_F(UpstreamTest, EachPrefixIsAskedOnceAndTheCacheSurvivesARestart) {
    const auto batch = [&](UpstreamResolver& resolver) {
        std::atomic<int> placed{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&, t] {
                for (int i = t; i < 30000; i += 4) {
                    const std::string number =
                        std::to_string(1660000 + i % 300) + std::to_string(1000 + i / 300);
                    placed += resolver.Resolve(number).kind == Kind::Placed;
                }
            });
        for (auto& t : threads) t.join();
        return placed.load();
    };
    {
        UpstreamResolver resolver(Options());
        EXPECT_EQ(batch(resolver), 30000);
        EXPECT_EQ(resolver.Stats().upstream_requests, 300u);
    }
    EXPECT_EQ(Requests(), 300u);
    const auto requests = upstream.Requests();
    EXPECT_TRUE(std::any_of(requests.begin(), requests.end(), [](const auto& request) {
        return request.target == "/query?m=16600001000&output=json&callback=querycallback";
    }));
    UpstreamResolver restarted(Options());
    EXPECT_EQ(batch(restarted), 30000);
    EXPECT_EQ(Requests(), 300u);
    EXPECT_EQ(restarted.Stats().cache_hits, 30000u);
}

TEST_F(UpstreamTest, RefusalReachesTheClientAndIsNotCached) {
    upstream.SetHandler([](const std::string&) { return StandInUpstream::Refusal(); });
    auto service = StartService(Options());
    auto refused = Get(*service, std::string("/query?m=") + kUnplaced);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 503);
    EXPECT_NE(refused->body.find("Runtime Error"), std::string::npos);

    upstream.SetHandler(Placed);
    EXPECT_NE(Query(*service, kUnplaced).find(kOnline), std::string::npos);
    EXPECT_EQ(Requests(), 2u);
    // Placed locally: never asked.
    EXPECT_NE(Query(*service, "13800138000").find("北京"), std::string::npos);
    EXPECT_EQ(Requests(), 2u);
    auto stats = Get(*service, "/stats");
    ASSERT_TRUE(stats);
    EXPECT_EQ(stats->body,
              "{\"queries_answered\":2,\"upstream_requests\":2,\"cache_hits\":0,"
              "\"upstream_failures\":0,\"refusals\":1}");
}

TEST_F(UpstreamTest, FailureAndTimeOutAnswerFromLocalDataAndCacheNothing) {
    const auto broken = [](StandInUpstream::Reply reply) {
        return [reply](const std::string& number) {
            StandInUpstream::Reply r = reply;
            if (r.body.empty()) r.body = Placed(number).body;
            return r;
        };
    };
    struct Case {
        const char* what;
        StandInUpstream::Handler handler;
        std::string url;  // empty: the stand-in
    };
    StandInUpstream::Reply reset, error_page, slow;
    reset.reset = true;
    error_page.status = 500;
    error_page.body = "<html>Internal Server Error</html>";
    slow.delay = 5s;
    const Case cases[] = {
        {"reset", broken(reset), ""},
        {"error page", broken(error_page), ""},
        {"time-out", broken(slow), ""},
        {"refused connection", Placed, "http://127.0.0.1:1/query"},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.what);
        const std::string number = "166" + std::to_string(i) + "1234567";
        upstream.SetHandler(c.handler);
        UpstreamOptions options = Options();
        options.timeout = 300ms;
        if (!c.url.empty()) options.url = c.url;
        auto service = StartService(options);
        const std::size_t before = Requests();
        EXPECT_NE(Query(*service, number).find(kLocalUnknown), std::string::npos);
        upstream.SetHandler(Placed);
        if (!c.url.empty()) continue;
        EXPECT_NE(Query(*service, number).find(kOnline), std::string::npos);
        EXPECT_EQ(Requests(), before + 2);
    }
    ASSERT_EQ(Warnings().size(), 4u);
    // The log names the prefix that was asked about, not the number someone looked up.
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const std::string number = "166" + std::to_string(i) + "1234567";
        EXPECT_EQ(Warnings()[i].find(number), std::string::npos) << Warnings()[i];
        EXPECT_NE(Warnings()[i].find(number.substr(0, 7)), std::string::npos) << Warnings()[i];
    }
}

TEST_F(UpstreamTest, AnswersExpireByTheInjectedClock) {
    struct Case {
        const char* number;
        StandInUpstream::Handler handler;
        std::int64_t lifetime;
    };
    const Case cases[] = {
        {"16610001234", Placed, 180 * kDay},
        {"16620001234",
         [](const std::string& number) {
             return StandInUpstream::Attribution(number, "", "", "", "", "");
         },
         kDay},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        upstream.SetHandler(c.handler);
        const std::int64_t fetched = now;
        const std::size_t before = Requests();
        UpstreamResolver resolver(Options());
        resolver.Resolve(c.number);
        now = fetched + c.lifetime - 1;
        UpstreamResolver restarted(Options());
        restarted.Resolve(c.number);
        EXPECT_EQ(Requests(), before + 1);
        now = fetched + c.lifetime;
        restarted.Resolve(c.number);
        EXPECT_EQ(Requests(), before + 2);
    }
}

TEST_F(UpstreamTest, DamagedCacheIsMovedAsideAndAFreshOneStarted) {
    std::filesystem::create_directories(cache.parent_path());
    const std::string junk(8192, 'x');
    std::ofstream(cache) << junk;
    {
        UpstreamResolver resolver(Options());
        EXPECT_EQ(resolver.Resolve(kUnplaced).kind, Kind::Placed);
    }
    const std::filesystem::path aside = cache.string() + ".corrupt-20270115-080000";
    ASSERT_TRUE(std::filesystem::exists(aside));
    std::ifstream moved(aside);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(moved), {}), junk);
    ASSERT_EQ(Warnings().size(), 1u);
    EXPECT_NE(Warnings()[0].find(aside.string()), std::string::npos);

    UpstreamResolver restarted(Options());
    EXPECT_EQ(restarted.Resolve(kUnplaced).kind, Kind::Placed);
    EXPECT_EQ(Requests(), 1u);
}

TEST_F(UpstreamTest, TwoServicesShareOneCache) {
    auto first = StartService(Options());
    auto second = StartService(Options());
    EXPECT_NE(Query(*first, "16610001234").find(kOnline), std::string::npos);
    EXPECT_NE(Query(*second, "16610005678").find(kOnline), std::string::npos);
    EXPECT_NE(Query(*second, "16620001234").find(kOnline), std::string::npos);
    EXPECT_NE(Query(*first, "16620005678").find(kOnline), std::string::npos);
    EXPECT_EQ(Requests(), 2u);
}

TEST_F(UpstreamTest, StopDoesNotWaitForTheUpstream) {
    upstream.SetHandler([](const std::string& number) {
        auto reply = Placed(number);
        reply.delay = 20s;
        return reply;
    });
    UpstreamOptions options = Options(10s);
    options.timeout = 20s;
    auto service = StartService(options);
    std::thread asking([&] { Query(*service, "16610001234"); });
    std::thread waiting([&] { Query(*service, "16620001234"); });  // waits for its slot
    std::this_thread::sleep_for(300ms);
    const auto start = std::chrono::steady_clock::now();
    service->Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    asking.join();
    waiting.join();
}

TEST(UpstreamProgramTest, RejectsBadUpstreamOptions) {
    for (const char* args :
         {"--upstream-interval 10x --upstream http://127.0.0.1:1/q", "--cache /tmp/x.sqlite",
          "--upstream ftp://127.0.0.1/q", "--upstream http://127.0.0.1:1/q?a=1"}) {
        const int status = std::system(
            (std::string(NUMTRAIL_SERVICE_PROGRAM) + " --port 0 " + args + " 2>/dev/null").c_str());
        EXPECT_EQ(WEXITSTATUS(status), 2) << args;
    }
}

}  // namespace
}  // namespace numtrail::attribution
