#include "bulk/attributor.h"

#include <algorithm>

#include "attribution/cities.h"
#include "attribution/record.h"

namespace numtrail::bulk {
namespace {

constexpr std::size_t kSlots = attribution::kLastPrefix - attribution::kFirstPrefix + 1;

Status StatusOfRecord(const attribution::Record* record) {
    if (record == nullptr) return Status::Unassigned;
    return attribution::PlacesPrefix(record) ? Status::Ok : Status::UnknownPlace;
}

const attribution::Record& NoRecord() {
    static const attribution::Record empty;
    return empty;
}

}  // namespace

Attributor::Attributor(attribution::DataFile data, UpstreamLookup upstream)
    : upstream_(std::move(upstream)), file_records_(std::move(data.records)), slots_(kSlots) {
    answers_.push_back({&NoRecord(), Status::BadFormat});
    answers_.push_back({&NoRecord(), Status::Unassigned});
    // The built-in answers take the next ids in their table's order, then the file's records.
    const attribution::BuiltinTable& builtin = attribution::BuiltinTable::Get();
    for (const attribution::Record& record : builtin.Records()) Add(&record);
    const auto first_file_answer = static_cast<AnswerId>(answers_.size());
    for (attribution::Record& record : file_records_) {
        // As the service does: the user's values win, the city table fills what is empty.
        attribution::FillFromCityTable(attribution::CityTable::BuiltIn(), record);
        Add(&record);
    }

    const std::span<const attribution::BuiltinTable::Run> runs = builtin.Runs();
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const std::uint32_t end =
            i + 1 < runs.size() ? runs[i + 1].first : attribution::kLastPrefix + 1;
        const AnswerId answer = runs[i].record == attribution::BuiltinTable::kNone
                                    ? kUnassignedAnswer
                                    : AnswerId{2} + runs[i].record;
        std::fill(&slots_[runs[i].first - attribution::kFirstPrefix],
                  &slots_[end - attribution::kFirstPrefix - 1] + 1, answer);
    }
    // The file's entries in file order, a later one winning, as PrefixTable reads them.
    for (const attribution::DataFile::Entry& entry : data.entries) {
        if (entry.prefix >= attribution::kFirstPrefix && entry.prefix <= attribution::kLastPrefix &&
            entry.record < file_records_.size())
            slots_[entry.prefix - attribution::kFirstPrefix] = first_file_answer + entry.record;
    }
    if (upstream_) {
        for (std::uint32_t slot = 0; slot < kSlots; ++slot)
            if (StatusOf(slots_[slot]) != Status::Ok) slots_[slot] |= kAskUpstream;
    }
}

AnswerId Attributor::Add(const attribution::Record* record) {
    answers_.push_back({record, StatusOfRecord(record)});
    return static_cast<AnswerId>(answers_.size() - 1);
}

AnswerId Attributor::Upstream(std::string_view number, AnswerId local) {
    std::optional<attribution::Record> answer;
    try {
        answer = upstream_(number);
    } catch (...) {
        // A failing resolver leaves the local answer, as in the service.
    }
    if (!answer || StatusOfRecord(&*answer) != Status::Ok) return local;
    std::string key;
    for (const std::string* field : {&answer->province, &answer->city, &answer->postcode,
                                     &answer->area_code, &answer->card_type}) {
        key += *field;
        key += '\0';
    }
    const auto found = upstream_ids_.find(key);
    if (found != upstream_ids_.end()) return found->second;
    upstream_records_.push_back(std::move(*answer));
    const AnswerId id = Add(&upstream_records_.back());
    upstream_ids_.emplace(std::move(key), id);
    return id;
}

}  // namespace numtrail::bulk
