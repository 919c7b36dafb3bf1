#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "attribution/record.h"
#include "bulk/answer_book.h"
#include "tables/text_escape.h"

namespace numtrail::bulk {

enum class Format { Csv, Tsv, Jsonl, Fixed, Table };

// Writes the rows of numtrail-lookup, one per input line or one per number found, with the
// columns: the input line as read, the number's digits as recognised (empty for a line without
// one), province, city, area code, postcode, card type, status and the number's kind (mobile,
// landline, service, or empty). One row per number found puts the line's number, counted from
// 1 over all inputs, in a first column.
//   csv    UTF-8, a header row, RFC 4180 (fields quoted when they hold a comma or a quote,
//          CR LF line ends); a field that starts like a formula behind an apostrophe
//   tsv    UTF-8, a header row, LF line ends; a tab, CR, LF or backslash inside a field is
//          written \t, \r, \n or \\ so that every row keeps its fields; formulas as in
//          csv
//   jsonl  one JSON object a line, the columns as members
//   fixed  the window's export line: code page 936, no header, the first field filled to 8
//          bytes, three blanks between fields, CR LF
//   table  the window's CSV table of its result list: the byte order mark and its header
//          once, then the number and its answer's five fields; no row for a line without a
//          number (tables::CsvTable of tables::ResultTable, written as it goes)
// Everything after the number depends only on the answer and the kind, so it is worked out
// once for each and copied after that.
// Output bytes gathered before they are written. Rows go in without std::string's capacity
// check and terminating NUL for every piece, and a row's answer part is copied in whole
// blocks of 16 bytes, which may write up to 15 bytes past the row into the spare room kept.
class RowBuffer {
  public:
    static constexpr std::size_t kBlock = 16;

    explicit RowBuffer(std::size_t capacity) { Grow(capacity); }

    std::string_view View() const { return {data_.get(), size_}; }
    std::size_t size() const { return size_; }
    void clear() { size_ = 0; }

    // Where the next `n` bytes go; there is room for them and kBlock more.
    char* Room(std::size_t n) {
        if (capacity_ - size_ < n + kBlock) Grow(size_ + n + kBlock);
        return data_.get() + size_;
    }
    void Done(const char* end) { size_ = static_cast<std::size_t>(end - data_.get()); }
    // Drops the first `n` bytes.
    void Consume(std::size_t n) {
        std::memmove(data_.get(), data_.get() + n, size_ - n);
        size_ -= n;
    }
    void Append(std::string_view bytes) {
        char* p = Room(bytes.size());
        std::memcpy(p, bytes.data(), bytes.size());
        Done(p + bytes.size());
    }

  private:
    void Grow(std::size_t at_least);

    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

class RowWriter {
  public:
    // With `line_numbers`, each row starts with the number of its line.
    RowWriter(Format format, const AnswerBook& answers, bool line_numbers = false);

    void AppendHeader(RowBuffer& out) const;
    // A row for `number` (empty, of kind None, for a line without a number) found in the line
    // numbered `line_number`.
    void AppendRow(RowBuffer& out, std::uint64_t line_number, std::string_view line,
                   std::string_view number, attribution::NumberKind kind, AnswerId answer) {
        if (answer >= answers_seen_) AddTails();
        const std::string& tail = tails_[answer * kKinds + static_cast<std::size_t>(kind)];
        // An eleven-byte line that holds an eleven-digit number is that number: no quotes
        // needed.
        if (format_ != Format::Csv || line_numbers_ ||
            ((line.size() != 11 || number.size() != 11) && !tables::CsvFieldAsIs(line))) {
            AppendOtherRow(out, line_number, line, number, kind, answer, tail);
            return;
        }
        // The common case, as plainly as it can be copied: the line as the number alone,
        // or a line that needs no quotes.
        char* p = out.Room(line.size() + 1 + number.size() + tail.size());
        if (line.size() == 11 && number.size() == 11) {
            std::memcpy(p, line.data(), 11);
            p[11] = ',';
            std::memcpy(p + 12, number.data(), 11);
            p += 23;
        } else {
            std::memcpy(p, line.data(), line.size());
            p += line.size();
            *p++ = ',';
            if (!number.empty()) {  // an empty view may have no address at all
                std::memcpy(p, number.data(), number.size());
                p += number.size();
            }
        }
        for (std::size_t i = 0; i < tail.size(); i += RowBuffer::kBlock)
            std::memcpy(p + i, tail.data() + i, RowBuffer::kBlock);
        out.Done(p + tail.size());
    }

  private:
    static constexpr std::size_t kKinds = 4;  // attribution::NumberKind's values

    void AddTails();
    void AppendOtherRow(RowBuffer& out, std::uint64_t line_number, std::string_view line,
                        std::string_view number, attribution::NumberKind kind, AnswerId answer,
                        const std::string& tail);

    Format format_;
    const AnswerBook& answers_;
    bool line_numbers_;
    std::size_t answers_seen_ = 0;
    // Per answer and kind (at answer * kKinds + kind): the columns after the number and the
    // line end, each with room for a whole last block; for `fixed`, per answer, the columns
    // in code page 936.
    std::vector<std::string> tails_;
    std::vector<std::array<std::string, 6>> fixed_cells_;
    std::string scratch_;  // a row being laid out the slow way
};

}  // namespace numtrail::bulk
