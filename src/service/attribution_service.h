#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "attribution/upstream_resolver.h"
#include "product/product.h"
#include "service/http_server.h"

namespace numtrail::service {

struct ServiceOptions {
    std::string listen = "127.0.0.1";
    int port = 8360;  // 0 = pick a free port
    // Names the service is reached by besides its addresses (a DNS name, a proxy's name).
    std::vector<std::string> server_names;
    // The networks whose requests are answered; empty: this machine's loopback only, and then
    // the service listens on loopback only.
    std::vector<Cidr> allow_from;
    HttpLimits limits;
    // One request of the team page's API: the lines of its lists, and the time to read them
    // and send every row; past either, 413 (or a stream cut short).
    std::uint64_t max_lines = 2'000'000;
    std::chrono::milliseconds max_time{300'000};
    std::optional<std::filesystem::path> data_file;
    int limit_per_second = 0;  // 0 = no limit
    std::string version = product::kVersion;
    // Answer prefixes missing from the data file from built-in data, and fill the file's empty
    // postcodes and area codes from the city table.
    bool builtin_data = true;
    // Ask this online service, through a cache, for the prefixes local data does not place,
    // and serve the counters at /stats. Nothing is asked or cached without it.
    std::optional<attribution::UpstreamOptions> upstream;
};

inline constexpr std::string_view kStatsPath = "/stats";

// Thrown by Start: a damaged or unreadable data file (the message names the file and the
// fault), an address the service cannot or may not listen on, or an upstream it cannot ask.
class ServiceError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The attribution service on its own threads: answers queries in the callback format, serves
// the version manifest, and the team page with its API (service/web_api.h). Start returns once the
// socket is listening.
class AttributionService {
  public:
    static std::unique_ptr<AttributionService> Start(const ServiceOptions& options);

    AttributionService(const AttributionService&) = delete;
    AttributionService& operator=(const AttributionService&) = delete;
    ~AttributionService();

    int Port() const;
    // The cache file of upstream answers; empty without an upstream.
    std::filesystem::path UpstreamCacheFile() const;
    // Stops listening and waits for the service threads; safe to call more than once.
    void Stop();

  private:
    struct Impl;
    explicit AttributionService(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace numtrail::service
