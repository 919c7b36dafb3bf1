#include "results/result_summary.h"

#include <gtest/gtest.h>

#include <memory>

#include "support/result_row.h"

namespace numtrail {

void PrintTo(const LabelCount& c, std::ostream* out) {
    *out << c.label.toStdString() << ": " << c.count;
}

namespace {

attribution::Record Row(const QString& province, const QString& card) {
    return test::ResultRow("13800138000", province.toStdString(), "", "", "", card.toStdString());
}

// The rows in a store, as the window holds them.
std::unique_ptr<ResultStore> Store(const QList<attribution::Record>& rows) {
    auto store = std::make_unique<ResultStore>();
    for (const attribution::Record& row : rows) store->InsertTop(row);
    return store;
}

TEST(SummarizeResults, CountsLargestFirstWithUnknownForEmptyFields) {
    const ResultSummary summary = SummarizeResults(
        *Store({Row("江苏", "中国移动"), Row("北京", "中国联通"), Row("江苏", "中国移动"),
                Row("", ""), Row("广东", "中国移动"), Row("未知", "")}));
    // Equal counts go by label, so the order does not depend on the list's.
    EXPECT_EQ(summary.provinces,
              (QList<LabelCount>{{"未知", 2}, {"江苏", 2}, {"北京", 1}, {"广东", 1}}));
    EXPECT_EQ(summary.card_types,
              (QList<LabelCount>{{"中国移动", 3}, {"未知", 2}, {"中国联通", 1}}));
    EXPECT_TRUE(SummarizeResults(*Store({})).provinces.isEmpty());
}

TEST(SummarizeResults, ProvincesBeyondTheTopGoUnder其他) {
    QList<attribution::Record> rows;
    // Province p gets p + 1 rows: p16 is the largest, p0 and p1 the smallest.
    for (int p = 0; p < 17; ++p)
        for (int n = 0; n <= p; ++n)
            rows << Row(QStringLiteral("p%1").arg(p, 2, 10, QChar(u'0')), "x");
    const ResultSummary summary = SummarizeResults(*Store(rows));
    ASSERT_EQ(summary.provinces.size(), 16);
    EXPECT_EQ(summary.provinces.front(), (LabelCount{"p16", 17}));
    EXPECT_EQ(summary.provinces[14], (LabelCount{"p02", 3}));
    EXPECT_EQ(summary.provinces.back(), (LabelCount{"其他", 1 + 2}));
    // Exactly as many provinces as the top: nothing is folded.
    EXPECT_EQ(SummarizeResults(*Store(rows), 17).provinces.size(), 17);
}

}  // namespace
}  // namespace numtrail
