#include "bulk/answer_book.h"

namespace numtrail::bulk {

AnswerBook::AnswerBook(const attribution::LocalAttributor& local, attribution::Attributor* online)
    : local_(local), online_(online) {
    if (online_) asked_.assign(attribution::kLastPrefix - attribution::kFirstPrefix + 1, kNotAsked);
}

AnswerId AnswerBook::Online(std::uint32_t slot, AnswerId local, std::string_view number) {
    if (slot == attribution::LocalAttributor::kNoSlot || local_.StatusOf(local) == Status::Ok)
        return local;
    AnswerId& asked = asked_[slot];
    if (asked != kNotAsked) return asked;
    asked = local;
    const attribution::Answer answer = online_->Attribute(attribution::MobileNumber(number));
    if (answer.status != Status::Ok || answer.record == nullptr) return asked;
    // The online side keeps one record per distinct answer, so the record names the answer.
    const auto [found, added] = online_ids_.try_emplace(
        answer.record, static_cast<AnswerId>(local_.AnswerCount() + online_records_.size()));
    if (added) online_records_.push_back(answer.record);
    return asked = found->second;
}

}  // namespace numtrail::bulk
