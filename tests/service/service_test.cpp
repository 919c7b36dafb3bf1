#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>

#include "attribution/data_file_builder.h"
#include "service/attribution_service.h"
#include "service/rate_limiter.h"
#include "service/raw_client.h"
#include "support/expect_runs.h"

namespace numtrail::service {
namespace {

class ServiceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        attribution::testing::DataFileBuilder b;
        b.records = {"江苏|常州|213000|0519", "北京|北京|100000|010"};
        b.entries = {{1390519, 0, 1}, {1391000, 1, 2}};
        data_path = dir.path() / "prefixes.dat";
        attribution::testing::WriteFile(data_path, b.Build());
    }

    std::unique_ptr<AttributionService> StartService(int limit = 0) {
        ServiceOptions options;
        options.port = 0;
        options.data_file = data_path;
        options.limit_per_second = limit;
        options.builtin_data = false;
        return AttributionService::Start(options);
    }

    attribution::testing::TempDir dir;
    std::filesystem::path data_path;
};

TEST_F(ServiceTest, AnswersOverHttpWithKeepAlive) {
    auto service = StartService();
    ASSERT_GT(service->Port(), 0);
    httplib::Client client("127.0.0.1", service->Port());
    client.set_keep_alive(true);
    // As Qt's network access asks: answers this small go out as they are all the same.
    client.set_default_headers({{"Accept-Encoding", "zstd, br, gzip, deflate"}});
    for (int i = 0; i < 20; ++i) {
        auto res = client.Get("/api?m=13905191234&output=json&callback=querycallback");
        ASSERT_TRUE(res) << httplib::to_string(res.error());
        EXPECT_EQ(res->status, 200);
        EXPECT_FALSE(res->has_header("Content-Encoding"));
        EXPECT_EQ(res->get_header_value("Content-Type"), "text/javascript; charset=utf-8");
        EXPECT_EQ(res->body,
                  "querycallback({\"Mobile\":\"13905191234\",\"QueryResult\":\"True\","
                  "\"Province\":\"江苏\",\"City\":\"常州\",\"AreaCode\":\"0519\","
                  "\"PostCode\":\"213000\",\"TO\":\"中国移动\"});");
    }
    auto manifest = client.Get("/version/main.txt");
    ASSERT_TRUE(manifest);
    EXPECT_EQ(manifest->body, "sjhm:V4.1|");
    auto post = client.Post("/api?m=13905191234", "", "text/plain");
    ASSERT_TRUE(post);
    EXPECT_EQ(post->status, 405);
}

TEST_F(ServiceTest, LimitRefusesPastNPerSecondButKeepsTheManifest) {
    auto service = StartService(3);
    httplib::Client client("127.0.0.1", service->Port());
    int answered = 0, refused = 0;
    // Well within one window on any machine: the count restarts only after a full second.
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 6; ++i) {
        auto res = client.Get("/?m=13910001234");
        ASSERT_TRUE(res);
        (res->body.find("Runtime Error") != std::string::npos ? refused : answered)++;
    }
    auto manifest = client.Get("/version/main.txt");
    ASSERT_TRUE(manifest);
    EXPECT_EQ(manifest->body, "sjhm:V4.1|");
    if (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(900)) {
        EXPECT_EQ(answered, 3);
        EXPECT_EQ(refused, 3);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    auto again = client.Get("/?m=13910001234");
    ASSERT_TRUE(again);
    EXPECT_NE(again->body.find("北京"), std::string::npos);
}

TEST_F(ServiceTest, DamagedDataFileIsRefusedAtStart) {
    std::vector<std::uint8_t> bytes = {'V', '0', '0', '1', 0x40, 0, 0, 0};
    attribution::testing::WriteFile(data_path, bytes);
    try {
        StartService();
        FAIL() << "started with a damaged data file";
    } catch (const ServiceError& error) {
        EXPECT_NE(std::string(error.what()).find(data_path.string()), std::string::npos);
        EXPECT_NE(std::string(error.what()).find("past the end"), std::string::npos);
    }
}

TEST_F(ServiceTest, PortInUseAndStopTwice) {
    auto first = StartService();
    ServiceOptions options;
    options.port = first->Port();
    options.builtin_data = false;
    EXPECT_THROW(AttributionService::Start(options), ServiceError);
    first->Stop();
    first->Stop();
    httplib::Client client("127.0.0.1", first->Port());
    client.set_connection_timeout(std::chrono::seconds(1));
    EXPECT_FALSE(client.Get("/version/main.txt"));
}

