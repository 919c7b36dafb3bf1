#include "results/csv_format.h"

namespace numtrail {
namespace {

QString CsvField(const QString& text) {
    const bool quoted =
        text.contains(u',') || text.contains(u'"') || text.contains(u'\r') || text.contains(u'\n');
    if (!quoted) return text;
    return u'"' + QString(text).replace(QStringLiteral("\""), QStringLiteral("\"\"")) + u'"';
}

}  // namespace

QByteArray CsvLine(const QStringList& fields) {
    QString line;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0) line += u',';
        line += CsvField(fields[i]);
    }
    return line.toUtf8() + QByteArrayLiteral("\r\n");
}

QByteArray CsvBytes(const QStringList& header, const QList<QStringList>& rows) {
    QByteArray bytes(kUtf8Bom);
    bytes += CsvLine(header);
    for (const QStringList& row : rows) bytes += CsvLine(row);
    return bytes;
}

}  // namespace numtrail
