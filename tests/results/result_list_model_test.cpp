#include "results/result_list_model.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <random>
#include <vector>

#include "results/export_format.h"
#include "support/result_row.h"

namespace numtrail {
namespace {

QString Value(std::mt19937& random, const QStringList& choices) {
    return choices[static_cast<qsizetype>(random() % static_cast<unsigned>(choices.size()))];
}

// Inserts at the top, removals of shown rows, publishing and clearing in random order, against
// a plain list that inserts at its front: the store always holds every row in that order, the
// views see its bottom rows (all of them once published), and Qt's model checker finds the
// model's signals consistent with its rows throughout.
TEST(ResultListModel, RowsStandAsAPlainListWouldHaveThem) {
    ResultListModel model;
    QAbstractItemModelTester checker(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    std::vector<attribution::Record> reference;  // front is the top
    std::mt19937 random(20);
    const QStringList provinces{"江苏", "北京", "", "未知", "广东"};
    for (int step = 0; step < 3000; ++step) {
        const unsigned op = random() % 100;
        if (op < 70) {
            const attribution::Record row = test::ResultRow(
                std::to_string(13800000000LL + step), Value(random, provinces).toStdString(),
                Value(random, {"常州", "北京", ""}).toStdString(),
                Value(random, {"0519", "010"}).toStdString(), "",
                Value(random, {"中国移动", "中国联通"}).toStdString());
            reference.insert(reference.begin(), row);
            model.InsertTop(row);
        } else if (op < 85 && model.rowCount() > 0) {
            const int row = static_cast<int>(random() % static_cast<unsigned>(model.rowCount()));
            reference.erase(reference.begin() + static_cast<std::ptrdiff_t>(reference.size()) -
                            model.rowCount() + row);
            model.Remove(row);
        } else if (op < 98) {
            model.Publish();
        } else {
            reference.clear();
            model.Clear();
        }

        const ResultStore& store = model.Store();
        ASSERT_EQ(store.Count(), reference.size()) << step;
        for (std::size_t i = 0; i < store.Count(); ++i)
            ASSERT_EQ(store.Row(i), reference[i]) << step;
        const int hidden = static_cast<int>(reference.size()) - model.rowCount();
        ASSERT_GE(hidden, 0);
        for (int row = 0; row < model.rowCount(); ++row) {
            const attribution::Record& expected = reference[static_cast<std::size_t>(hidden + row)];
            ASSERT_EQ(model.index(row, 0).data().toString().toStdString(), expected.number);
            ASSERT_EQ(model.index(row, model.ColumnOf(u"pro")).data().toString().toStdString(),
                      expected.province);
            ASSERT_EQ(model.index(row, model.ColumnOf(u"lx")).data().toString().toStdString(),
                      expected.card_type);
        }
    }
    model.Publish();
    EXPECT_EQ(model.rowCount(), static_cast<int>(reference.size()));
}

// The export of the window's rows is byte for byte the lines of the export format.
TEST(ResultListModel, ExportOfTheStoreIsTheExportFormat) {
    ResultListModel model;
    const QList<QStringList> rows{
        {"13800138000", "江苏", "常州", "0519", "213000", "中国移动"},
        {" 12345 ", "", "北京", "", "", ""},
        {"", "a", "", "", "", "e "},
        {"  13912345678", " 江苏", QString(700, u'城'), "", "", "\U0001F600"},
        {"北京上海", "江苏", "常州", "0519", "213000", "中国移动"},
        {"北京", "江苏", "常州", "0519", "213000", "中国移动"},
    };
    QByteArray expected;
    for (const QStringList& r : rows) {
        model.InsertTop(test::ResultRow(r[0].toStdString(), r[1].toStdString(), r[2].toStdString(),
                                        r[3].toStdString(), r[4].toStdString(),
                                        r[5].toStdString()));
        expected.prepend(ExportLine(r));
    }
    EXPECT_EQ(ExportBytes(model.Store()), expected);
}

}  // namespace
}  // namespace numtrail
