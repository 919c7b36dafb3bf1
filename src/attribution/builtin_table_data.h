#pragma once

// The compiled built-in table as the generator writes it (builtin_table_gen.cpp); only
// builtin_table.cpp reads it.
#include <cstddef>
#include <cstdint>

#include "attribution/builtin_table.h"

namespace numtrail::attribution::builtin_table_data {

struct RecordText {
    const char* province;
    const char* city;
    const char* postcode;
    const char* area_code;
    const char* card_type;
};

using Run = BuiltinTable::Run;
inline constexpr std::uint16_t kNoRecord = BuiltinTable::kNone;

extern const RecordText kRecords[];
extern const std::size_t kRecordCount;
extern const Run kRuns[];
extern const std::size_t kRunCount;

}  // namespace numtrail::attribution::builtin_table_data
