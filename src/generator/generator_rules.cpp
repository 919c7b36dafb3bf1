#include "generator/generator_rules.h"

#include <QRegularExpression>
#include <cmath>
#include <limits>

#include "platform/qstring_bytes.h"

namespace numtrail {
namespace {

template <typename Int>
std::optional<Int> RoundHalfEven(double x) {
    if (!std::isfinite(x)) return std::nullopt;
    double rounded = std::floor(x);
    const double fraction = x - rounded;  // exact for every double
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(rounded, 2.0) != 0.0)) rounded += 1.0;
    // Both limits are exactly representable, so the comparison is exact too.
    if (rounded < static_cast<double>(std::numeric_limits<Int>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<Int>::max()))
        return std::nullopt;
    return static_cast<Int>(rounded);
}

}  // namespace

std::optional<double> NumericValue(const QString& text) {
    // Blanks are spaces and tabs; digits are ASCII digits only.
    static const QRegularExpression kNumber(QStringLiteral(
        "\\A[ \\t]*([+-]?(?:[0-9]+\\.?[0-9]*|\\.[0-9]+)(?:[eE][+-]?[0-9]+)?)[ \\t]*\\z"));
    const QRegularExpressionMatch match = kNumber.match(text);
    if (!match.hasMatch()) return std::nullopt;
    bool ok = false;
    const double value = match.captured(1).toDouble(&ok);
    if (!std::isfinite(value)) return std::nullopt;
    // A value too small for a double reads as zero rather than as "not a number".
    if (!ok && value != 0.0) return std::nullopt;
    return value;
}

bool IsNumeric(const QString& text) { return NumericValue(text).has_value(); }

std::optional<std::int16_t> RoundToInt16(double x) { return RoundHalfEven<std::int16_t>(x); }
std::optional<std::int32_t> RoundToInt32(double x) { return RoundHalfEven<std::int32_t>(x); }

QString PartText(std::int32_t value) {
    // Widened first: the magnitude of the smallest 32-bit value does not fit 32 bits.
    const std::int64_t magnitude = std::abs(static_cast<std::int64_t>(value));
    QString digits = QString::number(magnitude).rightJustified(3, QLatin1Char('0'));
    return value < 0 ? QLatin1Char('-') + digits : digits;
}

QString RepairedCount(const QString& text) {
    const std::optional<double> value = NumericValue(text);
    if (!value || *value > kMaxCount || *value < kMinCount) return kFallbackCountText;
    return text;
}

QString RepairedPrefix(const QString& text) { return IsNumeric(text) ? text : kDefaultPrefix; }

QString RepairedPrefixOnFocusLoss(const QString& text) {
    return text.size() == kPrefixLength ? text : kDefaultPrefix;
}

QString RepairedMultiplier(const QString& text) {
    return IsNumeric(text) ? text : kDefaultMultiplierText;
}

int GenerationCount(const QString& count_text) {
    const std::optional<double> value = NumericValue(count_text);
    if (!value) return 0;
    return RoundToInt16(*value).value_or(0);
}

std::optional<QString> MakeEntry(const QString& prefix, double multiplier, float r1, float r2) {
    const std::optional<std::int32_t> a = RoundToInt32(static_cast<double>(r1) * multiplier);
    if (!a) return std::nullopt;
    const std::optional<std::int32_t> b = RoundToInt32(static_cast<double>(r2) * 100000.0);
    if (!b) return std::nullopt;
    return (prefix + PartText(*a) + PartText(*b)).left(kEntryLength);
}

QByteArray GeneratedListBytes(const QStringList& entries) {
    QByteArray bytes;
    for (const QString& entry : entries) {
        bytes += ToAnsi(entry);
        bytes += "\r\n";
    }
    return bytes;
}

}  // namespace numtrail
