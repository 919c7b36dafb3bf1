#include "attribution/local_attributor.h"

#include <algorithm>

#include "attribution/builtin_table.h"
#include "attribution/cities.h"
#include "attribution/landline.h"
#include "attribution/sanitize.h"

namespace numtrail::attribution {
namespace {

constexpr std::size_t kSlots = kLastPrefix - kFirstPrefix + 1;

Status StatusOfRecord(const Record* record) {
    if (record == nullptr) return Status::Unassigned;
    return PlacesPrefix(record) ? Status::Ok : Status::UnknownPlace;
}

const Record& NoRecord() {
    static const Record empty;
    return empty;
}

}  // namespace

LocalAttributor::LocalAttributor(DataFile data, bool builtin_data)
    : version_(std::move(data.version)), file_records_(std::move(data.records)), slots_(kSlots) {
    answers_.push_back({&NoRecord(), Status::BadFormat});
    answers_.push_back({&NoRecord(), Status::Unassigned});
    std::fill(slots_.data(), slots_.data() + kSlots, kUnassignedAnswer);
    area_codes_.fill(kUnassignedAnswer);

    // The built-in answers take the next ids in their table's order, then the file's records.
    if (builtin_data) {
        const BuiltinTable& builtin = BuiltinTable::Get();
        for (const Record& record : builtin.Records()) Add(&record);
        const std::span<const BuiltinTable::Run> runs = builtin.Runs();
        for (std::size_t i = 0; i < runs.size(); ++i) {
            if (runs[i].record == BuiltinTable::kNone) continue;
            const std::uint32_t end = i + 1 < runs.size() ? runs[i + 1].first : kLastPrefix + 1;
            std::fill(slots_.data() + (runs[i].first - kFirstPrefix),
                      slots_.data() + (end - kFirstPrefix), AnswerId{2} + runs[i].record);
        }
    }
    if (builtin_data) AddLandlineAndServiceAnswers();
    const auto first_file_answer = static_cast<AnswerId>(answers_.size());
    for (Record& record : file_records_) {
        // A value the service could not send whole is no place name in any output.
        for (std::string* value :
             {&record.province, &record.city, &record.postcode, &record.area_code})
            *value = SanitizeValue(*value);
        // The user's values win; only what the file leaves empty comes from the city table.
        if (builtin_data) FillFromCityTable(CityTable::BuiltIn(), record);
        Add(&record);
    }
    // The file's entries in file order, a later one winning.
    for (const DataFile::Entry& entry : data.entries) {
        if (entry.prefix >= kFirstPrefix && entry.prefix <= kLastPrefix &&
            entry.record < file_records_.size())
            slots_[entry.prefix - kFirstPrefix] = first_file_answer + entry.record;
    }
}

void LocalAttributor::AddLandlineAndServiceAnswers() {
    const CityTable& cities = CityTable::BuiltIn();
    // Reserved whole first: the answers point into these vectors.
    landline_records_.reserve(cities.AreaCodes().size());
    for (const AreaCode& code : cities.AreaCodes()) {
        std::optional<Record> record = LandlineRecord(cities, code.code);
        if (!record) continue;
        record->kind = NumberKind::None;  // the answer's; the row says the number's kind
        landline_records_.push_back(std::move(*record));
        unsigned value = 0;
        for (const char c : std::string_view(code.code).substr(1))
            value = value * 10 + unsigned(c - '0');
        if (value < area_codes_.size()) area_codes_[value] = Add(&landline_records_.back());
    }
    service_records_.reserve(2);
    for (const std::string_view digits : {"4000000000", "8000000000"}) {
        Record record = *ServiceRecord(digits);
        record.number.clear();
        record.kind = NumberKind::None;
        service_records_.push_back(std::move(record));
        service_answers_[service_records_.size() - 1] = Add(&service_records_.back());
    }
}

LocalAttributor::AnswerId LocalAttributor::Add(const Record* record) {
    answers_.push_back({record, StatusOfRecord(record)});
    return static_cast<AnswerId>(answers_.size() - 1);
}

}  // namespace numtrail::attribution
