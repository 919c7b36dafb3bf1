#include "bulk/upstream_session.h"

#include <utility>

#include "attribution/online_attributor.h"

namespace numtrail::bulk {
namespace {

class ResolverSession : public UpstreamSession {
  public:
    ResolverSession(attribution::UpstreamOptions options, const attribution::LocalAttributor& local)
        : resolver_(std::move(options)), online_(local, resolver_) {}

    attribution::Attributor& Online() override { return online_; }

    // Prefixes the online service refused or failed on are answered from the local data:
    // said here, so that such a run is not taken for a complete one.
    std::string Summary() const override {
        const attribution::UpstreamStats stats = resolver_.Stats();
        std::string text = "upstream: " + std::to_string(stats.upstream_requests) + " asked, " +
                           std::to_string(stats.cache_hits) + " from the cache";
        if (stats.upstream_failures + stats.refusals > 0)
            text += "; " + std::to_string(stats.upstream_failures) + " failed and " +
                    std::to_string(stats.refusals) +
                    " refused, their prefixes answered from local data only";
        return text;
    }

  private:
    attribution::UpstreamResolver resolver_;
    attribution::OnlineAttributor online_;
};

}  // namespace

std::unique_ptr<UpstreamSession> OpenUpstream(attribution::UpstreamOptions options,
                                              const attribution::LocalAttributor& local,
                                              std::string& error) {
    try {
        return std::make_unique<ResolverSession>(std::move(options), local);
    } catch (const attribution::UpstreamError& e) {
        error = e.what();
        return nullptr;
    }
}

}  // namespace numtrail::bulk
