#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <array>

#include "attribution/record.h"
#include "results/result_store.h"

namespace numtrail {

class Throttle;

// One column of the result list: its key (the name the lookup writes it by), its header and its
// design width.
struct ResultColumn {
    QLatin1StringView key;
    QString header;
    int design_twips;
};

// The six columns in display order: "num", "pro", "city", "qh", "yb", "lx".
const std::array<ResultColumn, ResultStore::kColumns>& ResultColumns();

// The result list as an item model over a ResultStore, newest row on top, for the window's
// list view. The header of each column gives its key under kKeyRole.
//
// A fast batch writes rows far faster than a view can lay them out and paint them, so the views
// hear of new rows at most once every kPublishIntervalMs: the first row after a quiet spell at
// once, the rows that follow it together. The store holds every row all the time; until the
// views hear of them the new rows stand above the model's row 0.
class ResultListModel final : public QAbstractTableModel {
    Q_OBJECT

  public:
    static constexpr int kKeyRole = Qt::UserRole;
    static constexpr int kPublishIntervalMs = 100;

    explicit ResultListModel(QObject* parent = nullptr);

    const ResultStore& Store() const { return store_; }
    int ColumnOf(QStringView key) const;  // -1 for a key no column has
    attribution::Record RowAt(int row) const;
    QString CellAt(int row, int column) const;
    ResultStore::ValueId ValueAt(int row, int column) const {
        return store_.ValueAt(StoreIndex(row), column);
    }

    void InsertTop(const attribution::Record& row);
    // The row just inserted on top is to be shown (made current) once the views have it;
    // RowToShow says when, with the row it has then.
    void ShowTopRow();
    void Remove(int row);  // a row the views show
    void Clear();
    // Tells the views at once of the rows they have not heard of yet.
    void Publish();
    bool HasUnpublished() const { return unpublished_ > 0; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

  signals:
    void RowToShow(int row);

  private:
    std::size_t StoreIndex(int row) const { return static_cast<std::size_t>(row + unpublished_); }

    ResultStore store_;
    int unpublished_ = 0;   // rows at the top of the store that the views have not heard of
    int row_to_show_ = -1;  // counted in the store from the top, until the views have it
    Throttle* publishing_;
};

}  // namespace numtrail
