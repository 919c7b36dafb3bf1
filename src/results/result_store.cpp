#include "results/result_store.h"

#include <cstring>

namespace numtrail {

ResultStore::ResultStore() { Intern({}); }

ResultStore::ValueId ResultStore::Intern(std::string_view value) {
    const auto [at, added] =
        ids_.try_emplace(std::string(value), static_cast<ValueId>(values_.size()));
    if (added) values_.push_back(&at->first);
    return at->second;
}

void ResultStore::InsertTop(const attribution::Record& row) {
    StoredRow stored{};
    const std::string* fields[] = {&row.province, &row.city, &row.area_code, &row.postcode,
                                   &row.card_type};
    for (std::size_t c = 0; c < stored.values.size(); ++c) stored.values[c] = Intern(*fields[c]);
    if (row.number.size() <= kInlineNumber) {
        std::memcpy(stored.number.data(), row.number.data(), row.number.size());
        stored.number_size = static_cast<std::uint8_t>(row.number.size());
    } else {
        stored.number_size = kLongNumber;
        stored.long_number = Intern(row.number);
    }
    stored.kind = row.kind;
    stored.status = row.status;
    rows_.push_front(stored);
}

void ResultStore::Remove(std::size_t index) {
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(index));
}

void ResultStore::Clear() {
    rows_.clear();
    rows_.shrink_to_fit();
    ids_.clear();
    values_.clear();
    Intern({});
}

std::string_view ResultStore::Cell(std::size_t index, int column) const {
    const StoredRow& row = rows_[index];
    if (column > 0) return Value(row.values[static_cast<std::size_t>(column - 1)]);
    if (row.number_size == kLongNumber) return Value(row.long_number);
    return {row.number.data(), row.number_size};
}

attribution::Record ResultStore::Row(std::size_t index) const {
    attribution::Record record;
    record.number = Cell(index, 0);
    record.province = Cell(index, 1);
    record.city = Cell(index, 2);
    record.area_code = Cell(index, 3);
    record.postcode = Cell(index, 4);
    record.card_type = Cell(index, 5);
    record.kind = rows_[index].kind;
    record.status = rows_[index].status;
    return record;
}

tables::Table ResultStore::AsTable() const {
    return {{tables::kResultHeaders.begin(), tables::kResultHeaders.end()},
            Count(),
            [this](std::size_t r, std::vector<std::string_view>& cells) {
                for (int c = 0; c < kColumns; ++c) cells.push_back(Cell(r, c));
            }};
}

}  // namespace numtrail
