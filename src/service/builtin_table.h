#pragma once

#include <cstdint>
#include <vector>

#include "service/data_file.h"
#include "service/prefix_table.h"
#include "service/record.h"

namespace numtrail::service {

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

    // Calls run(first, last, record) for each run of prefixes with one answer, in order from
    // 1300000 to 1999999; record is nullptr for none.
    template <typename RunFn>
    void ForEachRun(RunFn&& run) const {
        for (std::size_t i = 0; i < RunCount(); ++i) {
            const std::uint32_t last = i + 1 < RunCount() ? RunFirst(i + 1) - 1 : kLastPrefix;
            run(RunFirst(i), last, RunRecord(i));
        }
    }

  private:
    BuiltinTable();

    static std::size_t RunCount();
    static std::uint32_t RunFirst(std::size_t run);
    const Record* RunRecord(std::size_t run) const;

    std::vector<Record> records_;
};

// A resolver for PrefixTable that answers from the compiled table.
PrefixResolver MakeBuiltinTableResolver();

}  // namespace numtrail::service
