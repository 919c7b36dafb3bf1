#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "attribution/data_file.h"
#include "attribution/record.h"

namespace numtrail::attribution {

// What one source says about a 7-digit prefix, as the build-time generator asks the geocoder
// for every prefix; nullopt means no attribution. The programs answer from LocalAttributor.
using PrefixResolver = std::function<std::optional<Record>(std::uint32_t prefix)>;

}  // namespace numtrail::attribution
