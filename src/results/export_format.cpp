#include "results/export_format.h"

#include <QHash>
#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/codepage.h"
#include "platform/qstring_bytes.h"
#include "tables/export_line.h"

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

// Text in code page 936; ASCII text, which numbers are, is copied as it is.
void ToAnsiInto(QByteArray& out, const QString& text) {
    const bool ascii =
        std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
    if (!ascii) {
        out = ToAnsi(text);
        return;
    }
    out.resize(text.size());
    std::transform(text.cbegin(), text.cend(), out.data(),
                   [](QChar c) { return static_cast<char>(c.unicode()); });
}

}  // namespace

QString SetStringFixedLength(const QString& strIn, std::int32_t lngFixStrLen) {
    const QString trimmed = TrimBlanks(strIn);
    const std::size_t width = AnsiByteLength(
        std::u16string_view(reinterpret_cast<const char16_t*>(trimmed.utf16()), trimmed.size()));
    return trimmed +
           QString(static_cast<qsizetype>(tables::FixedLengthFill(width, lngFixStrLen)), u' ');
}

QByteArray ExportLine(const QStringList& cells) {
    std::vector<QByteArray> ansi;
    ansi.reserve(static_cast<std::size_t>(cells.size()));
    for (const QString& cell : cells) ansi.push_back(ToAnsi(cell));
    std::vector<std::string_view> views;
    views.reserve(ansi.size());
    for (const QByteArray& bytes : ansi) views.push_back(View(bytes));
    std::string line;
    tables::AppendExportLine(line, views);
    return QByteArray(line.data(), static_cast<qsizetype>(line.size()));
}

QByteArray ExportBytes(const QList<QStringList>& rows) {
    QByteArray bytes;
    for (const QStringList& row : rows) bytes += ExportLine(row);
    return bytes;
}

QByteArray ExportBytes(const ResultStore& rows) {
    static constexpr QString LookupResult::*kAfterNumber[] = {
        &LookupResult::province, &LookupResult::city, &LookupResult::area_code,
        &LookupResult::postcode, &LookupResult::card_type};
    std::string out;
    out.reserve(static_cast<std::size_t>(rows.Count()) * 48);
    // The store shares each repeated value, so its text is converted once, found by where it
    // lies and how long it is (nothing changes the rows while they are written).
    QHash<std::pair<const QChar*, qsizetype>, QByteArray> converted;
    QByteArray number;
    std::array<std::string_view, 6> cells;
    for (const LookupResult& row : rows) {
        ToAnsiInto(number, row.number);
        cells[0] = View(number);
        for (std::size_t c = 1; c < cells.size(); ++c) {
            const QString& value = row.*kAfterNumber[c - 1];
            const std::pair key(value.constData(), value.size());
            auto known = converted.constFind(key);
            if (known == converted.constEnd()) {
                QByteArray ansi;
                ToAnsiInto(ansi, value);
                known = converted.insert(key, ansi);
            }
            cells[c] = View(*known);
        }
        tables::AppendExportLine(out, cells);
    }
    return QByteArray(out.data(), static_cast<qsizetype>(out.size()));
}

}  // namespace numtrail
