#include "results/export_format.h"

#include <QHash>
#include <algorithm>
#include <utility>

#include "platform/codepage.h"
#include "platform/qstring_bytes.h"

namespace numtrail {
namespace {

constexpr std::int32_t kNumberFieldWidth = 8;
const QString kFieldSeparator = QStringLiteral("   ");

const QByteArray kFieldSeparatorBytes = QByteArrayLiteral("   ");

// Appends text in code page 936; ASCII text, which numbers are, is copied as it is.
void AppendAnsi(QByteArray& out, const QString& text) {
    const bool ascii =
        std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
    if (!ascii) {
        out += ToAnsi(text);
        return;
    }
    const qsizetype at = out.size();
    out.resize(at + text.size());
    std::transform(text.cbegin(), text.cend(), out.data() + at,
                   [](QChar c) { return static_cast<char>(c.unicode()); });
}

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

QByteArray ExportBytes(const ResultStore& rows) {
    static constexpr QString LookupResult::*kAfterNumber[] = {
        &LookupResult::province, &LookupResult::city, &LookupResult::area_code,
        &LookupResult::postcode, &LookupResult::card_type};
    QByteArray bytes;
    bytes.reserve(rows.Count() * 48);
    // The store shares each repeated value, so its text is converted once, found by where it
    // lies and how long it is (nothing changes the rows while they are written).
    QHash<std::pair<const QChar*, qsizetype>, QByteArray> converted;
    for (const LookupResult& row : rows) {
        // Every character takes at least one byte: a number of 8 characters or more without
        // blanks at its ends is its own field.
        const QString& number = row.number;
        const bool whole =
            number.size() >= kNumberFieldWidth && number.front() != u' ' && number.back() != u' ';
        AppendAnsi(bytes, whole ? number : SetStringFixedLength(number, kNumberFieldWidth));
        for (QString LookupResult::*field : kAfterNumber) {
            bytes += kFieldSeparatorBytes;
            const QString& value = row.*field;
            if (value.isEmpty()) continue;
            const std::pair key(value.constData(), value.size());
            auto known = converted.constFind(key);
            if (known == converted.constEnd()) {
                QByteArray ansi;
                AppendAnsi(ansi, value);
                known = converted.insert(key, ansi);
            }
            bytes += *known;
        }
        bytes += "\r\n";
    }
    return bytes;
}

}  // namespace numtrail
