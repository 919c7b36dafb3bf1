#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "attribution/record.h"

// The attribution protocol over HTTP, written once for everyone who speaks it: the window asks
// an endpoint and reads the answer by key patterns, the service writes answers, the upstream
// resolver asks an online service and reads what it says. A query is the endpoint followed by
// a query string naming the number, JSON output and a callback; an answer is a call of that
// callback around a JSON object; a refusal marker anywhere in an answer means the service
// refuses for now. The update manifest is part of it too.
namespace numtrail::attribution {

// The largest answer anybody reads; a real one is a few hundred bytes.
inline constexpr std::int64_t kMaxAnswerBytes = 4 * 1024 * 1024;

// ---- The query

// Every query carries this header, so that no cached copy is served.
inline constexpr char kQueryHeader[] = "If-Modified-Since";
inline constexpr char kQueryHeaderValue[] = "0";

// The endpoint exactly as given, followed by the query for `number`.
std::string QueryFor(std::string_view endpoint, std::string_view number);

// What a query string asks for: the number and the callback it names, percent- and
// plus-decoded as they came (neither is checked).
struct QueryRequest {
    std::string number;
    std::string callback;
};
QueryRequest ReadQuery(std::string_view query);

// The value of the first `key` parameter of a query string, percent- and plus-decoded;
// empty when the key is absent.
std::string QueryParameter(std::string_view query, std::string_view key);

// ---- Reading an answer

// One field as the window cuts it out of an answer: `after` is the text that follows the
// first `Key":"` up to the next occurrence of the same pattern (or the end), `value` is that
// text up to its first double quote (empty when it holds none). Both are views into the
// answer. No unescaping, no trimming.
struct AnswerField {
    std::string_view after;
    std::string_view value;
};
inline constexpr std::size_t kAnswerFieldCount = 5;
// In the window's order: card type, province, city, area code, postcode.
std::array<AnswerField, kAnswerFieldCount> CutAnswer(std::string_view answer);
// The record of the values cut out of an answer.
Record RecordOfFields(const std::array<AnswerField, kAnswerFieldCount>& fields);

// The text that, anywhere in an answer (exact, case-sensitive), means the service refuses.
extern const std::string_view kRefusalMarker;
bool IsRefusal(std::string_view answer);

// The character set a Content-Type value declares, by its charset parameter: code page 936
// under any of its names, UTF-8 (also when nothing is declared), or another one, named in
// lower case for a decoder that may know it.
struct DeclaredCharset {
    enum class Kind { Utf8, CodePage936, Other } kind = Kind::Utf8;
    std::string name;
};
DeclaredCharset CharsetOf(std::string_view content_type);

// An online service's answer as the upstream resolver reads it.
struct UpstreamReading {
    enum class Kind {
        Refused,      // the answer holds the refusal marker: the service refuses for now
        Fields,       // the answer carries a province key; `record` holds the five values
        NotAnAnswer,  // empty, or no province key at all (an error or portal page)
    };
    Kind kind = Kind::NotAnAnswer;
    Record record;
};

// Reads at most kMaxAnswerBytes of the body, decoded by its charset (code page 936, or else
// UTF-8), and cuts the five values out as the window does. Every value then goes through the
// same sanitiser as the values of data files (no control characters, quotes or backslashes,
// valid UTF-8) and is cut at a length no place name reaches; an area code or postcode that
// is not all digits is dropped.
UpstreamReading ReadUpstreamAnswer(std::string_view body, std::string_view content_type);

// ---- Writing an answer

// The answer for `number` (as the query gave it) in the callback `callback` (a name that is
// not safe to echo becomes the window's own): `record` null means no attribution. Values go
// through the sanitiser, so that the window's cut at the next double quote finds them whole.
std::string CallbackAnswer(std::string_view callback, std::string_view number,
                           const Record* record);
extern const std::string_view kAnswerContentType;

// The callback name is echoed in front of the answer: only [A-Za-z0-9_$.], 1 to 64
// characters, or else the name the window itself sends.
std::string SafeCallbackName(std::string_view name);

// The page of a service that refuses for now; it holds the refusal marker.
std::string RefusalPage();
extern const std::string_view kRefusalContentType;

// Plain UTF-8 text, as the manifest and the service's own messages go out.
extern const std::string_view kTextContentType;

// ---- The version manifest, at this path of the update server

inline constexpr char kManifestPath[] = "/version/main.txt";
// The manifest naming `version` (sanitised).
std::string ManifestText(std::string_view version);
// The version a manifest names: the text after its first key up to the next bar (before the
// key's next occurrence), unchanged; nullopt when there is no key or no bar after it.
std::optional<std::string_view> ManifestVersion(std::string_view manifest);

}  // namespace numtrail::attribution
