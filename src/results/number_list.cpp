#include "results/number_list.h"

#include <string_view>

#include "numbers/recognizer.h"

namespace numtrail {
namespace {

QString DigitsOf(const FoundNumber& found) {
    const std::string_view digits = found.number.Digits();
    return QString::fromLatin1(digits.data(), static_cast<qsizetype>(digits.size()));
}

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

NumberListRead ReadNumberList(const QByteArray& bytes) {
    const NumberRecognizer& recognizer = NumberRecognizer::BuiltIn();
    NumberListRead read;
    QStringList& entries = read.entries;
    read.refusal = ReadListFile(
        {bytes.constData(), static_cast<std::size_t>(bytes.size())},
        [&entries, &recognizer](std::string_view line, bool cut) {
            if (cut) {
                // Its end is gone, and with it perhaps the end of a digit run: no number is
                // taken from it, but the user sees it was there.
                const auto stop = [](const FoundNumber&) { return false; };
                if (recognizer.ForEach(line, stop) != EntryKind::NoDigits)
                    entries << FromUtf8(line);
                return;
            }
            const EntryKind kind = recognizer.ForEach(
                line, [&entries](const FoundNumber& found) { entries << DigitsOf(found); });
            if (kind == EntryKind::AsItStood) entries << FromUtf8(line);
        });
    if (read.refusal) entries.clear();
    return read;
}

QString CleanNumberEntry(const QString& entry) {
    const QByteArray utf8 = entry.toUtf8();
    const FirstNumber first = NumberRecognizer::BuiltIn().First(
        {utf8.constData(), static_cast<std::size_t>(utf8.size())});
    return first.kind == EntryKind::Number ? DigitsOf(first.found) : entry;
}

}  // namespace numtrail
