#include <QElapsedTimer>
#include <QFile>
#include <QUrlQuery>
#include <functional>

#include "app/form1_fixture.h"

namespace numtrail::test {
namespace {

const QString kFinished = QStringLiteral("所有手机号码已查询完毕!");
const QString kStopped = QStringLiteral("批量查询已停止..");
const QString kLimited = QStringLiteral("查询受限,请等待片刻点击继续查询..");

// The fields the stand-in service gives each number, so that a row shows whose answer it holds.
QStringList Expected(const QString& n) {
    return {n,
            QStringLiteral("省") + n.right(2),
            QStringLiteral("市") + n.right(2),
            QStringLiteral("0") + n.right(3),
            QStringLiteral("2") + n.right(5),
            QStringLiteral("卡") + n.right(2)};
}

StandInResponse AnswerFor(const QString& n) {
    const QStringList f = Expected(n);
    return StandInServer::Attribution(n, f[1], f[2], f[3], f[4], f[5]);
}

QString NumberOf(const StandInRequest& request) {
    return QUrlQuery(request.query).queryItemValue(QStringLiteral("m"));
}

class BatchTest : public Form1Test {
  protected:
    BatchTest() {
        settings.fetch.timeout_ms = 2000;
        // Every number gets its own answer unless a test says otherwise.
        server.Route(QStringLiteral("/query"), [this](const StandInRequest& request) {
            const QString n = NumberOf(request);
            return special.contains(n) ? special[n](n) : AnswerFor(n);
        });
    }

