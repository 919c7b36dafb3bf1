#include "lookup/http_fetcher.h"

#include <QNetworkAccessManager>

namespace numtrail {

HttpFetcher::HttpFetcher(FetchOptions options) : options_(options) {}

HttpFetcher::~HttpFetcher() = default;

FetchResult HttpFetcher::Fetch(const QString& url) {
    if (!manager_) manager_ = std::make_unique<QNetworkAccessManager>();
    try {
        return {true, GetBody(*manager_, url, options_), {}};
    } catch (const FetchError& error) {
        return {false, {}, QString::fromStdString(error.what())};
    }
}

}  // namespace numtrail
