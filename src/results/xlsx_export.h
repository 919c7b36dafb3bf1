#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace numtrail {

// A worksheet holds 1,048,576 rows; one of them is the header.
inline constexpr qsizetype kXlsxRowsPerSheet = 1048575;

// An Excel workbook of the rows: a bold header row frozen above them, every cell written as
// text in a text format (so "010" keeps its zero and nothing turns into a number or a date),
// and each column as wide as its widest cell. Rows beyond `rows_per_sheet` continue on
// further sheets, each with the header. nullopt, with *error set, when the workbook could not
// be made (no room for the temporary files).
std::optional<QByteArray> XlsxBytes(const QStringList& header, const QList<QStringList>& rows,
                                    QString* error, qsizetype rows_per_sheet = kXlsxRowsPerSheet);

}  // namespace numtrail
