#pragma once

#include <QByteArray>
#include <QStringList>

namespace numtrail {

// The entries of a number list file, read in code page 936. A line ends at CR LF, at a
// lone CR or at a lone LF (lists made on Linux and by most tools end their lines in LF); a
// last line without an end counts too. Empty lines are dropped; everything else is kept as
// it stands, in file order: blanks, duplicates and entries that are not numbers at all.
QStringList SplitNumberList(const QByteArray& bytes);

}  // namespace numtrail
