#include "lookup/lookup_rules.h"

namespace numtrail {
namespace {
constexpr const char16_t* kKeys[5] = {u"TO", u"Province", u"City", u"AreaCode", u"PostCode"};
}

NumberCheck CheckNumber(const QString& n) {
    if (n.size() != 11) return NumberCheck::WrongLength;
    for (const QChar c : n)
        if (c.unicode() < u'0' || c.unicode() > u'9') return NumberCheck::NotDigits;
    return NumberCheck::Ok;
}

QString AttributionUrl(const QString& endpoint, const QString& n) {
    return endpoint + QStringLiteral("?m=") + n +
           QStringLiteral("&output=json&callback=querycallback");
}

bool IsRateLimited(const QString& answer) {
    return answer.contains(QStringLiteral("Runtime Error"), Qt::CaseSensitive);
}

void QuerySlots::ql() {
    for (int i = 0; i <= 20; ++i) slots_[static_cast<std::size_t>(i)].clear();
}

std::array<QString, 10> ParseAnswer(const QString& answer) {
    std::array<QString, 10> fields;
    for (int k = 1; k <= 5; ++k) {
        const QString pattern = QString::fromUtf16(kKeys[k - 1]) + QStringLiteral("\":\"");
        const qsizetype at = answer.indexOf(pattern);
        if (at < 0) continue;
        const qsizetype start = at + pattern.size();
        const qsizetype next = answer.indexOf(pattern, start);
        const QString after = answer.mid(start, next < 0 ? -1 : next - start);
        const qsizetype quote = after.indexOf(QLatin1Char('"'));
        fields[static_cast<std::size_t>(2 * k - 2)] = after;
        fields[static_cast<std::size_t>(2 * k - 1)] = quote < 0 ? QString() : after.left(quote);
    }
    return fields;
}

LookupResult ResultFromSlots(const QString& n, const std::array<QString, 10>& fields) {
    // slot 2 card type, 4 province, 6 city, 8 area code, 10 postcode
    return {n, fields[3], fields[5], fields[7], fields[9], fields[1]};
}

}  // namespace numtrail
