#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace numtrail::attribution {

// What kind of telephone number a text holds.
enum class NumberKind : std::uint8_t {
    None,      // no number
    Mobile,    // 11 digits, 1[3-9]...
    Landline,  // 0, an area code and a local number of 7 or 8 digits
    Service,   // 400 or 800 and 7 digits
};

// How an answer stands.
enum class Status : std::uint8_t {
    Ok,            // placed
    UnknownPlace,  // a number of an allocated segment that no data places (province 未知)
    Unassigned,    // a number no data attributes
    BadFormat,     // no number at all
};
inline constexpr std::array<std::string_view, 4> kStatusNames = {"ok", "unknown-place",
                                                                 "unassigned", "bad-format"};
inline std::string_view StatusName(Status s) { return kStatusNames[static_cast<std::size_t>(s)]; }

// One attribution: what is known of a number (or, in the data tables, of a prefix, whose
// number is empty). Every text field may be empty.
struct Record {
    std::string province;
    std::string city;
    std::string postcode;
    std::string area_code;
    std::string card_type;
    // The number's digits as recognised (13800138000, 01062345678, 4008001234).
    std::string number = {};
    NumberKind kind = NumberKind::None;
    Status status = Status::Unassigned;

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

}  // namespace numtrail::attribution
