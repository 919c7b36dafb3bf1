#pragma once

#include <QObject>
#include <QString>
#include <QThreadPool>
#include <memory>
#include <optional>

#include "attribution/attributor.h"
#include "lookup/lookup_rules.h"

namespace numtrail {

class Fetcher;

// What the window learns about a number it asked about.
struct SourceAnswer {
    bool answered = false;  // false: the fetch failed or the answer was empty; ask again
    QString failure;        // why there is no answer, when that is known
    bool refused = false;   // the service refuses for now
    // The fields of the answer; a province that is empty means no attribution.
    attribution::Record record;
};

// Where the window's lookups get their answers: an attribution endpoint over HTTP, or the
// attribution core in the program itself. An answer may take time (a fetch, an online
// service): the wait runs the event loop, so window events, timer ticks and other lookups run
// inside it, and a lookup started meanwhile ends before the one it interrupted.
class AnswerSource {
  public:
    virtual ~AnswerSource() = default;
    virtual SourceAnswer Ask(const QString& n) = 0;
};

// Fetches each number's answer from an attribution endpoint and cuts its fields out as the
// protocol's reading does, keeping the answer and the cuts in the window's work area.
class FetchedAnswers final : public AnswerSource {
  public:
    FetchedAnswers(Fetcher& fetcher, QString endpoint, QuerySlots& work_area);
    SourceAnswer Ask(const QString& n) override;

  private:
    Fetcher& fetcher_;
    const QString endpoint_;
    QuerySlots& slots_;
};

// Answers from the attribution core in the program, without a request. A number whose answer
// may wait for an online service is asked on a thread of its own while the event loop runs
// here, so that the window keeps answering; the others are answered at once.
class AttributedAnswers final : public AnswerSource {
  public:
    explicit AttributedAnswers(attribution::Attributor& attributor);
    ~AttributedAnswers() override;
    SourceAnswer Ask(const QString& n) override;

  private:
    std::optional<attribution::Answer> AskOffThread(const attribution::Number& number);

    attribution::Attributor& attributor_;
    std::unique_ptr<QThreadPool> pool_;  // made for the first number that may wait
    QObject context_;                    // where the workers' answers are delivered, on this thread
};

}  // namespace numtrail
