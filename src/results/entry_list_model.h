#pragma once

#include <QAbstractListModel>

#include "results/number_list.h"

namespace numtrail {

// The pending list of a batch as a list view shows it: one row per entry, its text, read from
// a compact NumberEntries, so that a list of millions of numbers costs tens of megabytes, not
// an item object each.
class EntryListModel final : public QAbstractListModel {
    Q_OBJECT

  public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    const NumberEntries& entries() const { return entries_; }
    // Takes the place of every entry.
    void Replace(NumberEntries entries);

  private:
    NumberEntries entries_;
};

}  // namespace numtrail
