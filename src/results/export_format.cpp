#include "results/export_format.h"

#include <string>
#include <string_view>
#include <vector>

#include "platform/codepage.h"
#include "platform/qstring_bytes.h"
#include "results/export_line.h"

namespace numtrail {
namespace {

QString TrimBlanks(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ') ++begin;
    while (end > begin && text[end - 1] == u' ') --end;
    return text.mid(begin, end - begin);
}

std::string_view View(const QByteArray& bytes) {
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

}  // namespace

QString SetStringFixedLength(const QString& strIn, std::int32_t lngFixStrLen) {
    const QString trimmed = TrimBlanks(strIn);
    const std::size_t width = AnsiByteLength(
        std::u16string_view(reinterpret_cast<const char16_t*>(trimmed.utf16()), trimmed.size()));
    return trimmed + QString(static_cast<qsizetype>(FixedLengthFill(width, lngFixStrLen)), u' ');
}

QByteArray ExportLine(const QStringList& cells) {
    std::vector<QByteArray> ansi;
    ansi.reserve(static_cast<std::size_t>(cells.size()));
    for (const QString& cell : cells) ansi.push_back(ToAnsi(cell));
    std::vector<std::string_view> views;
    views.reserve(ansi.size());
    for (const QByteArray& bytes : ansi) views.push_back(View(bytes));
    std::string line;
    AppendExportLine(line, views);
    return QByteArray(line.data(), static_cast<qsizetype>(line.size()));
}

QByteArray ExportBytes(const QList<QStringList>& rows) {
    QByteArray bytes;
    for (const QStringList& row : rows) bytes += ExportLine(row);
    return bytes;
}

}  // namespace numtrail
