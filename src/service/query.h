#pragma once

#include <string>
#include <string_view>

#include "attribution/attributor.h"

namespace numtrail::service {

struct Reply {
    int status = 200;
    std::string content_type;
    std::string body;
};

// Answers one GET request target (path plus optional "?query", as sent on the request line):
// the manifest path gives the version manifest naming `version`; any other path is an
// attribution query, answered by `attributor` in the callback format (see
// attribution/protocol.h) for the first number the query's text holds: a mobile, a landline
// or a 400/800 number, however it is written. A missing or unknown number, or a text that
// holds none, gets a false query result and empty fields; a refusal of an online service behind the
// attributor is passed on as the service's own refusal, so that the window's batch stops as it does
// online.
Reply HandleQuery(std::string_view target, attribution::Attributor& attributor,
                  std::string_view version);

// The path of a request target and its query string (after '?', empty when there is none).
struct Target {
    std::string_view path;
    std::string_view query;
};
Target SplitTarget(std::string_view target);

// The refusal page of a service that is asked too often; it holds the refusal marker that
// clients look for.
Reply RefusalReply();

}  // namespace numtrail::service
