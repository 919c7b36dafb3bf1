#pragma once

#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "bulk/answer_book.h"
#include "tables/text_escape.h"

namespace numtrail::bulk {

enum class Format { Csv, Tsv, Jsonl, Fixed };

// Writes the rows of numtrail-lookup, one per input line, with the columns: the input line as
// read, the cleaned number (empty for a line without one), province, city, area code,
// postcode, card type and status.
//   csv    UTF-8, a header row, RFC 4180 (fields quoted when they hold a comma or a quote,
//          CR LF line ends); a field that starts like a formula behind an apostrophe
//   tsv    UTF-8, a header row, LF line ends; a tab, CR, LF or backslash inside a field is
//          written \t, \r, \n or \\ so that every row keeps its eight fields; formulas as
//          in csv
//   jsonl  one JSON object a line, the columns as members
//   fixed  the window's export line: code page 936, no header, the first field filled to 8
//          bytes, three blanks between fields, CR LF
// Everything after the number depends only on the answer, so it is worked out once per answer
// and copied after that.
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
    RowWriter(Format format, const AnswerBook& answers);

    void AppendHeader(RowBuffer& out) const;
    void AppendRow(RowBuffer& out, std::string_view line, std::string_view number,
                   AnswerId answer) {
        if (answer >= tails_.size()) AddTails();
        // An eleven-byte line that holds a number is that number: written as it is.
        if (format_ != Format::Csv ||
            ((line.size() != 11 || number.size() != 11) && !tables::CsvFieldAsIs(line))) {
            AppendOtherRow(out, line, number, answer);
            return;
        }
        // The common case, as plainly as it can be copied: the line as the number alone,
        // or a line that needs no quotes.
        const std::string& tail = tails_[answer];
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
    void AddTails();
    void AppendOtherRow(RowBuffer& out, std::string_view line, std::string_view number,
                        AnswerId answer);

    Format format_;
    const AnswerBook& answers_;
    // Per answer: its columns after the number and the line end, each with room for a
    // whole last block; for `fixed`, the columns in code page 936.
    std::vector<std::string> tails_;
    std::vector<std::array<std::string, 6>> fixed_cells_;
    std::string scratch_;  // a row being laid out the slow way
};

}  // namespace numtrail::bulk
