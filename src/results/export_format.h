#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>

#include "results/result_store.h"

namespace numtrail {

// strIn without leading and trailing blanks (U+0020 only), filled up on the right with
// blanks to lngFixStrLen bytes in code page 936. Never cuts: a text that is already as wide
// or wider, an empty text and a width of 0 or less all give the trimmed text alone.
QString SetStringFixedLength(const QString& strIn, std::int32_t lngFixStrLen);

// One line of the export file in code page 936 (see AppendExportLine): the cells in column
// order, three blanks between neighbours, CR LF at the end. The first cell (the number) is
// trimmed and filled to 8 bytes; the others are written as they are, whole.
QByteArray ExportLine(const QStringList& cells);

// The whole export file: one line per row, top to bottom, no header and no byte-order mark.
QByteArray ExportBytes(const QList<QStringList>& rows);
// The same for the window's result rows, in column order (number, province, city, area code,
// postcode, card type): byte for byte what ExportLine makes of each row, at a speed that suits
// a million rows.
QByteArray ExportBytes(const ResultStore& rows);

}  // namespace numtrail
