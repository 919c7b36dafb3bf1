#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace numtrail::bench {

// A number list as users bring it, the same for the same arguments on every machine: UTF-8
// with a byte order mark, the header line "手机号", CR LF line ends, then `count` entries.
// The numbers' segments follow today's shares of the carriers' segments, 16x, 17x and 19x
// included. About a quarter are written as phones and spreadsheets write them ("+86…",
// "+86 …", "138 1234 5678", "138-1234-5678", trailing blanks, a leading tab); one in a
// hundred is mistyped with a digit missing, as hand-kept lists have.
std::string RealisticList(std::size_t count, std::uint64_t seed = 18);

}  // namespace numtrail::bench
