#include "results/result_list_model.h"

#include "platform/throttle.h"

namespace numtrail {

const std::array<ResultColumn, 6>& ResultColumns() {
    static const std::array<ResultColumn, 6> columns{{
        {QLatin1StringView("num"), QStringLiteral("手机号码"), 1300, &LookupResult::number},
        {QLatin1StringView("pro"), QStringLiteral("所属省份"), 1500, &LookupResult::province},
        {QLatin1StringView("city"), QStringLiteral("所属城市"), 1500, &LookupResult::city},
        {QLatin1StringView("qh"), QStringLiteral("区号"), 1200, &LookupResult::area_code},
        {QLatin1StringView("yb"), QStringLiteral("邮编"), 1200, &LookupResult::postcode},
        {QLatin1StringView("lx"), QStringLiteral("号码类型"), 1300, &LookupResult::card_type},
    }};
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

const LookupResult& ResultListModel::RowAt(int row) const {
    return store_.Row(qsizetype{row} + unpublished_);
}

void ResultListModel::InsertTop(LookupResult row) {
    store_.InsertTop(std::move(row));
    ++unpublished_;
    publishing_->Request();
}

void ResultListModel::Remove(int row) {
    beginRemoveRows({}, row, row);
    store_.Remove(qsizetype{row} + unpublished_);
    endRemoveRows();
}

void ResultListModel::Clear() {
    beginResetModel();
    store_.Clear();
    unpublished_ = 0;
    endResetModel();
}

void ResultListModel::Publish() {
    if (!HasUnpublished()) return;
    beginInsertRows({}, 0, unpublished_ - 1);
    unpublished_ = 0;
    endInsertRows();
}

int ResultListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(store_.Count() - unpublished_);
}

int ResultListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(ResultColumns().size());
}

QVariant ResultListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
    return RowAt(index.row()).*ResultColumns()[static_cast<std::size_t>(index.column())].field;
}

QVariant ResultListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
    const ResultColumn& column = ResultColumns()[static_cast<std::size_t>(section)];
    if (role == Qt::DisplayRole) return column.header;
    if (role == kKeyRole) return QString(column.key);
    return {};
}

}  // namespace numtrail
