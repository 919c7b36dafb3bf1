#pragma once

#include <QObject>
#include <QString>
#include <vector>

class QTimer;

namespace numtrail {

// How the lookup of one entry ended.
struct LookupOutcome {
    enum class Kind {
        WrongFormat,  // not 11 digits: reported by the number check, skipped
        NoAnswer,     // the fetch failed or the answer was empty: asked for again
        RateLimited,  // the service refuses for now: the run stops on this entry
        NoProvince,   // the answer carries no attribution: skipped
        Done,         // a result row was written
    } kind;
    QString fetch_failure;  // NoAnswer: why the fetch failed; empty for an empty answer
};

// What the runner needs from the window that shows the pending list and the results.
class BatchHost {
  public:
    virtual ~BatchHost() = default;
    virtual int EntryCount() const = 0;
    virtual int CurrentEntry() const = 0;  // -1 when no entry is selected
    virtual QString EntryText(int index) const = 0;
    virtual void SelectEntry(int index) = 0;
    // The number check, the fetch and the parse of one number; writes the row of a result.
    virtual LookupOutcome LookUp(const QString& n) = 0;
    virtual void ShowMessage(const QString& text) = 0;  // the message line
    virtual void Notify(const QString& text) = 0;       // an information box
};

// Works through the pending list one entry per tick of Timer5, at the chosen speed: starts,
// stops, finishes, retries an unanswered entry, stops on a refusal and skips entries that
// are not numbers or have no attribution. It owns the run's state; the window forwards the
// clicks and shows the state it is told.
class BatchRunner : public QObject {
    Q_OBJECT

  public:
    // idle: "开始查询", ticks off; running: "停止查询", ticking; finished: "停止查询", the
    // list worked through, nothing ticks until a click returns to idle.
    enum class State { Idle, Running, Finished };

    struct Speed {
        QString label;  // in the speed list, seconds per request
        int interval_ms;
    };
    // "0" (each tick as soon as the one before has ended), "0.1" to "0.9", then "1" to "5".
    static const std::vector<Speed>& Speeds();
    // At speed "0", an entry whose fetch failed is asked again after this pause rather than at
    // once, so that a service that is down is not hammered in a tight loop.
    static constexpr int kRetryPauseMs = 100;

    explicit BatchRunner(BatchHost& host, QObject* parent = nullptr);

    State state() const { return state_; }
    int BatchIndex() const { return BatchIndex_; }
    int SpeedIndex() const { return speed_index_; }
    int IntervalMs() const;  // of the chosen speed
    bool Ticking() const;

    void ChooseSpeed(int index);  // Combo1
    void StartStop();             // Command3
    void Tick();                  // Timer5
    void ListReplaced();          // after an import
    void EntryPicked();           // the user selected an entry (or the list moved its selection)

  signals:
    void StateChanged(BatchRunner::State state);
    // A start that does not go on from where a stopped run stood: the list is fresh (imported
    // or worked through) or the user chose another entry. The run takes the entries from
    // `first` to the end of the list's `count`.
    void RunBegun(int first, int count);
    // The last entry of the list has been consumed: the run is over, whether or not the user
    // stopped it during that entry's fetch.
    void RunFinished();
    // After each lookup of a tick, before the run moves on; `index` is the entry's position.
    void EntryLookedUp(int index, const LookupOutcome& outcome);

  private:
    void Start();
    void Stop();
    // One entry of a tick; false when it went unanswered and is to be asked again.
    bool LookUpEntry();
    void Advance(int entry_index, int list_generation);
    void SetState(State state);

    BatchHost& host_;
    QTimer* Timer5_;
    State state_ = State::Idle;
    int speed_index_;
    int BatchIndex_ = 0;
    bool fresh_run_ = true;      // the next start begins at entry 0 unless the user picks one
    bool start_picked_ = false;  // the user chose an entry since the list became fresh
    bool tick_running_ = false;  // a tick waits for its fetch or message box
    int list_generation_ = 0;    // counts imports, so that a tick knows its list was replaced
};

}  // namespace numtrail
