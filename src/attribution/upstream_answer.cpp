#include "attribution/upstream_answer.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "attribution/sanitize.h"
#include "platform/codepage.h"
#include "product/protocol.h"

namespace numtrail::attribution {

namespace {

using namespace protocol;

// What follows a key in the answer: `Key":"value"`.
constexpr std::string_view kKeyEnd = "\":\"";

// A province, city or carrier name is a few dozen bytes; anything longer is not one.
constexpr std::size_t kMaxValueBytes = 256;

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::string_view Trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

// The charset parameter of a Content-Type value, in lower case; empty when there is none.
std::string CharsetOf(std::string_view content_type) {
    std::size_t semicolon = content_type.find(';');
    while (semicolon != std::string_view::npos) {
        content_type.remove_prefix(semicolon + 1);
        semicolon = content_type.find(';');
        const std::string_view param = Trim(content_type.substr(0, semicolon));
        const std::size_t eq = param.find('=');
        if (eq == std::string_view::npos || Lower(Trim(param.substr(0, eq))) != "charset") continue;
        std::string_view value = Trim(param.substr(eq + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        return Lower(Trim(value));
    }
    return {};
}

bool IsCodePage936(std::string_view charset) {
    static constexpr std::array<std::string_view, 8> kNames = {
        "gbk", "gb2312", "cp936", "windows-936", "x-gbk", "ms936", "euc-cn", "csgb2312"};
    return std::find(kNames.begin(), kNames.end(), charset) != kNames.end();
}

// The value of `key` as the desktop program cuts it out of an answer.
std::string ProgramValue(std::string_view answer, std::string_view key) {
    const std::string pattern = std::string(key) + std::string(kKeyEnd);
    const std::size_t at = answer.find(pattern);
    if (at == std::string_view::npos) return {};
    std::string_view after = answer.substr(at + pattern.size());
    after = after.substr(0, after.find(pattern));
    const std::size_t quote = after.find('"');
    if (quote == std::string_view::npos) return {};
    return SanitizeValue(after.substr(0, quote), kMaxValueBytes);
}

}  // namespace

std::string UpstreamTarget(std::string_view path, std::string_view number) {
    return std::string(path.empty() ? "/" : path) + '?' + kNumberKey + '=' + std::string(number) +
           '&' + kOutputKey + '=' + kOutputJson + '&' + kCallbackKey + '=' + kCallbackName;
}

UpstreamReading ReadUpstreamAnswer(std::string_view body, std::string_view content_type) {
    body = body.substr(0, kMaxUpstreamAnswerBytes);
    const std::string text = IsCodePage936(CharsetOf(content_type))
                                 ? Utf16ToUtf8(AnsiBytesToString(body))
                                 : std::string(body);
    UpstreamReading reading;
    if (text.find(kRefusalMarker) != std::string::npos) {
        reading.kind = UpstreamReading::Kind::Refused;
        return reading;
    }
    if (text.find(std::string(kProvinceKey) + std::string(kKeyEnd)) == std::string::npos)
        return reading;
    reading.kind = UpstreamReading::Kind::Fields;
    Record& r = reading.record;
    r.card_type = ProgramValue(text, kCardTypeKey);
    r.province = ProgramValue(text, kProvinceKey);
    r.city = ProgramValue(text, kCityKey);
    r.area_code = ProgramValue(text, kAreaCodeKey);
    r.postcode = ProgramValue(text, kPostCodeKey);
    return reading;
}

}  // namespace numtrail::attribution
