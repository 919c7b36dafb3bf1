#include "attribution/protocol.h"

#include <algorithm>
#include <cctype>

#include "attribution/sanitize.h"
#include "platform/codepage.h"

namespace numtrail::attribution {
namespace {

// The query: endpoint + "?m=" + number + "&output=json&callback=querycallback".
constexpr std::string_view kNumberKey = "m";
constexpr std::string_view kOutputKey = "output";
constexpr std::string_view kOutputJson = "json";
constexpr std::string_view kCallbackKey = "callback";
constexpr std::string_view kCallbackName = "querycallback";

// The answer's keys, each written "Key":"value".
constexpr std::string_view kMobileKey = "Mobile";
constexpr std::string_view kQueryResultKey = "QueryResult";
constexpr std::string_view kProvinceKey = "Province";
constexpr std::string_view kCityKey = "City";
constexpr std::string_view kAreaCodeKey = "AreaCode";
constexpr std::string_view kPostCodeKey = "PostCode";
constexpr std::string_view kCardTypeKey = "TO";
// What follows a key in the answer; the key's own opening quote is not part of the pattern.
constexpr std::string_view kKeyEnd = "\":\"";
// The order in which the window keeps the fields it cuts out.
constexpr std::array<std::string_view, kAnswerFieldCount> kFieldKeys = {
    kCardTypeKey, kProvinceKey, kCityKey, kAreaCodeKey, kPostCodeKey};

// The manifest: "sjhm:" + version + "|".
constexpr std::string_view kManifestKey = "sjhm:";
constexpr char kManifestVersionEnd = '|';

// Every name code page 936 goes by in a Content-Type.
constexpr std::array<std::string_view, 8> kCodePage936Names = {
    "gbk", "gb2312", "cp936", "windows-936", "x-gbk", "ms936", "euc-cn", "csgb2312"};
constexpr std::array<std::string_view, 2> kUtf8Names = {"utf-8", "utf8"};
constexpr std::string_view kCharsetParameter = "charset";

// A province, city or carrier name is a few dozen bytes; anything longer read from an online
// service is not one.
constexpr std::size_t kMaxUpstreamValueBytes = 256;
// Echoed numbers are for the client's eyes only; anything longer than this is not a number.
constexpr std::size_t kMaxEchoedNumberBytes = 32;

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::string_view TrimBlanks(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

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

std::string Pattern(std::string_view key) { return std::string(key) + std::string(kKeyEnd); }

AnswerField Cut(std::string_view answer, std::string_view key) {
    const std::string pattern = Pattern(key);
    const std::size_t at = answer.find(pattern);
    if (at == std::string_view::npos) return {};
    std::string_view after = answer.substr(at + pattern.size());
    after = after.substr(0, after.find(pattern));
    const std::size_t quote = after.find('"');
    return {after, quote == std::string_view::npos ? std::string_view() : after.substr(0, quote)};
}

void AppendField(std::string& out, std::string_view key, std::string_view value) {
    if (out.back() != '{') out += ',';
    out += '"';
    out += key;
    out += kKeyEnd;
    out += value;
    out += '"';
}

}  // namespace

const std::string_view kRefusalMarker = "Runtime Error";
const std::string_view kAnswerContentType = "text/javascript; charset=utf-8";
const std::string_view kRefusalContentType = "text/html; charset=utf-8";
const std::string_view kTextContentType = "text/plain; charset=utf-8";

std::string QueryFor(std::string_view endpoint, std::string_view number) {
    std::string query(endpoint);
    query.append("?").append(kNumberKey).append("=").append(number);
    query.append("&").append(kOutputKey).append("=").append(kOutputJson);
    query.append("&").append(kCallbackKey).append("=").append(kCallbackName);
    return query;
}

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

QueryRequest ReadQuery(std::string_view query) {
    return {QueryParameter(query, kNumberKey), QueryParameter(query, kCallbackKey)};
}

std::array<AnswerField, kAnswerFieldCount> CutAnswer(std::string_view answer) {
    std::array<AnswerField, kAnswerFieldCount> fields;
    for (std::size_t k = 0; k < kFieldKeys.size(); ++k) fields[k] = Cut(answer, kFieldKeys[k]);
    return fields;
}

Record RecordOfFields(const std::array<AnswerField, kAnswerFieldCount>& f) {
    Record r;
    r.card_type = f[0].value;
    r.province = f[1].value;
    r.city = f[2].value;
    r.area_code = f[3].value;
    r.postcode = f[4].value;
    return r;
}

bool IsRefusal(std::string_view answer) { return answer.find(kRefusalMarker) != answer.npos; }

DeclaredCharset CharsetOf(std::string_view content_type) {
    std::size_t semicolon = content_type.find(';');
    while (semicolon != std::string_view::npos) {
        content_type.remove_prefix(semicolon + 1);
        semicolon = content_type.find(';');
        const std::string_view param = TrimBlanks(content_type.substr(0, semicolon));
        const std::size_t eq = param.find('=');
        if (eq == std::string_view::npos ||
            Lower(TrimBlanks(param.substr(0, eq))) != kCharsetParameter)
            continue;
        std::string_view value = TrimBlanks(param.substr(eq + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        std::string name = Lower(TrimBlanks(value));
        const auto named = [&name](const auto& names) {
            return std::find(names.begin(), names.end(), name) != names.end();
        };
        if (named(kCodePage936Names)) return {DeclaredCharset::Kind::CodePage936, std::move(name)};
        if (name.empty() || named(kUtf8Names))
            return {DeclaredCharset::Kind::Utf8, std::move(name)};
        return {DeclaredCharset::Kind::Other, std::move(name)};
    }
    return {};
}

UpstreamReading ReadUpstreamAnswer(std::string_view body, std::string_view content_type) {
    body = body.substr(0, static_cast<std::size_t>(kMaxAnswerBytes));
    const std::string text = CharsetOf(content_type).kind == DeclaredCharset::Kind::CodePage936
                                 ? Utf16ToUtf8(AnsiBytesToString(body))
                                 : std::string(body);
    UpstreamReading reading;
    if (IsRefusal(text)) {
        reading.kind = UpstreamReading::Kind::Refused;
        return reading;
    }
    if (text.find(Pattern(kProvinceKey)) == std::string::npos) return reading;
    reading.kind = UpstreamReading::Kind::Fields;
    reading.record = RecordOfFields(CutAnswer(text));
    for (std::string* value :
         {&reading.record.card_type, &reading.record.province, &reading.record.city,
          &reading.record.area_code, &reading.record.postcode})
        *value = SanitizeValue(*value, kMaxUpstreamValueBytes);
    // Codes are digits; anything else (a formula, a script) is no code and is dropped.
    for (std::string* code : {&reading.record.area_code, &reading.record.postcode})
        if (!std::all_of(code->begin(), code->end(), [](char c) { return c >= '0' && c <= '9'; }))
            code->clear();
    return reading;
}

std::string CallbackAnswer(std::string_view callback, std::string_view number,
                           const Record* record) {
    static const Record kEmpty;
    const Record& r = record ? *record : kEmpty;
    std::string body = SafeCallbackName(callback);
    body += "({";
    AppendField(body, kMobileKey, SanitizeValue(number, kMaxEchoedNumberBytes));
    AppendField(body, kQueryResultKey, record ? "True" : "False");
    AppendField(body, kProvinceKey, SanitizeValue(r.province));
    AppendField(body, kCityKey, SanitizeValue(r.city));
    AppendField(body, kAreaCodeKey, SanitizeValue(r.area_code));
    AppendField(body, kPostCodeKey, SanitizeValue(r.postcode));
    AppendField(body, kCardTypeKey, SanitizeValue(r.card_type));
    body += "});";
    return body;
}

std::string SafeCallbackName(std::string_view name) {
    constexpr std::size_t kMaxLength = 64;
    const auto allowed = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               c == '_' || c == '$' || c == '.';
    };
    if (name.empty() || name.size() > kMaxLength || !std::all_of(name.begin(), name.end(), allowed))
        return std::string(kCallbackName);
    return std::string(name);
}

std::string RefusalPage() {
    const std::string marker(kRefusalMarker);
    return "<html><head><title>" + marker + "</title></head><body><h1>" + marker +
           "</h1><p>Too many requests; try again shortly.</p></body></html>";
}

std::string ManifestText(std::string_view version) {
    return std::string(kManifestKey) + SanitizeValue(version) + kManifestVersionEnd;
}

std::optional<std::string_view> ManifestVersion(std::string_view manifest) {
    const std::size_t key = manifest.find(kManifestKey);
    if (key == std::string_view::npos) return std::nullopt;
    std::string_view piece = manifest.substr(key + kManifestKey.size());
    piece = piece.substr(0, piece.find(kManifestKey));
    const std::size_t bar = piece.find(kManifestVersionEnd);
    if (bar == std::string_view::npos) return std::nullopt;
    return piece.substr(0, bar);
}

}  // namespace numtrail::attribution
