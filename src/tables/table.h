#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "attribution/record.h"

namespace numtrail::tables {

// A table to write: its header row and its rows, whose cells are read one row at a time, so
// that a list of a million rows is written without a copy of it. Cells are UTF-8.
struct Table {
    std::vector<std::string_view> header;
    std::size_t rows = 0;
    // Appends the cells of row `row` (from 0) to `cells`, which comes empty; the views must
    // stay valid until the table has been written.
    std::function<void(std::size_t row, std::vector<std::string_view>& cells)> cells;
};

// Comma-separated files as spreadsheets open them (RFC 4180): UTF-8, CR LF after every
// record, a field quoted when it holds a comma, a double quote, a CR or an LF, its double
// quotes doubled, and behind an apostrophe when it starts like a formula (StartsLikeFormula);
// every other field as it is, an empty one as nothing.
void AppendCsvLine(std::string& out, std::span<const std::string_view> fields);
// A whole file: the byte order mark, the header record, then one record per row in order.
std::string CsvTable(const Table& table);

// The columns of the window's result list, in order, as its tables and journal name them.
inline constexpr std::array<std::string_view, 6> kResultHeaders = {
    "手机号码", "所属省份", "所属城市", "区号", "邮编", "号码类型"};
// A row's cells in those columns: number, province, city, area code, postcode, card type.
std::array<std::string_view, 6> ResultCells(const attribution::Record& row);
// The window's table of these rows, in order, under its headers.
Table ResultTable(std::span<const attribution::Record> rows);

}  // namespace numtrail::tables
