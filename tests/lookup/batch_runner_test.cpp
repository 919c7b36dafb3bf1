#include "lookup/batch_runner.h"

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QStringList>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <utility>

#include "lookup/batch_progress.h"
#include "lookup/lookup_rules.h"

namespace numtrail {
namespace {

using Kind = LookupOutcome::Kind;
using State = BatchRunner::State;

const QString kFinished = QStringLiteral("所有手机号码已查询完毕!");
const QString kStopped = QStringLiteral("批量查询已停止..");
const QString kLimited = QStringLiteral("查询受限,请等待片刻点击继续查询..");
const QStringList kNumbers{"13800138000", "13912345678", "15000000001"};

// The window as the runner sees it: entries with a selection, a message line and boxes.
class FakeWindow final : public BatchHost {
  public:
    int EntryCount() const override { return entries.size(); }
    int CurrentEntry() const override { return current; }
    QString EntryText(int index) const override { return entries.value(index); }
    // A list reports every move of its selection, the runner's own moves included.
    void SelectEntry(int index) override { Pick(index); }
    LookupOutcome LookUp(const QString& n) override {
        if (CheckNumber(n) != NumberCheck::Ok) return {Kind::WrongFormat, {}};
        asked << n;
        ++depth;
        deepest = std::max(deepest, depth);
        if (auto nested = std::exchange(during_fetch, {})) nested();
        if (wait_in_fetch) {  // as a real fetch waits: with the event loop running
            QEventLoop wait;
            QTimer::singleShot(0, &wait, &QEventLoop::quit);
            wait.exec();
        }
        --depth;
        const Kind kind = answer ? answer(n) : Kind::Done;
        return {kind, kind == Kind::NoAnswer ? QStringLiteral("Connection refused") : QString()};
    }
    void ShowMessage(const QString& text) override { log << text; }
    void Notify(const QString& text) override { log << QStringLiteral("box: ") + text; }

    void Pick(int index) {  // the user selects an entry
        current = index;
        runner->EntryPicked();
    }

    QStringList entries;
    int current = -1;
    BatchRunner* runner = nullptr;
    std::function<Kind(const QString&)> answer;  // Done when not set
    std::function<void()> during_fetch;          // runs inside the next fetch, once
    bool wait_in_fetch = false;                  // each fetch runs the event loop
    int depth = 0;                               // fetches under way
    int deepest = 0;
    QStringList asked;  // the numbers fetched, in order
    QStringList log;    // message line texts and boxes, in order
};

class BatchRunnerTest : public ::testing::Test {
  protected:
    BatchRunnerTest() { window.runner = &runner; }

    // An import: the new entries, nothing selected.
    void Import(const QStringList& entries) {
        window.entries = entries;
        window.current = -1;
        runner.ListReplaced();
    }

    // The ticks of Timer5, for as long as it runs.
    void RunToTheEnd() {
        for (int ticks = 0; runner.Ticking() && ticks < 100; ++ticks) runner.Tick();
        EXPECT_FALSE(runner.Ticking());
    }

