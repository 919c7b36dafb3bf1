#include "results/number_list.h"

#include <string_view>

#include "numbers/recognizer.h"

namespace numtrail {
namespace {

QString DigitsOf(const FoundNumber& found) {
    const std::string_view digits = found.number.Digits();
    return QString::fromLatin1(digits.data(), static_cast<qsizetype>(digits.size()));
}

}  // namespace

QString NumberEntries::At(qsizetype index) const {
    const std::size_t i = static_cast<std::size_t>(index);
    const std::size_t from = i == 0 ? 0 : ends_[i - 1];
    return QString::fromUtf8(text_.data() + from, static_cast<qsizetype>(ends_[i] - from));
}

QStringList NumberEntries::ToList() const {
    QStringList list;
    list.reserve(size());
    for (qsizetype i = 0; i < size(); ++i) list << At(i);
    return list;
}

void NumberEntries::Clear() {
    text_.clear();
    ends_.clear();
}

void NumberEntries::Trim() {
    text_.shrink_to_fit();
    ends_.shrink_to_fit();
}

NumberListRead ReadNumberList(const QByteArray& bytes) {
    const NumberRecognizer& recognizer = NumberRecognizer::BuiltIn();
    NumberListRead read;
    NumberEntries& entries = read.entries;
    read.refusal = ReadListFile({bytes.constData(), static_cast<std::size_t>(bytes.size())},
                                [&entries, &recognizer](std::string_view line, bool cut) {
                                    if (cut) {
                                        // Its end is gone, and with it perhaps the end of a digit
                                        // run: no number is taken from it, but the user sees it was
                                        // there.
                                        const auto stop = [](const FoundNumber&) { return false; };
                                        if (recognizer.ForEach(line, stop) != EntryKind::NoDigits)
                                            entries.Append(line);
                                        return;
                                    }
                                    const EntryKind kind = recognizer.ForEach(
                                        line, [&entries](const FoundNumber& found) {
                                            entries.Append(found.number.Digits());
                                        });
                                    if (kind == EntryKind::AsItStood) entries.Append(line);
                                });
    if (read.refusal) entries.Clear();
    entries.Trim();
    return read;
}

QString CleanNumberEntry(const QString& entry) {
    const QByteArray utf8 = entry.toUtf8();
    const FirstNumber first = NumberRecognizer::BuiltIn().First(
        {utf8.constData(), static_cast<std::size_t>(utf8.size())});
    return first.kind == EntryKind::Number ? DigitsOf(first.found) : entry;
}

}  // namespace numtrail
