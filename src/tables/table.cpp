#include "tables/table.h"

#include "tables/text_escape.h"

namespace numtrail::tables {

void AppendCsvLine(std::string& out, std::span<const std::string_view> fields) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) out += ',';
        AppendCsvField(out, fields[i]);
    }
    out += "\r\n";
}

std::string CsvTable(const Table& table) {
    std::string out(kUtf8Bom);
    AppendCsvLine(out, table.header);
    std::vector<std::string_view> cells;
    for (std::size_t r = 0; r < table.rows; ++r) {
        cells.clear();
        table.cells(r, cells);
        AppendCsvLine(out, cells);
    }
    return out;
}

std::array<std::string_view, 6> ResultCells(const attribution::Record& row) {
    return {row.number, row.province, row.city, row.area_code, row.postcode, row.card_type};
}

Table ResultTable(std::span<const attribution::Record> rows) {
    return {{kResultHeaders.begin(), kResultHeaders.end()},
            rows.size(),
            [rows](std::size_t r, std::vector<std::string_view>& cells) {
                const auto row = ResultCells(rows[r]);
                cells.assign(row.begin(), row.end());
            }};
}

}  // namespace numtrail::tables
