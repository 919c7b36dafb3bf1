#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

#include "numbers/list_file.h"

namespace numtrail {

// What a number list file gives the pending list.
struct NumberListRead {
    QStringList entries;
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
