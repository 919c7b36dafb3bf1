#include "service/attribution_service.h"

#include <atomic>
#include <memory>

#include "attribution/local_attributor.h"
#include "attribution/online_attributor.h"
#include "attribution/protocol.h"
#include "service/query.h"
#include "service/rate_limiter.h"
#include "service/web_api.h"

namespace numtrail::service {

namespace {

// Answers go out as they are, uncompressed: they are a few hundred bytes, and compressing one
// costs several times a whole look-up.
void Send(HttpResponse& res, Reply reply) {
    res.status = reply.status;
    res.SetHeader("Content-Type", std::move(reply.content_type));
    res.SetHeader("Cache-Control", "no-cache");
    if (reply.status == 503) res.SetHeader("Retry-After", "1");
    res.body = std::move(reply.body);
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
        WebApiOptions web_options;
        web_options.max_lines = options.max_lines;
        web_options.max_upload = options.limits.max_upload;
        web_options.max_time = options.max_time;
        web_options.version = options.version;
        if (options.data_file) web_options.data_file_name = options.data_file->filename().string();
        web_options.data_version = local.Version();
        web_options.builtin_data = options.builtin_data;
        web_options.upstream = upstream != nullptr;
        web = std::make_unique<WebApi>(std::move(web_options), local, online.get());
    }

    void Handle(const HttpRequest& req, HttpResponse& res) {
        if (web->Handle(req, res)) return;
        if (req.method != "GET" && req.method != "HEAD") {
            res.SetHeader("Allow", "GET, HEAD");
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
    std::unique_ptr<WebApi> web;
    std::atomic<std::uint64_t> queries_answered{0};
    std::unique_ptr<HttpServer> server;
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
    HttpServerOptions http;
    http.listen = options.listen;
    http.port = options.port;
    http.server_names = options.server_names;
    http.allow_from = options.allow_from;
    http.limits = options.limits;
    // A long list is streamed for as long as the API's own limit allows, and told why it ends.
    const auto api_time = options.max_time + std::chrono::seconds(5);
    if (http.limits.request_timeout < api_time) http.limits.request_timeout = api_time;
    Impl& s = *impl;
    try {
        s.server = HttpServer::Start(
            http, [&s](const HttpRequest& req, HttpResponse& res) { s.Handle(req, res); });
    } catch (const HttpServerError& error) {
        throw ServiceError(error.what());
    }
    return std::unique_ptr<AttributionService>(new AttributionService(std::move(impl)));
}

int AttributionService::Port() const { return impl_->server->Port(); }

std::filesystem::path AttributionService::UpstreamCacheFile() const {
    return impl_->upstream ? impl_->upstream->CacheFile() : std::filesystem::path();
}

void AttributionService::Stop() {
    if (!impl_) return;
    // Queries waiting for the online service would hold the server's threads until it answers.
    if (impl_->upstream) impl_->upstream->Shutdown();
    impl_->server->Stop();
}

}  // namespace numtrail::service
