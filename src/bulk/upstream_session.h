#pragma once

#include <memory>
#include <string>

#include "bulk/lookup.h"

namespace numtrail::bulk {

// The online side of a run through an UpstreamResolver and its prefix cache. It lives in its
// own program (numtrail-lookup-online): the HTTP and TLS libraries it needs set themselves up
// when they are loaded, which would more than double the start-up of every run without it.
std::unique_ptr<UpstreamSession> OpenUpstream(attribution::UpstreamOptions options,
                                              const attribution::LocalAttributor& local,
                                              std::string& error);

}  // namespace numtrail::bulk
