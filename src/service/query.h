#pragma once

#include <string>
#include <string_view>

#include "attribution/prefix_table.h"
#include "product/protocol.h"

namespace numtrail::service {

struct Reply {
    int status = 200;
    std::string content_type;
    std::string body;
};

// Answers one GET request target (path plus optional "?query", as sent on the request
// line). "/version/main.txt" gives the version manifest "sjhm:" + version + "|"; any other
// path is an attribution query read from the parameters m and callback:
//   NAME({"Mobile":"...","QueryResult":"True","Province":"...","City":"...",
//         "AreaCode":"...","PostCode":"...","TO":"..."});
// A missing, malformed or unknown number gets "QueryResult":"False" and empty fields.
Reply HandleQuery(std::string_view target, const attribution::PrefixTable& table,
                  std::string_view version);

// The path of a request target and its query string (after '?', empty when there is none).
struct Target {
    std::string_view path;
    std::string_view query;
};
Target SplitTarget(std::string_view target);

// The attribution answer for the number `mobile` (as the query gave it) in the callback the
// query names; `record` null means no attribution.
Reply AttributionReply(std::string_view query, std::string_view mobile,
                       const attribution::Record* record);

// The refusal page of a service that is asked too often; it holds the refusal marker that
// clients look for.
Reply RefusalReply();

// The value of the first `key` parameter of a query string, percent- and plus-decoded;
// empty when the key is absent.
std::string QueryParameter(std::string_view query, std::string_view key);

}  // namespace numtrail::service
