#include "results/entry_list_model.h"

#include <algorithm>
#include <climits>
#include <utility>

namespace numtrail {

int EntryListModel::rowCount(const QModelIndex& parent) const {
    // A view counts its rows in int: a list beyond that shows its first INT_MAX entries.
    return parent.isValid() ? 0 : static_cast<int>(std::min<qsizetype>(entries_.size(), INT_MAX));
}

QVariant EntryListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= entries_.size()) return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole) return entries_.At(index.row());
    return {};
}

Qt::ItemFlags EntryListModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren
                           : Qt::NoItemFlags;
}

void EntryListModel::Replace(NumberEntries entries) {
    beginResetModel();
    entries_ = std::move(entries);
    endResetModel();
}

}  // namespace numtrail
