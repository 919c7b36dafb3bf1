#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace numtrail::datatool {

// What a table's carrier cell says of the card type.
struct CarrierCell {
    enum class Kind : std::uint8_t {
        Code,            // the card-type byte `code` (0: none)
        Segment,         // nothing (empty, 未知): the carriers' segments tell
        SegmentVirtual,  // a virtual operator (虚拟运营商) of whichever carrier holds the segment
    };
    Kind kind = Kind::Segment;
    std::uint8_t code = 0;

    friend bool operator==(const CarrierCell&, const CarrierCell&) = default;
};

// Reads a carrier the way tables write it: by name (中国移动, 移动, China Mobile, CMCC, 联通,
// 电信, 广电, Broadnet ...), with the virtual forms (移动虚拟运营商, China Unicom MVNO,
// 虚拟运营商), longer names around them (移动全球通卡), or by the data file's card-type
// number 0 to 8. nullopt when the cell names no carrier, or more than one.
std::optional<CarrierCell> ParseCarrier(std::string_view cell);

// The card-type byte the cell gives a 7-digit prefix.
std::uint8_t CardTypeOf(CarrierCell cell, std::uint32_t prefix);

}  // namespace numtrail::datatool
