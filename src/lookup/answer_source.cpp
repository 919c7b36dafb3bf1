#include "lookup/answer_source.h"

#include <QEventLoop>
#include <QPointer>
#include <mutex>
#include <optional>

#include "platform/platform.h"

namespace numtrail {

FetchedAnswers::FetchedAnswers(Fetcher& fetcher, QString endpoint, QuerySlots& work_area)
    : fetcher_(fetcher), endpoint_(std::move(endpoint)), slots_(work_area) {}

SourceAnswer FetchedAnswers::Ask(const QString& n) {
    slots_.ql();
    // The answer is kept here as well as in slot 0: a lookup that runs nested inside this
    // one's fetch clears and refills the shared slots, and must not lend us its fields.
    const FetchResult fetched = fetcher_.Fetch(AttributionUrl(endpoint_, n));
    const QString answer = fetched.body;
    slots_[0] = answer;
    if (answer.isEmpty()) return {false, fetched.failure, false, {}};
    const std::array<QString, 10> fields = ParseAnswer(answer);
    for (int i = 1; i <= 10; ++i) slots_[i] = fields[static_cast<std::size_t>(i - 1)];
    attribution::Record record = ResultFromSlots(n, fields);
    record.kind = EntryNumber(n).kind;
    record.status = record.province.empty()              ? attribution::Status::Unassigned
                    : attribution::PlacesPrefix(&record) ? attribution::Status::Ok
                                                         : attribution::Status::UnknownPlace;
    return {true, {}, IsRateLimited(answer), std::move(record)};
}

AttributedAnswers::AttributedAnswers(attribution::Attributor& attributor)
    : attributor_(attributor) {}

AttributedAnswers::~AttributedAnswers() {
    if (pool_) pool_->waitForDone();
}

SourceAnswer AttributedAnswers::Ask(const QString& n) {
    const attribution::Number number = EntryNumber(n);
    const std::optional<attribution::Answer> answer =
        attributor_.MayBlock(number) ? AskOffThread(number) : attributor_.Attribute(number);
    if (!answer) return {false, QStringLiteral("查询已中断"), false, {}};
    // The online service's refusal carries no fields, as its refusal page does not.
    if (answer->refused) return {true, {}, true, {}};
    attribution::Record row = attribution::RowOf(number, *answer);
    row.number = n.toStdString();
    return {true, {}, false, std::move(row)};
}

std::optional<attribution::Answer> AttributedAnswers::AskOffThread(
    const attribution::Number& number) {
    // Shared with the worker, which may finish after this wait has been given up (the program
    // quitting its event loops).
    struct Pending {
        std::mutex mutex;
        std::optional<attribution::Answer> answer;
        QPointer<QEventLoop> wait;
    };
    if (!pool_) {
        pool_ = std::make_unique<QThreadPool>();
        // Lookups nest while one waits; each waits for the online service on a thread of
        // its own.
        pool_->setMaxThreadCount(8);
    }
    const auto pending = std::make_shared<Pending>();
    QEventLoop wait;
    pending->wait = &wait;
    pool_->start([this, pending, number] {
        const attribution::Answer answer = attributor_.Attribute(number);
        {
            std::lock_guard lock(pending->mutex);
            pending->answer = answer;
        }
        QMetaObject::invokeMethod(
            &context_,
            [pending] {
                if (pending->wait) pending->wait->quit();
            },
            Qt::QueuedConnection);
    });
    wait.exec();
    std::lock_guard lock(pending->mutex);
    // Given up without an answer: as a fetch that failed, nothing is written.
    return pending->answer;
}

}  // namespace numtrail
