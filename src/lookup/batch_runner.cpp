#include "lookup/batch_runner.h"

#include <QElapsedTimer>
#include <QScopeGuard>
#include <QTimer>

namespace numtrail {
namespace {

// "1": one request a second, the pace at start-up.
constexpr int kStartSpeed = 10;
// At speed "0" a tick goes on with the next entries for this long: answers from local data
// take microseconds, and a turn of the event loop for each would cost more than the answers,
// while a window that waits this long for its input still answers at once.
constexpr int kTurnMs = 10;

}  // namespace

const std::vector<BatchRunner::Speed>& BatchRunner::Speeds() {
    static const std::vector<Speed> speeds = [] {
        std::vector<Speed> table{{QStringLiteral("0"), 0}};
        for (int tenths = 1; tenths <= 9; ++tenths)
            table.push_back({QStringLiteral("0.%1").arg(tenths), tenths * 100});
        for (int seconds = 1; seconds <= 5; ++seconds)
            table.push_back({QString::number(seconds), seconds * 1000});
        return table;
    }();
    return speeds;
}

BatchRunner::BatchRunner(BatchHost& host, QObject* parent)
    : QObject(parent), host_(host), Timer5_(new QTimer(this)), speed_index_(kStartSpeed) {
    setObjectName(QStringLiteral("BatchRunner"));
    Timer5_->setObjectName(QStringLiteral("Timer5"));
    Timer5_->setInterval(Speeds()[kStartSpeed].interval_ms);
    connect(Timer5_, &QTimer::timeout, this, &BatchRunner::Tick);
}

int BatchRunner::IntervalMs() const {
    return Speeds()[static_cast<std::size_t>(speed_index_)].interval_ms;
}

bool BatchRunner::Ticking() const { return Timer5_->isActive(); }

void BatchRunner::ChooseSpeed(int index) {
    if (index < 0 || index >= static_cast<int>(Speeds().size())) return;
    const Speed& speed = Speeds()[static_cast<std::size_t>(index)];
    speed_index_ = index;
    Timer5_->setInterval(speed.interval_ms);
    // Without a pause a repeating timer would fire again and again while a tick waits for its
    // fetch; each tick starts the next one as it ends instead.
    Timer5_->setSingleShot(speed.interval_ms == 0);
    host_.ShowMessage(QStringLiteral("当前速度为每") + speed.label + QStringLiteral("秒/次"));
}

void BatchRunner::StartStop() {
    if (host_.EntryCount() == 0) {
        const QString text = QStringLiteral("请先导入手机号码后在进行批量查询!");
        host_.ShowMessage(text);
        host_.Notify(text);
        return;
    }
    if (state_ == State::Idle)
        Start();
    else
        Stop();
}

void BatchRunner::Start() {
    // A fresh list, or one that has been worked through, starts from the top unless the
    // user picked an entry since; a stopped run goes on from its selected entry.
    int start = host_.CurrentEntry();
    if ((fresh_run_ && !start_picked_) || start < 0) start = 0;
    const bool goes_on = !fresh_run_ && start == BatchIndex_;
    fresh_run_ = false;
    BatchIndex_ = start;
    if (!goes_on) emit RunBegun(start, host_.EntryCount());
    // Selected before the state changes, so that a window which shows a running batch's moves
    // only a few times a second shows the first entry at once.
    host_.SelectEntry(start);
    SetState(State::Running);
    Timer5_->start(IntervalMs());
    host_.ShowMessage(QStringLiteral("开始批量查询.."));
}

void BatchRunner::Stop() {
    SetState(State::Idle);
    Timer5_->stop();
    host_.ShowMessage(QStringLiteral("批量查询已停止.."));
}

void BatchRunner::Tick() {
    // The fetch and the message boxes run the event loop. A stop and a start meanwhile
    // give the timer fresh ticks, which would ask for the same entry a second time.
    if (tick_running_) return;
    tick_running_ = true;
    bool answered = true;
    const auto done = qScopeGuard([this, &answered] {
        tick_running_ = false;
        // At speed "0" each tick starts the next as it ends: at once, or after a pause when the
        // fetch failed. A run stopped or finished meanwhile stays so; one that was started
        // again during the fetch has its tick pending already.
        if (state_ == State::Running && IntervalMs() == 0 && !Timer5_->isActive())
            Timer5_->start(answered ? 0 : kRetryPauseMs);
    });
    QElapsedTimer turn;
    turn.start();
    do {
        answered = LookUpEntry();
    } while (answered && state_ == State::Running && IntervalMs() == 0 && !Timer5_->isActive() &&
             !turn.hasExpired(kTurnMs));
}

bool BatchRunner::LookUpEntry() {
    // The entry is read once: while this lookup waits, a stop enables the list and the user
    // may select another entry, but the answer belongs to the number that was asked for.
    const int batch_index = BatchIndex_;
    const int generation = list_generation_;
    const int entry = host_.CurrentEntry();
    const QString n = entry >= 0 ? host_.EntryText(entry) : QString();

    const LookupOutcome outcome = host_.LookUp(n);
    emit EntryLookedUp(entry, outcome);
    switch (outcome.kind) {
        case LookupOutcome::Kind::NoAnswer:
            return false;  // the next tick asks again for the same entry
        case LookupOutcome::Kind::RateLimited: {
            const QString text = QStringLiteral("查询受限,请等待片刻点击继续查询..");
            host_.ShowMessage(text);
            // The stop itself, not the button's handler: a run the user already stopped
            // during the fetch must not be started again.
            Stop();
            if (generation == list_generation_ && BatchIndex_ == batch_index)
                host_.SelectEntry(batch_index);  // the next start asks for this entry first
            host_.Notify(text);
            return true;
        }
        case LookupOutcome::Kind::NoProvince:
            host_.ShowMessage(QStringLiteral("无效手机号码,自动跳转下一个"));
            break;
        case LookupOutcome::Kind::Done:
            host_.ShowMessage(n + QStringLiteral(" 查询完毕.."));
            break;
        case LookupOutcome::Kind::WrongFormat:
            break;
    }
    Advance(batch_index, generation);
    return true;
}

// Moves on from the entry a tick has consumed. When, while the tick waited, a new list was
// imported or the user started again from another entry, that choice stands.
void BatchRunner::Advance(int entry_index, int list_generation) {
    if (list_generation != list_generation_ || BatchIndex_ != entry_index) return;
    BatchIndex_ = entry_index + 1;
    if (BatchIndex_ >= host_.EntryCount()) {
        host_.ShowMessage(QStringLiteral("所有手机号码已查询完毕!"));
        Timer5_->stop();
        BatchIndex_ = 0;
        fresh_run_ = true;
        start_picked_ = false;
        emit RunFinished();
        // A run the user stopped during the last fetch stays stopped.
        if (state_ == State::Running) SetState(State::Finished);
        return;
    }
    host_.SelectEntry(BatchIndex_);
}

void BatchRunner::ListReplaced() {
    ++list_generation_;
    fresh_run_ = true;
    start_picked_ = false;
}

// The runner's own moves count too, harmlessly: they happen only in a run that has already
// taken its start, and the pick is forgotten whenever the list becomes fresh again.
void BatchRunner::EntryPicked() { start_picked_ = true; }

void BatchRunner::SetState(State state) {
    state_ = state;
    emit StateChanged(state);
}

}  // namespace numtrail
