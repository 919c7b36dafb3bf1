#include "attribution/generate/builtin_data.h"

#include <phonenumbers/geocoding/phonenumber_offline_geocoder.h>
#include <phonenumbers/phonenumber.pb.h>
#include <phonenumbers/phonenumberutil.h>
#include <unicode/locid.h>

#include "attribution/segments.h"

namespace numtrail::attribution {

namespace {

constexpr int kChinaCallingCode = 86;

}  // namespace

struct BuiltinData::Geocoder {
    i18n::phonenumbers::PhoneNumberOfflineGeocoder geocoder;
    icu::Locale chinese{"zh", "CN"};
};

BuiltinData::BuiltinData()
    : geocoder_(std::make_unique<Geocoder>()), cities_(CityTable::BuiltIn()) {
    // Area codes are 10, 20 to 29 (eight-digit subscriber numbers) and 310 to 999 (seven or
    // eight). Only a number the library holds valid counts, so that an unassigned code
    // does not inherit the description of its two-digit neighbourhood. Codes naming one
    // city come first; a code shared by several cities fills in those still without one.
    struct Found {
        int code;
        std::vector<Place> places;
    };
    std::vector<Found> found;
    for (int code = 10; code <= 999; ++code) {
        if (code > 29 && code < 310) continue;
        for (std::uint64_t subscriber : {23456789ull, 2345678ull}) {
            const std::uint64_t scale = subscriber > 9999999 ? 100000000ull : 10000000ull;
            std::vector<Place> places = SplitPlaces(Describe(code * scale + subscriber));
            if (!places.empty()) {
                found.push_back({code, std::move(places)});
                break;
            }
        }
    }
    for (bool single : {true, false}) {
        for (const Found& f : found) {
            if ((f.places.size() == 1) != single) continue;
            for (const Place& place : f.places) {
                if (place.city.empty()) continue;
                std::string area_code = std::to_string(f.code);
                area_code.insert(area_code.begin(), '0');
                area_codes_.try_emplace({place.province, place.city}, std::move(area_code));
            }
        }
    }
}

BuiltinData::~BuiltinData() = default;

std::string BuiltinData::Describe(std::uint64_t national_number) const {
    i18n::phonenumbers::PhoneNumber number;
    number.set_country_code(kChinaCallingCode);
    number.set_national_number(national_number);
    // The validity check keeps unassigned segments from being answered with a neighbour's city.
    return geocoder_->geocoder.GetDescriptionForNumber(number, geocoder_->chinese);
}

std::string BuiltinData::LandlineAreaCode(const Place& place) const {
    const auto found = area_codes_.find({place.province, place.city});
    return found == area_codes_.end() ? std::string() : found->second;
}

std::optional<Record> BuiltinData::Resolve(std::uint32_t prefix) const {
    if (prefix < kFirstPrefix || prefix > kLastPrefix) return std::nullopt;
    Record record;
    record.card_type = std::string(CardTypeForPrefix(prefix));
    const std::optional<Place> place = SplitDescription(Describe(prefix * 10000ull));
    if (!place) {
        if (record.card_type.empty()) return std::nullopt;
        record.province = record.city = std::string(kUnknownPlace);
        return record;
    }
    // The library still says 襄樊, 林芝地区, 莱芜 …: the city table's row for the name
    // answers with the name the place has today (莱芜, merged into 济南, answers 济南), in its
    // short form, so that a list grouped by city does not split one city in two.
    if (const City* city = cities_.Find(place->province, place->city)) {
        record.province = city->province;
        record.city = city->name;
        record.area_code = city->area_code;
        record.postcode = city->postcode;
    } else {
        record.province = place->province;
        record.city = place->city;
        record.area_code = LandlineAreaCode(*place);
    }
    return record;
}

PrefixResolver MakeBuiltinResolver(std::shared_ptr<const BuiltinData> data) {
    return [data = std::move(data)](std::uint32_t prefix) { return data->Resolve(prefix); };
}

}  // namespace numtrail::attribution
