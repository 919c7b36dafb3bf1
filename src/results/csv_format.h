#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace numtrail {

// Comma-separated files as spreadsheets open them (RFC 4180): UTF-8, CR LF after every
// record, a field quoted when it holds a comma, a double quote, a CR or an LF, with its
// double quotes doubled. Every other field is written as it is, an empty one as nothing.

// The byte order mark that tells spreadsheets the file is UTF-8 rather than the system's
// code page.
inline constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";

// One record, ended by CR LF.
QByteArray CsvLine(const QStringList& fields);

// A whole file: the byte order mark, the header record, then one record per row in order.
QByteArray CsvBytes(const QStringList& header, const QList<QStringList>& rows);

}  // namespace numtrail