TEST_F(ServiceTest, StartThenStopAtOnce) {
    for (int i = 0; i < 20; ++i) StartService()->Stop();
}

// Runs a shell command line; its output and exit status.
std::pair<std::string, int> RunCommand(const std::string& command) {
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return {"popen failed", -1};
    std::string output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
    const int status = pclose(pipe);
    return {output, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

// The program itself: a damaged file ends it with a non-zero status and names the file.
TEST_F(ServiceTest, ProgramExitsNonZeroOnADamagedFile) {
    attribution::testing::WriteFile(data_path, {'V', '0', '0', '1', 8, 0, 0, 0, 1});
    const auto [output, status] = RunCommand(std::string(NUMTRAIL_SERVICE_PROGRAM) +
                                             " --port 0 --data '" + data_path.string() + "' 2>&1");
    EXPECT_EQ(status, 1);
    EXPECT_NE(output.find(data_path.string()), std::string::npos) << output;
    EXPECT_NE(output.find("9-byte entries"), std::string::npos) << output;

    const int usage =
        std::system((std::string(NUMTRAIL_SERVICE_PROGRAM) + " --port x >/dev/null 2>&1").c_str());
    EXPECT_EQ(WEXITSTATUS(usage), 2);
}

TEST(ServiceProgramTest, CommandLineConventions) {
    test::ExpectRuns(NUMTRAIL_SERVICE_PROGRAM,
                     {
                         {{"--version"}, 0, "numtrail-service V", ""},
                         {{"--help"}, 0, "--upstream-interval MS", ""},
                         {{"--port=70000"}, 2, nullptr, "70000"},
                         {{"--cache-days=3"}, 2, nullptr, "--upstream"},
                         {{"--allow-from=10.0.0.1/8"}, 2, nullptr, "10.0.0.1/8"},
                         {{"--server-name=a.example:80"}, 2, nullptr, "a.example:80"},
                         {{"--max-upload=0"}, 2, nullptr, "0"},
                         {{"--listen=0.0.0.0", "--port=0"}, 1, nullptr, "--allow-from"},
                     });
}

// The program started in the background; stopped with SIGTERM, as a service manager does.
class RunningProgram {
  public:
    explicit RunningProgram(std::vector<std::string> args) {
        args.insert(args.begin(), NUMTRAIL_SERVICE_PROGRAM);
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        int out[2];
        EXPECT_EQ(pipe(out), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        EXPECT_EQ(posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        // "numtrail-service listening on 127.0.0.1:PORT"
        FILE* stream = fdopen(out[0], "r");
        char line[256] = {};
        if (std::fgets(line, sizeof line, stream) != nullptr) {
            const char* colon = std::strrchr(line, ':');
            port_ = colon ? std::atoi(colon + 1) : 0;
        }
        std::fclose(stream);
    }
    ~RunningProgram() {
        if (pid_ > 0) Stop();
    }
    int Port() const { return port_; }
    int Stop() {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

  private:
    pid_t pid_ = -1;
    int port_ = 0;
};

// The guard options reach every route of the program.
TEST(ServiceProgramTest, GuardOptionsApplyToEveryRoute) {
    RunningProgram program({"--port=0", "--server-name=[::1]", "--server-name=numtrail.example",
                            "--allow-from=127.0.0.1/32,::1", "--max-upload=1"});
    ASSERT_GT(program.Port(), 0);
    const auto ask = [&](const std::string& request, const char* from = "127.0.0.1") {
        test::RawClient client(program.Port(), from);
        client.Send(request + "Connection: close\r\n\r\n");
        return test::Status(client.ReadAll());
    };
    for (const char* target : {"/version/main.txt", "/?m=13800138000&callback=steal"}) {
        const std::string line = std::string("GET ") + target + " HTTP/1.1\r\n";
        EXPECT_EQ(ask(line + "Host: numtrail.example\r\n"), 200) << target;
        EXPECT_EQ(ask(line + "Host: [::1]:8443\r\n"), 200) << target;
        EXPECT_EQ(ask(line + "Host: numtrail.example\r\n", "127.0.0.2"), 403) << target;
        EXPECT_EQ(ask(line + "Host: attacker.example\r\n"), 403) << target;
        EXPECT_EQ(ask(line + "Host: numtrail.example\r\nSec-Fetch-Site: cross-site\r\n"), 403)
            << target;
    }
    EXPECT_EQ(ask("POST /upload HTTP/1.1\r\nHost: numtrail.example\r\nContent-Length: 1048577\r\n"),
              413);
    EXPECT_EQ(program.Stop(), 0);
}

// Without --data the program reads Numtrail/phone.dat from the user's data directory: a
// damaged one there stops it like a damaged --data file.
TEST_F(ServiceTest, ProgramReadsTheDataFileInTheUsersDataDirectory) {
    const auto default_file = dir.path() / "Numtrail" / "phone.dat";
    std::filesystem::create_directories(default_file.parent_path());
    attribution::testing::WriteFile(default_file, {'V', '0', '0', '1', 8, 0, 0, 0, 1});
    // A program that ignored the file would serve on: the time limit ends it with status 124.
    const auto [output, status] =
        RunCommand("XDG_DATA_HOME='" + dir.path().string() + "' timeout 10 " +
                   NUMTRAIL_SERVICE_PROGRAM + " --port 0 2>&1");
    EXPECT_EQ(status, 1);
    EXPECT_NE(output.find(default_file.string()), std::string::npos) << output;
}

TEST(RateLimiter, CountsWithinOneSecondWindows) {
    using namespace std::chrono_literals;
    RateLimiter limiter(3);
    const auto t0 = RateLimiter::Clock::time_point(100s);
    EXPECT_TRUE(limiter.Admit(t0));
    EXPECT_TRUE(limiter.Admit(t0 + 100ms));
    EXPECT_TRUE(limiter.Admit(t0 + 200ms));
    EXPECT_FALSE(limiter.Admit(t0 + 300ms));
    EXPECT_FALSE(limiter.Admit(t0 + 999ms));
    EXPECT_TRUE(limiter.Admit(t0 + 1000ms));
    EXPECT_TRUE(limiter.Admit(t0 + 1500ms));

    RateLimiter unlimited(0);
    for (int i = 0; i < 1000; ++i) EXPECT_TRUE(unlimited.Admit(t0));
}

TEST(BuiltinService, DataFileWinsAndTheRestIsBuiltIn) {
    attribution::testing::TempDir dir;
    attribution::testing::DataFileBuilder b;
    // The file's values win; only its empty postcodes and area codes come from the table.
    b.records = {"文件省|文件市|123456|0999", "江苏|常州||", "江苏省|常州市|213100|"};
    b.entries = {{1380013, 0, 3}, {1390519, 1, 1}, {1390520, 2, 1}};
    const auto path = dir.path() / "prefixes.dat";
    attribution::testing::WriteFile(path, b.Build());

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
    for (const auto& [number, filled] :
         {std::pair{"13905191234", "\"AreaCode\":\"0519\",\"PostCode\":\"213000\""},
          std::pair{"13905201234", "\"AreaCode\":\"0519\",\"PostCode\":\"213100\""}}) {
        auto res = client.Get(std::string("/?m=") + number);
        ASSERT_TRUE(res);
        EXPECT_NE(res->body.find(filled), std::string::npos) << res->body;
    }

    auto built_in = client.Get("/?m=13800100000&output=json&callback=querycallback");
    ASSERT_TRUE(built_in);
    EXPECT_EQ(built_in->body,
              "querycallback({\"Mobile\":\"13800100000\",\"QueryResult\":\"True\","
              "\"Province\":\"北京\",\"City\":\"北京\",\"AreaCode\":\"010\","
              "\"PostCode\":\"100000\",\"TO\":\"中国移动\"});");

    auto unplaced = client.Get("/?m=19912345678&output=json&callback=querycallback");
    ASSERT_TRUE(unplaced);
    EXPECT_EQ(unplaced->body,
              "querycallback({\"Mobile\":\"19912345678\",\"QueryResult\":\"True\","
              "\"Province\":\"未知\",\"City\":\"未知\",\"AreaCode\":\"\","
              "\"PostCode\":\"\",\"TO\":\"中国电信\"});");

    auto none = client.Get("/?m=14000000000&output=json&callback=querycallback");
    ASSERT_TRUE(none);
    EXPECT_NE(none->body.find("\"QueryResult\":\"False\""), std::string::npos);
}

}  // namespace
}  // namespace numtrail::service
