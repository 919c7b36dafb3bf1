#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <stdexcept>
#include <string_view>

namespace numtrail::datatool {

// Where a row stands in its table, for messages: the line of a text table (the first is 1),
// or a workbook's sheet and its row there.
struct RowPlace {
    std::string_view sheet;  // empty for a text table
    std::size_t line = 0;
};

// One row: its cells as UTF-8 text without the blanks around them. The views live only until
// the call returns.
using RowSink = std::function<void(const RowPlace& place, std::span<const std::string_view> cells)>;
// A comment line of a text table ('#' first), without the '#'.
using CommentSink = std::function<void(std::string_view text)>;

class TableError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The rows of a table saved as text (CSV, TSV or columns), in the encodings the number-list
// import reads (a byte order mark, else UTF-8 when the bytes are UTF-8, else code page 936),
// with CR LF, CR or LF line ends. The separator is that of the first line that has one (a
// title above the header may have none): a tab, else a comma, else a semicolon, else '|';
// when none of the first ten lines has one, runs of blanks. Fields may
// be quoted as RFC 4180 says, a quoted line break included; a spreadsheet's ="0519" is 0519.
// Blank lines give no row.
void ReadTextRows(std::string_view bytes, const RowSink& row, const CommentSink& comment);

// The rows of a table from its bytes, whatever it was saved as: text as ReadTextRows reads it,
// or an .xlsx or .xls workbook, every sheet's rows. Throws TableError when the table cannot
// be read (a damaged workbook, a picture, a PDF).
void ReadTableRows(std::string_view bytes, const RowSink& row, const CommentSink& comment);

}  // namespace numtrail::datatool
