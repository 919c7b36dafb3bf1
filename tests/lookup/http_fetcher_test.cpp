#include "lookup/http_fetcher.h"

#include <gtest/gtest.h>

#include "support/stand_in_server.h"

namespace numtrail {
namespace {

// What GetBody returns or throws comes back as a result: an answer of several megabytes
// whole, a failure as its reason, never as an exception.
TEST(HttpFetcher, GivesTheBodyOrWhyThereIsNone) {
    using test::StandInResponse;
    test::StandInServer server;
    server.Route(QStringLiteral("/ok"), StandInResponse{200, {}, "hello"});
    server.Route(QStringLiteral("/large"), StandInResponse{200, {}, QByteArray(3 << 20, 'a')});
    server.Route(QStringLiteral("/too-large"), StandInResponse{200, {}, QByteArray(5 << 20, 'a')});
    HttpFetcher fetcher;

    const FetchResult ok = fetcher.Fetch(server.BaseUrl() + "/ok");
    EXPECT_TRUE(ok.ok);
    EXPECT_EQ(ok.body, QStringLiteral("hello"));
    EXPECT_EQ(fetcher.Fetch(server.BaseUrl() + "/large").body.size(), 3 << 20);
    for (const QString& url : {server.BaseUrl() + "/too-large", QStringLiteral("not a url")}) {
        const FetchResult failed = fetcher.Fetch(url);
        EXPECT_FALSE(failed.ok) << url.toStdString();
        EXPECT_TRUE(failed.body.isEmpty());
        EXPECT_FALSE(failed.failure.isEmpty());
    }
}

}  // namespace
}  // namespace numtrail
