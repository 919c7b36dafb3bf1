#include "service/builtin_table.h"

#include <algorithm>

#include "service/builtin_table_data.h"

namespace numtrail::service {

namespace data = builtin_table_data;

BuiltinTable::BuiltinTable() {
    records_.reserve(data::kRecordCount);
    for (std::size_t i = 0; i < data::kRecordCount; ++i) {
        const data::RecordText& r = data::kRecords[i];
        records_.push_back({r.province, r.city, r.postcode, r.area_code, r.card_type});
    }
}

const BuiltinTable& BuiltinTable::Get() {
    static const BuiltinTable table;
    return table;
}

std::size_t BuiltinTable::RunCount() { return data::kRunCount; }

std::uint32_t BuiltinTable::RunFirst(std::size_t run) { return data::kRuns[run].first; }

const Record* BuiltinTable::RunRecord(std::size_t run) const {
    const std::uint16_t record = data::kRuns[run].record;
    return record == data::kNoRecord ? nullptr : &records_[record];
}

const Record* BuiltinTable::Find(std::uint32_t prefix) const {
    if (prefix < kFirstPrefix || prefix > kLastPrefix) return nullptr;
    // The last run that starts at or before the prefix; the first run starts at 1300000.
    const data::Run* const end = data::kRuns + data::kRunCount;
    const data::Run* after =
        std::upper_bound(data::kRuns, end, prefix,
                         [](std::uint32_t p, const data::Run& run) { return p < run.first; });
    return RunRecord(static_cast<std::size_t>(after - data::kRuns) - 1);
}

PrefixResolver MakeBuiltinTableResolver() {
    return [&table = BuiltinTable::Get()](std::uint32_t prefix) -> std::optional<Record> {
        const Record* record = table.Find(prefix);
        if (record == nullptr) return std::nullopt;
        return *record;
    };
}

}  // namespace numtrail::service
