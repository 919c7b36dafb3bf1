#include "app/result_view.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QStyle>

#include "app/column_width.h"
#include "results/result_list_model.h"

namespace numtrail {

ResultView::ResultView(ResultListModel& model, QWidget* parent)
    : QTableView(parent), model_(model) {
    setModel(&model_);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setContextMenuPolicy(Qt::PreventContextMenu);
    setTabKeyNavigation(false);
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    verticalHeader()->hide();
    // Rows of one height are laid out without measuring any of them.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    FitColumns();
    connect(&model_, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { WidenColumnsFor(first, last); });
    connect(&model_, &QAbstractItemModel::modelReset, this,
            [this] { measured_.assign(model_.columnCount(), {}); });
    connect(&model_, &ResultListModel::RowToShow, this, &ResultView::Show);
}

int ResultView::SelectedRow() const {
    const QModelIndexList selected = selectionModel()->selectedRows();
    return selected.isEmpty() ? -1 : selected.first().row();
}

// The view draws a cell's text this far in from either side of its column.
int ResultView::TextMargin() const {
    return style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
}

void ResultView::FitColumns() {
    measured_.assign(model_.columnCount(), {});
    const QFontMetrics metrics = fontMetrics();
    verticalHeader()->setDefaultSectionSize(metrics.height() + 4);
    QStringList texts{WidestNumber(metrics)};
    for (int c = 0; c < model_.columnCount(); ++c) {
        const int design = ResultColumns()[static_cast<std::size_t>(c)].design_twips;
        setColumnWidth(c, std::max(ColumnWidth(design, metrics, texts, TextMargin()),
                                   horizontalHeader()->sectionSizeHint(c)));
        texts.clear();
    }
    WidenColumnsFor(0, model_.rowCount() - 1);
}

// A column grows when a row brings a text wider than it. The number column fits 11 digits
// already, and a row is written only for a number that passed the number check.
void ResultView::WidenColumnsFor(int first, int last) {
    for (int row = first; row <= last; ++row) {
        for (int c = 1; c < model_.columnCount(); ++c) {
            const ResultStore::ValueId id = model_.ValueAt(row, c);
            std::vector<bool>& known = measured_[static_cast<std::size_t>(c)];
            if (known.size() <= id) known.resize(model_.Store().ValueCount());
            if (id == 0 || known[id]) continue;
            known[id] = true;
            const int needed = ColumnWidth(0, fontMetrics(), {model_.CellAt(row, c)}, TextMargin());
            if (needed > columnWidth(c)) setColumnWidth(c, needed);
        }
    }
}

void ResultView::Show(int row) {
    setFocus();
    setCurrentIndex(model_.index(row, 0));
}

bool ResultView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton)
            emit MenuRequested(mouse->globalPosition().toPoint());
    }
    return QTableView::viewportEvent(event);
}

}  // namespace numtrail
