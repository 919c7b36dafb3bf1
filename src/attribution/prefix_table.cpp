#include "attribution/prefix_table.h"

namespace numtrail::attribution {

const Record PrefixTable::kNoAttribution{};

PrefixTable::PrefixTable(DataFile data, PrefixResolver fallback)
    : version_(std::move(data.version)),
      file_records_(std::move(data.records)),
      fallback_(std::move(fallback)),
      slots_(new std::atomic<const Record*>[kSlots]) {
    const Record* unresolved = fallback_ ? nullptr : &kNoAttribution;
    for (std::size_t i = 0; i < kSlots; ++i) slots_[i].store(unresolved, std::memory_order_relaxed);
    for (const DataFile::Entry& entry : data.entries) {
        if (entry.prefix < kFirstPrefix || entry.prefix > kLastPrefix ||
            entry.record >= file_records_.size())
            continue;
        slots_[entry.prefix - kFirstPrefix].store(&file_records_[entry.record],
                                                  std::memory_order_relaxed);
    }
}

const Record* PrefixTable::Resolve(std::uint32_t prefix) const {
    // Two threads may resolve the same prefix at once; both get the same answer and the
    // first store wins, so the resolver itself needs no lock of ours.
    std::optional<Record> answer;
    try {
        answer = fallback_(prefix);
    } catch (...) {
        // A failing resolver means no attribution for this number, not a failed request.
    }
    const Record* record = &kNoAttribution;
    if (answer) {
        std::string key;
        for (const std::string* field : {&answer->province, &answer->city, &answer->postcode,
                                         &answer->area_code, &answer->card_type}) {
            key += *field;
            key += '\0';
        }
        std::lock_guard lock(resolved_mutex_);
        auto found = resolved_index_.find(key);
        if (found == resolved_index_.end()) {
            resolved_.push_back(std::move(*answer));
            found = resolved_index_.emplace(std::move(key), &resolved_.back()).first;
        }
        record = found->second;
    }
    const Record* expected = nullptr;
    std::atomic<const Record*>& slot = slots_[prefix - kFirstPrefix];
    if (!slot.compare_exchange_strong(expected, record, std::memory_order_acq_rel))
        record = expected;
    return record;
}

}  // namespace numtrail::attribution