    FakeWindow window;
    BatchRunner runner{window};
};

TEST_F(BatchRunnerTest, SpeedTableAndChoice) {
    QStringList table;
    for (const BatchRunner::Speed& s : BatchRunner::Speeds())
        table << s.label + QStringLiteral("=") + QString::number(s.interval_ms);
    EXPECT_EQ(table.join(' '),
              QStringLiteral("0=0 0.1=100 0.2=200 0.3=300 0.4=400 0.5=500 0.6=600 0.7=700 "
                             "0.8=800 0.9=900 1=1000 2=2000 3=3000 4=4000 5=5000"));
    EXPECT_EQ(table[runner.SpeedIndex()], QStringLiteral("1=1000"));
    EXPECT_EQ(runner.IntervalMs(), 1000);

    runner.ChooseSpeed(12);
    EXPECT_EQ(runner.IntervalMs(), 3000);
    runner.ChooseSpeed(5);
    EXPECT_EQ(runner.IntervalMs(), 500);
    runner.ChooseSpeed(0);
    EXPECT_EQ(runner.IntervalMs(), 0);
    EXPECT_EQ(window.log,
              (QStringList{"当前速度为每3秒/次", "当前速度为每0.5秒/次", "当前速度为每0秒/次"}));
}

// At speed "0" each tick follows as soon as the one before has ended; every fetch waits with
// the event loop running, as the real one does, and the run goes on by itself to the end.
TEST_F(BatchRunnerTest, SpeedZeroAsksEachEntryOnceInOrder) {
    QStringList list;
    for (int i = 0; i < 300; ++i) list << QString::number(13800000000LL + i);
    list[50].chop(1);  // skipped
    Import(list);
    bool failed = false;  // entry 7 fails once and is asked again, after a pause
    window.answer = [&](const QString& n) {
        return n == list[7] && !std::exchange(failed, true) ? Kind::NoAnswer : Kind::Done;
    };
    window.wait_in_fetch = true;
    runner.ChooseSpeed(0);
    QEventLoop finished;
    QObject::connect(&runner, &BatchRunner::RunFinished, &finished, &QEventLoop::quit);
    QTimer::singleShot(20000, &finished, &QEventLoop::quit);  // a run that stalls fails below
    runner.StartStop();
    finished.exec();

    QStringList expected = list;
    expected.removeAt(50);
    expected.insert(7, list[7]);
    EXPECT_EQ(window.asked, expected);
    EXPECT_EQ(window.deepest, 1);
    EXPECT_EQ(runner.state(), State::Finished);
    EXPECT_FALSE(runner.Ticking());
}

TEST_F(BatchRunnerTest, StartWithoutEntriesOnlyTellsTheUser) {
    runner.StartStop();
    const QString text = QStringLiteral("请先导入手机号码后在进行批量查询!");
    EXPECT_EQ(window.log, (QStringList{text, "box: " + text}));
    EXPECT_EQ(runner.state(), State::Idle);
    EXPECT_FALSE(runner.Ticking());
}

TEST_F(BatchRunnerTest, RunWorksThroughTheListAndAgainAfterItFinished) {
    Import(kNumbers);
    runner.StartStop();
    EXPECT_EQ(window.log.last(), QStringLiteral("开始批量查询.."));
    EXPECT_TRUE(runner.Ticking());
    EXPECT_EQ(window.current, 0);

    RunToTheEnd();
    EXPECT_EQ(window.asked, kNumbers);
    EXPECT_EQ(window.log.mid(1), (QStringList{"13800138000 查询完毕..", "13912345678 查询完毕..",
                                              "15000000001 查询完毕..", kFinished}));
    EXPECT_EQ(runner.state(), State::Finished);
    EXPECT_EQ(runner.BatchIndex(), 0);
    EXPECT_EQ(window.current, 2);  // stays on the last entry

    runner.StartStop();
    EXPECT_EQ(window.log.last(), kStopped);
    // The next run starts from the top again and asks for every entry once more.
    runner.StartStop();
    RunToTheEnd();
    EXPECT_EQ(window.asked, kNumbers + kNumbers);
}

// Entries that are not numbers or have no attribution are reported and skipped; an entry
// without an answer is asked for again on the next tick.
TEST_F(BatchRunnerTest, EachOutcomeMovesOnOrAsksAgain) {
    Import({"13800138000", "1391234567", "15000000001", "13912345678", "1380013800a"});
    bool answered = false;
    window.answer = [&answered](const QString& n) {
        if (n == "15000000001") return Kind::NoProvince;
        if (n == "13912345678" && !std::exchange(answered, true)) return Kind::NoAnswer;
        return Kind::Done;
    };
    QList<std::pair<int, Kind>> outcomes;
    QObject::connect(&runner, &BatchRunner::EntryLookedUp, [&](int index, const LookupOutcome& o) {
        outcomes << std::pair(index, o.kind);
    });
    runner.StartStop();
    RunToTheEnd();

    EXPECT_EQ(window.asked,
              (QStringList{"13800138000", "15000000001", "13912345678", "13912345678"}));
    EXPECT_EQ(outcomes, (QList<std::pair<int, Kind>>{{0, Kind::Done},
                                                     {1, Kind::WrongFormat},
                                                     {2, Kind::NoProvince},
                                                     {3, Kind::NoAnswer},
                                                     {3, Kind::Done},
                                                     {4, Kind::WrongFormat}}));
    EXPECT_TRUE(window.log.contains(QStringLiteral("无效手机号码,自动跳转下一个")));
    EXPECT_EQ(window.log.last(), kFinished);  // after the invalid last entry
}

TEST_F(BatchRunnerTest, RefusalStopsAndTheNextStartAsksAgain) {
    Import(kNumbers);
    bool refuse = true;
    window.answer = [&](const QString& n) {
        return refuse && n == kNumbers[1] ? Kind::RateLimited : Kind::Done;
    };
    runner.StartStop();
    RunToTheEnd();
    EXPECT_EQ(window.asked, (QStringList{kNumbers[0], kNumbers[1]}));
    EXPECT_EQ(window.log.mid(window.log.size() - 3),
              (QStringList{kLimited, kStopped, "box: " + kLimited}));
    EXPECT_EQ(runner.state(), State::Idle);
    EXPECT_EQ(window.current, 1);

    refuse = false;
    runner.StartStop();
    RunToTheEnd();
    EXPECT_EQ(window.asked, (QStringList{kNumbers[0], kNumbers[1], kNumbers[1], kNumbers[2]}));
}

TEST_F(BatchRunnerTest, RefusalAfterAnImportDuringItsFetchLeavesTheNewListAlone) {
    Import(kNumbers);
    window.answer = [](const QString&) { return Kind::RateLimited; };
    window.during_fetch = [this] {
        runner.StartStop();
        Import({"15000000001"});
    };
    runner.StartStop();
    runner.Tick();
    EXPECT_EQ(window.current, -1);
}

// What the user does while the first entry's fetch waits, as words: "click" on the start/stop
// button, "pickN" of entry N, "tick" of Timer5 that was due, "import" of a new list. The answer
// stays with the number that was asked for, a tick meanwhile asks for nothing, and the run
// goes on (after a new start where it was stopped) as the user chose.
struct DuringFetch {
    const char* name;
    QStringList list;
    const char* actions;
    State state_after;  // once the first tick is done
    int current_after;  // the selection then
    QStringList asked;  // every number fetched, once the run has been started again if need be
};
void PrintTo(const DuringFetch& c, std::ostream* os) { *os << c.actions; }

const QStringList kNew{"15000000002", "15000000003"};

class BatchRunnerDuringFetchTest : public BatchRunnerTest,
                                   public ::testing::WithParamInterface<DuringFetch> {
  protected:
    void Do(const QString& actions) {
        for (const QString& action : actions.split(u' ')) {
            if (action == "click") runner.StartStop();
            if (action == "tick") runner.Tick();
            if (action == "import") Import(kNew);
            if (action.startsWith("pick")) window.Pick(action.mid(4).toInt());
        }
    }
};

TEST_P(BatchRunnerDuringFetchTest, AnswerStaysWithItsNumber) {
    const DuringFetch& c = GetParam();
    Import(c.list);
    window.during_fetch = [this, &c] { Do(QString::fromLatin1(c.actions)); };
    runner.StartStop();
    runner.Tick();
    EXPECT_TRUE(window.log.contains(c.list[0] + QStringLiteral(" 查询完毕..")));
    EXPECT_EQ(runner.state(), c.state_after);
    EXPECT_EQ(window.current, c.current_after);
    if (runner.state() == State::Idle) runner.StartStop();
    RunToTheEnd();
    EXPECT_EQ(window.asked, c.asked);
}

INSTANTIATE_TEST_SUITE_P(
    Clicks, BatchRunnerDuringFetchTest,
    ::testing::Values(
        // The stopped run moves on behind the entry it asked for.
        DuringFetch{"Stop", kNumbers, "click pick2 tick", State::Idle, 1, kNumbers},
        DuringFetch{"Restart", kNumbers, "click click tick", State::Running, 1, kNumbers},
        // The user's new start stands.
        DuringFetch{"RestartElsewhere",
                    kNumbers,
                    "click pick2 click",
                    State::Running,
                    2,
                    {kNumbers[0], kNumbers[2]}},
        // The new list is left alone.
        DuringFetch{"Import", kNumbers, "click import", State::Idle, -1,
                    QStringList{kNumbers[0]} + kNew},
        // A run stopped during its last fetch stays stopped.
        DuringFetch{
            "StopTheLast", {kNumbers[0]}, "click", State::Idle, 0, {kNumbers[0], kNumbers[0]}}),
    [](const auto& info) { return std::string(info.param.name); });

// A list longer than a 16-bit count runs to its end, from the entry the user chose.
TEST_F(BatchRunnerTest, ChosenEntryStartsAFreshList) {
    QStringList long_list;
    for (int i = 0; i < 40000; ++i) long_list << QString::number(13800000000LL + i);
    Import(long_list);
    window.Pick(39998);
    runner.StartStop();
    RunToTheEnd();
    EXPECT_EQ(window.asked, (QStringList{"13800039998", "13800039999"}));
    EXPECT_EQ(window.log.last(), kFinished);
}

// The progress bar's account of a run, on a clock the test moves.
class BatchProgressTest : public BatchRunnerTest {
  protected:
    qint64 now = 0;
    BatchProgress progress{runner, [this] { return now; }};
};

TEST_F(BatchProgressTest, SummaryCountsWhatTheRunDid) {
    Import({"13800138000", "1391234567", "15000000001", "13912345678", "1380013800a"});
    int failures = 2;
    window.answer = [&failures](const QString& n) {
        if (n == "15000000001") return Kind::NoProvince;
        return n == "13912345678" && failures-- > 0 ? Kind::NoAnswer : Kind::Done;
    };
    runner.StartStop();
    RunToTheEnd();
    EXPECT_TRUE(progress.Finished());
    EXPECT_EQ(progress.Done(), 5);
    EXPECT_EQ(progress.Total(), 5);
    const QString summary = QStringLiteral("写入2行，无归属1个，格式错误2个，重试2次");
    EXPECT_EQ(progress.Text(), summary);
    EXPECT_EQ(progress.ToolTip(), summary);

    // The next run counts afresh.
    runner.StartStop();
    runner.StartStop();
    runner.Tick();
    EXPECT_EQ(progress.Summary(), QStringLiteral("写入1行，无归属0个，格式错误0个，重试0次"));
}

// Entries done of the entries in the run, and the time left at the pace of the latest ones;
// a run that stops and goes on keeps its count.
TEST_F(BatchProgressTest, DoneOfTheRunAndTimeLeftAtThePace) {
    QStringList list;
    for (int i = 0; i < 10; ++i) list << QString::number(13800000000LL + i);
    Import(list);
    window.Pick(2);
    runner.ChooseSpeed(0);
    runner.StartStop();
    EXPECT_EQ(progress.Text(), QStringLiteral("0/8"));  // no pace yet at speed "0"
    for (int tick = 0; tick < 3; ++tick) {
        now += 500;
        runner.Tick();
    }
    EXPECT_EQ(progress.Text(), QStringLiteral("3/8，剩余约3秒"));  // 5 at 0.5 s
    runner.StartStop();
    EXPECT_EQ(progress.Text(), QStringLiteral("3/8"));
    runner.StartStop();
    now += 60000;  // the stop says nothing about the pace
    runner.Tick();
    EXPECT_EQ(progress.Text(), QStringLiteral("4/8"));
    now += 100000;
    runner.Tick();
    EXPECT_EQ(progress.Text(), QStringLiteral("5/8，剩余约5分0秒"));
    EXPECT_EQ(DurationText(3600000 + 5 * 60000 + 1), QStringLiteral("1小时5分"));
}

TEST_F(BatchProgressTest, ThreeFailuresInARowWarnUntilTheNextAnswer) {
    Import(kNumbers);
    int failures = 4;
    window.answer = [&failures](const QString& n) {
        return n == kNumbers[1] && failures-- > 0 ? Kind::NoAnswer : Kind::Done;
    };
    runner.StartStop();
    QStringList texts, tips;
    for (int tick = 0; tick < 6; ++tick) {
        runner.Tick();
        texts << progress.Text();
        tips << progress.ToolTip();
    }
    for (int tick : {0, 1, 2}) EXPECT_TRUE(texts[tick].startsWith("1/3，")) << tick;
    EXPECT_EQ(texts[3], QStringLiteral("连接失败，正在重试…（3次）"));
    EXPECT_EQ(texts[4], QStringLiteral("连接失败，正在重试…（4次）"));
    EXPECT_EQ(tips[3], QStringLiteral("Connection refused"));
    EXPECT_TRUE(texts[5].startsWith("2/3，"));
    EXPECT_EQ(tips[5], progress.Summary());
    EXPECT_TRUE(runner.Ticking());
}

}  // namespace
}  // namespace numtrail
