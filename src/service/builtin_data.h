#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "service/description.h"
#include "service/prefix_table.h"
#include "service/record.h"

namespace numtrail::service {

// Attribution without a data file, from the offline geocoder of the phone-number library
// shipped with the system (Simplified-Chinese descriptions of mobile prefixes and of
// landline area codes) and our own table of carrier segments. Postcodes have no shippable
// source and stay empty.
class BuiltinData {
  public:
    // Builds the city -> area code table from the landline descriptions (a few tens of
    // milliseconds); mobile prefixes are geocoded later, one at a time.
    BuiltinData();
    ~BuiltinData();
    BuiltinData(const BuiltinData&) = delete;
    BuiltinData& operator=(const BuiltinData&) = delete;

    // The attribution of a 7-digit mobile prefix, or nullopt when the library knows none
    // (an unknown segment, or a description naming only the country). Thread-safe.
    std::optional<Record> Resolve(std::uint32_t prefix) const;

    // The geocoder's description of a national number, in Simplified Chinese.
    std::string Describe(std::uint64_t national_number) const;

    // "0" + the area code dialled inside China ("010", "0519"), or empty when unknown.
    std::string AreaCode(const Place& place) const;

    std::size_t AreaCodeCount() const { return area_codes_.size(); }

  private:
    struct Geocoder;
    std::unique_ptr<Geocoder> geocoder_;
    std::map<std::pair<std::string, std::string>, std::string> area_codes_;
};

// A resolver for PrefixTable that keeps its BuiltinData alive.
PrefixResolver MakeBuiltinResolver(std::shared_ptr<const BuiltinData> data);

}  // namespace numtrail::service
