#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace numtrail {

// The content of one result row, as the lookup writes it and the list operations, the export
// and the clipboard copy read it back.
struct LookupResult {
    QString number;
    QString province;
    QString city;
    QString area_code;
    QString postcode;
    QString card_type;
};

// The result list's column headers, in column order, for files that carry a header row.
QStringList ResultHeaders();

// The six fields of a row in column order.
QStringList ResultCells(const LookupResult& result);
QList<QStringList> ResultTable(const QList<LookupResult>& rows);

}  // namespace numtrail
