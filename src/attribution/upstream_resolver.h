#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <shared_mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>

#include "attribution/data_file.h"
#include "attribution/prefix_cache.h"
#include "attribution/record.h"

namespace httplib {
class Client;
}

namespace numtrail::attribution {

struct UpstreamOptions {
    // The attribution endpoint of an online service, http:// or https://, without query.
    std::string url;
    // Empty: DefaultCacheFilePath().
    std::filesystem::path cache_file;
    // At most one request starts in each interval, whatever the number of callers.
    std::chrono::milliseconds interval{1000};
    // One request, connection to last byte, however slowly the answer trickles in; past it
    // the request is cut off and counts as failed.
    std::chrono::milliseconds timeout{10000};
    // Answers older than this are asked again; answers that place nothing after one day.
    int cache_days = 180;
    // Seconds since 1970 (UTC); the system clock when empty.
    std::function<std::int64_t()> now;
    // Damaged caches, failed requests and a plain http:// endpoint, one line each; numbers
    // in them masked (MaskNumber). Standard error when empty.
    WarningSink warn;
};

// An endpoint the resolver cannot ask: not http:// or https://, no host, or a query.
class UpstreamError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct UpstreamAnswer {
    enum class Kind {
        Placed,     // `record` holds the online service's answer
        NotPlaced,  // the online service places the prefix nowhere either: answer from local data
        Refused,    // the online service refuses for now (its refusal marker): pass the refusal on
        Failed,     // no usable answer (failure, time-out, shut down): answer from local data
    };
    Kind kind = Kind::NotPlaced;
    std::shared_ptr<const Record> record;
};

struct UpstreamStats {
    std::uint64_t upstream_requests = 0;
    std::uint64_t cache_hits = 0;
    std::uint64_t upstream_failures = 0;
    std::uint64_t refusals = 0;
};

// Why the resolver cannot ask this endpoint (the message UpstreamError would carry), or empty.
std::string UpstreamUrlProblem(const std::string& url);

// A number as messages show it: the first three and the last four digits, the rest as
// asterisks (13800138000 as 138****8000); a text too short to keep anything hidden is all
// asterisks.
std::string MaskNumber(std::string_view number);

// Online answers for the prefixes local data does not place, kept in a PrefixCache under the
// endpoint's origin (scheme, host and port), so that one service's answers are never served
// for another's. Each 7-digit prefix is asked once within the cache's life: callers asking
// for the same prefix while its request is in flight wait for that request, and requests are
// paced across all callers. An answer refused or failed is not kept. Thread-safe; Resolve
// blocks its caller.
//
// What leaves the machine is the prefix alone: the number asked is the prefix followed by
// 0000, never the caller's number. Redirects are not followed (one could send the query to
// any host, or from https to plain http): a redirect is a failure, said once.
class UpstreamResolver {
  public:
    // Opens the cache (see PrefixCache: a damaged file is moved aside, never refused).
    // Throws UpstreamError for an endpoint it cannot ask.
    explicit UpstreamResolver(UpstreamOptions options);
    ~UpstreamResolver();
    UpstreamResolver(const UpstreamResolver&) = delete;
    UpstreamResolver& operator=(const UpstreamResolver&) = delete;

    // The answer for the prefix of an 11-digit number: from the cache when it holds a fresh
    // one, or else from one request to the online service for the prefix. A number
    // that is not 11 digits of a mobile prefix gets NotPlaced without a request.
    UpstreamAnswer Resolve(std::string_view number);

    UpstreamStats Stats() const;
    const std::filesystem::path& CacheFile() const { return cache_file_; }

    // Ends the waits for a request slot and the requests in flight (their callers get
    // Failed) and makes every later request fail at once; for shutting down.
    void Shutdown();

  private:
    friend std::string UpstreamUrlProblem(const std::string& url);
    struct Endpoint {
        std::string origin;  // scheme, host and port, for the HTTP client
        std::string path;
    };
    struct Fetched;
    struct Kept {
        std::shared_ptr<const Record> record;  // null when the answer places nothing
        std::int64_t fetched = 0;
    };

    static Endpoint ParseEndpoint(const std::string& url);
    std::optional<UpstreamAnswer> FromMemory(std::uint32_t prefix, std::int64_t now) const;
    bool Fresh(bool placed, std::int64_t fetched, std::int64_t now) const;
    UpstreamAnswer Keep(std::uint32_t prefix, const Record& record, std::int64_t fetched);
    UpstreamAnswer Lead(std::uint32_t prefix);
    UpstreamAnswer Ask(std::uint32_t prefix);
    bool WaitForSlot();
    Fetched Fetch(const std::string& asked);
    std::int64_t Now() const;
    void Warn(const std::string& line) const;

    UpstreamOptions options_;
    Endpoint endpoint_;
    std::filesystem::path cache_file_;
    PrefixCache cache_;

    // What this process has read from the cache or fetched, for answering repeats without
    // the database.
    mutable std::shared_mutex kept_mutex_;
    std::unordered_map<std::uint32_t, Kept> kept_;

    std::mutex in_flight_mutex_;
    std::map<std::uint32_t, std::shared_future<UpstreamAnswer>> in_flight_;

    std::mutex pace_mutex_;
    std::condition_variable pace_changed_;
    std::chrono::steady_clock::time_point next_slot_{};
    std::atomic<bool> stopping_{false};
    std::atomic<bool> redirect_told_{false};

    std::mutex clients_mutex_;
    std::set<httplib::Client*> clients_;

    std::atomic<std::uint64_t> upstream_requests_{0};
    std::atomic<std::uint64_t> cache_hits_{0};
    std::atomic<std::uint64_t> upstream_failures_{0};
    std::atomic<std::uint64_t> refusals_{0};
};

}  // namespace numtrail::attribution
