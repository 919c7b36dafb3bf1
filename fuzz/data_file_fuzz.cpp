// The service's prefix data files.
#include <cstddef>
#include <cstdint>
#include <span>

#include "attribution/data_file.h"
#include "attribution/prefix_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto result = numtrail::attribution::ParseDataFile(std::span<const std::uint8_t>(data, size));
    if (!result.ok()) return 0;
    for (const auto& entry : result.file.entries)
        if (entry.record >= result.file.records.size()) __builtin_trap();
    return 0;
}
