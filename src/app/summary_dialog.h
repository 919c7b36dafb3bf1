#pragma once

#include <QByteArray>
#include <QDialog>

#include "results/result_summary.h"

class QChartView;
class QPushButton;

namespace numtrail {

// Where the result list's numbers are: a bar chart of rows per province and a pie chart of
// card types, from a summary taken when the window opens. Its save button renders both charts
// as one PNG picture and hands it on; where it goes is the main window's business.
class SummaryDialog : public QDialog {
    Q_OBJECT

  public:
    SummaryDialog(const ResultSummary& summary, QWidget* parent);

    // Both charts, as they are shown, as PNG bytes; empty when the picture could not be made.
    QByteArray ChartsPng() const;

  signals:
    void SaveRequested(const QByteArray& png);

  private:
    void CreateControls(const ResultSummary& summary);
    void Connect();

    QWidget* charts_ = nullptr;
    QChartView* ProvinceChart_ = nullptr;
    QChartView* CardTypeChart_ = nullptr;
    QPushButton* SaveChartsButton_ = nullptr;
    QPushButton* CloseButton_ = nullptr;
};

}  // namespace numtrail
