#include "app/local_lookups.h"

#include <QDir>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <fstream>
#include <set>
#include <sstream>

#include "app/form1_fixture.h"
#include "attribution/attributor.h"
#include "attribution/data_file.h"
#include "attribution/data_file_builder.h"
#include "lookup/http_fetcher.h"
#include "service/attribution_service.h"
#include "support/run_program.h"
#include "support/stand_in_upstream.h"

namespace numtrail::test {
namespace {

using attribution::testing::DataFileBuilder;

// The inodes of the TCP sockets this process listens on.
std::set<std::string> ListeningSockets() {
    std::set<std::string> listening;
    for (const char* table : {"/proc/self/net/tcp", "/proc/self/net/tcp6"}) {
        std::ifstream in(table);
        std::string line;
        std::getline(in, line);  // the header
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
            fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >>
                timeout >> inode;
            if (state == "0A") listening.insert("socket:[" + inode + "]");
        }
    }
    std::set<std::string> ours;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const std::string target = std::filesystem::read_symlink(fd.path(), error).string();
        if (listening.contains(target)) ours.insert(target);
    }
    return ours;
}

// The window answers from the program's own data: no endpoint, no server, no update check.
// The user's data, journal and cache folders are the test's own.
class LocalLookupsTest : public Form1Test {
  protected:
    LocalLookupsTest() {
        for (const char* name : {"XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
            saved_.emplace_back(name, qgetenv(name));
            qputenv(name, folder.path().toUtf8());
        }
    }
    ~LocalLookupsTest() override {
        form.reset();
        for (const auto& [name, value] : saved_)
            value.isNull() ? qunsetenv(name) : qputenv(name, value);
    }

    // A data file that places 139 0519 and says nothing of 139 0520.
    QString WriteData() {
        DataFileBuilder builder;
        builder.records = {"江苏|常州|213000|0519"};
        builder.entries = {{1390519, 0, 1}};
        const QString data = QDir(folder.path()).filePath(QStringLiteral("prefixes.dat"));
        attribution::testing::WriteFile(data.toStdString(), builder.Build());
        return data;
    }

    // The window as the program makes it for a command line.
    Form1& CreateFor(const QStringList& arguments) {
        const OptionsOutcome parsed = ParseOptions(QStringList{"numtrail"} + arguments);
        EXPECT_TRUE(parsed.options);
        options = *parsed.options;
        local = std::make_unique<LocalLookups>(options);
        settings = WindowSettings(options, local.get(), folder.path());
        settings.help_folder.clear();
        Create().Load();
        return *form;
    }

    void Query(const QString& entry) {
        fake.dialogs.ExpectInput(entry);
        Option(0)->click();
    }

    AppOptions options;
    std::unique_ptr<LocalLookups> local;

  private:
    std::vector<std::pair<const char*, QByteArray>> saved_;
};

TEST_F(LocalLookupsTest, WithoutLookupUrlTheWindowAnswersFromItsOwnData) {
    CreateFor({"--data", WriteData()});
    EXPECT_TRUE(options.update_url.isEmpty());
    // Nothing to ask for updates: the window is ready as after an up-to-date check.
    EXPECT_TRUE(fake.dialogs.Prompts().empty());
    EXPECT_EQ(Panel2(), QStringLiteral("欢迎使用Quorvel系列软件 .."));
    EXPECT_TRUE(Option(1)->isChecked());
    Query(QStringLiteral("13905191234"));
    EXPECT_EQ(Row(0), (QStringList{"13905191234", "江苏", "常州", "0519", "213000", "中国移动"}));
    EXPECT_TRUE(TopRowSelected());
    EXPECT_TRUE(fake.fetcher.urls.isEmpty());
}

TEST_F(LocalLookupsTest, WithoutDataFileTheBuiltInDataAnswers) {
    CreateFor({});
    Query(QStringLiteral("13800138000"));
    // Only what every source agrees on: a Beijing China Mobile number, dialled as 010.
    const QStringList row = Row(0);
    ASSERT_EQ(row.size(), 6);
    EXPECT_EQ(row[0], QStringLiteral("13800138000"));
    EXPECT_EQ(row[1], QStringLiteral("北京"));
    EXPECT_EQ(row[3], QStringLiteral("010"));
    EXPECT_EQ(row[5], QStringLiteral("中国移动"));
    EXPECT_EQ(Panel2(), QStringLiteral("查询完毕.."));
}

// A window started without options holds no listening socket, before and after lookups: no
// other program or web page can ask it anything.
TEST_F(LocalLookupsTest, WindowWithoutOptionsOpensNoPort) {
    const std::set<std::string> before = ListeningSockets();
    CreateFor({});
    EXPECT_EQ(ListeningSockets(), before);
    Query(QStringLiteral("13800138000"));
    EXPECT_EQ(RowCount(), 1);
    EXPECT_EQ(ListeningSockets(), before);
    EXPECT_TRUE(fake.fetcher.urls.isEmpty());
}

// The same numbers give the same rows, whether the window asks the service over HTTP or the
// attribution core in itself: a data file's prefix, built-in data, an allocated segment that
// nothing places (未知), an unallocated one, and entries that are no number.
TEST_F(LocalLookupsTest, InProcessRowsAreTheServicesRows) {
    const QString data = WriteData();
    const QString list = QDir(folder.path()).filePath(QStringLiteral("list.txt"));
    std::ofstream(list.toStdString())
        << "13905191234\r\n+86 138 0013 8000\r\n16612345678\r\n15400000000\r\n"
           "1380013800\r\n00000000000\r\n13905201234\r\n19912345678\r\n";
    const auto batch = [&] {
        fake.dialogs.ExpectOpenFile(list);
        Button("Command2")->click();
        Button("Command3")->click();
        for (int tick = 0; tick < 8; ++tick) Find<BatchRunner>("BatchRunner")->Tick();
        QList<QStringList> rows;
        for (int r = 0; r < RowCount(); ++r) rows << Row(r);
        return std::pair(rows, Find<QProgressBar>("ProgressBar1")->text());
    };

    service::ServiceOptions service_options;
    service_options.port = 0;
    service_options.data_file = std::filesystem::path(data.toStdString());
    const auto service = service::AttributionService::Start(service_options);
    HttpFetcher http;
    fake.fetcher.otherwise = [&http](const QString& url) { return http.Fetch(url); };
    settings.lookup_url = QStringLiteral("http://127.0.0.1:%1/query").arg(service->Port());
    settings.update_url.clear();
    Create().Load();
    const auto over_http = batch();

    form.reset();
    CreateFor({"--data", data});
    const auto in_process = batch();
    EXPECT_EQ(in_process, over_http);
    EXPECT_EQ(in_process.first.size(), 5);
    EXPECT_EQ(in_process.second, QStringLiteral("写入5行，无归属2个，格式错误1个，重试0次"));
}

// Landlines are answered by their area code and 400/800 numbers nationwide, from local data,
// in a single query as in a batch; a typed line gives its first number.
TEST_F(LocalLookupsTest, LandlinesAndServiceNumbersGetRows) {
    CreateFor({});
    Query(QStringLiteral("张伟 010-62345678"));
    EXPECT_EQ(Row(0), (QStringList{"01062345678", "北京", "北京", "010", "100000", "固定电话"}));
    EXPECT_EQ(Panel2(), QStringLiteral("查询完毕.."));

    Option(1)->click();
    const QString list = QDir(folder.path()).filePath(QStringLiteral("list.txt"));
    std::ofstream(list.toStdString())
        << "深圳总机 (0755) 8600-1234\r\n客服 400-800-1234 / 800 810 8888\r\n"
           "旧号 0733-1234567\r\n";
    fake.dialogs.ExpectOpenFile(list);
    Button("Command2")->click();
    Button("Command3")->click();
    for (int tick = 0; tick < 4; ++tick) Find<BatchRunner>("BatchRunner")->Tick();
    ASSERT_EQ(RowCount(), 4);
    EXPECT_EQ(Row(0), (QStringList{"8008108888", "全国", "", "", "", "800电话"}));
    EXPECT_EQ(Row(1), (QStringList{"4008001234", "全国", "", "", "", "400电话"}));
    EXPECT_EQ(Row(2), (QStringList{"075586001234", "广东", "深圳", "0755", "518000", "固定电话"}));
    // 0733 is a code no city dials any more: no number, reported as the line stood.
    EXPECT_EQ(Find<QProgressBar>("ProgressBar1")->text(),
              QStringLiteral("写入3行，无归属0个，格式错误1个，重试0次"));
}

// An online request that waits keeps nothing else waiting: the window answers clicks, and
// the answer comes in when the online service gives it.
TEST_F(LocalLookupsTest, UpstreamRequestInFlightDoesNotBlockTheWindow) {
    StandInUpstream upstream([](const std::string& number) {
        StandInUpstream::Reply reply =
            StandInUpstream::Attribution(number, "江苏", "常州", "0519", "213000", "中国联通");
        reply.delay = std::chrono::seconds(30);
        return reply;
    });
    CreateFor({"--upstream", QString::fromStdString(upstream.Url())});

    bool clicked_while_waiting = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (upstream.Requests().size() != 1 || clicked_while_waiting) return;
        Button("Command1")->click();
        clicked_while_waiting = fake.shell.opened.size() == 1 && RowCount() == 0;
        upstream.EndDelays();
    });
    poll.start(10);
    Query(QStringLiteral("16612345678"));  // a segment that local data places nowhere
    EXPECT_TRUE(clicked_while_waiting);
    EXPECT_EQ(Row(0), (QStringList{"16612345678", "江苏", "常州", "0519", "213000", "中国联通"}));
    EXPECT_EQ(Panel2(), QStringLiteral("查询完毕.."));
}

