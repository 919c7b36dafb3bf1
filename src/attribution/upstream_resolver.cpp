#include "attribution/upstream_resolver.h"

#include <httplib.h>

#include <cctype>
#include <iostream>

#include "attribution/number.h"
#include "attribution/protocol.h"

namespace numtrail::attribution {

namespace {

constexpr std::int64_t kDay = 24 * 60 * 60;
// An answer that places nothing may be placed soon (a new segment): ask again after a day.
constexpr std::int64_t kNotPlacedLifetime = kDay;
// Entries stamped this far ahead of the clock are taken as fresh; further ahead, the clock
// that stamped them was wrong and they are asked again.
constexpr std::int64_t kClockSlack = 60;

bool Places(const Record& record) { return PlacesPrefix(&record); }

bool ValidHost(std::string_view host) {
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') return true;
    if (host.empty()) return false;
    for (char c : host)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.' && c != '_')
            return false;
    return true;
}

bool ValidPort(std::string_view port) {
    if (port.empty() || port.size() > 5) return false;
    int value = 0;
    for (char c : port) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return value >= 1 && value <= 65535;
}

}  // namespace

std::string UpstreamUrlProblem(const std::string& url) {
    try {
        UpstreamResolver::ParseEndpoint(url);
        return {};
    } catch (const UpstreamError& error) {
        return error.what();
    }
}

struct UpstreamResolver::Fetched {
    std::string error;  // empty when an answer came in whole
    int status = 0;
    std::string content_type;
    std::string body;
};

UpstreamResolver::Endpoint UpstreamResolver::ParseEndpoint(const std::string& url) {
    const auto fail = [&](const std::string& why) {
        return UpstreamError("cannot use the upstream " + url + ": " + why);
    };
    const std::size_t scheme_end = url.find("://");
    const std::string scheme = scheme_end == std::string::npos ? "" : url.substr(0, scheme_end);
    if (scheme != "http" && scheme != "https") throw fail("it must start with http:// or https://");
    if (url.find_first_of("?#") != std::string::npos)
        throw fail("give the endpoint without query; the query is appended");
    const std::size_t path_start = url.find('/', scheme_end + 3);
    const std::string authority = url.substr(scheme_end + 3, path_start - (scheme_end + 3));
    if (authority.find('@') != std::string::npos) throw fail("user names are not supported");
    // "host", "host:port", "[v6]" or "[v6]:port".
    std::string_view host = authority;
    const std::size_t colon = authority.rfind(':');
    if (colon != std::string::npos && authority.find(']', colon) == std::string::npos) {
        if (!ValidPort(std::string_view(authority).substr(colon + 1)))
            throw fail("the port must be a number from 1 to 65535");
        host = host.substr(0, colon);
    }
    if (!ValidHost(host)) throw fail("no valid host name");
    return {scheme + "://" + authority,
            path_start == std::string::npos ? std::string("/") : url.substr(path_start)};
}

UpstreamResolver::UpstreamResolver(UpstreamOptions options)
    : options_(std::move(options)),
      endpoint_(ParseEndpoint(options_.url)),
      cache_file_(options_.cache_file.empty() ? DefaultCacheFilePath() : options_.cache_file),
      cache_(cache_file_, Now(), [this](const std::string& line) { Warn(line); }) {}

UpstreamResolver::~UpstreamResolver() { Shutdown(); }

std::int64_t UpstreamResolver::Now() const {
    if (options_.now) return options_.now();
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void UpstreamResolver::Warn(const std::string& line) const {
    if (options_.warn) {
        options_.warn(line);
    } else {
        std::cerr << line << std::endl;
    }
}

UpstreamStats UpstreamResolver::Stats() const {
    return {upstream_requests_.load(), cache_hits_.load(), upstream_failures_.load(),
            refusals_.load()};
}

bool UpstreamResolver::Fresh(bool placed, std::int64_t fetched, std::int64_t now) const {
    const std::int64_t lifetime =
        placed ? std::int64_t{options_.cache_days} * kDay : kNotPlacedLifetime;
    return fetched <= now + kClockSlack && now - fetched < lifetime;
}

std::optional<UpstreamAnswer> UpstreamResolver::FromMemory(std::uint32_t prefix,
                                                           std::int64_t now) const {
    std::shared_lock lock(kept_mutex_);
    const auto found = kept_.find(prefix);
    if (found == kept_.end() || !Fresh(found->second.record != nullptr, found->second.fetched, now))
        return std::nullopt;
    return UpstreamAnswer{
        found->second.record ? UpstreamAnswer::Kind::Placed : UpstreamAnswer::Kind::NotPlaced,
        found->second.record};
}

UpstreamAnswer UpstreamResolver::Keep(std::uint32_t prefix, const Record& record,
                                      std::int64_t fetched) {
    Kept kept{Places(record) ? std::make_shared<const Record>(record) : nullptr, fetched};
    UpstreamAnswer answer{
        kept.record ? UpstreamAnswer::Kind::Placed : UpstreamAnswer::Kind::NotPlaced, kept.record};
    std::unique_lock lock(kept_mutex_);
    kept_[prefix] = std::move(kept);
    return answer;
}

UpstreamAnswer UpstreamResolver::Resolve(std::string_view number) {
    const std::optional<std::uint32_t> prefix = PrefixOf(number);
    if (!prefix || *prefix < kFirstPrefix || *prefix > kLastPrefix) return {};
    if (auto kept = FromMemory(*prefix, Now())) {
        ++cache_hits_;
        return *kept;
    }

    std::promise<UpstreamAnswer> promise;
    std::shared_future<UpstreamAnswer> pending;
    {
        std::lock_guard lock(in_flight_mutex_);
        auto [found, first] = in_flight_.try_emplace(*prefix);
        if (first) {
            found->second = promise.get_future().share();
        } else {
            pending = found->second;
        }
    }
    if (pending.valid()) return pending.get();

    UpstreamAnswer answer;
    try {
        answer = Lead(*prefix, number);
    } catch (const std::exception& error) {
        Warn("upstream: no answer for prefix " + std::to_string(*prefix) + ": " + error.what());
        answer.kind = UpstreamAnswer::Kind::Failed;
    }
    promise.set_value(answer);
    std::lock_guard lock(in_flight_mutex_);
    in_flight_.erase(*prefix);
    return answer;
}

// The one caller that answers a prefix for everybody waiting on it.
UpstreamAnswer UpstreamResolver::Lead(std::uint32_t prefix, std::string_view number) {
    const std::int64_t now = Now();
    // The previous leader may have finished between our look and our turn, or another
    // process sharing the file may have asked already.
    std::optional<UpstreamAnswer> known = FromMemory(prefix, now);
    if (!known) {
        if (const std::optional<CachedPrefix> cached = cache_.Find(prefix)) {
            if (Fresh(Places(cached->record), cached->fetched, now))
                known = Keep(prefix, cached->record, cached->fetched);
        }
    }
    if (known) {
        ++cache_hits_;
        return *known;
    }
    return Ask(prefix, number);
}

UpstreamAnswer UpstreamResolver::Ask(std::uint32_t prefix, std::string_view number) {
    const auto failed = [&](const std::string& why) {
        // Requests cut short by a shutdown are no fault of the online service.
        if (stopping_) return UpstreamAnswer{UpstreamAnswer::Kind::Failed, nullptr};
        ++upstream_failures_;
        // A log line names the prefix asked about, never the number someone looked up.
        Warn("upstream " + options_.url + " failed for prefix " + std::to_string(prefix) + ": " +
             why + "; answered from local data");
        return UpstreamAnswer{UpstreamAnswer::Kind::Failed, nullptr};
    };
    if (!WaitForSlot()) return {UpstreamAnswer::Kind::Failed, nullptr};
    ++upstream_requests_;
    const Fetched fetched = Fetch(number);
    if (!fetched.error.empty()) return failed(fetched.error);

    const UpstreamReading reading = ReadUpstreamAnswer(fetched.body, fetched.content_type);
    if (reading.kind == UpstreamReading::Kind::Refused) {
        ++refusals_;
        Warn("upstream " + options_.url + " refused prefix " + std::to_string(prefix) +
             " for now; passed the refusal on");
        return {UpstreamAnswer::Kind::Refused, nullptr};
    }
    // An error page is no statement about the prefix: only an answer in the callback format
    // is kept.
    if (reading.kind != UpstreamReading::Kind::Fields)
        return failed("the answer (status " + std::to_string(fetched.status) +
                      ") names no province");

    const std::int64_t now = Now();
    cache_.Store(prefix, reading.record, now);
    return Keep(prefix, reading.record, now);
}

bool UpstreamResolver::WaitForSlot() {
    std::unique_lock lock(pace_mutex_);
    if (stopping_) return false;
    // Each caller takes the next free slot in turn, so a slot is never given twice.
    const auto slot = std::max(std::chrono::steady_clock::now(), next_slot_);
    next_slot_ = slot + options_.interval;
    pace_changed_.wait_until(lock, slot, [this] { return stopping_.load(); });
    return !stopping_;
}

UpstreamResolver::Fetched UpstreamResolver::Fetch(std::string_view number) {
    Fetched fetched;
    httplib::Client client(endpoint_.origin);
    {
        std::lock_guard lock(clients_mutex_);
        if (stopping_) {
            fetched.error = "shutting down";
            return fetched;
        }
        clients_.insert(&client);
    }
    client.set_connection_timeout(options_.timeout);
    client.set_read_timeout(options_.timeout);
    client.set_write_timeout(options_.timeout);
    client.set_follow_location(true);
    // The read time-out is per read: a body that trickles in is cut at the deadline.
    const auto deadline = std::chrono::steady_clock::now() + options_.timeout;
    bool too_large = false, too_late = false;
    const httplib::Result result = client.Get(
        QueryFor(endpoint_.path, number), {{kQueryHeader, kQueryHeaderValue}},
        [&](const httplib::Response& response) {
            fetched.status = response.status;
            fetched.content_type = response.get_header_value("Content-Type");
            return true;
        },
        [&](const char* data, std::size_t size) {
            too_large = fetched.body.size() + size > kMaxAnswerBytes;
            too_late = std::chrono::steady_clock::now() > deadline;
            if (too_large || too_late) return false;
            fetched.body.append(data, size);
            return true;
        });
    {
        std::lock_guard lock(clients_mutex_);
        clients_.erase(&client);
    }
    if (too_large) {
        fetched.error = "the answer is larger than " + std::to_string(kMaxAnswerBytes) + " bytes";
    } else if (too_late || (!result && std::chrono::steady_clock::now() >= deadline)) {
        fetched.error =
            "no complete answer within " + std::to_string(options_.timeout.count()) + " ms";
    } else if (!result) {
        fetched.error = result.error() == httplib::Error::Connection ? "cannot connect"
                        : result.error() == httplib::Error::Read
                            ? "the connection broke off"
                            : httplib::to_string(result.error());
    }
    return fetched;
}

void UpstreamResolver::Shutdown() {
    {
        // Set under the pacing lock so that no waiter misses the notification.
        std::lock_guard lock(pace_mutex_);
        stopping_ = true;
    }
    pace_changed_.notify_all();
    std::lock_guard lock(clients_mutex_);
    for (httplib::Client* client : clients_) client->stop();
}

}  // namespace numtrail::attribution
