#include "attribution/cities.h"

#include "attribution/description.h"

namespace numtrail::attribution {

// The text of data/cities.tsv, compiled in (cities_data.cpp is generated from it).
std::string_view BuiltInCitiesTsv();

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
        if (fields.size() > 4) {
            for (std::string_view alias : Split(fields[4], '|')) {
                if (!alias.empty()) city.aliases.emplace_back(alias);
            }
        }
        cities_.push_back(std::move(city));
    }
    for (std::size_t i = 0; i < cities_.size(); ++i) {
        const City& city = cities_[i];
        by_name_.try_emplace(Key(city.province, city.name), i);
        for (const std::string& alias : city.aliases)
            by_name_.try_emplace(Key(city.province, alias), i);
    }
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
