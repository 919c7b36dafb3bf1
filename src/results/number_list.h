#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "numbers/list_file.h"

namespace numtrail {

// The entries of a pending list, held compactly: a list of millions of numbers costs about 20
// bytes an entry (its UTF-8 text and where it ends), where a string object each would cost
// ten times that.
class NumberEntries {
  public:
    void Append(std::string_view utf8) {
        text_.append(utf8);
        ends_.push_back(text_.size());
    }
    qsizetype size() const { return static_cast<qsizetype>(ends_.size()); }
    bool empty() const { return ends_.empty(); }
    // The entry at `index`, which must be in range.
    QString At(qsizetype index) const;
    QStringList ToList() const;
    void Clear();
    // Gives back what the vectors reserved beyond what they hold, once the list is read.
    void Trim();

  private:
    std::string text_;
    std::vector<std::size_t> ends_;
};

// What a number list file gives the pending list.
struct NumberListRead {
    NumberEntries entries;
    // Set when the file holds no list (another kind of file) or a workbook that cannot be read
    // to its end; the entries are then empty.
    std::optional<ListFileRefusal> refusal;
};

// The entries of a number list file, in file order. The file's kind comes from its content
// (see ReadListFile): text in any encoding ChooseListEncoding tells apart, a line ending at
// CR LF, a lone CR or a lone LF; a workbook, a line per row; a contacts file, a line per
// phone number. Each number the recognizer finds in a line is an entry, as its digits
// (13800138000, 01062345678, 4008001234), so a line with two numbers gives two; a line with
// digits but no number stays as it stands, so the batch reports it; a line without any digit
// (blank, a header, "VERSION:3.0") is dropped. A line too long to be held whole is kept cut,
// as an entry that is no number. Duplicates stay.
NumberListRead ReadNumberList(const QByteArray& bytes);

// A number as the user typed it: the first number the recognizer finds in it, as its digits,
// or else the entry exactly as typed, for the number check to report.
QString CleanNumberEntry(const QString& entry);

}  // namespace numtrail
