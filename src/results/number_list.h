#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace numtrail {

// The entries of a number list file, in file order. The file's encoding is read from its
// bytes (UTF-8, UTF-16 or code page 936, see ChooseListEncoding); a line ends at CR LF, at a
// lone CR or at a lone LF, and a last line without an end counts too. Each line is cleaned
// (see CleanEntry): a line that holds a number becomes that number; a line with digits but
// no number stays as it stands, so the batch reports it; empty lines and lines without any
// digit (blanks, a header) are dropped. Duplicates stay.
QStringList SplitNumberList(const QByteArray& bytes);

// A number as the user typed it: the cleaned number when the entry holds one, otherwise the
// entry exactly as typed, for the number check to report.
QString CleanNumberEntry(const QString& entry);

}  // namespace numtrail
