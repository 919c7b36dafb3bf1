#pragma once

#include <atomic>
#include <bit>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>

#include "attribution/data_file.h"
#include "attribution/record.h"

namespace numtrail::attribution {

// Answers a prefix the data file does not hold; nullopt means no attribution.
using PrefixResolver = std::function<std::optional<Record>(std::uint32_t prefix)>;

// Every 7-digit prefix from 1300000 to 1999999 has one slot, so a look-up is a range check
// and one load. Prefixes missing from the data file are asked of the resolver the first
// time they are looked up, and its answer (or its "none") is kept in the slot. Safe to use
// from many threads at once.
class PrefixTable {
  public:
    explicit PrefixTable(DataFile data = {}, PrefixResolver fallback = nullptr);
    PrefixTable(const PrefixTable&) = delete;
    PrefixTable& operator=(const PrefixTable&) = delete;

    // The 7-digit prefix of an 11-digit number, or nullopt for anything else.
    static std::optional<std::uint32_t> PrefixOf(std::string_view number);

    // nullptr when the number is malformed or has no attribution.
    const Record* Find(std::string_view number) const {
        const auto prefix = PrefixOf(number);
        return prefix ? FindPrefix(*prefix) : nullptr;
    }
    const Record* FindPrefix(std::uint32_t prefix) const {
        if (prefix < kFirstPrefix || prefix > kLastPrefix) return nullptr;
        const Record* record = slots_[prefix - kFirstPrefix].load(std::memory_order_acquire);
        if (record == nullptr) record = Resolve(prefix);
        return record == &kNoAttribution ? nullptr : record;
    }

    const std::string& Version() const { return version_; }

  private:
    static constexpr std::size_t kSlots = kLastPrefix - kFirstPrefix + 1;

    const Record* Resolve(std::uint32_t prefix) const;
    // Marks a slot that was resolved to "no attribution".
    static const Record kNoAttribution;

    std::string version_;
    std::vector<Record> file_records_;
    PrefixResolver fallback_;
    std::unique_ptr<std::atomic<const Record*>[]> slots_;

    // Records found through the resolver, shared between prefixes with the same answer;
    // deque keeps their addresses stable while it grows.
    mutable std::mutex resolved_mutex_;
    mutable std::deque<Record> resolved_;
    mutable std::map<std::string, const Record*> resolved_index_;
};

}  // namespace numtrail::attribution

namespace numtrail::attribution {

// Eight characters are checked and converted at once in one 64-bit word: a look-up should
// cost a few nanoseconds, and the digit loop was most of it.
inline std::optional<std::uint32_t> PrefixTable::PrefixOf(std::string_view number) {
    if (number.size() != 11) return std::nullopt;
    if constexpr (std::endian::native == std::endian::little) {
        std::uint64_t v;
        std::memcpy(&v, number.data(), 8);
        // Every byte's high nibble, and that of the byte plus 6, must be 3: '0' to '9' only.
        // A carry out of one byte can only come from a byte that already fails.
        constexpr std::uint64_t kHigh = 0xF0F0F0F0F0F0F0F0ull;
        if (((v & kHigh) | (((v + 0x0606060606060606ull) & kHigh) >> 4)) != 0x3333333333333333ull)
            return std::nullopt;
        for (std::size_t i = 8; i < 11; ++i) {
            if (static_cast<unsigned char>(number[i]) - unsigned{'0'} > 9) return std::nullopt;
        }
        v -= 0x3030303030303030ull;
        v = v * 10 + (v >> 8);  // pairs of digits
        v = (((v & 0x000000FF000000FFull) * (100 + (1000000ull << 32))) +
             (((v >> 16) & 0x000000FF000000FFull) * (1 + (10000ull << 32)))) >>
            32;
        return static_cast<std::uint32_t>(v / 10);
    } else {
        std::uint32_t prefix = 0;
        for (std::size_t i = 0; i < 11; ++i) {
            const unsigned digit = static_cast<unsigned char>(number[i]) - unsigned{'0'};
            if (digit > 9) return std::nullopt;
            if (i < 7) prefix = prefix * 10 + digit;
        }
        return prefix;
    }
}

}  // namespace numtrail::attribution
