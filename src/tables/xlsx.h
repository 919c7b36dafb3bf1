#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

#include "tables/table.h"

namespace numtrail::tables {

// A worksheet holds 1,048,576 rows; one of them is the header.
inline constexpr std::size_t kXlsxRowsPerSheet = 1048575;

// An Excel workbook of the table: a bold header row frozen above the rows, every cell written
// as text in a text format (so "010" keeps its zero and nothing turns into a number or a
// date), and each column as wide as its widest cell. Rows beyond `rows_per_sheet` continue on
// further sheets, each with the header. nullopt, with *error set (a sentence for the user, in
// UTF-8), when the workbook could not be made (no room for the work files). The library
// writes its work files and the workbook in a private folder made in `work_parent` (default:
// $TMPDIR, else /tmp) and removed before returning; a caller that must keep the rows off the
// disk names a folder on a memory file system.
std::optional<std::string> XlsxWorkbook(const Table& table, std::string* error,
                                        std::size_t rows_per_sheet = kXlsxRowsPerSheet,
                                        const std::filesystem::path& work_parent = {});

}  // namespace numtrail::tables
