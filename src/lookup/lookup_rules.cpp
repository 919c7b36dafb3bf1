#include "lookup/lookup_rules.h"

#include <array>

#include "attribution/protocol.h"
#include "numbers/recognizer.h"

namespace numtrail {
namespace {

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToUtf8(const QString& text) { return text.toStdString(); }

}  // namespace

NumberCheck CheckNumber(const QString& n) {
    if (n.size() != 11) {
        const attribution::NumberKind kind = EntryNumber(n).kind;
        if (kind == attribution::NumberKind::Landline || kind == attribution::NumberKind::Service)
            return NumberCheck::Ok;
        return NumberCheck::WrongLength;
    }
    for (const QChar c : n)
        if (c.unicode() < u'0' || c.unicode() > u'9') return NumberCheck::NotDigits;
    return NumberCheck::Ok;
}

attribution::Number EntryNumber(const QString& n) {
    if (n.isEmpty() || n.size() > qsizetype{attribution::Number::kMaxDigits}) return {};
    std::array<char, attribution::Number::kMaxDigits> digits;
    for (qsizetype i = 0; i < n.size(); ++i) {
        const char16_t c = n[i].unicode();
        if (c < u'0' || c > u'9') return {};
        digits[static_cast<std::size_t>(i)] = static_cast<char>(c);
    }
    const std::string_view text(digits.data(), static_cast<std::size_t>(n.size()));
    if (const attribution::Number mobile = attribution::MobileNumber(text)) return mobile;
    // The text must be the very digits of one number: 013800138000 holds 13800138000, but
    // the import and the single query have made that of it before it became an entry.
    const FirstNumber first = NumberRecognizer::BuiltIn().First(text);
    if (first.kind != EntryKind::Number || first.found.number.Digits() != text) return {};
    return first.found.number;
}

QString AttributionUrl(const QString& endpoint, const QString& n) {
    return FromUtf8(attribution::QueryFor(ToUtf8(endpoint), ToUtf8(n)));
}

bool IsRateLimited(const QString& answer) { return attribution::IsRefusal(ToUtf8(answer)); }

void QuerySlots::ql() {
    for (int i = 0; i <= 20; ++i) slots_[static_cast<std::size_t>(i)].clear();
}

// The pattern and the cut are ASCII, so cutting the UTF-8 bytes cuts the text at the same
// characters.
std::array<QString, 10> ParseAnswer(const QString& answer) {
    const std::string bytes = ToUtf8(answer);
    const auto cut = attribution::CutAnswer(bytes);
    std::array<QString, 10> fields;
    for (std::size_t k = 0; k < cut.size(); ++k) {
        fields[2 * k] = FromUtf8(cut[k].after);
        fields[2 * k + 1] = FromUtf8(cut[k].value);
    }
    return fields;
}

attribution::Record ResultFromSlots(const QString& n, const std::array<QString, 10>& fields) {
    // slot 2 card type, 4 province, 6 city, 8 area code, 10 postcode
    attribution::Record r;
    r.number = ToUtf8(n);
    r.province = ToUtf8(fields[3]);
    r.city = ToUtf8(fields[5]);
    r.area_code = ToUtf8(fields[7]);
    r.postcode = ToUtf8(fields[9]);
    r.card_type = ToUtf8(fields[1]);
    return r;
}

}  // namespace numtrail
