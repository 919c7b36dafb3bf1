#pragma once

#include <memory>

#include "lookup/get_body.h"
#include "platform/platform.h"

namespace numtrail {

// The program's fetcher: GetBody with the program's time-out and answer cap, its failures
// turned into reasons. Its calls share one network manager, made at the first fetch, so that
// a batch keeps its connection to the service open instead of opening one per number.
class HttpFetcher final : public Fetcher {
  public:
    explicit HttpFetcher(FetchOptions options = {});
    ~HttpFetcher() override;
    FetchResult Fetch(const QString& url) override;

  private:
    FetchOptions options_;
    std::unique_ptr<QNetworkAccessManager> manager_;
};

}  // namespace numtrail
