#pragma once

#include <QTableView>
#include <vector>

namespace numtrail {

class ResultListModel;

// The result list as the window shows it: a list view in report view over the result model
// (whole rows, one selected at a time, no grid and no row numbers). Each column is as wide as
// the design gives it and as its header and an 11-digit number need in the list's font, and
// widens for a longer value; the row a lookup shows becomes the current one, with the focus.
// A right click anywhere in it asks for the pop-up menu.
class ResultView final : public QTableView {
    Q_OBJECT

  public:
    ResultView(ResultListModel& model, QWidget* parent);

    ResultListModel& Results() const { return model_; }
    // The selected row, -1 when none is.
    int SelectedRow() const;
    // Every column at its least width again, in the font the view has now.
    void FitColumns();

  signals:
    void MenuRequested(const QPoint& global_position);

  protected:
    bool viewportEvent(QEvent* event) override;

  private:
    void WidenColumnsFor(int first, int last);
    void Show(int row);
    int TextMargin() const;

    ResultListModel& model_;
    // Per column, the field values it is known to be wide enough for, by the store's value
    // numbers: values repeat (provinces, cities, card types) and each is measured once.
    std::vector<std::vector<bool>> measured_;
};

}  // namespace numtrail