    QString WriteList(const QByteArray& bytes, const QString& name = QStringLiteral("list.txt")) {
        const QString path = folder.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    void Import(const QString& path) {
        fake.dialogs.ExpectOpenFile(path);
        Button("Command2")->click();
    }

    void ImportNumbers(const QStringList& numbers) {
        Import(WriteList(numbers.join(QStringLiteral("\r\n")).toLatin1()));
    }

    void ChooseSpeed(const QString& text) {
        auto* combo = Find<QComboBox>("Combo1");
        const int index = combo->findText(text);
        ASSERT_GE(index, 0) << text.toStdString();
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }

    void StartStop() { Button("Command3")->click(); }

    bool RunUntil(const std::function<bool()>& done, int timeout_ms = 5000) {
        QElapsedTimer clock;
        clock.start();
        while (!done()) {
            if (clock.elapsed() > timeout_ms) return false;
            RunEventsFor(10);
        }
        return true;
    }
    bool RunToTheEnd() {
        return RunUntil([this] { return Panel2() == kFinished && !Timer5()->isActive(); });
    }

    // The numbers asked of the service, in order.
    QStringList LookedUp() const {
        QStringList numbers;
        for (const StandInRequest& r : server.Requests())
            if (r.path == QStringLiteral("/query")) numbers << NumberOf(r);
        return numbers;
    }

    // The number's usual answer, held back for ms milliseconds.
    void AnswerSlowly(const QString& number, int ms) {
        special[number] = [ms](const QString& n) {
            StandInResponse r = AnswerFor(n);
            r.delay_ms = ms;
            return r;
        };
    }

    QString Caption() const { return Find<QGroupBox>("Frame4")->title(); }

    QMap<QString, std::function<StandInResponse(const QString&)>> special;
};

TEST_F(BatchTest, ImportReplacesTheListAndShowsItsCount) {
    CreateReady();
    Import(WriteList("13800138000\r\n\r\n13912345678"));
    EXPECT_EQ(List1()->count(), 2);
    EXPECT_EQ(List1()->item(1)->text(), QStringLiteral("13912345678"));
    EXPECT_EQ(Caption(), QStringLiteral("批量查询：2个手机号码"));
    EXPECT_EQ(Panel2(), QStringLiteral("号码列表加载成功!"));
    const RecordedPrompt dialog = fake.dialogs.Prompts().at(0);
    EXPECT_EQ(dialog.kind, RecordedPrompt::Kind::OpenFile);
    EXPECT_EQ(dialog.title, QStringLiteral("请选择手机号码文件"));
    EXPECT_EQ(dialog.filter, QStringLiteral("文本文件（TXT）|*.txt"));
    EXPECT_EQ(dialog.folder, settings.program_folder);

    // A list written with LF ends, blanks and a duplicate.
    Import(WriteList(" 13800138000 \n13800138000\n13800138000\n", QStringLiteral("lf.txt")));
    EXPECT_EQ(List1()->count(), 3);
    EXPECT_EQ(List1()->item(0)->text(), QStringLiteral("13800138000"));
    EXPECT_EQ(Caption(), QStringLiteral("批量查询：3个手机号码"));

    // Cancel keeps the earlier list and the panel.
    ChooseSpeed(QStringLiteral("1"));
    fake.dialogs.ExpectOpenFile(std::nullopt);
    Button("Command2")->click();
    EXPECT_EQ(List1()->count(), 3);
    EXPECT_EQ(Caption(), QStringLiteral("批量查询：3个手机号码"));
    EXPECT_EQ(Panel2(), QStringLiteral("当前速度为每1秒/次"));

    Import(WriteList("", QStringLiteral("empty.txt")));
    EXPECT_EQ(List1()->count(), 0);
    EXPECT_EQ(Caption(), QStringLiteral("批量查询：0个手机号码"));
    EXPECT_EQ(Panel2(), QStringLiteral("号码列表加载成功!"));
}

// As a phone or a spreadsheet saves a list: UTF-8 with a byte order mark and a header line.
TEST_F(BatchTest, ExportedListImportsWhole) {
    CreateReady();
    Import(
        WriteList("\xEF\xBB\xBF手机号\r\n+86 138 0013 8000\r\n139-1234-5678 \r\n"
                  "\t15000000001\r\n13800138000 张三\r\n"));
    EXPECT_EQ(Caption(), QStringLiteral("批量查询：4个手机号码"));
    ASSERT_EQ(List1()->count(), 4);
    EXPECT_EQ(List1()->item(3)->text(), QStringLiteral("13800138000 张三"));  // no number
    ChooseSpeed(QStringLiteral("0.1"));
    StartStop();
    ASSERT_TRUE(RunToTheEnd());
    EXPECT_EQ(LookedUp(), (QStringList{"13800138000", "13912345678", "15000000001"}));
}

TEST_F(BatchTest, UnreadableFileLeavesTheListAsItWas) {
    CreateReady();
    ImportNumbers({"13800138000"});
    const QString locked = WriteList("13912345678\r\n", QStringLiteral("locked.txt"));
    fake.files.read_faults[locked] = QStringLiteral("拒绝访问");
    fake.dialogs.ExpectOpenFile(locked);
    fake.dialogs.ExpectMessage(MessageAnswer::Ok);
    Button("Command2")->click();

    ASSERT_EQ(fake.dialogs.Messages().size(), 1u);
    const RecordedPrompt warning = fake.dialogs.Messages()[0];
    EXPECT_TRUE(warning.text.contains(QDir::toNativeSeparators(locked)));
    EXPECT_TRUE(warning.text.contains(QStringLiteral("拒绝访问")));
    EXPECT_EQ(warning.icon, MessageIcon::Exclamation);
    EXPECT_EQ(warning.title, QStringLiteral("Quorvel系列软件"));
    EXPECT_EQ(List1()->count(), 1);
    EXPECT_EQ(List1()->item(0)->text(), QStringLiteral("13800138000"));
    EXPECT_EQ(Caption(), QStringLiteral("批量查询：1个手机号码"));
}

TEST_F(BatchTest, SpeedChoiceSetsTheIntervalAndSaysSo) {
    CreateReady();
    ChooseSpeed(QStringLiteral("3"));
    EXPECT_EQ(Timer5()->interval(), 3000);
    EXPECT_EQ(Panel2(), QStringLiteral("当前速度为每3秒/次"));
    ChooseSpeed(QStringLiteral("0.5"));
    EXPECT_EQ(Timer5()->interval(), 500);
    EXPECT_EQ(Panel2(), QStringLiteral("当前速度为每0.5秒/次"));
    ChooseSpeed(QStringLiteral("0.1"));
    EXPECT_EQ(Timer5()->interval(), 100);
    ChooseSpeed(QStringLiteral("5"));
    EXPECT_EQ(Timer5()->interval(), 5000);
}

TEST_F(BatchTest, StartWithoutAListOnlyTellsTheUser) {
    CreateReady();
    fake.dialogs.ExpectMessage(MessageAnswer::Ok);
    StartStop();
    const QString text = QStringLiteral("请先导入手机号码后在进行批量查询!");
    ASSERT_EQ(fake.dialogs.Messages().size(), 1u);
    EXPECT_EQ(fake.dialogs.Messages()[0].text, text);
    EXPECT_EQ(fake.dialogs.Messages()[0].icon, MessageIcon::Information);
    EXPECT_EQ(fake.dialogs.Messages()[0].title, QStringLiteral("Quorvel系列软件"));
    EXPECT_EQ(Panel2(), text);
    EXPECT_EQ(Button("Command3")->text(), QStringLiteral("开始查询"));
    EXPECT_FALSE(Timer5()->isActive());
}

TEST_F(BatchTest, RunWorksThroughTheListAndAgainAfterItFinished) {
    CreateReady();
    const QStringList numbers{"13800138000", "13912345678", "15000000001"};
    ImportNumbers(numbers);
    ChooseSpeed(QStringLiteral("0.1"));
    StartStop();
    EXPECT_EQ(Panel2(), QStringLiteral("开始批量查询.."));
    EXPECT_EQ(Button("Command3")->text(), QStringLiteral("停止查询"));
    EXPECT_TRUE(Timer5()->isActive());
    for (const char* name : {"Command2", "Combo1", "List1"})
        EXPECT_FALSE(Find<QWidget>(name)->isEnabled()) << name;

    ASSERT_TRUE(RunToTheEnd());
    ASSERT_EQ(ListView1()->topLevelItemCount(), 3);
    EXPECT_EQ(Row(0), Expected(numbers[2]));
    EXPECT_EQ(Row(1), Expected(numbers[1]));
    EXPECT_EQ(Row(2), Expected(numbers[0]));
    EXPECT_EQ(LookedUp(), numbers);
    EXPECT_EQ(Button("Command3")->text(), QStringLiteral("停止查询"));
    EXPECT_EQ(List1()->currentRow(), 2);  // stays on the last entry
    EXPECT_FALSE(List1()->isEnabled());

    StartStop();
    EXPECT_EQ(Panel2(), kStopped);
    EXPECT_EQ(Button("Command3")->text(), QStringLiteral("开始查询"));
    for (const char* name : {"Command2", "Combo1", "List1"})
        EXPECT_TRUE(Find<QWidget>(name)->isEnabled()) << name;

    // The next run starts from the top again and asks for every entry once more.
    StartStop();
    ASSERT_TRUE(RunToTheEnd());
    EXPECT_EQ(LookedUp(), numbers + numbers);
    EXPECT_EQ(ListView1()->topLevelItemCount(), 6);
}

TEST_F(BatchTest, BadEntriesAreReportedAndSkipped) {
    CreateReady();
    special[QStringLiteral("15000000001")] = [](const QString& n) {
        return StandInServer::Attribution(n, QString(), QStringLiteral("市"), {}, {}, {});
    };
    ImportNumbers({"13800138000", "1391234567", "15000000001", "13912345678", "1380013800a"});
    ChooseSpeed(QStringLiteral("0.1"));
    QStringList panels;
    QObject::connect(Timer5(), &QTimer::timeout, form.get(), [&] { panels << Panel2(); });
    fake.dialogs.ExpectMessage(MessageAnswer::Ok);
    StartStop();
    ASSERT_TRUE(RunToTheEnd());

    EXPECT_EQ(LookedUp(), (QStringList{"13800138000", "15000000001", "13912345678"}));
    ASSERT_EQ(ListView1()->topLevelItemCount(), 2);
    EXPECT_EQ(Row(0), Expected(QStringLiteral("13912345678")));
    EXPECT_EQ(Row(1), Expected(QStringLiteral("13800138000")));
    // What each tick left in the panel.
    EXPECT_TRUE(panels.contains(QStringLiteral("13800138000 查询完毕..")));
    EXPECT_TRUE(panels.contains(QStringLiteral("手机号码位数不正确!")));
    EXPECT_TRUE(panels.contains(QStringLiteral("无效手机号码,自动跳转下一个")));
    ASSERT_EQ(fake.dialogs.Messages().size(), 1u);
    EXPECT_EQ(fake.dialogs.Messages()[0].text, QStringLiteral("您输入的内容错误!手机号为纯数字!"));
}

TEST_F(BatchTest, EmptyAnswerIsAskedForAgain) {
    CreateReady();
    int asked = 0;
    special[QStringLiteral("13800138000")] = [&asked](const QString& n) {
        return ++asked == 1 ? StandInResponse{} : AnswerFor(n);
    };
    ImportNumbers({"13800138000", "13912345678"});
    ChooseSpeed(QStringLiteral("0.1"));
    StartStop();
    ASSERT_TRUE(RunToTheEnd());
    EXPECT_EQ(LookedUp(), (QStringList{"13800138000", "13800138000", "13912345678"}));
    EXPECT_EQ(ListView1()->topLevelItemCount(), 2);
}

TEST_F(BatchTest, RateLimitedAnswerStopsAndTheNextStartAsksAgain) {
    CreateReady();
    bool refuse = true;
    special[QStringLiteral("13912345678")] = [&refuse](const QString& n) {
        if (!refuse) return AnswerFor(n);
        StandInResponse r;
        r.body = "<html>Server Runtime Error</html>";
        return r;
    };
    ImportNumbers({"13800138000", "13912345678", "15000000001"});
    ChooseSpeed(QStringLiteral("0.1"));
    fake.dialogs.ExpectMessage(MessageAnswer::Ok, 300);  // ticks keep coming while it is open
    StartStop();
    ASSERT_TRUE(RunUntil([this] { return !fake.dialogs.Messages().empty(); }));
    RunEventsFor(300);

    const RecordedPrompt notice = fake.dialogs.Messages()[0];
    EXPECT_EQ(notice.text, kLimited);
    EXPECT_EQ(notice.icon, MessageIcon::Information);
    EXPECT_EQ(notice.title, QStringLiteral("Quorvel系列软件"));
    EXPECT_EQ(Panel2(), kStopped);
    EXPECT_EQ(Button("Command3")->text(), QStringLiteral("开始查询"));
    EXPECT_FALSE(Timer5()->isActive());
    EXPECT_EQ(LookedUp(), (QStringList{"13800138000", "13912345678"}));
    EXPECT_EQ(ListView1()->topLevelItemCount(), 1);

    refuse = false;
    StartStop();
    ASSERT_TRUE(RunToTheEnd());
    EXPECT_EQ(LookedUp(),
              (QStringList{"13800138000", "13912345678", "13912345678", "15000000001"}));
    EXPECT_EQ(Row(1), Expected(QStringLiteral("13912345678")));
}

// A stop during a slow fetch enables the list, and the user picks another entry. The answer
// still lands under the number that was asked for, and the run resumes behind that entry.
TEST_F(BatchTest, StopDuringASlowFetchKeepsTheAnswerWithItsNumber) {
    CreateReady();
    AnswerSlowly(QStringLiteral("13800138000"), 700);
    const QStringList numbers{"13800138000", "13912345678", "15000000001"};
    ImportNumbers(numbers);
    ChooseSpeed(QStringLiteral("0.1"));
    QTimer::singleShot(400, form.get(), [this] {
        StartStop();
        List1()->setCurrentRow(2);
    });
    StartStop();
    ASSERT_TRUE(RunUntil([this] { return ListView1()->topLevelItemCount() == 1; }));
    RunEventsFor(300);

    // The ticks that came during the wait asked for nothing.
    EXPECT_EQ(LookedUp(), QStringList{numbers[0]});
    EXPECT_EQ(Row(0), Expected(numbers[0]));
    EXPECT_EQ(Panel2(), numbers[0] + QStringLiteral(" 查询完毕.."));
    EXPECT_FALSE(Timer5()->isActive());
    EXPECT_EQ(List1()->currentRow(), 1);

    StartStop();
    ASSERT_TRUE(RunToTheEnd());
    EXPECT_EQ(LookedUp(), numbers);
    EXPECT_EQ(Row(0), Expected(numbers[2]));
    EXPECT_EQ(Row(1), Expected(numbers[1]));
}

TEST_F(BatchTest, ImportDuringAStoppedFetchStartsTheNewListFromTheTop) {
    CreateReady();
    AnswerSlowly(QStringLiteral("13800138000"), 600);
    ImportNumbers({"13800138000", "13912345678"});
    ChooseSpeed(QStringLiteral("0.1"));
    const QString fresh = WriteList("15000000001\r\n15000000002\r\n15000000003", "new.txt");
    QTimer::singleShot(300, form.get(), [this, fresh] {
        StartStop();
        Import(fresh);
    });
    StartStop();
    ASSERT_TRUE(RunUntil([this] { return ListView1()->topLevelItemCount() == 1; }));
    RunEventsFor(200);
    EXPECT_EQ(Row(0), Expected(QStringLiteral("13800138000")));
    EXPECT_EQ(Panel2(), QStringLiteral("13800138000 查询完毕.."));
    EXPECT_EQ(List1()->currentRow(), -1);  // the old list's advance leaves the new one alone

    StartStop();
    ASSERT_TRUE(RunToTheEnd());
    EXPECT_EQ(LookedUp(),
              (QStringList{"13800138000", "15000000001", "15000000002", "15000000003"}));
}

TEST_F(BatchTest, RestartDuringASlowFetchAsksForEachEntryOnce) {
    CreateReady();
    AnswerSlowly(QStringLiteral("13800138000"), 700);
    const QStringList numbers{"13800138000", "13912345678", "15000000001"};
    ImportNumbers(numbers);
    ChooseSpeed(QStringLiteral("0.1"));
    QTimer::singleShot(300, form.get(), [this] {
        StartStop();
        StartStop();
    });
    StartStop();
    ASSERT_TRUE(RunToTheEnd());
    EXPECT_EQ(LookedUp(), numbers);
    ASSERT_EQ(ListView1()->topLevelItemCount(), 3);
    EXPECT_EQ(Row(2), Expected(numbers[0]));
    EXPECT_EQ(Row(0), Expected(numbers[2]));
}

TEST_F(BatchTest, ChosenEntryStartsAFreshList) {
    CreateReady();
    ImportNumbers({"13800138000", "13912345678", "15000000001"});
    ChooseSpeed(QStringLiteral("0.1"));
    List1()->setCurrentRow(1);
    StartStop();
    ASSERT_TRUE(RunToTheEnd());
    EXPECT_EQ(LookedUp(), (QStringList{"13912345678", "15000000001"}));
}

// A list longer than a 16-bit count runs to its end.
TEST_F(BatchTest, LongListRunsToItsLastEntry) {
    CreateReady();
    QByteArray bytes;
    for (int i = 0; i < 40000; ++i) bytes += QByteArray::number(13800000000LL + i) + "\r\n";
    Import(WriteList(bytes));
    EXPECT_EQ(Caption(), QStringLiteral("批量查询：40000个手机号码"));
    ChooseSpeed(QStringLiteral("0.1"));
    List1()->setCurrentRow(39998);
    StartStop();
    ASSERT_TRUE(RunToTheEnd());
    EXPECT_EQ(LookedUp(), (QStringList{"13800039998", "13800039999"}));
}

// A batch tick runs inside the wait of a single query. The outer answer has no AreaCode;
// the nested one has, and leaves it in the shared work area.
TEST_F(BatchTest, TickNestedInASingleQueryKeepsBothRowsApart) {
    CreateReady();
    const QString outer = QStringLiteral("13800138000");
    const QString nested = QStringLiteral("13912345678");
    special[outer] = [](const QString& n) {
        StandInResponse r;
        r.headers = {{"Content-Type", "text/javascript; charset=utf-8"}};
        r.body = ("querycallback({\"Mobile\":\"" + n +
                  "\",\"TO\":\"中国移动\",\"Province\":\"北京\",\"City\":\"北京\","
                  "\"PostCode\":\"100000\"});")
                     .toUtf8();
        r.delay_ms = 600;
        return r;
    };
    ImportNumbers({nested});
    ChooseSpeed(QStringLiteral("0.1"));
    StartStop();
    fake.dialogs.ExpectInput(outer);
    Option(0)->click();

    EXPECT_EQ(LookedUp(), (QStringList{outer, nested}));
    ASSERT_EQ(ListView1()->topLevelItemCount(), 2);
    EXPECT_EQ(Row(0), (QStringList{outer, "北京", "北京", "", "100000", "中国移动"}));
    EXPECT_EQ(Row(1), Expected(nested));
    EXPECT_EQ(Panel2(), QStringLiteral("查询完毕.."));
    EXPECT_FALSE(Timer5()->isActive());  // the nested tick finished the one-entry run
}

// Network faults on one entry: the tick writes no row for it, the entry is asked for again
// on the next tick, and once the service answers properly the run ends with one row per
// entry, each under its own number. The window keeps handling events meanwhile.
TEST_F(BatchTest, NetworkFaultsAreRetriedWithoutHalfRows) {
    using Behaviour = StandInResponse::Behaviour;
    const QString faulty = QStringLiteral("13912345678");
    const std::function<StandInResponse()> faults[] = {
        [] {
            StandInResponse r = AnswerFor(QStringLiteral("13912345678"));
            r.behaviour = Behaviour::ResetMidBody;
            return r;
        },
        [] {
            StandInResponse r;
            r.behaviour = Behaviour::EndlessBody;
            return r;
        },
        [] {
            StandInResponse r;
            r.behaviour = Behaviour::NeverAnswer;
            return r;
        },
        [] {
            StandInResponse r;  // over the size cap
            r.body = QByteArray(5 * 1024 * 1024, ' ');
            return r;
        },
    };
    settings.fetch.timeout_ms = 400;
    for (const auto& fault : faults) {
        CreateReady();
        int asked = 0;
        special[faulty] = [&](const QString& n) { return ++asked == 1 ? fault() : AnswerFor(n); };
        ImportNumbers({"13800138000", faulty, "13612345678"});
        ChooseSpeed(QStringLiteral("0.1"));

        int heartbeats = 0;
        QTimer heartbeat;
        QObject::connect(&heartbeat, &QTimer::timeout, [&] { ++heartbeats; });
        heartbeat.start(50);
        StartStop();
        ASSERT_TRUE(RunToTheEnd());
        EXPECT_GE(heartbeats, 4);  // events kept flowing through the failed fetch

        EXPECT_EQ(asked, 2);
        ASSERT_EQ(ListView1()->topLevelItemCount(), 3);
        EXPECT_EQ(Row(0), Expected("13612345678"));
        EXPECT_EQ(Row(1), Expected(faulty));
        EXPECT_EQ(Row(2), Expected("13800138000"));
        special.clear();
    }
}

// Answers that arrive whole but are odd: several megabytes, or bytes that are not valid in
// the declared charset. They are parsed like any answer; nothing crashes and the row holds
// what the answer holds.
TEST_F(BatchTest, LargeAndMisencodedAnswersAreReadAsTheyCome) {
    CreateReady();
    special[QStringLiteral("13800138000")] = [](const QString& n) {
        StandInResponse r = AnswerFor(n);
        r.body = QByteArray(3 * 1024 * 1024, ' ') + r.body;
        return r;
    };
    special[QStringLiteral("13912345678")] = [](const QString& n) {
        StandInResponse r;
        r.headers = {{"Content-Type", "text/javascript; charset=gbk"}};
        r.body = "querycallback({\"Mobile\":\"" + n.toLatin1() +
                 "\",\"TO\":\"\xff\xff\",\"Province\":\"\xd6\xd0\x81\",\"City\":\"\x80\"});";
        return r;
    };
    ImportNumbers({"13800138000", "13912345678"});
    ChooseSpeed(QStringLiteral("0.1"));
    StartStop();
    ASSERT_TRUE(RunToTheEnd());
    ASSERT_EQ(ListView1()->topLevelItemCount(), 2);
    EXPECT_EQ(Row(1), Expected("13800138000"));
    const QStringList odd = Row(0);
    EXPECT_EQ(odd[0], QStringLiteral("13912345678"));
    EXPECT_TRUE(odd[1].startsWith(QStringLiteral("中")));
    EXPECT_EQ(odd[2], QStringLiteral("€"));
    EXPECT_FALSE(odd[5].isEmpty());
}

}  // namespace
}  // namespace numtrail::test
