#include "attribution/landline.h"

#include <algorithm>

namespace numtrail::attribution {

std::optional<Record> LandlineRecord(const CityTable& table, std::string_view code) {
    const AreaCode* found = table.FindAreaCode(code);
    if (found == nullptr) return std::nullopt;
    Record record;
    record.province = found->province;
    if (found->city != nullptr) {
        record.city = found->city->name;
        record.postcode = found->city->postcode;
    } else {
        record.city = found->province;
    }
    // The code dialled, not the named city's own: 0634 stays 0634 though 济南 dials 0531.
    record.area_code = found->code;
    record.card_type = std::string(kLandlineCardType);
    record.kind = NumberKind::Landline;
    record.status = Status::Ok;
    return record;
}

std::optional<Record> LandlineRecord(const CityTable& table, const Number& number) {
    if (number.kind != NumberKind::Landline) return std::nullopt;
    std::optional<Record> record = LandlineRecord(table, number.AreaCode());
    if (record) record->number = std::string(number.Digits());
    return record;
}

std::optional<Record> ServiceRecord(std::string_view digits) {
    const bool all_digits =
        std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
    const std::string_view prefix = digits.substr(0, 3);
    if (digits.size() != 10 || !all_digits || (prefix != "400" && prefix != "800"))
        return std::nullopt;
    Record record;
    record.province = std::string(kNationwide);
    record.card_type = std::string(prefix).append("电话");
    record.number = std::string(digits);
    record.kind = NumberKind::Service;
    record.status = Status::Ok;
    return record;
}

}  // namespace numtrail::attribution
