#include "results/result_summary.h"

#include <gtest/gtest.h>

namespace numtrail {

void PrintTo(const LabelCount& c, std::ostream* out) {
    *out << c.label.toStdString() << ": " << c.count;
}

namespace {

LookupResult Row(const QString& province, const QString& card) {
    return {"13800138000", province, "", "", "", card};
}

TEST(SummarizeResults, CountsLargestFirstWithUnknownForEmptyFields) {
    const ResultSummary summary =
        SummarizeResults({Row("江苏", "中国移动"), Row("北京", "中国联通"), Row("江苏", "中国移动"),
                          Row("", ""), Row("广东", "中国移动"), Row("未知", "")});
    // Equal counts go by label, so the order does not depend on the list's.
    EXPECT_EQ(summary.provinces,
              (QList<LabelCount>{{"未知", 2}, {"江苏", 2}, {"北京", 1}, {"广东", 1}}));
    EXPECT_EQ(summary.card_types,
              (QList<LabelCount>{{"中国移动", 3}, {"未知", 2}, {"中国联通", 1}}));
    EXPECT_TRUE(SummarizeResults({}).provinces.isEmpty());
}

TEST(SummarizeResults, ProvincesBeyondTheTopGoUnder其他) {
    QList<LookupResult> rows;
    // Province p gets p + 1 rows: p16 is the largest, p0 and p1 the smallest.
    for (int p = 0; p < 17; ++p)
        for (int n = 0; n <= p; ++n)
            rows << Row(QStringLiteral("p%1").arg(p, 2, 10, QChar(u'0')), "x");
    const ResultSummary summary = SummarizeResults(rows);
    ASSERT_EQ(summary.provinces.size(), 16);
    EXPECT_EQ(summary.provinces.front(), (LabelCount{"p16", 17}));
    EXPECT_EQ(summary.provinces[14], (LabelCount{"p02", 3}));
    EXPECT_EQ(summary.provinces.back(), (LabelCount{"其他", 1 + 2}));
    // Exactly as many provinces as the top: nothing is folded.
    EXPECT_EQ(SummarizeResults(rows, 17).provinces.size(), 17);
}

}  // namespace
}  // namespace numtrail
