#include "results/result_summary.h"

#include <QHash>
#include <algorithm>
#include <vector>

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

ResultSummary SummarizeResults(const ResultStore& rows, qsizetype top_provinces) {
    // Counted by value first: a store of a million rows holds a few hundred distinct values.
    std::vector<qsizetype> by_province(rows.ValueCount()), by_card_type(rows.ValueCount());
    for (std::size_t r = 0; r < rows.Count(); ++r) {
        ++by_province[rows.ValueAt(r, 1)];
        ++by_card_type[rows.ValueAt(r, 5)];
    }
    QHash<QString, qsizetype> provinces;
    QHash<QString, qsizetype> card_types;
    for (ResultStore::ValueId id = 0; id < rows.ValueCount(); ++id) {
        const QString label = LabelOf(QString::fromStdString(std::string(rows.Value(id))));
        if (by_province[id] > 0) provinces[label] += by_province[id];
        if (by_card_type[id] > 0) card_types[label] += by_card_type[id];
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
