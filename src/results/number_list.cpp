#include "results/number_list.h"

#include <string_view>

#include "numbers/entry_cleaning.h"
#include "numbers/list_text.h"

namespace numtrail {

QStringList SplitNumberList(const QByteArray& bytes) {
    QStringList entries;
    ForEachListLine(
        {bytes.constData(), static_cast<std::size_t>(bytes.size())},
        [&entries](std::string_view line) {
            const CleanedEntry entry = CleanEntry(line);
            switch (entry.kind) {
                case EntryKind::Number:
                    entries << QString::fromLatin1(entry.digits.data(), entry.digits.size());
                    break;
                case EntryKind::AsItStood:
                    entries << QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
                    break;
                case EntryKind::NoDigits:
                    break;
            }
        });
    return entries;
}

QString CleanNumberEntry(const QString& entry) {
    const QByteArray utf8 = entry.toUtf8();
    const CleanedEntry cleaned =
        CleanEntry({utf8.constData(), static_cast<std::size_t>(utf8.size())});
    return cleaned.kind == EntryKind::Number
               ? QString::fromLatin1(cleaned.digits.data(), cleaned.digits.size())
               : entry;
}

}  // namespace numtrail
