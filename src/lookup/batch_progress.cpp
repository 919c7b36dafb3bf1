#include "lookup/batch_progress.h"

#include <QElapsedTimer>
#include <algorithm>
#include <memory>

namespace numtrail {
namespace {

// The pace is measured over the latest entries, so that it follows a service that slows down
// or speeds up rather than the run's whole history.
constexpr std::size_t kPaceWindow = 64;

BatchProgress::Clock SystemClock() {
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    return [started] { return started->elapsed(); };
}

}  // namespace

BatchProgress::BatchProgress(const BatchRunner& runner, Clock clock, QObject* parent)
    : QObject(parent), runner_(runner), clock_(clock ? std::move(clock) : SystemClock()) {
    connect(&runner, &BatchRunner::RunBegun, this, &BatchProgress::Begin);
    connect(&runner, &BatchRunner::EntryLookedUp, this, &BatchProgress::Record);
    connect(&runner, &BatchRunner::StateChanged, this, &BatchProgress::Follow);
    connect(&runner, &BatchRunner::RunFinished, this, &BatchProgress::Finish);
}

void BatchProgress::Begin(int first, int count) {
    total_ = std::max(count - first, 0);
    done_ = 0;
    counts_ = {};
    finished_ = false;
    failing_entry_ = -1;
    failures_in_a_row_ = 0;
    last_failure_.clear();
    consumed_at_.clear();
    emit Changed();
}

void BatchProgress::Record(int index, const LookupOutcome& outcome) {
    if (index != failing_entry_) failures_in_a_row_ = 0;
    bool consumed = true;
    switch (outcome.kind) {
        case LookupOutcome::Kind::NoAnswer:
            ++counts_.fetch_retries;
            ++failures_in_a_row_;
            failing_entry_ = index;
            last_failure_ = outcome.fetch_failure.isEmpty() ? QStringLiteral("服务的回答为空")
                                                            : outcome.fetch_failure;
            consumed = false;
            break;
        case LookupOutcome::Kind::RateLimited:
            failures_in_a_row_ = 0;
            consumed = false;
            break;
        case LookupOutcome::Kind::WrongFormat:
            ++counts_.wrong_format;
            break;
        case LookupOutcome::Kind::NoProvince:
            ++counts_.no_attribution;
            failures_in_a_row_ = 0;
            break;
        case LookupOutcome::Kind::Done:
            ++counts_.rows_written;
            failures_in_a_row_ = 0;
            break;
    }
    if (consumed) {
        done_ = std::min(done_ + 1, total_);
        consumed_at_.push_back(clock_());
        if (consumed_at_.size() > kPaceWindow) consumed_at_.pop_front();
    }
    emit Changed();
}

void BatchProgress::Follow(BatchRunner::State state) {
    // The time a run stood still says nothing about its pace.
    if (state == BatchRunner::State::Running) consumed_at_.clear();
    emit Changed();
}

void BatchProgress::Finish() {
    finished_ = true;
    done_ = total_;
    failures_in_a_row_ = 0;
    emit Changed();
}

std::optional<qint64> BatchProgress::MsLeft() const {
    if (runner_.state() != BatchRunner::State::Running || finished_) return std::nullopt;
    const qint64 left = total_ - done_;
    if (consumed_at_.size() >= 2) {
        const qint64 span = consumed_at_.back() - consumed_at_.front();
        return left * span / static_cast<qint64>(consumed_at_.size() - 1);
    }
    if (runner_.IntervalMs() > 0) return left * runner_.IntervalMs();
    return std::nullopt;
}

QString BatchProgress::Text() const {
    if (Warning()) return QStringLiteral("连接失败，正在重试…（%1次）").arg(failures_in_a_row_);
    if (finished_) return Summary();
    QString text = QStringLiteral("%1/%2").arg(done_).arg(total_);
    if (const auto left = MsLeft()) text += QStringLiteral("，剩余约") + DurationText(*left);
    return text;
}

QString BatchProgress::ToolTip() const { return Warning() ? last_failure_ : Summary(); }

QString BatchProgress::Summary() const {
    return QStringLiteral("写入%1行，无归属%2个，格式错误%3个，重试%4次")
        .arg(counts_.rows_written)
        .arg(counts_.no_attribution)
        .arg(counts_.wrong_format)
        .arg(counts_.fetch_retries);
}

QString DurationText(qint64 ms) {
    const qint64 seconds = (std::max<qint64>(ms, 0) + 999) / 1000;
    if (seconds >= 3600)
        return QStringLiteral("%1小时%2分").arg(seconds / 3600).arg(seconds % 3600 / 60);
    if (seconds >= 60) return QStringLiteral("%1分%2秒").arg(seconds / 60).arg(seconds % 60);
    return QStringLiteral("%1秒").arg(seconds);
}

}  // namespace numtrail
