#pragma once

#include <cstdint>
#include <string_view>

namespace numtrail::attribution {

// The card type of a 7-digit prefix from the carriers' number segments: three-digit
// segments, refined by the blocks of the virtual operators and of the satellite services.
// The empty text for a prefix no carrier of ours holds (unallocated, satellite, machine).
std::string_view CardTypeForPrefix(std::uint32_t prefix);

}  // namespace numtrail::attribution
