#include "lookup/batch_runner.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <functional>
#include <utility>

#include "lookup/lookup_rules.h"

namespace numtrail {
namespace {

using Kind = LookupOutcome::Kind;
using State = BatchRunner::State;

const QString kFinished = QStringLiteral("所有手机号码已查询完毕!");
const QString kStopped = QStringLiteral("批量查询已停止..");
const QString kLimited = QStringLiteral("查询受限,请等待片刻点击继续查询..");

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
        if (auto nested = std::exchange(during_fetch, {})) nested();
        return {answer ? answer(n) : Kind::Done, {}};
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
    QStringList asked;                           // the numbers fetched, in order
    QStringList log;                             // message line texts and boxes, in order
};

class BatchRunnerTest : public ::testing::Test {
  protected:
    BatchRunnerTest() {
        window.runner = &runner;
        QObject::connect(&runner, &BatchRunner::StateChanged,
                         [this](State state) { states << state; });
    }

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
    QList<State> states;
    const QStringList numbers{"13800138000", "13912345678", "15000000001"};
};

TEST_F(BatchRunnerTest, SpeedTableAndChoice) {
    QStringList table;
    for (const BatchRunner::Speed& s : BatchRunner::Speeds())
        table << s.label + QStringLiteral("=") + QString::number(s.interval_ms);
    EXPECT_EQ(table.join(' '), QStringLiteral("0.1=100 0.2=200 0.3=300 0.4=400 0.5=500 0.6=600 "
                                              "0.7=700 0.8=800 0.9=900 1=1000 2=2000 3=3000 "
                                              "4=4000 5=5000"));
    EXPECT_EQ(table[runner.SpeedIndex()], QStringLiteral("1=1000"));
    EXPECT_EQ(runner.IntervalMs(), 1000);

    runner.ChooseSpeed(11);
    EXPECT_EQ(runner.IntervalMs(), 3000);
    runner.ChooseSpeed(4);
    EXPECT_EQ(runner.IntervalMs(), 500);
    EXPECT_EQ(window.log, (QStringList{"当前速度为每3秒/次", "当前速度为每0.5秒/次"}));
}

TEST_F(BatchRunnerTest, StartWithoutEntriesOnlyTellsTheUser) {
    runner.StartStop();
    const QString text = QStringLiteral("请先导入手机号码后在进行批量查询!");
    EXPECT_EQ(window.log, (QStringList{text, "box: " + text}));
    EXPECT_EQ(runner.state(), State::Idle);
    EXPECT_FALSE(runner.Ticking());
    EXPECT_TRUE(states.isEmpty());
}

TEST_F(BatchRunnerTest, RunWorksThroughTheListAndAgainAfterItFinished) {
    Import(numbers);
    runner.StartStop();
    EXPECT_EQ(window.log.last(), QStringLiteral("开始批量查询.."));
    EXPECT_TRUE(runner.Ticking());
    EXPECT_EQ(window.current, 0);

    RunToTheEnd();
    EXPECT_EQ(window.asked, numbers);
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
    EXPECT_EQ(window.asked, numbers + numbers);
    EXPECT_EQ(states, (QList<State>{State::Running, State::Finished, State::Idle, State::Running,
                                    State::Finished}));
}

TEST_F(BatchRunnerTest, BadEntriesAreReportedAndSkipped) {
    Import({"13800138000", "1391234567", "15000000001", "13912345678", "1380013800a"});
    window.answer = [](const QString& n) {
        return n == "15000000001" ? Kind::NoProvince : Kind::Done;
    };
    QList<std::pair<int, Kind>> outcomes;
    QObject::connect(&runner, &BatchRunner::EntryLookedUp, [&](int index, const LookupOutcome& o) {
        outcomes << std::pair(index, o.kind);
    });
    runner.StartStop();
    RunToTheEnd();

    EXPECT_EQ(window.asked, (QStringList{"13800138000", "15000000001", "13912345678"}));
    EXPECT_EQ(outcomes, (QList<std::pair<int, Kind>>{{0, Kind::Done},
                                                     {1, Kind::WrongFormat},
                                                     {2, Kind::NoProvince},
                                                     {3, Kind::Done},
                                                     {4, Kind::WrongFormat}}));
    EXPECT_TRUE(window.log.contains(QStringLiteral("无效手机号码,自动跳转下一个")));
    EXPECT_EQ(window.log.last(), kFinished);  // after the invalid last entry
}

TEST_F(BatchRunnerTest, UnansweredEntryIsAskedForAgain) {
    Import({numbers[0], numbers[1]});
    int calls = 0;
    window.answer = [&calls](const QString&) { return ++calls == 1 ? Kind::NoAnswer : Kind::Done; };
    runner.StartStop();
    runner.Tick();
    EXPECT_EQ(window.current, 0);
    RunToTheEnd();
    EXPECT_EQ(window.asked, (QStringList{numbers[0], numbers[0], numbers[1]}));
}

TEST_F(BatchRunnerTest, RefusalStopsAndTheNextStartAsksAgain) {
    Import(numbers);
    bool refuse = true;
    window.answer = [&](const QString& n) {
        return refuse && n == numbers[1] ? Kind::RateLimited : Kind::Done;
    };
    runner.StartStop();
    RunToTheEnd();
    EXPECT_EQ(window.asked, (QStringList{numbers[0], numbers[1]}));
    EXPECT_EQ(window.log.mid(window.log.size() - 3),
              (QStringList{kLimited, kStopped, "box: " + kLimited}));
    EXPECT_EQ(runner.state(), State::Idle);
    EXPECT_EQ(window.current, 1);

    refuse = false;
    runner.StartStop();
    RunToTheEnd();
    EXPECT_EQ(window.asked, (QStringList{numbers[0], numbers[1], numbers[1], numbers[2]}));
}

// A stop during a fetch lets the user pick another entry. The answer still belongs to the
// number that was asked for, and the run resumes behind that entry.
TEST_F(BatchRunnerTest, StopDuringAFetchKeepsTheAnswerWithItsNumber) {
    Import(numbers);
    window.during_fetch = [this] {
        runner.StartStop();
        window.Pick(2);
        runner.Tick();  // a tick that was due during the wait
    };
    runner.StartStop();
    runner.Tick();
    EXPECT_EQ(window.asked, QStringList{numbers[0]});
    EXPECT_EQ(window.log.last(), numbers[0] + QStringLiteral(" 查询完毕.."));
    EXPECT_EQ(runner.state(), State::Idle);
    EXPECT_FALSE(runner.Ticking());
    EXPECT_EQ(window.current, 1);

    runner.StartStop();
    RunToTheEnd();
    EXPECT_EQ(window.asked, numbers);
}

TEST_F(BatchRunnerTest, RefusalAfterAnImportDuringItsFetchLeavesTheNewListAlone) {
    Import(numbers);
    window.answer = [](const QString&) { return Kind::RateLimited; };
    window.during_fetch = [this] {
        runner.StartStop();
        Import({"15000000001"});
    };
    runner.StartStop();
    runner.Tick();
    EXPECT_EQ(window.current, -1);
}

TEST_F(BatchRunnerTest, StopDuringTheLastFetchStaysStopped) {
    Import({numbers[0]});
    window.during_fetch = [this] { runner.StartStop(); };
    runner.StartStop();
    runner.Tick();
    EXPECT_EQ(window.log.last(), kFinished);
    EXPECT_EQ(runner.state(), State::Idle);
}

TEST_F(BatchRunnerTest, ImportDuringAStoppedFetchStartsTheNewListFromTheTop) {
    Import({numbers[0], numbers[1]});
    window.during_fetch = [this] {
        runner.StartStop();
        Import({"15000000001", "15000000002", "15000000003"});
    };
    runner.StartStop();
    runner.Tick();
    EXPECT_EQ(window.log.last(), numbers[0] + QStringLiteral(" 查询完毕.."));
    EXPECT_EQ(window.current, -1);  // the old list's advance leaves the new one alone

    runner.StartStop();
    RunToTheEnd();
    EXPECT_EQ(window.asked, (QStringList{numbers[0], "15000000001", "15000000002", "15000000003"}));
}

TEST_F(BatchRunnerTest, RestartDuringAFetchAsksForEachEntryOnce) {
    Import(numbers);
    window.during_fetch = [this] {
        runner.StartStop();
        runner.StartStop();
        runner.Tick();
    };
    runner.StartStop();
    RunToTheEnd();
    EXPECT_EQ(window.asked, numbers);
    EXPECT_EQ(runner.state(), State::Finished);
}

TEST_F(BatchRunnerTest, RestartFromAnotherEntryDuringAFetchGoesOnFromThere) {
    Import(numbers);
    window.during_fetch = [this] {
        runner.StartStop();
        window.Pick(2);
        runner.StartStop();
    };
    runner.StartStop();
    RunToTheEnd();
    EXPECT_EQ(window.asked, (QStringList{numbers[0], numbers[2]}));
}

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

}  // namespace
}  // namespace numtrail
