#include "attribution/cities.h"

#include <map>

#include "attribution/description.h"

namespace numtrail::attribution {

namespace {

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    while (true) {
        const std::size_t at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos) return parts;
        text.remove_prefix(at + 1);
    }
}

std::string Key(std::string_view province, std::string_view name) {
    std::string key;
    key.reserve(province.size() + 1 + name.size());
    key.append(province).append(1, '\t').append(name);
    return key;
}

// The slot of an area code in CityTable::area_code_index_: "0" and two digits give 10-99,
// "0" and three give 100-999 (a code never has 0 as its second digit); -1 for any other text.
int AreaCodeSlot(std::string_view code) {
    if ((code.size() != 3 && code.size() != 4) || code[0] != '0' || code[1] == '0') return -1;
    int value = 0;
    for (const char c : code.substr(1)) {
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

}  // namespace

CityTable::CityTable(std::string_view tsv) {
    bool header = true;
    for (std::string_view line : Split(tsv, '\n')) {
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        if (header) {
            header = false;
            continue;
        }
        const std::vector<std::string_view> fields = Split(line, '\t');
        if (fields.size() < 4) continue;
        City city;
        city.province = fields[0];
        city.name = fields[1];
        city.area_code = fields[2];
        city.postcode = fields[3];
        const auto list = [&fields](std::size_t field, std::vector<std::string>& into) {
            if (fields.size() <= field) return;
            for (std::string_view item : Split(fields[field], '|')) {
                if (!item.empty()) into.emplace_back(item);
            }
        };
        list(4, city.aliases);
        list(5, city.landline_codes);
        cities_.push_back(std::move(city));
    }
    for (std::size_t i = 0; i < cities_.size(); ++i) {
        const City& city = cities_[i];
        by_name_.try_emplace(Key(city.province, city.name), i);
        for (const std::string& alias : city.aliases)
            by_name_.try_emplace(Key(city.province, alias), i);
    }
    IndexAreaCodes();
}

void CityTable::IndexAreaCodes() {
    struct Dialled {
        const City* named = nullptr;    // the row listing the code among its landline codes
        std::vector<const City*> rows;  // the rows whose own area code it is
    };
    std::map<std::string, Dialled, std::less<>> codes;
    for (const City& city : cities_) {
        codes[city.area_code].rows.push_back(&city);
        for (const std::string& code : city.landline_codes) {
            Dialled& dialled = codes[code];
            if (dialled.named == nullptr) dialled.named = &city;
        }
    }
    for (const auto& [code, dialled] : codes) {
        const int slot = AreaCodeSlot(code);
        if (slot < 0) continue;
        const City* city = dialled.named;
        if (city == nullptr && dialled.rows.size() == 1) city = dialled.rows.front();
        // Rows that share a code none of them is named for lie in one province (the
        // table's tests hold it to that): the code answers that province alone.
        const std::string& province = city ? city->province : dialled.rows.front()->province;
        area_codes_.push_back({code, province, city});
        area_code_index_[static_cast<std::size_t>(slot)] =
            static_cast<std::uint16_t>(area_codes_.size());
    }
}

const AreaCode* CityTable::FindAreaCode(std::string_view code) const {
    const int slot = AreaCodeSlot(code);
    if (slot < 0) return nullptr;
    const std::uint16_t index = area_code_index_[static_cast<std::size_t>(slot)];
    return index == 0 ? nullptr : &area_codes_[index - 1];
}

const CityTable& CityTable::BuiltIn() {
    static const CityTable table(BuiltInCitiesTsv());
    return table;
}

const City* CityTable::Find(std::string_view province, std::string_view name) const {
    const auto found = by_name_.find(Key(province, name));
    return found == by_name_.end() ? nullptr : &cities_[found->second];
}

const City* CityTable::FindWritten(std::string_view province, std::string_view city) const {
    if (const City* found = Find(province, city)) return found;
    // The description splitter knows every long form of the provinces and drops a 市.
    const std::optional<Place> place = SplitDescription(std::string(province) + std::string(city));
    return place && !place->city.empty() ? Find(place->province, place->city) : nullptr;
}

void FillFromCityTable(const CityTable& table, Record& record) {
    if (!record.postcode.empty() && !record.area_code.empty()) return;
    const City* city = table.FindWritten(record.province, record.city);
    if (city == nullptr) return;
    if (record.postcode.empty()) record.postcode = city->postcode;
    if (record.area_code.empty()) record.area_code = city->area_code;
}

}  // namespace numtrail::attribution
