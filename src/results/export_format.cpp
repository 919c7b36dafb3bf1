#include "results/export_format.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>
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

// UTF-8 text in code page 936; ASCII text, which numbers are, is copied as it is.
std::string ToAnsiBytes(std::string_view utf8) {
    const bool ascii = std::all_of(utf8.begin(), utf8.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    return ascii ? std::string(utf8) : StringToAnsiBytes(Utf8ToUtf16(utf8));
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
    std::string out;
    out.reserve(rows.Count() * 48);
    // The store holds each repeated value once: each is converted once.
    std::vector<std::optional<std::string>> converted(rows.ValueCount());
    std::string number;
    std::array<std::string_view, ResultStore::kColumns> cells;
    for (std::size_t r = 0; r < rows.Count(); ++r) {
        number = ToAnsiBytes(rows.Cell(r, 0));
        cells[0] = number;
        for (int c = 1; c < ResultStore::kColumns; ++c) {
            std::optional<std::string>& value = converted[rows.ValueAt(r, c)];
            if (!value) value = ToAnsiBytes(rows.Value(rows.ValueAt(r, c)));
            cells[static_cast<std::size_t>(c)] = *value;
        }
        tables::AppendExportLine(out, cells);
    }
    return QByteArray(out.data(), static_cast<qsizetype>(out.size()));
}

}  // namespace numtrail
