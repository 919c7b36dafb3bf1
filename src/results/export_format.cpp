#include "results/export_format.h"

#include "platform/codepage.h"
#include "platform/qstring_bytes.h"

namespace numtrail {
namespace {

constexpr std::int32_t kNumberFieldWidth = 8;
const QString kFieldSeparator = QStringLiteral("   ");

QString TrimBlanks(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ') ++begin;
    while (end > begin && text[end - 1] == u' ') --end;
    return text.mid(begin, end - begin);
}

}  // namespace

QString SetStringFixedLength(const QString& strIn, std::int32_t lngFixStrLen) {
    const QString trimmed = TrimBlanks(strIn);
    const auto width = static_cast<std::int64_t>(AnsiByteLength(
        std::u16string_view(reinterpret_cast<const char16_t*>(trimmed.utf16()), trimmed.size())));
    const std::int64_t missing = std::int64_t{lngFixStrLen} - width;
    if (width > 0 && lngFixStrLen > 0 && missing >= 1)
        return trimmed + QString(static_cast<qsizetype>(missing), u' ');
    return trimmed;
}

QByteArray ExportLine(const QStringList& cells) {
    QString line;
    for (qsizetype c = 0; c < cells.size(); ++c) {
        if (c > 0) line += kFieldSeparator;
        line += c == 0 ? SetStringFixedLength(cells[c], kNumberFieldWidth) : cells[c];
    }
    return ToAnsi(line) + QByteArrayLiteral("\r\n");
}

QByteArray ExportBytes(const QList<QStringList>& rows) {
    QByteArray bytes;
    for (const QStringList& row : rows) bytes += ExportLine(row);
    return bytes;
}

}  // namespace numtrail
