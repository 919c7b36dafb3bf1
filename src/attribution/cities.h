#pragma once

#include <array>
#include <cstdint>
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
    // Area codes whose landlines answer this city although area_code alone does not say so:
    // a code it shares with other rows and is named for, or another code of its place.
    std::vector<std::string> landline_codes;
};

// What a landline's area code names: one city, or only a province where several cities dial
// the code and the table names none of them (0898, all of Hainan).
struct AreaCode {
    std::string code;      // with the leading 0: "010", "0898"
    std::string province;  // short form, as City::province
    const City* city;      // nullptr: the province alone
};

// The cities of data/cities.tsv (compiled into the program; the file's header names its
// sources), found by province and by name or alias. A name is unique within its province.
class CityTable {
  public:
    // Reads the tab-separated table: '#' comment lines, one header line, then rows of
    // province, city, area code, postcode, '|'-separated aliases and '|'-separated landline
    // codes. A row with fewer than four fields is skipped.
    explicit CityTable(std::string_view tsv);
    // AreaCodes() points into the rows: a copy would point into the original's.
    CityTable(const CityTable&) = delete;
    CityTable& operator=(const CityTable&) = delete;
    CityTable(CityTable&&) = default;
    CityTable& operator=(CityTable&&) = default;

    // The table built into the program.
    static const CityTable& BuiltIn();

    // The row naming `name` (a short name or an alias) in `province`, or nullptr.
    const City* Find(std::string_view province, std::string_view name) const;

    // Like Find, but also for names written the long way ("江苏省" / "常州市",
    // "内蒙古自治区" / "兴安盟"), as data files may hold them.
    const City* FindWritten(std::string_view province, std::string_view city) const;

    const std::vector<City>& Cities() const { return cities_; }

    // The area code `code` ("010", "0755") as the table knows it, or nullptr. An array index:
    // cheap enough to ask for every candidate split of a number.
    const AreaCode* FindAreaCode(std::string_view code) const;

    // Every area code the table knows, in ascending order.
    const std::vector<AreaCode>& AreaCodes() const { return area_codes_; }

  private:
    void IndexAreaCodes();

    std::vector<City> cities_;
    std::unordered_map<std::string, std::size_t> by_name_;  // province + '\t' + name -> row
    std::vector<AreaCode> area_codes_;
    // "0" and two digits (10-99) or three (100-999) -> index into area_codes_ + 1, 0 for none.
    std::array<std::uint16_t, 1000> area_code_index_{};
};

// The text of data/cities.tsv as compiled in, header comments included.
std::string_view BuiltInCitiesTsv();

// Fills the record's empty postcode and area code from the city it names; values it has are
// kept.
void FillFromCityTable(const CityTable& table, Record& record);

}  // namespace numtrail::attribution
