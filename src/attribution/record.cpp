#include "attribution/record.h"

#include <array>

namespace numtrail::attribution {

bool PlacesPrefix(const Record* local) {
    return local != nullptr && !local->province.empty() && local->province != kUnknownPlace;
}

std::string_view CardTypeText(std::uint8_t code) {
    static constexpr std::array<std::string_view, 9> kTexts = {
        "",
        "中国移动",
        "中国联通",
        "中国电信",
        "中国电信虚拟运营商",
        "中国联通虚拟运营商",
        "中国移动虚拟运营商",
        "中国广电",
        "中国广电虚拟运营商",
    };
    return code < kTexts.size() ? kTexts[code] : kTexts[0];
}

}  // namespace numtrail::attribution
