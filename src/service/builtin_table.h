#pragma once

#include <cstdint>
#include <vector>

#include "platform/huge_pages.h"
#include "service/data_file.h"
#include "service/prefix_table.h"
#include "service/record.h"

namespace numtrail::service {

// What the built-in data (see BuiltinData) answers for every prefix from 1300000 to 1999999,
// worked out when the program is built and compiled in. Asking the geocoder costs several
// microseconds a prefix, and a long list touches hundreds of thousands of prefixes; here a
// look-up is one load, and the programs do not load the phone-number library at all.
class BuiltinTable {
  public:
    // The table compiled into the program, unpacked on first use (about a millisecond).
    static const BuiltinTable& Get();

    BuiltinTable(const BuiltinTable&) = delete;
    BuiltinTable& operator=(const BuiltinTable&) = delete;

    // The answer for a 7-digit prefix, or nullptr for none (an unallocated segment, or a
    // prefix outside 1300000-1999999). Points into Records().
    const Record* Find(std::uint32_t prefix) const {
        if (prefix < kFirstPrefix || prefix > kLastPrefix) return nullptr;
        const std::uint16_t record = index_[prefix - kFirstPrefix];
        return record == kNone ? nullptr : &records_[record];
    }

    // Every distinct answer, once.
    const std::vector<Record>& Records() const { return records_; }

  private:
    static constexpr std::uint16_t kNone = 0xFFFF;
    static constexpr std::size_t kSlots = kLastPrefix - kFirstPrefix + 1;

    BuiltinTable();

    std::vector<Record> records_;
    HugePageArray<std::uint16_t> index_;  // per prefix: its record, or kNone
};

// A resolver for PrefixTable that answers from the compiled table.
PrefixResolver MakeBuiltinTableResolver();

}  // namespace numtrail::service
