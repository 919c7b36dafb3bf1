#include "lookup/http_fetcher.h"

namespace numtrail {

FetchResult HttpFetcher::Fetch(const QString& url) {
    try {
        return {true, GetBody(url, options_), {}};
    } catch (const FetchError& error) {
        return {false, {}, QString::fromStdString(error.what())};
    }
}

}  // namespace numtrail
