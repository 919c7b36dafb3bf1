#include "attribution/description.h"

#include <array>

namespace numtrail::attribution {

namespace {

struct Division {
    std::string_view name;
    bool municipality;
};

// The province-level divisions by their short names. None is a prefix of another.
constexpr std::array<Division, 34> kDivisions = {{
    {"北京", true},  {"天津", true},  {"上海", true},    {"重庆", true},    {"河北", false},
    {"山西", false}, {"辽宁", false}, {"吉林", false},   {"黑龙江", false}, {"江苏", false},
    {"浙江", false}, {"安徽", false}, {"福建", false},   {"江西", false},   {"山东", false},
    {"河南", false}, {"湖北", false}, {"湖南", false},   {"广东", false},   {"海南", false},
    {"四川", false}, {"贵州", false}, {"云南", false},   {"陕西", false},   {"甘肃", false},
    {"青海", false}, {"台湾", false}, {"内蒙古", false}, {"广西", false},   {"西藏", false},
    {"宁夏", false}, {"新疆", false}, {"香港", false},   {"澳门", false},
}};

// What may follow a short name in a full name; the longest that matches is removed.
constexpr std::array<std::string_view, 7> kDivisionSuffixes = {
    "维吾尔自治区", "壮族自治区", "回族自治区", "特别行政区", "自治区", "省", "市",
};

constexpr std::string_view kCountry = "中国";
constexpr std::string_view kListSeparator = "、";
constexpr std::string_view kCitySuffix = "市";

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// "常州市" -> 常州; prefectures, leagues and districts keep their full names.
std::string CityName(std::string_view part) {
    if (EndsWith(part, kCitySuffix) && part.size() > kCitySuffix.size())
        part.remove_suffix(kCitySuffix.size());
    return std::string(part);
}

}  // namespace

std::vector<Place> SplitPlaces(std::string_view description) {
    if (description.empty() || description == kCountry) return {};
    if (StartsWith(description, kCountry)) description.remove_prefix(kCountry.size());

    std::string province;
    bool municipality = false;
    for (const Division& division : kDivisions) {
        if (!StartsWith(description, division.name)) continue;
        province = std::string(division.name);
        municipality = division.municipality;
        description.remove_prefix(division.name.size());
        for (std::string_view suffix : kDivisionSuffixes) {
            if (StartsWith(description, suffix)) {
                description.remove_prefix(suffix.size());
                break;
            }
        }
        break;
    }
    if (province.empty()) {
        // Not a form we know: keep the whole text as the province rather than guess a split.
        const std::size_t sep = description.find(kListSeparator);
        return {Place{std::string(description.substr(0, sep)), ""}};
    }

    std::vector<Place> places;
    while (true) {
        const std::size_t sep = description.find(kListSeparator);
        const std::string_view part = description.substr(0, sep);
        if (!part.empty()) places.push_back({province, CityName(part)});
        if (sep == std::string_view::npos) break;
        description.remove_prefix(sep + kListSeparator.size());
    }
    // "北京市" names the municipality only; it is its own city. A province alone has none.
    if (places.empty()) places.push_back({province, municipality ? province : ""});
    return places;
}

std::optional<Place> SplitDescription(std::string_view description) {
    std::vector<Place> places = SplitPlaces(description);
    if (places.empty()) return std::nullopt;
    return std::move(places.front());
}

}  // namespace numtrail::attribution
