#include "datatool/places.h"

#include <algorithm>

#include "attribution/data_file_writer.h"
#include "attribution/description.h"
#include "attribution/sanitize.h"

namespace numtrail::datatool {
namespace {

using attribution::City;

constexpr std::string_view kCitySuffix = "市";
// Cells that hold no value.
constexpr std::string_view kNothing[] = {"-", "--", "无", "null", "NULL", "N/A", "n/a", "未知"};

bool AllDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// The cell as answers may carry it (no quote, backslash or control character), without
// blanks anywhere: place names and codes hold none.
std::string Cleaned(std::string_view cell) {
    std::string text = attribution::SanitizeValue(cell);
    std::erase(text, ' ');
    for (std::string_view blank : {"\xC2\xA0", "\xE3\x80\x80"})
        for (std::size_t at; (at = text.find(blank)) != std::string::npos;)
            text.erase(at, blank.size());
    return text;
}

std::string WithoutCitySuffix(std::string text) {
    if (text.size() > kCitySuffix.size() && text.ends_with(kCitySuffix))
        text.resize(text.size() - kCitySuffix.size());
    return text;
}

// A code of digits whose leading zeros a spreadsheet may have cut: padded back to `width`
// digits (a postcode) or given its 0 (an area code). Empty when the cell holds none.
std::string Code(std::string text, std::size_t width, const char* what, std::string& problem) {
    for (std::string_view nothing : kNothing)
        if (text == nothing) return {};
    if (text.empty()) return text;
    if (!AllDigits(text)) {
        problem = std::string("the ") + what + " '" + text + "' is not digits";
        return {};
    }
    if (width != 0) {
        if (text.size() < width) text.insert(0, width - text.size(), '0');
        if (text.size() != width)
            problem = std::string("the ") + what + " '" + text + "' is not " +
                      std::to_string(width) + " digits";
        return text;
    }
    if (text.front() != '0') text.insert(0, 1, '0');
    if (text.size() < 3 || text.size() > 4)
        problem = std::string("the ") + what + " '" + text + "' is not 3 or 4 digits";
    return text;
}

}  // namespace

PlaceNames::PlaceNames(const attribution::CityTable& table) : table_(table) {
    for (const City& city : table.Cities()) {
        provinces_.insert(city.province);
        by_name_[city.name].push_back(&city);
        for (const std::string& alias : city.aliases) {
            std::vector<const City*>& named = by_name_[alias];
            if (std::find(named.begin(), named.end(), &city) == named.end()) named.push_back(&city);
        }
    }
}

bool PlaceNames::IsProvince(std::string_view province) const {
    return provinces_.contains(std::string(province));
}

const std::vector<const City*>* PlaceNames::CitiesNamed(std::string_view name) const {
    const auto found = by_name_.find(std::string(name));
    return found == by_name_.end() ? nullptr : &found->second;
}

PlaceResult PlaceNames::Normalize(std::string_view province_cell, std::string_view city_cell,
                                  std::string_view area_code, std::string_view postcode) const {
    PlaceResult result;
    attribution::Record& r = result.record;
    std::string province = Cleaned(province_cell);
    std::string city = Cleaned(city_cell);
    if (province == attribution::kUnknownPlace && (city.empty() || city == province)) {
        r.province = r.city = std::string(attribution::kUnknownPlace);
    } else if (province.empty()) {
        if (city.empty()) {
            result.problem = "neither a province nor a city";
            return result;
        }
        // A city alone: the city table knows its province, unless the name is in several.
        const std::vector<const City*>* named = CitiesNamed(city);
        if (named == nullptr) named = CitiesNamed(WithoutCitySuffix(city));
        if (named != nullptr && named->size() > 1) {
            std::string provinces;
            for (const City* c : *named) provinces += (provinces.empty() ? "" : ", ") + c->province;
            result.problem = "the city " + city + " is in several provinces (" + provinces +
                             "); give the province";
            return result;
        }
        if (named != nullptr) {
            r.province = named->front()->province;
            r.city = named->front()->name;
        } else if (const auto place = attribution::SplitDescription(city);
                   place && IsProvince(place->province)) {
            // A cell with both: 江苏常州, 江苏省常州市.
            r.province = place->province;
            r.city = place->city;
        } else {
            result.problem = "no province, and the city table knows no city " + city;
            return result;
        }
    } else {
        const auto place = attribution::SplitDescription(province);
        if (!place || !IsProvince(place->province)) {
            result.problem = "'" + province + "' is no province of the mainland";
            return result;
        }
        r.province = place->province;
        // The province cell may name the city too (江苏常州), or be a municipality (北京市).
        r.city = city.empty() ? place->city : city;
    }

    if (!r.city.empty() && r.province != attribution::kUnknownPlace) {
        if (const City* known = table_.FindWritten(r.province, r.city)) {
            r.city = known->name;
        } else {
            r.city = WithoutCitySuffix(r.city);
            if (const City* bare = table_.Find(r.province, r.city)) {
                r.city = bare->name;
            } else {
                result.unknown_city = true;
            }
        }
    }
    r.area_code = Code(Cleaned(area_code), 0, "area code", result.problem);
    if (!result.problem.empty()) return result;
    r.postcode = Code(Cleaned(postcode), 6, "postcode", result.problem);
    if (!result.problem.empty()) return result;
    if (!result.unknown_city) attribution::FillFromCityTable(table_, r);
    result.problem = attribution::RecordFieldProblem(r);
    return result;
}

}  // namespace numtrail::datatool
