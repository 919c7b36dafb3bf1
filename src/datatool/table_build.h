#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "attribution/data_file.h"
#include "datatool/carriers.h"
#include "datatool/columns.h"
#include "datatool/places.h"
#include "datatool/table_rows.h"

namespace numtrail::datatool {

// The 7-digit prefixes a table's prefix cell covers: "1380000" one, "138", "13800" or
// "138xxxx" a whole block. `digits` is how many digits the cell gave.
struct PrefixBlock {
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    std::uint8_t digits = 0;
};
// nullopt, with `problem` set, when the cell is no prefix of 1300000-1999999.
std::optional<PrefixBlock> ParsePrefixCell(std::string_view cell, std::string& problem);

// Makes a data file from prefix tables. Each table's columns are found by its header (or
// given by position); each row's place is brought to the form answers use (PlaceNames), its
// carrier read by name or number (or taken from the carriers' segments). A longer prefix wins
// over a shorter one, whatever their order; of two rows with the same prefix the later wins,
// also from a later table. Rows that cannot be used are reported and left out.
class TableBuilder {
  public:
    // One line for the user: a row left out, a city kept as written. Starts with the
    // table's name and the row's line ("prefixes.csv:17: ...").
    using Report = std::function<void(const std::string& line)>;

    TableBuilder(const PlaceNames& places, Report report);

    // Columns by position for every table, for tables without a header (a header row that
    // names the columns is still skipped).
    void SetColumns(const Columns& columns) { columns_ = columns; }

    // Throws TableError when the table cannot be read or names no prefix column.
    void AddTable(const std::string& name, std::string_view bytes);

    // A table's rows as a reader gives them to the sinks it is handed (ReadTextRows does; so
    // can a workbook's). Rows of each sheet (RowPlace::sheet) find their own header; a sheet
    // without one is reported and passed over, and only a table with no prefix columns at all
    // throws TableError.
    using TableReader = std::function<void(const RowSink& row, const CommentSink& comment)>;
    void AddRows(const std::string& name, const TableReader& read);

    // The first version a table declared in a comment ("# version: 2401"), or empty.
    const std::string& DeclaredVersion() const { return declared_version_; }

    // The data file of every row used so far.
    attribution::DataFile Finish(std::string version) const;

    struct Counts {
        std::size_t rows = 0;            // data rows read
        std::size_t unusable = 0;        // of them, reported and left out
        std::size_t unknown_cities = 0;  // distinct cities the city table does not know
    };
    const Counts& Count() const { return counts_; }
    // Prefixes that a later row of the same length gave again (the later one wins): known
    // once Finish has run.
    std::size_t RepeatedPrefixes() const { return repeated_; }

  private:
    struct Assignment {
        PrefixBlock block;
        std::uint32_t place;  // index into records_
        CarrierCell carrier;
    };

    void AddRow(const std::string& name, const RowPlace& place,
                std::span<const std::string_view> cells, const Columns& columns);
    void Bad(const std::string& name, const RowPlace& place, const std::string& reason);
    // The index of the row's place record, or nullopt after reporting why it cannot be used.
    std::optional<std::uint32_t> PlaceOf(const std::string& name, const RowPlace& row,
                                         std::span<const std::string_view> cells,
                                         const Columns& columns);

    const PlaceNames& places_;
    Report report_;
    std::optional<Columns> columns_;
    std::string declared_version_;
    Counts counts_;
    mutable std::size_t repeated_ = 0;

    std::vector<Assignment> assignments_;
    std::vector<attribution::Record> records_;  // places without card type, each once
    std::unordered_map<std::string, std::uint32_t> record_index_;
    // Tables repeat a few thousand places and carriers over many rows: each distinct set of
    // cells is worked out once. A place that cannot be used maps to its reason.
    struct PlaceMemo {
        std::optional<std::uint32_t> record;
        std::string problem;
    };
    std::unordered_map<std::string, PlaceMemo> place_memo_;
    std::unordered_map<std::string, std::optional<CarrierCell>> carrier_memo_;
};

}  // namespace numtrail::datatool
