#include "lookup/lookup_rules.h"

#include "product/protocol.h"

namespace numtrail {
namespace {

using namespace protocol;

// In the order of the slots they fill.
constexpr const char* kKeys[5] = {kCardTypeKey, kProvinceKey, kCityKey, kAreaCodeKey, kPostCodeKey};

}  // namespace

NumberCheck CheckNumber(const QString& n) {
    if (n.size() != 11) return NumberCheck::WrongLength;
    for (const QChar c : n)
        if (c.unicode() < u'0' || c.unicode() > u'9') return NumberCheck::NotDigits;
    return NumberCheck::Ok;
}

QString AttributionUrl(const QString& endpoint, const QString& n) {
    return endpoint + u'?' + QLatin1StringView(kNumberKey) + u'=' + n + u'&' +
           QLatin1StringView(kOutputKey) + u'=' + QLatin1StringView(kOutputJson) + u'&' +
           QLatin1StringView(kCallbackKey) + u'=' + QLatin1StringView(kCallbackName);
}

bool IsRateLimited(const QString& answer) {
    return answer.contains(QLatin1StringView(kRefusalMarker), Qt::CaseSensitive);
}

void QuerySlots::ql() {
    for (int i = 0; i <= 20; ++i) slots_[static_cast<std::size_t>(i)].clear();
}

std::array<QString, 10> ParseAnswer(const QString& answer) {
    std::array<QString, 10> fields;
    for (int k = 1; k <= 5; ++k) {
        const QString pattern = QLatin1StringView(kKeys[k - 1]) + QStringLiteral("\":\"");
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
