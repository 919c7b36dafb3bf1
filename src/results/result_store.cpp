#include "results/result_store.h"

namespace numtrail {

void ResultStore::InsertTop(LookupResult row) {
    for (QString* value : {&row.province, &row.city, &row.area_code, &row.postcode, &row.card_type})
        Share(*value);
    rows_.push_front(std::move(row));
}

void ResultStore::Remove(qsizetype index) {
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(index));
}

void ResultStore::Clear() {
    rows_.clear();
    rows_.shrink_to_fit();
    values_.clear();
}

void ResultStore::Share(QString& value) {
    if (value.isEmpty()) return;
    const auto known = values_.constFind(value);
    if (known != values_.constEnd())
        value = *known;
    else
        values_.insert(value);
}

}  // namespace numtrail
