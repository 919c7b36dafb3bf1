#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace numtrail {

// The design values of the generator's fields, and what a bad input falls back to.
inline const QString kDefaultCountText = QStringLiteral("10");
inline const QString kFallbackCountText = QStringLiteral("1");
inline const QString kDefaultPrefix = QStringLiteral("186");
inline const QString kDefaultMultiplierText = QStringLiteral("1000");
inline constexpr int kMultiplierMaxLength = 5;
inline constexpr int kMinCount = 2;  // smaller counts, as typed, fall back to 1
inline constexpr int kMaxCount = 1000;
inline constexpr int kEntryLength = 11;
inline constexpr int kPrefixLength = 3;

// Reads as a decimal number: optional blanks around it, a sign, digits with an optional
// decimal point, an optional exponent. "1,000", "0x10", "inf" and "nan" are not numbers,
// and neither is a value beyond the double range.
bool IsNumeric(const QString& text);

// The value of a numeric text; nullopt when the text is not numeric.
std::optional<double> NumericValue(const QString& text);

// Rounding to an integer with halves going to the even neighbour; nullopt when the
// rounded value does not fit the type (or x is not finite).
std::optional<std::int16_t> RoundToInt16(double x);
std::optional<std::int32_t> RoundToInt32(double x);

// At least three digits with leading zeros; a negative value keeps its minus sign in
// front: 7 → "007", 1234 → "1234", -5 → "-005".
QString PartText(std::int32_t value);

// What each field becomes after the user changed it (the text itself when it is fine).
QString RepairedCount(const QString& text);              // not a number from 2 to 1000 → "1"
QString RepairedPrefix(const QString& text);             // not numeric → "186"
QString RepairedPrefixOnFocusLoss(const QString& text);  // not 3 characters → "186"
QString RepairedMultiplier(const QString& text);         // not numeric → "1000"

// How many entries a count text asks for: its value rounded to a 16-bit integer; 0 when it
// is not numeric or out of range.
int GenerationCount(const QString& count_text);

// One generated entry: the first 11 characters of prefix + part A + part B, where part A
// is r1 × multiplier and part B is r2 × 100000, both rounded to 32-bit integers. nullopt
// when a part leaves the 32-bit range (a multiplier such as 1e10).
std::optional<QString> MakeEntry(const QString& prefix, double multiplier, float r1, float r2);

// The saved list: every entry followed by CR LF, in code page 936.
QByteArray GeneratedListBytes(const QStringList& entries);

}  // namespace numtrail
