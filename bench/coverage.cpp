// What the built-in data answers for every 7-digit prefix from 1300000 to 1999999: per
// segment, how many prefixes it places, how many answer 未知 with a card type, and how many
// answer nothing; then how many of the city table's area codes a landline is answered for.
// Exits 1 when a placed answer names a city but lacks its postcode or area code, names a
// place the city table does not know, or an area code of the table answers nothing, and
// lists those.
#include <cstdio>
#include <map>
#include <set>
#include <string>

#include "attribution/cities.h"
#include "attribution/generate/builtin_data.h"
#include "attribution/landline.h"

namespace {

using numtrail::attribution::AreaCode;
using numtrail::attribution::BuiltinData;
using numtrail::attribution::City;
using numtrail::attribution::CityTable;
using numtrail::attribution::kUnknownPlace;
using numtrail::attribution::LandlineRecord;
using numtrail::attribution::Record;

struct Counts {
    int placed = 0;
    int unknown = 0;
    int nothing = 0;
    int province_only = 0;

    Counts& operator+=(const Counts& other) {
        placed += other.placed;
        unknown += other.unknown;
        nothing += other.nothing;
        province_only += other.province_only;
        return *this;
    }
};

void PrintRow(const std::string& label, const Counts& c) {
    std::printf("%-8s %8d %8d %8d\n", label.c_str(), c.placed, c.unknown, c.nothing);
}

}  // namespace

int main() {
    const BuiltinData data;
    const CityTable& cities = CityTable::BuiltIn();
    std::map<int, Counts> segments;
    std::map<std::string, int> incomplete;  // "province city (what is missing)" -> prefixes
    std::set<std::string> not_in_table;     // "province city" the city table does not name so
    for (std::uint32_t prefix = 1300000; prefix <= 1999999; ++prefix) {
        Counts& c = segments[static_cast<int>(prefix / 10000)];
        const std::optional<Record> record = data.Resolve(prefix);
        if (!record) {
            ++c.nothing;
        } else if (record->province == kUnknownPlace) {
            ++c.unknown;
        } else {
            ++c.placed;
            const City* row = cities.Find(record->province, record->city);
            if (row == nullptr || row->name != record->city)
                not_in_table.insert(record->province + " " + record->city);
            if (record->city.empty()) {
                ++c.province_only;
            } else if (record->postcode.empty() || record->area_code.empty()) {
                ++incomplete[record->province + " " + record->city +
                             (record->postcode.empty() ? " (no postcode)" : "") +
                             (record->area_code.empty() ? " (no area code)" : "")];
            }
        }
    }

    std::printf("%-8s %8s %8s %8s\n", "segment", "placed", "未知", "nothing");
    Counts all;
    std::map<int, Counts> decades;
    for (const auto& [segment, counts] : segments) {
        PrintRow(std::to_string(segment), counts);
        all += counts;
        decades[segment / 10] += counts;
    }
    std::printf("\n");
    for (const auto& [decade, counts] : decades) PrintRow(std::to_string(decade) + "x", counts);
    PrintRow("all", all);
    std::printf("\nplaced with a province only: %d\n", all.province_only);
    std::printf("placed with a city but without postcode or area code: %zu cities\n",
                incomplete.size());
    for (const auto& [city, prefixes] : incomplete)
        std::printf("  %s: %d prefixes\n", city.c_str(), prefixes);
    std::printf("placed under a name the city table does not give: %zu\n", not_in_table.size());
    for (const std::string& place : not_in_table) std::printf("  %s\n", place.c_str());

    // A landline is answered from its area code alone: every code of the table should answer.
    std::size_t answered = 0, complete = 0;
    std::string province_only, unanswered;
    for (const AreaCode& code : cities.AreaCodes()) {
        const std::optional<Record> record = LandlineRecord(cities, code.code);
        if (!record || record->province.empty() || record->city.empty()) {
            unanswered += " " + code.code;
            continue;
        }
        ++answered;
        if (!record->postcode.empty())
            ++complete;
        else
            province_only += " " + code.code + " " + record->province;
    }
    const std::size_t total = cities.AreaCodes().size();
    std::printf(
        "\narea codes of the city table answered: %zu of %zu (%.1f %%), with city and "
        "postcode: %zu\n",
        answered, total, total ? 100.0 * answered / total : 0.0, complete);
    if (!province_only.empty()) std::printf("  without postcode:%s\n", province_only.c_str());
    if (!unanswered.empty()) std::printf("  answering nothing:%s\n", unanswered.c_str());
    return incomplete.empty() && not_in_table.empty() && unanswered.empty() ? 0 : 1;
}
