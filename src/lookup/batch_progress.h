#pragma once

#include <QObject>
#include <QString>
#include <deque>
#include <functional>
#include <optional>

#include "lookup/batch_runner.h"

namespace numtrail {

// How the batch stands, for the window's progress bar: the entries done of the entries in the
// run, the time left at the current pace, what the run has written and skipped so far, and an
// entry whose fetch keeps failing. It follows the runner's signals; the window shows its texts.
class BatchProgress : public QObject {
    Q_OBJECT

  public:
    // Milliseconds on a clock that never goes back.
    using Clock = std::function<qint64()>;
    // After this many failed fetches of the same entry in a row the bar warns.
    static constexpr int kFailuresBeforeWarning = 3;

    struct Counts {
        int rows_written = 0;
        int no_attribution = 0;  // answered without a province
        int wrong_format = 0;    // not 11 digits
        int fetch_retries = 0;   // fetches that failed or brought an empty answer
    };

    // Without a clock, the system's monotonic clock.
    explicit BatchProgress(const BatchRunner& runner, Clock clock = {}, QObject* parent = nullptr);

    bool Begun() const { return total_ > 0; }  // a run has begun since the window opened
    int Done() const { return done_; }
    int Total() const { return total_; }
    bool Finished() const { return finished_; }
    bool Warning() const { return failures_in_a_row_ >= kFailuresBeforeWarning; }
    // While the run is on and a pace is known: the measured one, or else the chosen speed's.
    std::optional<qint64> MsLeft() const;

    // The bar's text: the warning while it stands, the summary once the run is over, else
    // "done/total" and, while running, the time left.
    QString Text() const;
    // The last failure's reason while the warning stands, else the summary so far.
    QString ToolTip() const;
    // "写入…行，无归属…个，格式错误…个，重试…次"
    QString Summary() const;

  signals:
    void Changed();

  private:
    void Begin(int first, int count);
    void Record(int index, const LookupOutcome& outcome);
    void Follow(BatchRunner::State state);
    void Finish();

    const BatchRunner& runner_;
    Clock clock_;
    int total_ = 0;
    int done_ = 0;
    Counts counts_;
    bool finished_ = false;
    int failing_entry_ = -1;
    int failures_in_a_row_ = 0;
    QString last_failure_;
    std::deque<qint64> consumed_at_;  // when the latest entries were consumed, oldest first
};

// A time span as the bar shows it: "2小时5分", "3分12秒", "45秒" (seconds rounded up).
QString DurationText(qint64 ms);

}  // namespace numtrail
