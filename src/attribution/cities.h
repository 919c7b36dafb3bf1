#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "attribution/record.h"

namespace numtrail::attribution {

// One row of the city table: a municipality, prefecture-level division or province-governed
// county-level unit with its telephone area code and main postcode.
struct City {
    std::string province;   // short form, as attribution answers give it: 江苏, 内蒙古
    std::string name;       // short form: 常州, 黔东南, 兴安
    std::string area_code;  // with the leading 0: "010", "0519"
    std::string postcode;   // six digits, or empty when no source has one
    std::vector<std::string> aliases;  // full, former and misspelt names of the same city
};

// The cities of data/cities.tsv (compiled into the program; the file's header names its
// sources), found by province and by name or alias. A name is unique within its province.
class CityTable {
  public:
    // Reads the tab-separated table: '#' comment lines, one header line, then rows of
    // province, city, area code, postcode and '|'-separated aliases. A row with fewer than
    // four fields is skipped.
    explicit CityTable(std::string_view tsv);

    // The table built into the program.
    static const CityTable& BuiltIn();

    // The row naming `name` (a short name or an alias) in `province`, or nullptr.
    const City* Find(std::string_view province, std::string_view name) const;

    // Like Find, but also for names written the long way ("江苏省" / "常州市",
    // "内蒙古自治区" / "兴安盟"), as data files may hold them.
    const City* FindWritten(std::string_view province, std::string_view city) const;

    const std::vector<City>& Cities() const { return cities_; }

  private:
    std::vector<City> cities_;
    std::unordered_map<std::string, std::size_t> by_name_;  // province + '\t' + name -> row
};

// Fills the record's empty postcode and area code from the city it names; values it has are
// kept.
void FillFromCityTable(const CityTable& table, Record& record);

}  // namespace numtrail::attribution
