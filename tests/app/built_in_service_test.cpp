#include "app/built_in_service.h"

#include <QDir>
#include <QTemporaryDir>

#include "app/form1_fixture.h"
#include "attribution/data_file_builder.h"
#include "lookup/http_fetcher.h"
#include "support/run_program.h"

namespace numtrail::test {
namespace {

using attribution::testing::DataFileBuilder;

// The window fetches for real from the service it started, the manifest included.
class BuiltInServiceTest : public Form1Test {
  protected:
    BuiltInServiceTest() {
        fake.fetcher.otherwise = [this](const QString& url) { return http.Fetch(url); };
    }
    HttpFetcher http;
};

TEST_F(BuiltInServiceTest, WithoutLookupUrlTheProgramAnswersFromItsOwnService) {
    DataFileBuilder builder;
    builder.records = {"江苏|常州|213000|0519"};
    builder.entries = {{1391234, 0, 1}};
    const QString data = QDir(folder.path()).filePath(QStringLiteral("prefixes.dat"));
    attribution::testing::WriteFile(data.toStdString(), builder.Build());

    const OptionsOutcome parsed =
        ParseOptions({QStringLiteral("numtrail"), QStringLiteral("--data"), data});
    ASSERT_TRUE(parsed.options);
    AppOptions options = *parsed.options;
    const auto running = StartBuiltInService(options);
    ASSERT_NE(running, nullptr);
    EXPECT_EQ(options.lookup_url, QStringLiteral("http://127.0.0.1:%1/query").arg(running->Port()));
    EXPECT_EQ(options.update_url, QStringLiteral("http://127.0.0.1:%1").arg(running->Port()));

    settings.lookup_url = options.lookup_url;
    settings.update_url = options.update_url;
    Create().Load();  // the built-in service also answers the manifest: no failure box
    EXPECT_TRUE(fake.dialogs.Prompts().empty());
    fake.dialogs.ExpectInput(QStringLiteral("13912345678"));
    Option(0)->click();
    EXPECT_EQ(Row(0), (QStringList{"13912345678", "江苏", "常州", "0519", "213000", "中国移动"}));
}

TEST_F(BuiltInServiceTest, WithoutDataFileTheBuiltInDataAnswers) {
    AppOptions options = *ParseOptions({QStringLiteral("numtrail")}).options;
    const auto running = StartBuiltInService(options);
    settings.lookup_url = options.lookup_url;
    settings.update_url = options.update_url;
    Create().Load();
    fake.dialogs.ExpectInput(QStringLiteral("13800138000"));
    Option(0)->click();
    // Only what every source agrees on: a Beijing China Mobile number, dialled as 010.
    const QStringList row = Row(0);
    ASSERT_EQ(row.size(), 6);
    EXPECT_EQ(row[0], QStringLiteral("13800138000"));
    EXPECT_EQ(row[1], QStringLiteral("北京"));
    EXPECT_EQ(row[3], QStringLiteral("010"));
    EXPECT_EQ(row[5], QStringLiteral("中国移动"));
    EXPECT_EQ(Panel2(), QStringLiteral("查询完毕.."));
}

// The program's fetcher asks its own service directly and gets what the network fetch gets;
// other addresses, and every address while the service asks online, go to the network fetch.
TEST_F(BuiltInServiceTest, OwnServiceIsAskedDirectly) {
    struct PassedOn final : Fetcher {
        FetchResult Fetch(const QString& url) override {
            urls << url;
            return {true, QStringLiteral("passed on"), {}};
        }
        QStringList urls;
    } other;
    AppOptions options = *ParseOptions({QStringLiteral("numtrail")}).options;
    const auto running = StartBuiltInService(options);
    BuiltInServiceFetcher direct(*running, options, {}, other);
    for (const QString& url : {options.lookup_url + "?m=13800138000&output=json&callback=cb",
                               options.update_url + "/version/main.txt"}) {
        const FetchResult got = direct.Fetch(url);
        const FetchResult expected = http.Fetch(url);
        EXPECT_TRUE(got.ok && expected.ok) << got.failure.toStdString();
        EXPECT_EQ(got.body, expected.body);
    }
    EXPECT_TRUE(other.urls.isEmpty());
    EXPECT_EQ(direct.Fetch(QStringLiteral("http://127.0.0.2:1/query")).body, "passed on");

    const QString lookup = options.lookup_url + "?m=13800138000";
    FetchOptions small;
    small.max_body_bytes = 10;
    EXPECT_FALSE(BuiltInServiceFetcher(*running, options, small, other).Fetch(lookup).ok);
    options.upstream_url = QStringLiteral("http://online.test/query");
    EXPECT_EQ(BuiltInServiceFetcher(*running, options, {}, other).Fetch(lookup).body, "passed on");
    EXPECT_EQ(other.urls.size(), 2);
}

TEST_F(BuiltInServiceTest, WithoutDataOptionTheFileInTheUsersDataDirectoryIsRead) {
    const bool was_set = qEnvironmentVariableIsSet("XDG_DATA_HOME");
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", folder.path().toUtf8());
    AppOptions options = *ParseOptions({QStringLiteral("numtrail")}).options;
    const QString expected = QDir(folder.path()).filePath(QStringLiteral("Numtrail/phone.dat"));
    EXPECT_TRUE(DataSourceText(options).contains(expected))
        << DataSourceText(options).toStdString();

    QDir(folder.path()).mkpath(QStringLiteral("Numtrail"));
    attribution::testing::WriteFile(expected.toStdString(), DataFileBuilder().Build());
    const auto running = StartBuiltInService(options);
    was_set ? qputenv("XDG_DATA_HOME", saved) : qunsetenv("XDG_DATA_HOME");
    EXPECT_EQ(options.data_file, expected);
    EXPECT_TRUE(DataSourceText(options).startsWith(QStringLiteral("归属地数据：") + expected));
}

TEST_F(BuiltInServiceTest, GivenEndpointStartsNothingAndDamagedDataIsRefused) {
    AppOptions given = *ParseOptions({"numtrail", "--lookup-url", "http://h:1/q"}).options;
    EXPECT_EQ(StartBuiltInService(given), nullptr);
    EXPECT_EQ(given.update_url, QStringLiteral("http://h:1"));

    const QString damaged = QDir(folder.path()).filePath(QStringLiteral("damaged.dat"));
    attribution::testing::WriteFile(damaged.toStdString(), {'2', '4', '0', '1', 0xFF, 0xFF, 0, 0});
    AppOptions options = *ParseOptions({"numtrail", "--data", damaged}).options;
    EXPECT_THROW(StartBuiltInService(options), service::ServiceError);

    const OptionsOutcome both =
        ParseOptions({"numtrail", "--data", damaged, "--lookup-url", "http://h:1/q"});
    EXPECT_FALSE(both.options);
    EXPECT_EQ(both.exit_code, 2);
}

TEST_F(BuiltInServiceTest, UpstreamGoesToTheBuiltInServiceWithItsCacheInTheUsersCache) {
    const bool was_set = qEnvironmentVariableIsSet("XDG_CACHE_HOME");
    const QByteArray saved = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", folder.path().toUtf8());
    AppOptions options =
        *ParseOptions({"numtrail", "--upstream", "http://127.0.0.1:1/query"}).options;
    const auto running = StartBuiltInService(options);
    was_set ? qputenv("XDG_CACHE_HOME", saved) : qunsetenv("XDG_CACHE_HOME");
    EXPECT_EQ(running->UpstreamCacheFile(),
              std::filesystem::path(folder.path().toStdString()) / "Numtrail/prefixes.sqlite");
    EXPECT_EQ(ParseOptions({"numtrail", "--upstream", "http://u/q", "--lookup-url", "http://h/q"})
                  .exit_code,
              2);
}

TEST(Options, TimeoutAndUpdateUrl) {
    const AppOptions a =
        *ParseOptions({"numtrail", "--lookup-url", "http://h:8/a/b?x=1", "--timeout", "7"}).options;
    EXPECT_EQ(a.update_url, QStringLiteral("http://h:8"));
    EXPECT_EQ(a.timeout_seconds, 7);
    // Both ends of the range are taken, what lies beyond them refused.
    for (const auto& [seconds, status] :
         {std::pair{"1", 0}, {"86400", 0}, {"0", 2}, {"86401", 2}, {"2147484", 2}}) {
        const OptionsOutcome outcome = ParseOptions({"numtrail", "--timeout", seconds});
        EXPECT_EQ(outcome.exit_code, status) << seconds;
        EXPECT_EQ(bool(outcome.options), status == 0) << seconds;
    }
    EXPECT_EQ(ParseOptions({"numtrail", "--update-url", "http://u"}).options->update_url,
              QStringLiteral("http://u"));
    EXPECT_FALSE(ParseOptions({"numtrail", "--version"}).options);
}

// The build folder has the pages beside the program; an installed program under share.
TEST(Options, HelpPagesBesideTheProgramOrInstalled) {
    QTemporaryDir root;
    const QDir dir(root.path());
    dir.mkpath(QStringLiteral("build/help"));
    dir.mkpath(QStringLiteral("usr/bin"));
    dir.mkpath(QStringLiteral("usr/share/numtrail/help"));
    dir.mkpath(QStringLiteral("bare"));
    EXPECT_EQ(HelpFolder(dir.filePath("build")), dir.filePath("build"));
    EXPECT_EQ(HelpFolder(dir.filePath("usr/bin")), dir.filePath("usr/share/numtrail"));
    EXPECT_EQ(HelpFolder(dir.filePath("bare")), dir.filePath("bare"));
}

TEST(Options, JournalGoesUnderTheDataHomeUnlessTurnedOff) {
    const bool was_set = qEnvironmentVariableIsSet("XDG_DATA_HOME");
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", "/data/home");
    const QString on = JournalFolder(*ParseOptions({"numtrail"}).options);
    const QString off = JournalFolder(*ParseOptions({"numtrail", "--no-journal"}).options);
    was_set ? qputenv("XDG_DATA_HOME", saved) : qunsetenv("XDG_DATA_HOME");
    EXPECT_EQ(on, QStringLiteral("/data/home/Numtrail/journal"));
    EXPECT_EQ(off, QString());
}

// Answered before the program asks for a display: with none, and a platform that does not
// exist, any attempt at a window would abort. Qt's own options are left to Qt.
TEST(Options, HelpVersionAndUsageErrorsNeedNoDisplay) {
    const auto run = [](std::vector<std::string> options) {
        std::vector<std::string> words = {"-u",
                                          "DISPLAY",
                                          "-u",
                                          "WAYLAND_DISPLAY",
                                          "QT_QPA_PLATFORM=no-such-platform",
                                          NUMTRAIL_PROGRAM};
        words.insert(words.end(), options.begin(), options.end());
        return RunProgram("/usr/bin/env", words);
    };
    const ProgramRun version = run({"--version"});
    const ProgramRun help = run({"--help"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "numtrail V4.1\n");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: " NUMTRAIL_PROGRAM " [options]\n", 0), 0u) << help.out;
    EXPECT_NE(help.out.find("--lookup-url"), std::string::npos);
    const std::pair<std::vector<std::string>, const char*> errors[] = {
        {{"--bogus"}, "bogus"},
        {{"-platform", "offscreen", "--timeout", "0"}, "--timeout"},
        {{"--style=fusion", "-reverse", "stray"}, "stray"},
    };
    for (const auto& [options, message] : errors) {
        const ProgramRun error = run(options);
        EXPECT_EQ(error.status, 2) << options[0] << error.err;
        EXPECT_NE(error.err.find(message), std::string::npos) << error.err;
        EXPECT_EQ(error.out, "");
    }
}

TEST(Options, QtsOwnOptionsAreLeftToQt) {
    EXPECT_EQ(WithoutToolkitOptions({"numtrail", "-platform", "offscreen", "--data", "f.dat",
                                     "--style=fusion", "-reverse", "--qwindowtitle", "t",
                                     "--timeout", "5"}),
              (QStringList{"numtrail", "--data", "f.dat", "--timeout", "5"}));
}

}  // namespace
}  // namespace numtrail::test
