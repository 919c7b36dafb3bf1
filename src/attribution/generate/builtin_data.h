#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "attribution/cities.h"
#include "attribution/description.h"
#include "attribution/prefix_table.h"
#include "attribution/record.h"

namespace numtrail::attribution {

// Attribution without a data file: province and city from the offline geocoder of the
// phone-number library shipped with the system (Simplified-Chinese descriptions of mobile
// prefixes) under the name the city table gives the place (a former name or a long form
// found among a row's aliases answers as the row), area code and postcode from that table,
// and the card type from our table of carrier segments. A place the table does not know keeps
// the library's name, and the library's landline descriptions give its area code.
class BuiltinData {
  public:
    // Builds the city -> area code table from the landline descriptions (a few tens of
    // milliseconds); mobile prefixes are geocoded later, one at a time.
    BuiltinData();
    ~BuiltinData();
    BuiltinData(const BuiltinData&) = delete;
    BuiltinData& operator=(const BuiltinData&) = delete;

    // The attribution of a 7-digit mobile prefix: its place, or 未知 / 未知 with the card
    // type when its segment is allocated but the library places it nowhere (or names only
    // the country); nullopt for a prefix of an unallocated segment. Thread-safe.
    std::optional<Record> Resolve(std::uint32_t prefix) const;

    // The geocoder's description of a national number, in Simplified Chinese.
    std::string Describe(std::uint64_t national_number) const;

    // "0" + the area code dialled inside China ("010", "0519") as the library's landline
    // descriptions name the place, or empty when they do not.
    std::string LandlineAreaCode(const Place& place) const;

    std::size_t LandlineAreaCodeCount() const { return area_codes_.size(); }

  private:
    struct Geocoder;
    std::unique_ptr<Geocoder> geocoder_;
    std::map<std::pair<std::string, std::string>, std::string> area_codes_;
    const CityTable& cities_;
};

// A resolver for PrefixTable that keeps its BuiltinData alive.
PrefixResolver MakeBuiltinResolver(std::shared_ptr<const BuiltinData> data);

}  // namespace numtrail::attribution
