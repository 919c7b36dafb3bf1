#include "lookup/http_fetcher.h"

#include <gtest/gtest.h>

#include "support/stand_in_server.h"

namespace numtrail {
namespace {

// What GetBody returns or throws comes back as a result: an answer of megabytes whole, a
// failure as its reason, never as an exception.
TEST(HttpFetcher, GivesTheBodyOrWhyThereIsNone) {
    test::StandInServer server;
    server.Route(QStringLiteral("/large"), {200, {}, QByteArray(3 << 20, 'a')});
    server.Route(QStringLiteral("/too-large"), {200, {}, QByteArray(5 << 20, 'a')});
    HttpFetcher fetcher;
    const FetchResult large = fetcher.Fetch(server.BaseUrl() + "/large");
    EXPECT_TRUE(large.ok);
    EXPECT_EQ(large.body, QString(3 << 20, u'a'));
    for (const QString& url : {server.BaseUrl() + "/too-large", QStringLiteral("not a url")}) {
        const FetchResult failed = fetcher.Fetch(url);
        EXPECT_FALSE(failed.ok) << url.toStdString();
        EXPECT_TRUE(failed.body.isEmpty());
        EXPECT_FALSE(failed.failure.isEmpty());
    }
}

}  // namespace
}  // namespace numtrail