// The online service's refusal stops the batch on its entry, as a refusal online does.
TEST_F(LocalLookupsTest, UpstreamRefusalStopsTheBatch) {
    StandInUpstream upstream([](const std::string&) { return StandInUpstream::Refusal(); });
    CreateFor({"--upstream", QString::fromStdString(upstream.Url())});
    const QString list = QDir(folder.path()).filePath(QStringLiteral("list.txt"));
    std::ofstream(list.toStdString()) << "16612345678\r\n13800138000\r\n";
    fake.dialogs.ExpectOpenFile(list);
    Button("Command2")->click();
    Button("Command3")->click();
    fake.dialogs.ExpectMessage(MessageAnswer::Ok);
    Find<BatchRunner>("BatchRunner")->Tick();
    ASSERT_EQ(fake.dialogs.Messages().size(), 1u);
    EXPECT_EQ(fake.dialogs.Messages()[0].text, QStringLiteral("查询受限,请等待片刻点击继续查询.."));
    EXPECT_EQ(Panel2(), QStringLiteral("批量查询已停止.."));
    EXPECT_EQ(ListRow(), 0);
    EXPECT_EQ(RowCount(), 0);
}

TEST_F(LocalLookupsTest, WithoutDataOptionTheFileInTheUsersDataDirectoryIsRead) {
    AppOptions options = *ParseOptions({QStringLiteral("numtrail")}).options;
    const QString expected = QDir(folder.path()).filePath(QStringLiteral("Numtrail/phone.dat"));
    EXPECT_TRUE(DataSourceText(options).contains(expected))
        << DataSourceText(options).toStdString();

    QDir(folder.path()).mkpath(QStringLiteral("Numtrail"));
    attribution::testing::WriteFile(expected.toStdString(), DataFileBuilder().Build());
    const LocalLookups lookups(options);
    EXPECT_EQ(options.data_file, expected);
    EXPECT_TRUE(DataSourceText(options).startsWith(QStringLiteral("归属地数据：") + expected));
}

