#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "attribution/builtin_table.h"
#include "attribution/data_file.h"
#include "attribution/prefix_table.h"
#include "attribution/record.h"
#include "bulk/huge_pages.h"

namespace numtrail::bulk {

using attribution::kStatusNames;
using attribution::Status;
using attribution::StatusName;

// An answer for one line. The few thousand distinct answers of a run are numbered, so that
// whatever is worked out for an answer (its output text) is worked out once.
using AnswerId = std::uint32_t;
inline constexpr AnswerId kBadFormatAnswer = 0;   // the line holds no number
inline constexpr AnswerId kUnassignedAnswer = 1;  // a number no data attributes

// The answers numtrail-lookup writes, from the same prefix data as the attribution service:
// the user's data file wins for its prefixes (its empty postcodes and area codes filled from
// the city table), the compiled built-in data answers the rest. Every prefix's answer is
// worked out at the start (a few milliseconds), so a line costs one load; a list's prefixes
// come in no order, so the caller can prefetch that load a few lines ahead.
//
// Answers a number from elsewhere (an online service, through UpstreamResolver and its
// cache); nullopt when it places the number nowhere, or cannot say.
using UpstreamLookup = std::function<std::optional<attribution::Record>(std::string_view number)>;

// `upstream`, when given, is asked about each distinct prefix that the local data does not
// place (no answer, or 未知), once, with the first number of that prefix; an answer with a
// place wins.
class Attributor {
  public:
    // The slot of a number outside the prefixes 1300000-1999999.
    static constexpr std::uint32_t kNoSlot = 0xFFFFFFFF;

    explicit Attributor(attribution::DataFile data = {}, UpstreamLookup upstream = nullptr);
    Attributor(const Attributor&) = delete;
    Attributor& operator=(const Attributor&) = delete;

    // Where the answer for a cleaned number (eleven ASCII digits) is kept.
    static std::uint32_t SlotOf(std::string_view number) {
        const std::optional<std::uint32_t> prefix = attribution::PrefixTable::PrefixOf(number);
        if (!prefix || *prefix < attribution::kFirstPrefix || *prefix > attribution::kLastPrefix)
            return kNoSlot;
        return *prefix - attribution::kFirstPrefix;
    }
    void Prefetch(std::uint32_t slot) const {
        // Without a branch: GCC drops a prefetch that stands alone in one.
        __builtin_prefetch(slots_.data() + (slot == kNoSlot ? 0 : slot));
    }
    // The answer for a number at its slot.
    AnswerId AnswerAt(std::uint32_t slot, std::string_view number) {
        if (slot == kNoSlot) return kUnassignedAnswer;
        AnswerId& answer = slots_[slot];
        if (answer & kAskUpstream) [[unlikely]]
            answer = Upstream(number, answer & ~kAskUpstream);
        return answer;
    }
    AnswerId Find(std::string_view number) { return AnswerAt(SlotOf(number), number); }

    // Every answer so far has an id below this.
    std::size_t AnswerCount() const { return answers_.size(); }
    Status StatusOf(AnswerId id) const { return answers_[id].status; }
    // The record of an answer; empty for the bad-format and unassigned answers.
    const attribution::Record& RecordOf(AnswerId id) const { return *answers_[id].record; }

  private:
    // Marks a slot whose local answer places nothing, while upstream has not been asked.
    static constexpr AnswerId kAskUpstream = 0x80000000;

    struct Answer {
        const attribution::Record* record;
        Status status;
    };

    AnswerId Add(const attribution::Record* record);
    AnswerId Upstream(std::string_view number, AnswerId local);

    UpstreamLookup upstream_;
    std::vector<attribution::Record> file_records_;
    HugePageArray<AnswerId> slots_;  // per prefix: its answer, perhaps marked kAskUpstream
    std::vector<Answer> answers_;
    std::deque<attribution::Record> upstream_records_;  // addresses stay put
    std::map<std::string, AnswerId> upstream_ids_;      // by the record's fields
};

}  // namespace numtrail::bulk
