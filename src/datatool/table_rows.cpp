#include "datatool/table_rows.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "numbers/list_file.h"
#include "numbers/list_text.h"
#include "numbers/workbook.h"

namespace numtrail::datatool {
namespace {

// Blanks a spreadsheet or a Chinese text may leave around a cell: ASCII space and tab, the
// no-break space, the ideographic space and a stray byte order mark.
constexpr std::string_view kWideBlanks[] = {"\xC2\xA0", "\xE3\x80\x80", "\xEF\xBB\xBF"};

std::string_view Trim(std::string_view s) {
    for (bool trimmed = true; trimmed && !s.empty();) {
        trimmed = false;
        if (s.front() == ' ' || s.front() == '\t') {
            s.remove_prefix(1);
            trimmed = true;
        }
        if (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
            s.remove_suffix(1);
            trimmed = true;
        }
        for (std::string_view blank : kWideBlanks) {
            if (s.starts_with(blank)) {
                s.remove_prefix(blank.size());
                trimmed = true;
            }
            if (s.ends_with(blank)) {
                s.remove_suffix(blank.size());
                trimmed = true;
            }
        }
    }
    return s;
}

// A table's separator is the first of these that its first lines use; a table whose first
// lines use none is cut at blanks.
constexpr std::size_t kLinesToChooseSeparator = 10;

// The separator a line uses, or ' ' for none; quoted text does not count.
char ChooseSeparator(std::string_view line) {
    bool quoted = false;
    bool seen[4] = {};
    constexpr char kCandidates[] = {'\t', ',', ';', '|'};
    for (const char c : line) {
        if (c == '"') quoted = !quoted;
        if (quoted) continue;
        for (int k = 0; k < 4; ++k)
            if (c == kCandidates[k]) seen[k] = true;
    }
    for (int k = 0; k < 4; ++k)
        if (seen[k]) return kCandidates[k];
    return ' ';
}

// Cuts lines into cells. A quoted field may hold line breaks: the row then goes on over the
// following lines and is complete only when its quote closes.
class RowSplitter {
  public:
    explicit RowSplitter(char separator) : separator_(separator) {}

    // False while the row is still open at the end of `line`.
    bool Add(std::string_view line) {
        if (separator_ == ' ') {
            SplitOnBlanks(line);
            return true;
        }
        std::size_t i = 0;
        if (open_) {
            text_ += '\n';
            i = Quoted(line, 0);
            if (open_) return false;
            i = Rest(line, i) + 1;
        }
        while (i <= line.size()) {
            cell_start_ = text_.size();
            quoted_cell_ = false;
            if (i < line.size() && line[i] == '"') {
                quoted_cell_ = true;
                i = Quoted(line, i + 1);
                if (open_) return false;
                i = Rest(line, i);
            } else {
                const std::size_t end = std::min(line.find(separator_, i), line.size());
                text_.append(line.substr(i, end - i));
                i = end;
                EndCell();
            }
            ++i;  // past the separator, or past the end when there is none
        }
        return true;
    }

    // The cells of the completed row; valid until the next Add.
    std::span<const std::string_view> Cells() {
        views_.clear();
        for (const auto& [start, size] : cells_) views_.push_back({text_.data() + start, size});
        return views_;
    }

    // Ends a quoted field that the table ends inside.
    void Close() {
        if (!open_) return;
        open_ = false;
        EndCell();
    }

    void Clear() {
        text_.clear();
        cells_.clear();
    }

  private:
    // Reads a quoted field's text from `i`, a doubled quote giving one; returns the position
    // after the closing quote, or leaves the field open at the line's end.
    std::size_t Quoted(std::string_view line, std::size_t i) {
        open_ = true;
        while (i < line.size()) {
            const std::size_t quote = line.find('"', i);
            if (quote == std::string_view::npos) break;
            text_.append(line.substr(i, quote - i));
            if (quote + 1 < line.size() && line[quote + 1] == '"') {
                text_ += '"';
                i = quote + 2;
                continue;
            }
            open_ = false;
            return quote + 1;
        }
        text_.append(line.substr(std::min(i, line.size())));
        return line.size();
    }

    // What follows a closing quote up to the separator is kept, as spreadsheets keep it.
    std::size_t Rest(std::string_view line, std::size_t i) {
        const std::size_t end = std::min(line.find(separator_, i), line.size());
        text_.append(line.substr(i, end - i));
        EndCell();
        return end;
    }

    void EndCell() {
        std::string_view cell =
            Trim(std::string_view(text_.data() + cell_start_, text_.size() - cell_start_));
        // ="0519": a spreadsheet's way to keep a number's leading zeros.
        if (!quoted_cell_ && cell.size() >= 3 && cell.starts_with("=\"") && cell.ends_with('"'))
            cell = cell.substr(2, cell.size() - 3);
        // Offsets, not views: text_ may move as later cells are added.
        cells_.emplace_back(static_cast<std::size_t>(cell.data() - text_.data()), cell.size());
    }

