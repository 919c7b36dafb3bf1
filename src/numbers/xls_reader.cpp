// .xls workbooks (Excel 97 to 2003, and Excel 5), through libfreexl.
#include <freexl.h>
#include <unistd.h>

#include <charconv>
#include <cmath>
#include <string>

#include "numbers/list_text.h"
#include "numbers/workbook_formats.h"

namespace numtrail {
namespace {

using Why = ListFileRefusal::Why;

constexpr std::size_t kPieceSize = 128 * 1024;

ListFileRefusal OpenFailure(int code) {
    switch (code) {
        case FREEXL_BIFF_WORKBOOK_NOT_FOUND:
            return {Why::NoList, "an Office document that is no workbook"};
        case FREEXL_INSUFFICIENT_MEMORY:
            return {Why::TooLarge, "there is not memory enough to read it"};
        case FREEXL_UNSUPPORTED_CHARSET:
            return {Why::Damaged, "its text is in a character set that cannot be read"};
        case FREEXL_FILE_NOT_FOUND:
            return {Why::Damaged, "it cannot be opened again to be read"};
        default:
            return {Why::Damaged,
                    "it is cut short or damaged (the reader's error " + std::to_string(code) + ")"};
    }
}

// A closed handle on every path out.
struct Handle {
    const void* handle = nullptr;
    ~Handle() {
        if (handle != nullptr) freexl_close(handle);
    }
};

class XlsReader final : public WorkbookReader {
  public:
    XlsReader(const void* handle, unsigned sheets, int owned_fd)
        : handle_(handle), sheets_(sheets), owned_fd_(owned_fd) {}
    ~XlsReader() override {
        freexl_close(handle_);
        if (owned_fd_ >= 0) ::close(owned_fd_);
    }

    bool Next(std::string_view& piece, ListFileRefusal& refusal) override;
    double Done() const override { return sheets_ == 0 ? 1.0 : double(sheet_) / sheets_; }
    std::size_t Sheet() const override { return piece_sheet_; }

  private:
    // Selects sheet_ and reads its size; false when there is none left.
    bool SelectSheet(ListFileRefusal& refusal);
    void AppendCell(std::string& row, const FreeXL_CellValue& value);

    const void* handle_;
    unsigned sheets_;
    int owned_fd_;
    unsigned sheet_ = 0;
    unsigned piece_sheet_ = 0;
    bool selected_ = false;
    unsigned rows_ = 0;
    unsigned short columns_ = 0;
    unsigned row_ = 0;
    std::string out_;
    std::string line_;
    std::string number_;
};

bool XlsReader::SelectSheet(ListFileRefusal& refusal) {
    while (!selected_ && sheet_ < sheets_) {
        if (freexl_select_active_worksheet(handle_, static_cast<unsigned short>(sheet_)) !=
                FREEXL_OK ||
            freexl_worksheet_dimensions(handle_, &rows_, &columns_) != FREEXL_OK) {
            refusal = {Why::Damaged, "sheet " + std::to_string(sheet_ + 1) + " cannot be read"};
            return false;
        }
        selected_ = true;
        row_ = 0;
    }
    return true;
}

void XlsReader::AppendCell(std::string& row, const FreeXL_CellValue& value) {
    std::string_view text;
    switch (value.type) {
        case FREEXL_CELL_INT:
            number_ = std::to_string(value.value.int_value);
            text = number_;
            break;
        case FREEXL_CELL_DOUBLE: {
            // The shortest text that reads back as the same double, then as digits when integral.
            char buffer[64];
            const auto result =
                std::to_chars(buffer, buffer + sizeof buffer, value.value.double_value);
            number_ = NumberCellText({buffer, static_cast<std::size_t>(result.ptr - buffer)});
            text = number_;
            break;
        }
        case FREEXL_CELL_TEXT:
        case FREEXL_CELL_SST_TEXT:
        case FREEXL_CELL_DATE:
        case FREEXL_CELL_DATETIME:
        case FREEXL_CELL_TIME:
            if (value.value.text_value != nullptr) text = value.value.text_value;
            break;
        default:
            break;
    }
    const std::size_t room = kMaxListLine + 1 > row.size() ? kMaxListLine + 1 - row.size() : 0;
    const std::size_t from = row.size();
    row.append(text.substr(0, room));
    for (std::size_t i = from; i < row.size(); ++i)
        if (row[i] == '\t' || row[i] == '\r' || row[i] == '\n') row[i] = ' ';
}

bool XlsReader::Next(std::string_view& piece, ListFileRefusal& refusal) {
    out_.clear();
    while (out_.size() < kPieceSize) {
        if (!SelectSheet(refusal)) return false;
        if (sheet_ == sheets_) break;
        if (row_ == rows_) {
            ++sheet_;
            selected_ = false;
            if (!out_.empty()) break;  // the next sheet's rows in a piece of their own
            continue;
        }
        if (out_.empty()) piece_sheet_ = sheet_;
        // Cells are joined by tabs, and the empty ones at the end of the row dropped.
        line_.clear();
        std::size_t kept = 0;
        for (unsigned short column = 0; column < columns_ && line_.size() <= kMaxListLine;
             ++column) {
            FreeXL_CellValue value;
            if (freexl_get_cell_value(handle_, row_, column, &value) != FREEXL_OK) {
                refusal = {Why::Damaged,
                           "a cell of sheet " + std::to_string(sheet_ + 1) + " cannot be read"};
                return false;
            }
            if (column > 0) line_ += '\t';
            const std::size_t text_from = line_.size();
            AppendCell(line_, value);
            if (line_.size() > text_from) kept = line_.size();
        }
        line_.resize(kept);
        out_ += line_;
        out_ += '\n';
        ++row_;
    }
    piece = out_;
    return true;
}

}  // namespace

std::unique_ptr<WorkbookReader> OpenXls(int fd, bool owned, ListFileRefusal& refusal,
                                        const WorkbookLimits& limits) {
    const auto fail = [&](ListFileRefusal why) -> std::unique_ptr<WorkbookReader> {
        refusal = std::move(why);
        if (owned) ::close(fd);
        return nullptr;
    };
    // The library holds a cell for every row and column the sheets declare as soon as it
    // opens the file: a workbook declaring too many is not given to it.
    const std::optional<std::uint64_t> cells = CheckedXlsCells(fd);
    if (!cells)
        return fail({Why::Damaged, "it is cut short, or its container or records are damaged"});
    if (*cells > limits.xls_cells)
        return fail({Why::TooLarge, "its sheets declare " + std::to_string(*cells) +
                                        " cells, more than " + std::to_string(limits.xls_cells)});
    Handle full;
    const int code = freexl_open(DescriptorPath(fd).c_str(), &full.handle);
    if (code != FREEXL_OK) return fail(OpenFailure(code));
    unsigned value = 0;
    if (freexl_get_info(full.handle, FREEXL_BIFF_PASSWORD, &value) == FREEXL_OK &&
        value == FREEXL_BIFF_OBFUSCATED)
        return fail({Why::Damaged, "it is protected by a password"});
    unsigned sheets = 0;
    if (freexl_get_info(full.handle, FREEXL_BIFF_SHEET_COUNT, &sheets) != FREEXL_OK)
        return fail({Why::Damaged, "its sheets cannot be counted"});
    auto reader = std::make_unique<XlsReader>(full.handle, sheets, owned ? fd : -1);
    full.handle = nullptr;
    return reader;
}

}  // namespace numtrail
