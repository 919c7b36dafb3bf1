// What the built-in data answers for every 7-digit prefix from 1300000 to 1999999: per
// segment, how many prefixes it places, how many answer 未知 with a card type, and how many
// answer nothing. Exits 1 when a placed answer names a city but lacks its postcode or area
// code, and lists those cities.
#include <cstdio>
#include <map>
#include <string>

#include "attribution/generate/builtin_data.h"

namespace {

using numtrail::attribution::BuiltinData;
using numtrail::attribution::kUnknownPlace;
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
    std::map<int, Counts> segments;
    std::map<std::string, int> incomplete;  // "province city (what is missing)" -> prefixes
    for (std::uint32_t prefix = 1300000; prefix <= 1999999; ++prefix) {
        Counts& c = segments[static_cast<int>(prefix / 10000)];
        const std::optional<Record> record = data.Resolve(prefix);
        if (!record) {
            ++c.nothing;
        } else if (record->province == kUnknownPlace) {
            ++c.unknown;
        } else {
            ++c.placed;
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
    return incomplete.empty() ? 0 : 1;
}
