#pragma once

#include "lookup/get_body.h"
#include "platform/platform.h"

namespace numtrail {

// The program's fetcher: GetBody with the program's time-out and answer cap, its failures
// turned into reasons.
class HttpFetcher final : public Fetcher {
  public:
    explicit HttpFetcher(FetchOptions options = {}) : options_(options) {}
    FetchResult Fetch(const QString& url) override;

  private:
    FetchOptions options_;
};

}  // namespace numtrail
