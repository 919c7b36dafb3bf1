#include "service/query.h"

#include "attribution/sanitize.h"

namespace numtrail::service {

namespace {

using namespace protocol;

// Echoed numbers are for the client's eyes only; anything longer than this is not a number.
constexpr std::size_t kMaxMobileBytes = 32;

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string PercentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
                   HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

void AppendField(std::string& out, std::string_view key, std::string_view value,
                 bool first = false) {
    if (!first) out += ',';
    out += '"';
    out += key;
    out += "\":\"";
    out += value;
    out += '"';
}

}  // namespace

std::string QueryParameter(std::string_view query, std::string_view key) {
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        const std::size_t eq = pair.find('=');
        if (PercentDecode(pair.substr(0, eq)) == key)
            return eq == std::string_view::npos ? std::string()
                                                : PercentDecode(pair.substr(eq + 1));
        if (amp == std::string_view::npos) break;
        query.remove_prefix(amp + 1);
    }
    return {};
}

Target SplitTarget(std::string_view target) {
    const std::size_t question = target.find('?');
    if (question == std::string_view::npos) return {target, {}};
    return {target.substr(0, question), target.substr(question + 1)};
}

Reply HandleQuery(std::string_view target, const attribution::PrefixTable& table,
                  std::string_view version) {
    const auto [path, query] = SplitTarget(target);
    if (path == kManifestPath) {
        return {200, "text/plain; charset=utf-8",
                kManifestKey + attribution::SanitizeValue(version) + kManifestVersionEnd};
    }
    const std::string mobile = QueryParameter(query, kNumberKey);
    return AttributionReply(query, mobile, table.Find(mobile));
}

Reply AttributionReply(std::string_view query, std::string_view mobile,
                       const attribution::Record* record) {
    static const attribution::Record kEmpty;
    const attribution::Record& r = record ? *record : kEmpty;

    std::string body = attribution::SafeCallbackName(QueryParameter(query, kCallbackKey));
    body += "({";
    AppendField(body, kMobileKey, attribution::SanitizeValue(mobile, kMaxMobileBytes), true);
    AppendField(body, kQueryResultKey, record ? "True" : "False");
    AppendField(body, kProvinceKey, attribution::SanitizeValue(r.province));
    AppendField(body, kCityKey, attribution::SanitizeValue(r.city));
    AppendField(body, kAreaCodeKey, attribution::SanitizeValue(r.area_code));
    AppendField(body, kPostCodeKey, attribution::SanitizeValue(r.postcode));
    AppendField(body, kCardTypeKey, attribution::SanitizeValue(r.card_type));
    body += "});";
    return {200, "text/javascript; charset=utf-8", std::move(body)};
}

Reply RefusalReply() {
    const std::string marker = kRefusalMarker;
    return {503, "text/html; charset=utf-8",
            "<html><head><title>" + marker + "</title></head><body><h1>" + marker +
                "</h1><p>Too many requests; try again shortly.</p></body></html>"};
}

}  // namespace numtrail::service
