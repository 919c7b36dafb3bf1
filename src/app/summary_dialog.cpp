#include "app/summary_dialog.h"

#include <QBuffer>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtCharts/QBarCategoryAxis>
#include <QtCharts/QBarSet>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QHorizontalBarSeries>
#include <QtCharts/QPieSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>

namespace numtrail {
namespace {

qsizetype Total(const QList<LabelCount>& counts) {
    qsizetype total = 0;
    for (const LabelCount& c : counts) total += c.count;
    return total;
}

QChartView* ChartView(QChart* chart, const QString& name, QWidget* parent) {
    auto* view = new QChartView(chart, parent);
    view->setObjectName(name);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(420, 420);
    return view;
}

// The largest province at the top; each bar carries its count.
QChart* ProvinceBars(const QList<LabelCount>& provinces) {
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("各省份号码数"));
    chart->legend()->hide();
    auto* set = new QBarSet(QStringLiteral("号码数"));
    set->setLabelColor(Qt::black);  // outside the bar, on the chart's light background
    QStringList labels;
    qsizetype most = 0;
    for (auto it = provinces.rbegin(); it != provinces.rend(); ++it) {
        *set << static_cast<qreal>(it->count);
        labels << it->label;
        most = std::max(most, it->count);
    }
    auto* series = new QHorizontalBarSeries;
    series->append(set);
    series->setLabelsVisible(true);
    series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
    series->setLabelsPrecision(15);  // counts, not 6 significant digits
    chart->addSeries(series);
    auto* names = new QBarCategoryAxis;
    names->append(labels);
    chart->addAxis(names, Qt::AlignLeft);
    series->attachAxis(names);
    auto* counts = new QValueAxis;
    counts->setLabelFormat(QStringLiteral("%d"));
    // Room beyond the longest bar for its label.
    counts->setRange(0, static_cast<qreal>(most) * 1.15 + 1);
    counts->applyNiceNumbers();
    chart->addAxis(counts, Qt::AlignBottom);
    series->attachAxis(counts);
    return chart;
}

QChart* CardTypePie(const QList<LabelCount>& card_types) {
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("号码类型"));
    chart->legend()->setAlignment(Qt::AlignRight);
    const auto total = static_cast<double>(std::max<qsizetype>(Total(card_types), 1));
    auto* series = new QPieSeries;
    for (const LabelCount& c : card_types)
        series->append(QStringLiteral("%1 %2 (%3%)")
                           .arg(c.label)
                           .arg(c.count)
                           .arg(100.0 * static_cast<double>(c.count) / total, 0, 'f', 1),
                       static_cast<qreal>(c.count));
    chart->addSeries(series);
    return chart;
}

}  // namespace

SummaryDialog::SummaryDialog(const ResultSummary& summary, QWidget* parent) : QDialog(parent) {
    CreateControls(summary);
    Connect();
}

void SummaryDialog::CreateControls(const ResultSummary& summary) {
    setObjectName(QStringLiteral("SummaryDialog"));
    setWindowTitle(QStringLiteral("统计图表（共%1个号码）").arg(Total(summary.card_types)));
    charts_ = new QWidget(this);
    charts_->setObjectName(QStringLiteral("Charts"));
    ProvinceChart_ =
        ChartView(ProvinceBars(summary.provinces), QStringLiteral("ProvinceChart"), charts_);
    CardTypeChart_ =
        ChartView(CardTypePie(summary.card_types), QStringLiteral("CardTypeChart"), charts_);
    auto* chart_row = new QHBoxLayout(charts_);
    chart_row->addWidget(ProvinceChart_, 1);
    chart_row->addWidget(CardTypeChart_, 1);

    SaveChartsButton_ = new QPushButton(QStringLiteral("保存为图片..."), this);
    SaveChartsButton_->setObjectName(QStringLiteral("SaveChartsButton"));
    CloseButton_ = new QPushButton(QStringLiteral("关闭"), this);
    CloseButton_->setObjectName(QStringLiteral("CloseButton"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(SaveChartsButton_);
    buttons->addWidget(CloseButton_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(charts_, 1);
    layout->addLayout(buttons);
    resize(1000, 560);
}

void SummaryDialog::Connect() {
    connect(SaveChartsButton_, &QPushButton::clicked, this,
            [this] { emit SaveRequested(ChartsPng()); });
    connect(CloseButton_, &QPushButton::clicked, this, &QDialog::close);
}

QByteArray SummaryDialog::ChartsPng() const {
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !charts_->grab().save(&buffer, "PNG")) return {};
    return png;
}

}  // namespace numtrail
