#include "service/builtin_table.h"

#include "service/builtin_table_data.h"

namespace numtrail::service {

namespace data = builtin_table_data;
static_assert(data::kNoRecord == 0xFFFF);

BuiltinTable::BuiltinTable() : index_(kSlots) {
    records_.reserve(data::kRecordCount);
    for (std::size_t i = 0; i < data::kRecordCount; ++i) {
        const data::RecordText& r = data::kRecords[i];
        records_.push_back({r.province, r.city, r.postcode, r.area_code, r.card_type});
    }
    for (std::size_t i = 0; i < data::kRunCount; ++i) {
        const std::uint32_t end =
            i + 1 < data::kRunCount ? data::kRuns[i + 1].first : kLastPrefix + 1;
        for (std::uint32_t prefix = data::kRuns[i].first; prefix < end; ++prefix)
            index_[prefix - kFirstPrefix] = data::kRuns[i].record;
    }
}

const BuiltinTable& BuiltinTable::Get() {
    static const BuiltinTable table;
    return table;
}

PrefixResolver MakeBuiltinTableResolver() {
    return [&table = BuiltinTable::Get()](std::uint32_t prefix) -> std::optional<Record> {
        const Record* record = table.Find(prefix);
        if (record == nullptr) return std::nullopt;
        return *record;
    };
}

}  // namespace numtrail::service
