#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace numtrail::service {

// What the service knows about one 7-digit prefix. Every field may be empty.
struct Record {
    std::string province;
    std::string city;
    std::string postcode;
    std::string area_code;
    std::string card_type;

    friend bool operator==(const Record&, const Record&) = default;
};

// The province and city answered for a prefix of an allocated segment that no data places:
// the carrier is still known, and a row in the window shows it.
inline constexpr std::string_view kUnknownPlace = "未知";

// Whether local data places a prefix: its answer names a province other than 未知. Numbers
// whose local answer does not are the ones to resolve online.
bool PlacesPrefix(const Record* local);

// The card type of a data-file index byte: 1 to 8 name a carrier or virtual operator;
// any other byte gives the empty text.
std::string_view CardTypeText(std::uint8_t code);

}  // namespace numtrail::service
