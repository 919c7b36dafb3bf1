#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>

#include "service/attribution_service.h"
#include "service/data_file_builder.h"
#include "support/expect_runs.h"

namespace numtrail::service {
namespace {

class ServiceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::DataFileBuilder b;
        b.records = {"江苏|常州|213000|0519", "北京|北京|100000|010"};
        b.entries = {{1390519, 0, 1}, {1391000, 1, 2}};
        data_path = dir.path() / "prefixes.dat";
        testing::WriteFile(data_path, b.Build());
    }

    std::unique_ptr<AttributionService> StartService(int limit = 0) {
        ServiceOptions options;
        options.port = 0;
        options.data_file = data_path;
        options.limit_per_second = limit;
        options.builtin_data = false;
        return AttributionService::Start(options);
    }

    testing::TempDir dir;
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
    testing::WriteFile(data_path, bytes);
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
    testing::WriteFile(data_path, {'V', '0', '0', '1', 8, 0, 0, 0, 1});
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
    test::ExpectRuns(NUMTRAIL_SERVICE_PROGRAM, {
                                                   {{"--version"}, 0, "numtrail-service V", ""},
                                                   {{"--help"}, 0, "--upstream-interval MS", ""},
                                                   {{"--port=70000"}, 2, nullptr, "70000"},
                                                   {{"--cache-days=3"}, 2, nullptr, "--upstream"},
                                               });
}

// Without --data the program reads Numtrail/phone.dat from the user's data directory: a
// damaged one there stops it like a damaged --data file.
TEST_F(ServiceTest, ProgramReadsTheDataFileInTheUsersDataDirectory) {
    const auto default_file = dir.path() / "Numtrail" / "phone.dat";
    std::filesystem::create_directories(default_file.parent_path());
    testing::WriteFile(default_file, {'V', '0', '0', '1', 8, 0, 0, 0, 1});
    // A program that ignored the file would serve on: the time limit ends it with status 124.
    const auto [output, status] =
        RunCommand("XDG_DATA_HOME='" + dir.path().string() + "' timeout 10 " +
                   NUMTRAIL_SERVICE_PROGRAM + " --port 0 2>&1");
    EXPECT_EQ(status, 1);
    EXPECT_NE(output.find(default_file.string()), std::string::npos) << output;
}

}  // namespace
}  // namespace numtrail::service
