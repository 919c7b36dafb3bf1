#pragma once

#include <cstdint>
#include <map>
#include <string_view>
#include <vector>

#include "attribution/attributor.h"
#include "attribution/local_attributor.h"

namespace numtrail::bulk {

using attribution::Status;
using AnswerId = attribution::LocalAttributor::AnswerId;
inline constexpr AnswerId kBadFormatAnswer = attribution::LocalAttributor::kBadFormatAnswer;

// The answers of one run of numtrail-lookup, numbered so that whatever is worked out for an
// answer (its output text) is worked out once: the local source's answers under its own
// numbers, and, when the run asks online, the online answers after them. The online side is
// asked about each prefix the local data does not place once, with the first number of that
// prefix; an answer with a place wins, anything else leaves the local answer.
class AnswerBook {
  public:
    explicit AnswerBook(const attribution::LocalAttributor& local,
                        attribution::Attributor* online = nullptr);
    AnswerBook(const AnswerBook&) = delete;
    AnswerBook& operator=(const AnswerBook&) = delete;

    // The answer for a mobile number at its slot (LocalAttributor::SlotOf); without an online
    // side one load, which the caller can prefetch.
    AnswerId AnswerAt(std::uint32_t slot, std::string_view number) {
        const AnswerId local = local_.AnswerAt(slot);
        if (online_ != nullptr) [[unlikely]]
            return Online(slot, local, number);
        return local;
    }
    void Prefetch(std::uint32_t slot) const { local_.Prefetch(slot); }
    // The answer for a landline or a service number, which local data gives whole: online
    // services are asked about mobile prefixes only.
    AnswerId LocalAnswer(const attribution::Number& number) const { return local_.Find(number); }

    // Every answer so far has an id below this.
    std::size_t AnswerCount() const { return local_.AnswerCount() + online_records_.size(); }
    Status StatusOf(AnswerId id) const {
        return id < local_.AnswerCount() ? local_.StatusOf(id) : Status::Ok;
    }
    // The record of an answer; empty for the bad-format and unassigned answers.
    const attribution::Record& RecordOf(AnswerId id) const {
        return id < local_.AnswerCount() ? local_.RecordOf(id)
                                         : *online_records_[id - local_.AnswerCount()];
    }

  private:
    static constexpr AnswerId kNotAsked = 0xFFFFFFFF;

    AnswerId Online(std::uint32_t slot, AnswerId local, std::string_view number);

    const attribution::LocalAttributor& local_;
    attribution::Attributor* online_;
    std::vector<AnswerId> asked_;  // per slot, once asked: the answer
    std::vector<const attribution::Record*> online_records_;
    std::map<const attribution::Record*, AnswerId> online_ids_;
};

}  // namespace numtrail::bulk
