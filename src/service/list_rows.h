#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "attribution/attributor.h"
#include "attribution/local_attributor.h"

namespace numtrail::service {

// The lines of the lists one request brings, read in memory by the list readers (text in its
// encodings, workbooks, contacts files), with their bounds.
struct RequestLists {
    std::string text;  // every line as UTF-8, each followed by '\n' (lines hold none)
    std::uint64_t lines = 0;
    // The numbers (from 1) of the lines that were longer than a list's line and came cut.
    std::vector<std::uint64_t> cut_lines;
};

struct ListBounds {
    std::uint64_t max_lines = 2'000'000;
    // What the lines may come to once decoded: a workbook of 64 MiB can unpack to gigabytes.
    std::size_t max_text = std::size_t{512} << 20;
    std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();
};

// Why a request's list is not attributed: an HTTP status and a sentence for the person who sent
// it.
struct ListRefusal {
    int status;
    std::string message;
};

// Adds the lines of one list file (`name` is how the messages call it) to `lists`. Refuses a
// file that holds no list (415), one past the readers' bounds or past `bounds` (413).
std::optional<ListRefusal> AddListFile(std::string_view bytes, std::string_view name,
                                       const ListBounds& bounds, RequestLists& lists);

// One row of a list: a number found, or a line without any.
struct ListRow {
    std::uint64_t line_number = 0;
    std::string_view line;
    attribution::Number number;                   // kind None for a line without a number
    const attribution::Record* record = nullptr;  // the answer's fields; null for none
    attribution::Status status = attribution::Status::BadFormat;
};

// Where a list's answers come from: local data, and with an online source, that for the mobile
// numbers local data does not place. A refusal of the online service leaves the local answer,
// as numtrail-lookup leaves it.
class ListAnswers {
  public:
    ListAnswers(const attribution::LocalAttributor& local, attribution::Attributor* online)
        : local_(local), online_(online) {}

    void Fill(ListRow& row) const;

  private:
    const attribution::LocalAttributor& local_;
    attribution::Attributor* online_;
};

// Walks the lines of `lists` in order and gives a row for every number of every line, and one
// for a line without any (status bad-format), as numtrail-lookup --every-number gives them.
class ListRows {
  public:
    ListRows(const RequestLists& lists, const ListAnswers& answers)
        : lists_(lists), answers_(answers) {}

    // Calls `row(const ListRow&)` for the rows of the next lines until at least `min_rows` rows
    // were given or the lines are done; false once they are done.
    template <typename RowFn>
    bool Next(std::size_t min_rows, RowFn&& row);

  private:
    // The rows of one line into rows_.
    void Line(std::string_view line, bool cut);

    const RequestLists& lists_;
    const ListAnswers& answers_;
    std::size_t position_ = 0;
    std::uint64_t line_number_ = 0;
    std::size_t next_cut_ = 0;
    std::vector<ListRow> rows_;
};

template <typename RowFn>
bool ListRows::Next(std::size_t min_rows, RowFn&& row) {
    std::size_t given = 0;
    while (given < min_rows && position_ < lists_.text.size()) {
        const std::size_t end = lists_.text.find('\n', position_);
        const std::string_view line(lists_.text.data() + position_, end - position_);
        position_ = end + 1;
        ++line_number_;
        bool cut = false;
        if (next_cut_ < lists_.cut_lines.size() && lists_.cut_lines[next_cut_] == line_number_) {
            cut = true;
            ++next_cut_;
        }
        rows_.clear();
        Line(line, cut);
        for (const ListRow& r : rows_) row(r);
        given += rows_.size();
    }
    return position_ < lists_.text.size();
}

}  // namespace numtrail::service
