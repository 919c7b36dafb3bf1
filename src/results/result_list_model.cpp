#include "results/result_list_model.h"

#include <utility>

#include "platform/throttle.h"

namespace numtrail {

const std::array<ResultColumn, ResultStore::kColumns>& ResultColumns() {
    static const std::array<ResultColumn, ResultStore::kColumns> columns = [] {
        constexpr std::array<std::pair<const char*, int>, ResultStore::kColumns> kKeys = {
            {{"num", 1300},
             {"pro", 1500},
             {"city", 1500},
             {"qh", 1200},
             {"yb", 1200},
             {"lx", 1300}}};
        std::array<ResultColumn, ResultStore::kColumns> made;
        for (std::size_t c = 0; c < made.size(); ++c) {
            const std::string_view header = tables::kResultHeaders[c];
            made[c] = {QLatin1StringView(kKeys[c].first),
                       QString::fromUtf8(header.data(), static_cast<qsizetype>(header.size())),
                       kKeys[c].second};
        }
        return made;
    }();
    return columns;
}

ResultListModel::ResultListModel(QObject* parent)
    : QAbstractTableModel(parent),
      publishing_(new Throttle(
          kPublishIntervalMs, [this] { Publish(); }, this)) {}

int ResultListModel::ColumnOf(QStringView key) const {
    const auto& columns = ResultColumns();
    for (std::size_t c = 0; c < columns.size(); ++c)
        if (columns[c].key == key) return static_cast<int>(c);
    return -1;
}

attribution::Record ResultListModel::RowAt(int row) const { return store_.Row(StoreIndex(row)); }

QString ResultListModel::CellAt(int row, int column) const {
    const std::string_view text = store_.Cell(StoreIndex(row), column);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void ResultListModel::InsertTop(const attribution::Record& row) {
    store_.InsertTop(row);
    ++unpublished_;
    if (row_to_show_ >= 0) ++row_to_show_;  // one more row above the one waiting
    publishing_->Request();
}

void ResultListModel::ShowTopRow() {
    row_to_show_ = 0;
    if (!HasUnpublished()) emit RowToShow(std::exchange(row_to_show_, -1));
}

void ResultListModel::Remove(int row) {
    beginRemoveRows({}, row, row);
    store_.Remove(StoreIndex(row));
    endRemoveRows();
}

void ResultListModel::Clear() {
    beginResetModel();
    store_.Clear();
    unpublished_ = 0;
    row_to_show_ = -1;
    endResetModel();
}

void ResultListModel::Publish() {
    if (!HasUnpublished()) return;
    beginInsertRows({}, 0, unpublished_ - 1);
    unpublished_ = 0;
    endInsertRows();
    if (row_to_show_ >= 0) emit RowToShow(std::exchange(row_to_show_, -1));
}

int ResultListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(store_.Count()) - unpublished_;
}

int ResultListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ResultStore::kColumns;
}

QVariant ResultListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
    return CellAt(index.row(), index.column());
}

QVariant ResultListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
    const ResultColumn& column = ResultColumns()[static_cast<std::size_t>(section)];
    if (role == Qt::DisplayRole) return column.header;
    if (role == kKeyRole) return QString(column.key);
    return {};
}

}  // namespace numtrail
