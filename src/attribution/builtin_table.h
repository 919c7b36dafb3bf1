#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "attribution/data_file.h"
#include "attribution/record.h"

namespace numtrail::attribution {

// What the built-in data (see BuiltinData) answers for every prefix from 1300000 to 1999999,
// worked out when the program is built and compiled in, as runs of prefixes that share an
// answer. Asking the geocoder costs several microseconds a prefix, and a long list touches
// hundreds of thousands of prefixes; here a prefix costs a binary search, nothing is
// unpacked at start, and the programs do not load the phone-number library at all.
class BuiltinTable {
  public:
    // The table compiled into the program.
    static const BuiltinTable& Get();

    BuiltinTable(const BuiltinTable&) = delete;
    BuiltinTable& operator=(const BuiltinTable&) = delete;

    // The answer for a 7-digit prefix, or nullptr for none (an unallocated segment, or a
    // prefix outside 1300000-1999999). Points into Records().
    const Record* Find(std::uint32_t prefix) const;

    // Every distinct answer, once.
    const std::vector<Record>& Records() const { return records_; }

    // Prefixes from `first` up to the next run's first (or to 1999999) share one answer: the
    // record at `record` in Records(), or none for kNone.
    struct Run {
        std::uint32_t first;
        std::uint16_t record;
    };
    static constexpr std::uint16_t kNone = 0xFFFF;
    // Every run, in order from 1300000.
    std::span<const Run> Runs() const;

  private:
    BuiltinTable();

    std::vector<Record> records_;
};

}  // namespace numtrail::attribution
