#include "results/lookup_result.h"

namespace numtrail {

QStringList ResultHeaders() {
    return {QStringLiteral("手机号码"), QStringLiteral("所属省份"), QStringLiteral("所属城市"),
            QStringLiteral("区号"),     QStringLiteral("邮编"),     QStringLiteral("号码类型")};
}

QStringList ResultCells(const LookupResult& result) {
    return {result.number,    result.province, result.city,
            result.area_code, result.postcode, result.card_type};
}

QList<QStringList> ResultTable(const QList<LookupResult>& rows) {
    QList<QStringList> table;
    table.reserve(rows.size());
    for (const LookupResult& row : rows) table << ResultCells(row);
    return table;
}

}  // namespace numtrail
