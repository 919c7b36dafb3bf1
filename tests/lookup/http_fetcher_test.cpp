#include "lookup/http_fetcher.h"

#include <gtest/gtest.h>

#include "support/stand_in_server.h"

namespace numtrail {
namespace {

using test::StandInResponse;

StandInResponse Body(const QByteArray& body) {
    StandInResponse r;
    r.body = body;
    return r;
}

// What GetBody returns or throws comes back as a result: an answer of several megabytes
// whole, and a failure as its reason, never as an exception.
TEST(HttpFetcher, GivesTheBodyOrWhyThereIsNone) {
    test::StandInServer server;
    server.Route(QStringLiteral("/ok"), Body("hello"));
    server.Route(QStringLiteral("/large"), Body(QByteArray(3 * 1024 * 1024, 'a')));
    server.Route(QStringLiteral("/too-large"), Body(QByteArray(5 * 1024 * 1024, 'a')));
    StandInResponse reset = Body(QByteArray(1000, 'b'));
    reset.behaviour = StandInResponse::Behaviour::ResetMidBody;
    server.Route(QStringLiteral("/reset"), reset);
    HttpFetcher fetcher;

    const FetchResult ok = fetcher.Fetch(server.BaseUrl() + "/ok");
    EXPECT_TRUE(ok.ok);
    EXPECT_EQ(ok.body, QStringLiteral("hello"));
    EXPECT_EQ(fetcher.Fetch(server.BaseUrl() + "/large").body.size(), 3 * 1024 * 1024);
    for (const QString& url : {server.BaseUrl() + "/too-large", server.BaseUrl() + "/reset",
                               QStringLiteral("not a url")}) {
        const FetchResult failed = fetcher.Fetch(url);
        EXPECT_FALSE(failed.ok) << url.toStdString();
        EXPECT_TRUE(failed.body.isEmpty());
        EXPECT_FALSE(failed.failure.isEmpty());
    }
}

}  // namespace
}  // namespace numtrail
