#include "lookup/number_lookup.h"

#include <cstdio>

#include "results/result_list_model.h"

namespace numtrail {

NumberLookup::NumberLookup(AnswerSource& source, ResultListModel& results, ResultJournal* journal,
                           QObject* parent)
    : QObject(parent), source_(source), results_(results), journal_(journal) {}

LookupOutcome NumberLookup::LookUp(const QString& n, QueryMode mode) {
    emit MessageChanged(QStringLiteral("手机号码[") + n + QStringLiteral("]查询中..."));
    const SourceAnswer answer = source_.Ask(n);
    if (!answer.answered) return {LookupOutcome::Kind::NoAnswer, answer.failure};
    if (mode == QueryMode::Batch && answer.refused) return {LookupOutcome::Kind::RateLimited, {}};
    if (answer.record.province.empty()) {
        if (mode == QueryMode::Single) {
            attribution::Record alone;
            alone.number = n.toStdString();
            AddRow(alone, mode);
        }
        return {LookupOutcome::Kind::NoProvince, {}};
    }
    AddRow(answer.record, mode);
    results_.ShowTopRow();
    if (mode == QueryMode::Single) emit MessageChanged(QStringLiteral("查询完毕.."));
    return {LookupOutcome::Kind::Done, {}};
}

void NumberLookup::AddRow(const attribution::Record& row, QueryMode mode) {
    // On disk before it is on screen: a row the user has seen is never one a crash loses.
    if (journal_ && !journal_->Append(row, mode) && !journal_failure_said_) {
        journal_failure_said_ = true;
        std::fprintf(stderr, "numtrail: results journal: %s\n", journal_->Error().c_str());
        std::fflush(stderr);
        emit JournalFailed(QString::fromLocal8Bit(journal_->Error()));
    }
    results_.InsertTop(row);
}

}  // namespace numtrail
