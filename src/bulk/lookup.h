#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "attribution/local_attributor.h"
#include "attribution/upstream_resolver.h"
#include "bulk/row_writer.h"

namespace numtrail::bulk {

// The online side of a run: the attribution core's online source over the run's local data,
// through the upstream resolver and its cache.
class UpstreamSession {
  public:
    virtual ~UpstreamSession() = default;
    // Local data first, then the online service for what it does not place.
    virtual attribution::Attributor& Online() = 0;
    // What was asked, answered from the cache, failed or refused, for the summary line.
    virtual std::string Summary() const = 0;
};

// Opens the online side over the run's local data, or says why it cannot (`error`). Warnings
// go to `options.warn`.
using UpstreamOpener = std::function<std::unique_ptr<UpstreamSession>(
    attribution::UpstreamOptions options, const attribution::LocalAttributor& local,
    std::string& error)>;

struct LookupOptions {
    std::vector<std::string> files;  // none, or "-", for standard input
    std::string output = "-";        // "-" for standard output
    Format format = Format::Csv;
    // One row per number found, each with its line's number, rather than one per line (the
    // first number found); a line without a number still gives one row. Format::Table implies
    // it, without the rows for lines that hold no number.
    bool every_number = false;
    std::optional<std::string> data;  // a data file; by default the user's, when there is one
    bool quiet = false;
    // Asks this online service about the prefixes the local data does not place, once each,
    // keeping its answers in the prefix cache (`upstream.url` empty: never asks).
    attribution::UpstreamOptions upstream;
    // How to open the online side; a program built without it cannot take `upstream.url`.
    UpstreamOpener open_upstream;
};

inline constexpr int kExitFailed = 1;

// Finds the numbers in every line of the lists, attributes them and writes the rows; messages, the
// progress bar and the summary go to standard error. Returns the exit status: 0, or kExitFailed
// when an input, the data file or the output failed (the message names it).
int Lookup(LookupOptions options);

}  // namespace numtrail::bulk
