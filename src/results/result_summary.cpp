#include "results/result_summary.h"

#include <QHash>
#include <algorithm>

namespace numtrail {
namespace {

QList<LabelCount> Ranked(const QHash<QString, qsizetype>& counts) {
    QList<LabelCount> ranked;
    ranked.reserve(counts.size());
    for (auto it = counts.begin(); it != counts.end(); ++it) ranked.append({it.key(), it.value()});
    std::sort(ranked.begin(), ranked.end(), [](const LabelCount& a, const LabelCount& b) {
        return a.count != b.count ? a.count > b.count : a.label < b.label;
    });
    return ranked;
}

QString LabelOf(const QString& value) { return value.isEmpty() ? QStringLiteral("未知") : value; }

}  // namespace

ResultSummary SummarizeResults(const QList<LookupResult>& rows, qsizetype top_provinces) {
    QHash<QString, qsizetype> provinces;
    QHash<QString, qsizetype> card_types;
    for (const LookupResult& row : rows) {
        ++provinces[LabelOf(row.province)];
        ++card_types[LabelOf(row.card_type)];
    }
    ResultSummary summary{Ranked(provinces), Ranked(card_types)};
    if (summary.provinces.size() > top_provinces) {
        LabelCount rest{QStringLiteral("其他"), 0};
        for (qsizetype i = top_provinces; i < summary.provinces.size(); ++i)
            rest.count += summary.provinces[i].count;
        summary.provinces.resize(top_provinces);
        summary.provinces.append(rest);
    }
    return summary;
}

}  // namespace numtrail
