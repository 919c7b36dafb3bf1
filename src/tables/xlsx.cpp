#include "tables/xlsx.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <system_error>

namespace numtrail::tables {
namespace {

// Excel refuses a cell of more than 32,767 characters (UTF-16 code units); a longer one keeps
// its beginning.
constexpr std::size_t kCellMax = 32767;
constexpr double kMaxColumnWidth = 60;
constexpr std::string_view kFailed = "无法生成Excel表格";
constexpr std::string_view kSheetName = "查询结果";

// The length of the UTF-8 sequence that starts with `lead`; a stray byte counts as one.
std::size_t SequenceLength(unsigned char lead) {
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    return 1;
}

// Calls `each(bytes, code_point_start)` for every character of UTF-8 text.
template <typename Each>
void ForEachCharacter(std::string_view text, Each each) {
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t n =
            std::min(SequenceLength(static_cast<unsigned char>(text[i])), text.size() - i);
        if (!each(text.substr(i, n))) return;
        i += n;
    }
}

// The start of the text that fits in a cell, never splitting a character.
std::string CellText(std::string_view text) {
    if (text.size() <= kCellMax) return std::string(text);  // no more code units than bytes
    std::size_t units = 0, bytes = 0;
    ForEachCharacter(text, [&](std::string_view c) {
        const std::size_t u = c.size() == 4 ? 2 : 1;
        if (units + u > kCellMax) return false;
        units += u;
        bytes += c.size();
        return true;
    });
    return std::string(text.substr(0, bytes));
}

// Column widths are counted in characters of the default font, where a Chinese (or any wide)
// character, from U+1100 on, takes two.
double DisplayWidth(std::string_view text) {
    double width = 0;
    ForEachCharacter(text, [&](std::string_view c) {
        const auto byte = [&c](std::size_t i) { return static_cast<unsigned char>(c[i]); };
        const bool wide = c.size() == 4 ||
                          (c.size() == 3 && (((byte(0) & 0x0Fu) << 6) | (byte(1) & 0x3Fu)) >= 0x44);
        width += wide ? 2 : 1;
        return true;
    });
    return width;
}

std::string Failure(std::string_view why) {
    return std::string(kFailed) + (why.empty() ? "" : "：" + std::string(why));
}

struct WorkbookCloser {
    void operator()(lxw_workbook* workbook) const { workbook_close(workbook); }
};

// A private folder for the library's work files and the workbook, removed with everything in
// it when done.
class WorkFolder {
  public:
    explicit WorkFolder(const std::filesystem::path& parent) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = !parent.empty() ? parent.string() : tmp && *tmp ? tmp : "/tmp";
        pattern += "/numtrail-xlsx-XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr)
            path_ = pattern;
        else
            error_ = std::strerror(errno);
    }
    ~WorkFolder() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& Path() const { return path_; }
    const std::string& Error() const { return error_; }

  private:
    std::filesystem::path path_;
    std::string error_;
};

}  // namespace

std::optional<std::string> XlsxWorkbook(const Table& table, std::string* error,
                                        std::size_t rows_per_sheet,
                                        const std::filesystem::path& work_parent) {
    // The library writes files only. Rows are streamed to disk one at a time, so a list of
    // millions needs little memory.
    const WorkFolder folder(work_parent);
    if (folder.Path().empty()) {
        *error = Failure(folder.Error());
        return std::nullopt;
    }
    const std::string folder_path = folder.Path().string();
    const std::string book_path = (folder.Path() / "book.xlsx").string();
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = const_cast<char*>(folder_path.c_str());
    options.use_zip64 = LXW_TRUE;  // a workbook of millions of rows passes 4 GB unpacked
    std::unique_ptr<lxw_workbook, WorkbookCloser> book(
        workbook_new_opt(book_path.c_str(), &options));
    if (!book) {
        *error = Failure({});
        return std::nullopt;
    }
    lxw_format* text = workbook_add_format(book.get());
    format_set_num_format(text, "@");
    lxw_format* bold = workbook_add_format(book.get());
    format_set_num_format(bold, "@");
    format_set_bold(bold);

    const std::size_t columns = table.header.size();
    std::vector<double> widths(columns);
    for (std::size_t c = 0; c < columns; ++c) widths[c] = DisplayWidth(table.header[c]);
    std::vector<std::string_view> cells;
    for (std::size_t r = 0; r < table.rows; ++r) {
        cells.clear();
        table.cells(r, cells);
        for (std::size_t c = 0; c < std::min(cells.size(), columns); ++c)
            widths[c] = std::max(widths[c], DisplayWidth(cells[c]));
    }

    const std::size_t per_sheet = std::max<std::size_t>(rows_per_sheet, 1);
    std::size_t next = 0;
    for (int sheet = 1; sheet == 1 || next < table.rows; ++sheet) {
        const std::string name =
            std::string(kSheetName) + (sheet > 1 ? std::to_string(sheet) : std::string());
        lxw_worksheet* ws = workbook_add_worksheet(book.get(), name.c_str());
        if (!ws) {
            *error = Failure({});
            return std::nullopt;
        }
        for (std::size_t c = 0; c < columns; ++c) {
            const auto column = static_cast<lxw_col_t>(c);
            worksheet_set_column(ws, column, column, std::min(widths[c] + 2, kMaxColumnWidth),
                                 text);
            worksheet_write_string(ws, 0, column, CellText(table.header[c]).c_str(), bold);
        }
        worksheet_freeze_panes(ws, 1, 0);
        const std::size_t end = std::min(table.rows, next + per_sheet);
        for (lxw_row_t r = 1; next < end; ++next, ++r) {
            cells.clear();
            table.cells(next, cells);
            for (std::size_t c = 0; c < cells.size(); ++c) {
                const lxw_error written = worksheet_write_string(ws, r, static_cast<lxw_col_t>(c),
                                                                 CellText(cells[c]).c_str(), text);
                if (written != LXW_NO_ERROR) {
                    *error = Failure(lxw_strerror(written));
                    return std::nullopt;
                }
            }
        }
    }
    if (const lxw_error closed = workbook_close(book.release()); closed != LXW_NO_ERROR) {
        *error = Failure(lxw_strerror(closed));
        return std::nullopt;
    }
    std::ifstream file(book_path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (!file.is_open() || file.bad()) {
        *error = Failure(std::strerror(errno));
        return std::nullopt;
    }
    return bytes;
}

}  // namespace numtrail::tables
