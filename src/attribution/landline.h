#pragma once

#include <optional>
#include <string_view>

#include "attribution/cities.h"
#include "attribution/number.h"
#include "attribution/record.h"

namespace numtrail::attribution {

inline constexpr std::string_view kLandlineCardType = "固定电话";
// The province of a 400 or 800 number: it rings wherever its owner routes it.
inline constexpr std::string_view kNationwide = "全国";

// The attribution of a landline of the area code `code` ("010", "0755"), from the city table
// alone: the province, city, postcode of the city the code names, the code itself, card type
// 固定电话, kind Landline, status Ok, and no number. A code several cities share and the
// table names none of answers its province, with the province's name as city and no
// postcode. nullopt for a code the table lacks.
std::optional<Record> LandlineRecord(const CityTable& table, std::string_view code);

// The same for a recognised landline, with its digits as the record's number; nullopt for a
// number of another kind.
std::optional<Record> LandlineRecord(const CityTable& table, const Number& number);

// The attribution of a 400 or 800 number (ten digits, 4008001234): province 全国, card type
// 400电话 or 800电话, no city, area code or postcode; nullopt for other digits.
std::optional<Record> ServiceRecord(std::string_view digits);

}  // namespace numtrail::attribution