TEST_F(LocalLookupsTest, GivenEndpointIsAskedAndDamagedDataIsRefused) {
    AppOptions given = *ParseOptions({"numtrail", "--lookup-url", "http://h:1/q"}).options;
    EXPECT_EQ(given.update_url, QStringLiteral("http://h:1"));
    EXPECT_EQ(WindowSettings(given, nullptr, folder.path()).attributor, nullptr);

    const QString damaged = QDir(folder.path()).filePath(QStringLiteral("damaged.dat"));
    attribution::testing::WriteFile(damaged.toStdString(), {'2', '4', '0', '1', 0xFF, 0xFF, 0, 0});
    AppOptions options = *ParseOptions({"numtrail", "--data", damaged}).options;
    EXPECT_THROW(LocalLookups{options}, attribution::DataFileError);

    const OptionsOutcome both =
        ParseOptions({"numtrail", "--data", damaged, "--lookup-url", "http://h:1/q"});
    EXPECT_FALSE(both.options);
    EXPECT_EQ(both.exit_code, 2);
}

TEST_F(LocalLookupsTest, UpstreamGoesThroughTheCacheInTheUsersCache) {
    AppOptions options =
        *ParseOptions({"numtrail", "--upstream", "http://127.0.0.1:1/query"}).options;
    LocalLookups lookups(options);
    EXPECT_EQ(lookups.UpstreamCacheFile(),
              std::filesystem::path(folder.path().toStdString()) / "Numtrail/prefixes.sqlite");
    // What local data does not place waits for the online service; the rest does not.
    EXPECT_TRUE(lookups.Attributor().MayBlock(attribution::MobileNumber("16612345678")));
    EXPECT_FALSE(lookups.Attributor().MayBlock(attribution::MobileNumber("13800138000")));
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
    EXPECT_EQ(ParseOptions({"numtrail"}).options->journal_days, 30);
    for (const auto& [days, kept] :
         {std::pair{"1", 1}, {"3650", 3650}, {"0", 0}, {"3651", 0}, {"-5", 0}, {"30d", 0}}) {
        const OptionsOutcome outcome = ParseOptions({"numtrail", "--journal-days", days});
        EXPECT_EQ(outcome.exit_code, kept == 0 ? 2 : 0) << days;
        if (kept != 0) {
            EXPECT_EQ(outcome.options->journal_days, kept) << days;
        }
    }
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
