#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "attribution/record.h"
#include "product/protocol.h"

namespace numtrail::attribution {

// The attribution protocol as the desktop program speaks it, seen from the service's side
// when it asks another attribution service: the request it sends and the answer it reads.

// The largest answer read from an online service; an attribution answer is a few hundred bytes.
inline constexpr std::size_t kMaxUpstreamAnswerBytes = protocol::kMaxAnswerBytes;

// The request target for `number` at an endpoint path: the path followed by the query the
// desktop program appends, "?m=" + number + "&output=json&callback=querycallback".
std::string UpstreamTarget(std::string_view path, std::string_view number);

// An online service's answer as the desktop program reads it.
struct UpstreamReading {
    enum class Kind {
        Refused,      // the answer holds "Runtime Error": the service refuses for now
        Fields,       // the answer carries a "Province" key; `record` holds the five values
        NotAnAnswer,  // empty, or no "Province" key at all (an error or portal page)
    };
    Kind kind = Kind::NotAnAnswer;
    Record record;
};

// Decodes the body by the charset of its Content-Type (gbk, gb2312 and their aliases as code
// page 936, UTF-8 otherwise) and cuts the five values out the way the desktop program does:
// after the first `Key":"`, up to the next occurrence of the same pattern, then up to the
// first double quote (empty when there is none). Every value then goes through the same
// sanitiser as the values of data files (no control characters, quotes or backslashes, valid
// UTF-8) and is cut at a length no place name reaches.
UpstreamReading ReadUpstreamAnswer(std::string_view body, std::string_view content_type);

}  // namespace numtrail::attribution
