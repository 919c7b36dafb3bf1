#include "attribution/builtin_table.h"

#include <algorithm>

#include "attribution/builtin_table_data.h"

namespace numtrail::attribution {

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

std::span<const BuiltinTable::Run> BuiltinTable::Runs() const {
    return {data::kRuns, data::kRunCount};
}

const Record* BuiltinTable::Find(std::uint32_t prefix) const {
    if (prefix < kFirstPrefix || prefix > kLastPrefix) return nullptr;
    // The last run that starts at or before the prefix; the first run starts at 1300000.
    const std::span<const Run> runs = Runs();
    const auto after =
        std::upper_bound(runs.begin(), runs.end(), prefix,
                         [](std::uint32_t p, const Run& run) { return p < run.first; });
    const std::uint16_t record = (after - 1)->record;
    return record == kNone ? nullptr : &records_[record];
}

}  // namespace numtrail::attribution
