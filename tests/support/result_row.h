#pragma once

#include <string>

#include "attribution/record.h"

namespace numtrail::test {

// A result row in the result list's column order: number, province, city, area code, postcode,
// card type.
inline attribution::Record ResultRow(std::string number, std::string province, std::string city,
                                     std::string area_code, std::string postcode,
                                     std::string card_type) {
    attribution::Record row{std::move(province), std::move(city), std::move(postcode),
                            std::move(area_code), std::move(card_type)};
    row.number = std::move(number);
    return row;
}

}  // namespace numtrail::test
