#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "attribution/record.h"
#include "tables/table.h"

namespace numtrail {

// Every result row of the window, newest first (index 0 is the top of the list), in the result
// list's columns: number, province, city, area code, postcode, card type. Inserting at the top
// costs the same whatever the number of rows; removing one row moves the rows on the shorter
// side of it. A million rows fit in a few dozen megabytes: the field values repeat from row to
// row (provinces, cities, area codes, postcodes, card types), so each is held once and a row
// holds their numbers; the row's own number is held in the row.
class ResultStore {
  public:
    static constexpr int kColumns = 6;
    // The number of a field value; 0 is the empty text.
    using ValueId = std::uint32_t;

    ResultStore();
    ResultStore(const ResultStore&) = delete;
    ResultStore& operator=(const ResultStore&) = delete;

    std::size_t Count() const { return rows_.size(); }
    bool IsEmpty() const { return rows_.empty(); }
    // A row as a record: its cells, its kind and its status.
    attribution::Record Row(std::size_t index) const;
    // The text of a row's cell, UTF-8, valid until the row is removed or the store cleared.
    std::string_view Cell(std::size_t index, int column) const;

    // For work done once per distinct value (its width, its encoding): the value of a row's
    // cell after the number (column 1 to 5), and the texts by their numbers.
    ValueId ValueAt(std::size_t index, int column) const {
        return rows_[index].values[static_cast<std::size_t>(column - 1)];
    }
    std::string_view Value(ValueId id) const { return *values_[id]; }
    std::size_t ValueCount() const { return values_.size(); }

    void InsertTop(const attribution::Record& row);
    void Remove(std::size_t index);
    void Clear();

    // Every row, top first, as the window's tables write them.
    tables::Table AsTable() const;

  private:
    // A number this long or shorter is held in the row; a longer one (never a number the
    // window looks up) among the values.
    static constexpr std::size_t kInlineNumber = 16;
    struct StoredRow {
        std::array<ValueId, kColumns - 1> values;
        std::array<char, kInlineNumber> number;
        std::uint8_t number_size;  // kLongNumber: the number is values_[long_number]
        attribution::NumberKind kind;
        attribution::Status status;
        ValueId long_number;
    };
    static constexpr std::uint8_t kLongNumber = 0xFF;

    ValueId Intern(std::string_view value);

    std::deque<StoredRow> rows_;
    std::unordered_map<std::string, ValueId> ids_;
    std::vector<const std::string*> values_;  // the keys of ids_, which stay put
};

}  // namespace numtrail
