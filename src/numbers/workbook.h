#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "numbers/list_file.h"

namespace numtrail {

// What a workbook may make us unpack or hold. A workbook is a container of compressed parts
// that anyone can write: these bounds keep one made to exhaust memory or time (a zip bomb, a
// sheet declaring millions of cells) from doing so, far above what lists of numbers need.
struct WorkbookLimits {
    std::uint64_t entries = 10'000;                    // entries in an .xlsx container
    std::uint64_t part_bytes = 4ull << 30;             // one sheet or the shared strings, unpacked
    std::uint64_t small_part_bytes = 16ull << 20;      // a part that only says where things are
    std::uint64_t total_bytes = 8ull << 30;            // all the parts read, unpacked
    std::uint64_t ratio = 200;                         // unpacked to packed, of a part ...
    std::uint64_t ratio_from = 1ull << 20;             // ... unpacked to more than this
    std::uint64_t shared_strings = 16ull << 20;        // strings in the shared table
    std::uint64_t shared_string_bytes = 256ull << 20;  // their text
    std::uint64_t xls_cells = 16ull << 20;             // cells an .xls declares, all sheets
    std::uint64_t rows_left_out = 16ull << 20;         // empty lines for rows that sheets leave out
};

// A workbook read as the text of a number list: a line of UTF-8 for each row of every sheet,
// in the workbook's order of sheets and from the first row (a row the sheet lacks is an empty
// line, so that a line's place in a sheet is its row number), its cells joined by tabs and its
// empty trailing cells dropped. A cell's text is its value as shown: a number stored as a
// number gives its integer digits (13800138000, never 1.38E+10); tabs and line ends inside a
// cell become blanks, so that a row stays one line. A row longer than kMaxListLine is given
// cut just past that length, for the line cutter to mark.
class WorkbookReader {
  public:
    virtual ~WorkbookReader() = default;

    // Opens an .xlsx or .xls workbook from a file descriptor of a file that can be read at any
    // offset (a regular file or a memory file). The descriptor stays the caller's and must
    // stay open while the reader is used. nullptr with `refusal` set when the container holds
    // no workbook, is damaged, or is past the limits.
    static std::unique_ptr<WorkbookReader> Open(ListFileKind kind, int fd, ListFileRefusal& refusal,
                                                const WorkbookLimits& limits = {});
    // The same over bytes in memory, which must outlive the reader.
    static std::unique_ptr<WorkbookReader> Open(ListFileKind kind, std::string_view bytes,
                                                ListFileRefusal& refusal,
                                                const WorkbookLimits& limits = {});

    // The next piece of the text: whole lines, each ended by LF. Empty at the end. The piece
    // lives until the next call. False with `refusal` set when the workbook turns out damaged
    // or past the limits on the way.
    virtual bool Next(std::string_view& piece, ListFileRefusal& refusal) = 0;

    // How much of the workbook has been read, from 0 to 1.
    virtual double Done() const = 0;

    // The sheet, counted from 0 in the workbook's order, whose rows the last piece holds: a
    // piece never holds rows of two sheets, for readers that tell sheets apart (a table whose
    // every sheet has its own header).
    virtual std::size_t Sheet() const = 0;
};

// The text of a cell holding a number, from the decimal text the file stores it as: an integer
// as its digits, however it is written ("13800138000", "1.3800138E10", "13800138000.0"), and
// anything else (fractions, text that is no number, integers of more digits than any number
// written in a list) as it stands.
std::string NumberCellText(std::string_view stored);

// A file that lives in memory only (memfd), for a library that reads a workbook from a path:
// bytes in memory or from a pipe reach it without a file on disk that others might read or
// replace. -1 with `error` set when the system has none.
int NewMemoryFile(std::string& error);

// The path under which this process opens its file descriptor `fd` again.
std::string DescriptorPath(int fd);

}  // namespace numtrail
