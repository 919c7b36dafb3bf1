#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "attribution/attributor.h"
#include "attribution/data_file.h"
#include "attribution/huge_pages.h"

namespace numtrail::attribution {

// The answers of local data: the user's data file wins for its prefixes (its values as they
// are, only its empty postcodes and area codes filled from the city table), the compiled
// built-in table answers the rest (places from the geocoder's data, area codes and postcodes
// from the city table, card types from the carriers' segments). Every value is sanitised
// once, here, so that all who ask get the same text.
//
// Every prefix's answer is worked out at the start (a few milliseconds) and the table never
// changes after, so that asking costs one load and needs no lock. The few thousand distinct
// answers are numbered: whoever writes rows can work out what it writes for an answer once.
// A list's prefixes come in no order, so a caller can prefetch a number's load a few lines
// ahead (SlotOf, Prefetch, AnswerAt).
class LocalAttributor final : public Attributor {
  public:
    using AnswerId = std::uint32_t;
    static constexpr AnswerId kBadFormatAnswer = 0;   // no number
    static constexpr AnswerId kUnassignedAnswer = 1;  // a number no data attributes
    // The slot of a number outside the prefixes 1300000-1999999.
    static constexpr std::uint32_t kNoSlot = 0xFFFFFFFF;

    // Without `builtin_data`, only the data file answers, as it is: no built-in table and no
    // city table, so no landline or service number either.
    explicit LocalAttributor(DataFile data = {}, bool builtin_data = true);
    LocalAttributor(const LocalAttributor&) = delete;
    LocalAttributor& operator=(const LocalAttributor&) = delete;

    Answer Attribute(const Number& number) override { return AnswerOf(Find(number)); }

    AnswerId Find(const Number& number) const {
        switch (number.kind) {
            case NumberKind::Mobile:
                return AnswerAt(SlotOf(number.Digits()));
            case NumberKind::Landline:
                return LandlineAnswer(number);
            case NumberKind::Service:
                return ServiceAnswer(number);
            case NumberKind::None:
                break;
        }
        return kBadFormatAnswer;
    }

    // Where the answer for a mobile number's eleven ASCII digits is kept.
    static std::uint32_t SlotOf(std::string_view digits) {
        const std::optional<std::uint32_t> prefix = PrefixOf(digits);
        if (!prefix || *prefix < kFirstPrefix || *prefix > kLastPrefix) return kNoSlot;
        return *prefix - kFirstPrefix;
    }
    void Prefetch(std::uint32_t slot) const {
        // Without a branch: GCC drops a prefetch that stands alone in one.
        __builtin_prefetch(slots_.data() + (slot == kNoSlot ? 0 : slot));
    }
    AnswerId AnswerAt(std::uint32_t slot) const {
        return slot == kNoSlot ? kUnassignedAnswer : slots_[slot];
    }

    // Every answer has an id below this.
    std::size_t AnswerCount() const { return answers_.size(); }
    Status StatusOf(AnswerId id) const { return answers_[id].status; }
    // The record of an answer; empty for the bad-format and unassigned answers.
    const Record& RecordOf(AnswerId id) const { return *answers_[id].record; }
    Answer AnswerOf(AnswerId id) const {
        const Stored& a = answers_[id];
        return {a.status == Status::Ok || a.status == Status::UnknownPlace ? a.record : nullptr,
                a.status};
    }

    // The data file's version text; empty without one.
    const std::string& Version() const { return version_; }

  private:
    struct Stored {
        const Record* record;
        Status status;
    };

    // Landlines are answered by their area code from the city table, 400 and 800 numbers as
    // what they are; a user's data file holds mobile prefixes only.
    AnswerId LandlineAnswer(const Number& number) const {
        const std::string_view code = number.AreaCode();
        unsigned value = 0;
        if (code.size() < 3 || code.size() > 4 || code[0] != '0') return kUnassignedAnswer;
        for (const char c : code.substr(1)) value = value * 10 + unsigned(c - '0');
        return value < area_codes_.size() ? area_codes_[value] : kUnassignedAnswer;
    }
    AnswerId ServiceAnswer(const Number& number) const {
        const std::string_view digits = number.Digits();
        if (digits.starts_with("400")) return service_answers_[0];
        if (digits.starts_with("800")) return service_answers_[1];
        return kUnassignedAnswer;
    }
    void AddLandlineAndServiceAnswers();

    AnswerId Add(const Record* record);

    std::string version_;
    std::vector<Record> file_records_;
    HugePageArray<AnswerId> slots_;  // per prefix from 1300000: its answer
    // The city table's area codes without their 0 (10-99, 100-999) -> answer.
    std::vector<Record> landline_records_;
    std::array<AnswerId, 1000> area_codes_{};
    std::vector<Record> service_records_;
    std::array<AnswerId, 2> service_answers_{kUnassignedAnswer, kUnassignedAnswer};  // 400, 800
    std::vector<Stored> answers_;
};

}  // namespace numtrail::attribution
