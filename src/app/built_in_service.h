#pragma once

#include <memory>

#include "app/options.h"
#include "lookup/get_body.h"
#include "platform/platform.h"
#include "service/attribution_service.h"

namespace httplib {
class Client;
}

namespace numtrail {

// Starts the attribution service inside the program when no endpoint was given, and points
// the options at it (and at it as the update server, unless one was given). Without --data it
// reads the data file in the user's data directory when there is one (options.data_file then
// names it). Returns null when an endpoint was given. Throws service::ServiceError when the
// service cannot start, for example on a damaged data file.
std::unique_ptr<service::AttributionService> StartBuiltInService(AppOptions& options);

// Which data answers the lookups, for the status bar's tooltip; call after the start.
QString DataSourceText(const AppOptions& options);

// The program's fetcher while it answers from its own service: a call to that service is a
// plain keep-alive HTTP request that waits for its answer without running the event loop. The
// service answers from local data in a tenth of a millisecond, where a network manager's
// request costs half a millisecond on its own, which made a batch at speed "0" wait on the
// manager rather than on the data. Any other address, and every call while the service asks
// an online service for what local data lacks (which may take seconds), goes to `other`.
class BuiltInServiceFetcher final : public Fetcher {
  public:
    BuiltInServiceFetcher(const service::AttributionService& running, const AppOptions& options,
                          FetchOptions fetch, Fetcher& other);
    ~BuiltInServiceFetcher() override;
    FetchResult Fetch(const QString& url) override;

  private:
    QString root_;  // "http://127.0.0.1:PORT/"
    FetchOptions fetch_;
    std::unique_ptr<httplib::Client> client_;  // null: every call goes to other_
    Fetcher& other_;
};

}  // namespace numtrail
