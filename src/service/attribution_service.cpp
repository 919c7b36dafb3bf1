#include "service/attribution_service.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

#include "attribution/local_attributor.h"
#include "attribution/online_attributor.h"
#include "attribution/protocol.h"
#include "service/query.h"
#include "service/rate_limiter.h"

namespace numtrail::service {

namespace {

// A keep-alive connection holds one pool thread for its whole life, so the pool is sized for
// a team's desktops rather than for the cores.
std::size_t PoolSize() { return std::max(16u, std::thread::hardware_concurrency() * 4); }

// Answers go out uncompressed. They are a few hundred bytes, and the library compresses a body
// with brotli whenever the client accepts it (Qt's network access does), at a cost of several
// times a whole look-up. A body given through a provider of known length is sent as it is.
void Send(httplib::Response& res, Reply reply) {
    res.status = reply.status;
    res.set_header("Cache-Control", "no-cache");
    if (reply.status == 503) res.set_header("Retry-After", "1");
    if (reply.body.empty()) {
        res.set_content(std::string(), reply.content_type.c_str());
        return;
    }
    auto body = std::make_shared<const std::string>(std::move(reply.body));
    res.set_content_provider(
        body->size(), reply.content_type.c_str(),
        [body](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
            return sink.write(body->data() + offset, length);
        });
}

}  // namespace

struct AttributionService::Impl {
    Impl(const ServiceOptions& options, attribution::DataFile data,
         std::unique_ptr<attribution::UpstreamResolver> upstream_resolver)
        : version(options.version),
          local(std::move(data), options.builtin_data),
          limiter(options.limit_per_second),
          upstream(std::move(upstream_resolver)) {
        if (upstream) online = std::make_unique<attribution::OnlineAttributor>(local, *upstream);
    }

    void Handle(const httplib::Request& req, httplib::Response& res) {
        if (req.method != "GET" && req.method != "HEAD") {
            res.set_header("Allow", "GET, HEAD");
            Send(res, {405, std::string(attribution::kTextContentType), "Method Not Allowed"});
            return;
        }
        const std::string_view target = req.target;
        const Target split = SplitTarget(target);
        if (upstream && split.path == kStatsPath) {
            Send(res, StatsReply());
            return;
        }
        // The manifest stays reachable under any load: a refusal page there would read as a
        // newer version to the desktop program's update check.
        const bool manifest = split.path == attribution::kManifestPath;
        if (!manifest && !limiter.Admit()) {
            Send(res, RefusalReply());
            return;
        }
        Reply reply = HandleQuery(target, Answers(), version);
        if (!manifest && reply.status == 200) ++queries_answered;
        Send(res, std::move(reply));
    }

    // Local data first; with an upstream, what it does not place comes from the cache or the
    // online service.
    attribution::Attributor& Answers() {
        if (online) return *online;
        return local;
    }

    Reply StatsReply() const {
        const attribution::UpstreamStats stats = upstream->Stats();
        std::string body = "{\"queries_answered\":" + std::to_string(queries_answered.load());
        body += ",\"upstream_requests\":" + std::to_string(stats.upstream_requests);
        body += ",\"cache_hits\":" + std::to_string(stats.cache_hits);
        body += ",\"upstream_failures\":" + std::to_string(stats.upstream_failures);
        body += ",\"refusals\":" + std::to_string(stats.refusals) + "}";
        return {200, "application/json", std::move(body)};
    }

    std::string version;
    attribution::LocalAttributor local;
    RateLimiter limiter;
    std::unique_ptr<attribution::UpstreamResolver> upstream;
    std::unique_ptr<attribution::OnlineAttributor> online;
    std::atomic<std::uint64_t> queries_answered{0};
    httplib::Server server;
    std::thread thread;
    std::atomic<bool> finished{false};
    int port = 0;
};

AttributionService::AttributionService(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

AttributionService::~AttributionService() { Stop(); }

std::unique_ptr<AttributionService> AttributionService::Start(const ServiceOptions& options) {
    attribution::DataFile data;
    if (options.data_file) {
        try {
            data = attribution::LoadDataFile(*options.data_file);
        } catch (const attribution::DataFileError& error) {
            throw ServiceError(error.what());
        }
    }
    if (options.port < 0 || options.port > 65535)
        throw ServiceError("cannot listen on port " + std::to_string(options.port));

    std::unique_ptr<attribution::UpstreamResolver> upstream;
    if (options.upstream) {
        try {
            upstream = std::make_unique<attribution::UpstreamResolver>(*options.upstream);
        } catch (const attribution::UpstreamError& error) {
            throw ServiceError(error.what());
        }
    }

    auto impl = std::make_unique<Impl>(options, std::move(data), std::move(upstream));
    Impl& s = *impl;
    s.server.new_task_queue = [] { return new httplib::ThreadPool(PoolSize()); };
    // The library's default also sets SO_REUSEPORT, which would let a second service bind the
    // same port and silently take half the queries; address reuse alone is enough for restarts.
    s.server.set_socket_options([](int sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    // Headers and body go out in separate writes; without this, Nagle's algorithm and the
    // client's delayed ACK hold every answer back by some 40 ms.
    s.server.set_tcp_nodelay(true);
    s.server.set_keep_alive_max_count(1000);
    s.server.set_payload_max_length(64 * 1024);
    s.server.set_pre_routing_handler([&s](const httplib::Request& req, httplib::Response& res) {
        s.Handle(req, res);
        return httplib::Server::HandlerResponse::Handled;
    });

    if (options.port == 0) {
        s.port = s.server.bind_to_any_port(options.listen);
    } else {
        s.port = s.server.bind_to_port(options.listen, options.port) ? options.port : -1;
    }
    if (s.port <= 0)
        throw ServiceError("cannot listen on " + options.listen + " port " +
                           std::to_string(options.port));

    s.thread = std::thread([&s] {
        s.server.listen_after_bind();
        s.finished = true;
    });
    // Stop only works on a running server: wait until the accept loop is up.
    while (!s.server.is_running() && !s.finished) std::this_thread::yield();
    return std::unique_ptr<AttributionService>(new AttributionService(std::move(impl)));
}

int AttributionService::Port() const { return impl_->port; }

std::filesystem::path AttributionService::UpstreamCacheFile() const {
    return impl_->upstream ? impl_->upstream->CacheFile() : std::filesystem::path();
}

void AttributionService::Stop() {
    if (!impl_ || !impl_->thread.joinable()) return;
    // Queries waiting for the online service would hold the server's threads until it answers.
    if (impl_->upstream) impl_->upstream->Shutdown();
    impl_->server.stop();
    impl_->thread.join();
}

}  // namespace numtrail::service
