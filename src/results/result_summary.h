#pragma once

#include <QList>
#include <QString>

#include "results/result_store.h"

namespace numtrail {

struct LabelCount {
    QString label;
    qsizetype count = 0;
    bool operator==(const LabelCount&) const = default;
};

// How the rows of the result list spread over provinces and card types, largest first (equal
// counts by label). A row without a province or card type counts as 未知.
struct ResultSummary {
    QList<LabelCount> provinces;  // the largest `top_provinces`, then 其他 for the rest
    QList<LabelCount> card_types;
};

inline constexpr qsizetype kTopProvinces = 15;

ResultSummary SummarizeResults(const ResultStore& rows, qsizetype top_provinces = kTopProvinces);

}  // namespace numtrail
