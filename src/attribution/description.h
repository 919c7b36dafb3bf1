#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace numtrail::attribution {

struct Place {
    std::string province;  // short form: 江苏, 北京, 广西, 内蒙古
    std::string city;  // 常州; a prefecture or league keeps its name: 恩施土家族苗族自治州

    friend bool operator==(const Place&, const Place&) = default;
};

// Splits a Simplified-Chinese geocoding description into province and city:
// "江苏省常州市" -> 江苏 / 常州, "北京市" -> 北京 / 北京, "广西壮族自治区南宁市" and
// "广西南宁市" -> 广西 / 南宁. Landline descriptions may list several cities after the first
// ("辽宁省沈阳市、铁岭市、抚顺市"); all of them are returned, in order, with the province of
// the first. An empty description, or one that names only the country ("中国"), gives none.
std::vector<Place> SplitPlaces(std::string_view description);

// The first place of SplitPlaces, or nullopt when there is none.
std::optional<Place> SplitDescription(std::string_view description);

}  // namespace numtrail::attribution