    void SplitOnBlanks(std::string_view line) {
        std::size_t i = 0;
        while (true) {
            while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
            if (i == line.size()) break;
            std::size_t end = i;
            while (end < line.size() && line[end] != ' ' && line[end] != '\t') ++end;
            const std::string_view cell = Trim(line.substr(i, end - i));
            cells_.emplace_back(text_.size(), cell.size());
            text_.append(cell);
            i = end;
        }
    }

    char separator_;
    bool open_ = false;
    bool quoted_cell_ = false;
    std::size_t cell_start_ = 0;
    std::string text_;
    std::vector<std::pair<std::size_t, std::size_t>> cells_;  // offset into text_, size
    std::vector<std::string_view> views_;
};

bool Blank(std::span<const std::string_view> cells) {
    for (std::string_view cell : cells)
        if (!cell.empty()) return false;
    return true;
}

// The rows of every sheet of a workbook: its cells as the number-list import reads them (a
// number stored as a number gives its digits), each sheet under a name of its own so that it
// finds its own header.
void ReadWorkbookRows(ListFileKind kind, std::string_view bytes, const RowSink& row) {
    ListFileRefusal refusal;
    const std::unique_ptr<WorkbookReader> reader = WorkbookReader::Open(kind, bytes, refusal);
    if (!reader) throw TableError(refusal.detail);
    std::string sheet;
    std::size_t sheet_index = 0;
    std::size_t line = 0;
    std::vector<std::string_view> cells;
    std::string_view piece;
    while (true) {
        if (!reader->Next(piece, refusal)) throw TableError(refusal.detail);
        if (piece.empty()) break;
        if (sheet.empty() || reader->Sheet() != sheet_index) {
            sheet_index = reader->Sheet();
            sheet = "sheet " + std::to_string(sheet_index + 1);
            line = 0;
        }
        for (std::size_t start = 0; start < piece.size();) {
            std::size_t end = piece.find('\n', start);
            if (end == std::string_view::npos) end = piece.size();
            const std::string_view text = piece.substr(start, end - start);
            start = end + 1;
            ++line;
            cells.clear();
            for (std::size_t from = 0; from <= text.size();) {
                std::size_t tab = text.find('\t', from);
                if (tab == std::string_view::npos) tab = text.size();
                cells.push_back(Trim(text.substr(from, tab - from)));
                from = tab + 1;
            }
            if (!Blank(cells)) row(RowPlace{sheet, line}, cells);
        }
    }
}

}  // namespace

void ReadTextRows(std::string_view bytes, const RowSink& row, const CommentSink& comment) {
    ListLineCutter cutter(ChooseListEncoding(bytes));
    std::optional<RowSplitter> splitter;
    // Lines held back until one shows the separator: a title above the header has none.
    std::vector<std::pair<std::size_t, std::string>> held;
    std::size_t line_number = 0;
    std::size_t row_start = 0;  // the line the open row started on
    bool open = false;
    const auto give = [&](std::size_t number, std::string_view text) {
        if (!open) row_start = number;
        open = !splitter->Add(text);
        if (open) return;
        const std::span<const std::string_view> cells = splitter->Cells();
        if (!Blank(cells)) row(RowPlace{{}, row_start}, cells);
        splitter->Clear();
    };
    const auto decide = [&](char separator) {
        splitter.emplace(separator);
        for (const auto& [number, text] : held) give(number, text);
        held.clear();
    };
    const auto line = [&](std::string_view text) {
        ++line_number;
        if (!open) {
            const std::string_view content = Trim(text);
            if (content.empty()) return;
            if (content.front() == '#') {
                if (comment) comment(content.substr(1));
                return;
            }
        }
        if (!splitter) {
            held.emplace_back(line_number, std::string(text));
            if (const char separator = ChooseSeparator(text); separator != ' ')
                decide(separator);
            else if (held.size() == kLinesToChooseSeparator)
                decide(' ');
            return;
        }
        give(line_number, text);
    };
    cutter.Add(bytes, line);
    cutter.Finish(line);
    if (!splitter) decide(' ');
    if (open) {
        // A quote that never closes: the row ends with the table, as spreadsheets read it.
        splitter->Close();
        const std::span<const std::string_view> cells = splitter->Cells();
        if (!Blank(cells)) row(RowPlace{{}, row_start}, cells);
    }
}

void ReadTableRows(std::string_view bytes, const RowSink& row, const CommentSink& comment) {
    ListFileRefusal refusal;
    const std::optional<ListFileKind> kind =
        SniffListFile(bytes.substr(0, std::min(bytes.size(), kListFileHead)), refusal);
    if (!kind) throw TableError("it holds no table: " + refusal.detail);
    if (*kind == ListFileKind::Xlsx || *kind == ListFileKind::Xls)
        return ReadWorkbookRows(*kind, bytes, row);
    ReadTextRows(bytes, row, comment);
}

}  // namespace numtrail::datatool
