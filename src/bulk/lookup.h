#pragma once

#include <optional>
#include <string>
#include <vector>

#include "bulk/row_writer.h"
#include "service/upstream_resolver.h"

namespace numtrail::bulk {

struct LookupOptions {
    std::vector<std::string> files;  // none, or "-", for standard input
    std::string output = "-";        // "-" for standard output
    Format format = Format::Csv;
    std::optional<std::string> data;  // a data file; by default the user's, when there is one
    bool quiet = false;
    // Asks this online service about the prefixes the local data does not place, once each,
    // keeping its answers in the prefix cache (`upstream.url` empty: never asks).
    service::UpstreamOptions upstream;
};

inline constexpr int kExitFailed = 1;

// Attributes every line of the lists and writes the rows; messages, the progress bar and the
// summary go to standard error. Returns the exit status: 0, or kExitFailed when an input,
// the data file or the output failed (the message names it).
int Lookup(LookupOptions options);

}  // namespace numtrail::bulk
