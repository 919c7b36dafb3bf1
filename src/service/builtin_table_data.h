#pragma once

// The compiled built-in table as the generator writes it (builtin_table_gen.cpp); only
// builtin_table.cpp reads it.
#include <cstddef>
#include <cstdint>

namespace numtrail::service::builtin_table_data {

struct RecordText {
    const char* province;
    const char* city;
    const char* postcode;
    const char* area_code;
    const char* card_type;
};

// Prefixes from `first` up to the next run's first (or 1999999) share one answer: an index
// into kRecords, or kNoRecord.
struct Run {
    std::uint32_t first;
    std::uint16_t record;
};

inline constexpr std::uint16_t kNoRecord = 0xFFFF;

extern const RecordText kRecords[];
extern const std::size_t kRecordCount;
extern const Run kRuns[];
extern const std::size_t kRunCount;

}  // namespace numtrail::service::builtin_table_data
