#pragma once

#include <QObject>
#include <QString>

#include "lookup/answer_source.h"
#include "lookup/batch_runner.h"
#include "results/result_journal.h"

namespace numtrail {

class ResultListModel;

// The lookup of one number that has passed the number check, shared by the single query and
// the batch tick: it announces the number, asks the answer source, and writes the result row,
// into the journal first and then on top of the result list. It tells the runner how the
// lookup ended; the window shows its texts and the rows.
class NumberLookup : public QObject {
    Q_OBJECT

  public:
    // Without a journal, rows go to the list alone.
    NumberLookup(AnswerSource& source, ResultListModel& results, ResultJournal* journal,
                 QObject* parent = nullptr);

    // The single query shows the number it asked about even without an answer's province,
    // alone on its row, and does not look for the service's refusal; the batch does.
    LookupOutcome LookUp(const QString& n, QueryMode mode);

  signals:
    void MessageChanged(const QString& text);  // the message line
    // The journal could not be written, the first time (the queries go on, and later rows
    // are tried again).
    void JournalFailed(const QString& error);

  private:
    // The one place a result row is written.
    void AddRow(const attribution::Record& row, QueryMode mode);

    AnswerSource& source_;
    ResultListModel& results_;
    ResultJournal* journal_;
    bool journal_failure_said_ = false;
};

}  // namespace numtrail
