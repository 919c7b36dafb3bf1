#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "attribution/cities.h"
#include "attribution/record.h"

namespace numtrail::datatool {

// A table's place cells as a data file keeps them, or why they cannot be used.
struct PlaceResult {
    attribution::Record record;  // province, city, postcode and area code
    std::string problem;         // empty when the cells can be used
    // The record names a city that the city table does not know (kept as written).
    bool unknown_city = false;
};

// Brings place names to the form every answer uses: today's short names of the city table
// (江苏省 -> 江苏, 常州市 -> 常州, 黔东南苗族侗族自治州 -> 黔东南, 襄樊 -> 襄阳), the province
// found from the city and the city from a province cell that names both (江苏常州) or a
// municipality; an area code or postcode a spreadsheet cut the leading zero from gets it back,
// and an empty one is filled from the city table. The user's area code and postcode win
// over the table's.
class PlaceNames {
  public:
    explicit PlaceNames(const attribution::CityTable& table);

    PlaceResult Normalize(std::string_view province, std::string_view city,
                          std::string_view area_code, std::string_view postcode) const;

    // Whether `province` is the short name of a mainland province, region or municipality.
    bool IsProvince(std::string_view province) const;

  private:
    // The cities a name or alias belongs to, in every province.
    const std::vector<const attribution::City*>* CitiesNamed(std::string_view name) const;

    const attribution::CityTable& table_;
    std::unordered_map<std::string, std::vector<const attribution::City*>> by_name_;
    std::unordered_set<std::string> provinces_;
};

}  // namespace numtrail::datatool
