#include "lookup/get_body.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QTcpServer>
#include <QTimer>

#include "lookup/http_fetcher.h"
#include "platform/qstring_bytes.h"
#include "support/stand_in_server.h"

namespace numtrail {
namespace {

using test::StandInRequest;
using test::StandInResponse;
using test::StandInServer;

StandInResponse Body(const QByteArray& body, const QByteArray& content_type = "text/plain",
                     int status = 200) {
    StandInResponse r;
    r.status = status;
    r.headers = {{"Content-Type", content_type}};
    r.body = body;
    return r;
}

// Whatever the status, an answer is a body: a refusal page sent with 400 or 418 must reach
// the caller, not turn into a fetch failure that is retried for ever.
class GetBodyStatus : public ::testing::TestWithParam<int> {};

TEST_P(GetBodyStatus, AnswerWithAStatusLineIsTheBody) {
    StandInServer server;
    server.Route(QStringLiteral("/page"), Body("Runtime Error", "text/html", GetParam()));
    EXPECT_EQ(GetBody(server.BaseUrl() + "/page"), QStringLiteral("Runtime Error"));
}

INSTANTIATE_TEST_SUITE_P(Statuses, GetBodyStatus,
                         ::testing::Values(200, 400, 401, 404, 407, 418, 429, 500, 503));

TEST(GetBody, EmptyBodyIsTheEmptyText) {
    StandInServer server;
    server.Route(QStringLiteral("/empty"), Body(""));
    EXPECT_EQ(GetBody(server.BaseUrl() + "/empty"), QString());
}

// The program's fetcher keeps one manager for all its calls; each call still asks exactly as a
// fetch with a manager of its own, and a cookie one answer sets never comes back.
TEST(GetBody, SendsTheUrlAsPassedWithNoCacheHeader) {
    StandInServer server;
    StandInResponse answer = Body("x");
    answer.headers.append(qMakePair(QByteArray("Set-Cookie"), QByteArray("session=1; Path=/")));
    server.Route(QStringLiteral("/q"), answer);
    const QString url = server.BaseUrl() + "/q?m=13800138000&output=json&callback=querycallback";
    GetBody(url);
    HttpFetcher fetcher;
    EXPECT_EQ(fetcher.Fetch(url).body, QStringLiteral("x"));
    EXPECT_EQ(fetcher.Fetch(url).body, QStringLiteral("x"));
    GetBody(server.BaseUrl() + "/q");
    ASSERT_EQ(server.Requests().size(), 4);
    const StandInRequest& fresh = server.Requests()[0];
    EXPECT_EQ(fresh.query, QStringLiteral("m=13800138000&output=json&callback=querycallback"));
    EXPECT_EQ(fresh.headers.value("if-modified-since"), QByteArray("0"));
    for (const StandInRequest& request : server.Requests()) {
        EXPECT_EQ(request.headers, fresh.headers);
        EXPECT_FALSE(request.headers.contains("cookie"));
    }
}

TEST(GetBody, DecodesTheDeclaredCharset) {
    StandInServer server;
    const QString chinese = QStringLiteral("江苏常州");
    server.Route(QStringLiteral("/gbk"), Body(ToAnsi(chinese), "text/javascript; charset=GBK"));
    server.Route(QStringLiteral("/gb2312"), Body(ToAnsi(chinese), "text/html; Charset=\"gb2312\""));
    server.Route(QStringLiteral("/utf8"), Body(chinese.toUtf8(), "text/javascript"));
    EXPECT_EQ(GetBody(server.BaseUrl() + "/gbk"), chinese);
    EXPECT_EQ(GetBody(server.BaseUrl() + "/gb2312"), chinese);
    EXPECT_EQ(GetBody(server.BaseUrl() + "/utf8"), chinese);
    EXPECT_EQ(DecodeBody("\xA3\xA4", "text/plain; charset=iso-8859-1"), QStringLiteral("£¤"));
    // Bytes the code page does not hold are replaced, not a reason to lose the rest.
    EXPECT_TRUE(DecodeBody("\xD6\xD0\x81\xFF\x80", "text/plain; charset=gbk").startsWith(u'中'));
}

TEST(GetBody, FailuresAreRaised) {
    // A port that refuses: listen, note the port, stop listening.
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    EXPECT_THROW(GetBody(QStringLiteral("http://127.0.0.1:%1/x").arg(port)), FetchError);
    EXPECT_THROW(GetBody(QStringLiteral("not a url")), FetchError);
}

TEST(GetBody, TimeOutAndSizeCapEndTheFetchAsFailures) {
    StandInServer server;
    StandInResponse slow = Body("late");
    slow.delay_ms = 2000;
    server.Route(QStringLiteral("/slow"), slow);
    StandInResponse never;
    never.behaviour = StandInResponse::Behaviour::NeverAnswer;
    server.Route(QStringLiteral("/never"), never);
    StandInResponse endless;
    endless.behaviour = StandInResponse::Behaviour::EndlessBody;
    server.Route(QStringLiteral("/endless"), endless);
    server.Route(QStringLiteral("/big"), Body(QByteArray(5 * 1024 * 1024, 'a')));
    StandInResponse reset = Body(QByteArray(1000, 'b'));
    reset.behaviour = StandInResponse::Behaviour::ResetMidBody;
    server.Route(QStringLiteral("/reset"), reset);

    const FetchOptions quick{300, 4 * 1024 * 1024};
    EXPECT_THROW(GetBody(server.BaseUrl() + "/slow", quick), FetchError);
    EXPECT_THROW(GetBody(server.BaseUrl() + "/never", quick), FetchError);
    EXPECT_THROW(GetBody(server.BaseUrl() + "/endless", quick), FetchError);
    EXPECT_THROW(GetBody(server.BaseUrl() + "/big"), FetchError);
    EXPECT_THROW(GetBody(server.BaseUrl() + "/reset"), FetchError);
    EXPECT_EQ(GetBody(server.BaseUrl() + "/slow", {5000, 1024}), QStringLiteral("late"));
}

TEST(GetBody, ABodyOfExactlyTheCapIsAcceptedOneByteMoreIsNot) {
    StandInServer server;
    server.Route(QStringLiteral("/q"), Body(QByteArray(1000, 'a')));
    EXPECT_EQ(GetBody(server.BaseUrl() + "/q", {5000, 1000}).size(), 1000);
    EXPECT_THROW(GetBody(server.BaseUrl() + "/q", {5000, 999}), FetchError);
    // The program's fetcher gives the same as a result: the body, or why there is none.
    const FetchResult whole = HttpFetcher({5000, 1000}).Fetch(server.BaseUrl() + "/q");
    EXPECT_TRUE(whole.ok);
    EXPECT_EQ(whole.body.size(), 1000);
    const FetchResult refused = HttpFetcher({5000, 999}).Fetch(server.BaseUrl() + "/q");
    EXPECT_FALSE(refused.ok);
    EXPECT_FALSE(refused.failure.isEmpty());
}

TEST(GetBody, NestedFetchCompletesFirstAndBothSucceed) {
    StandInServer server;
    StandInResponse outer = Body("outer");
    outer.delay_ms = 400;
    server.Route(QStringLiteral("/outer"), outer);
    server.Route(QStringLiteral("/inner"), Body("inner"));

    // One manager for both, as the program's fetcher has.
    QNetworkAccessManager manager;
    QStringList order;
    QTimer tick;
    tick.setSingleShot(true);
    QObject::connect(&tick, &QTimer::timeout,
                     [&] { order << GetBody(manager, server.BaseUrl() + "/inner"); });
    tick.start(50);
    order << GetBody(manager, server.BaseUrl() + "/outer");
    EXPECT_EQ(order, (QStringList{QStringLiteral("inner"), QStringLiteral("outer")}));
}

// A handler that runs during the wait and holds its own loop (a message box) past the
// deadline: the answer that came in meanwhile is complete and is the result.
TEST(GetBody, AnswerFinishedDuringANestedLoopOutlivesTheDeadline) {
    StandInServer server;
    StandInResponse answer = Body("complete");
    answer.delay_ms = 50;
    server.Route(QStringLiteral("/q"), answer);

    QTimer tick;
    tick.setSingleShot(true);
    QObject::connect(&tick, &QTimer::timeout, [] {
        QEventLoop box;
        QTimer::singleShot(600, &box, &QEventLoop::quit);
        box.exec();
    });
    tick.start(10);
    EXPECT_EQ(GetBody(server.BaseUrl() + "/q", {300, 1024}), QStringLiteral("complete"));
}

TEST(GetBody, WaitingCostsNextToNoCpu) {
    StandInServer server;
    StandInResponse slow = Body("done");
    slow.delay_ms = 500;
    server.Route(QStringLiteral("/slow"), slow);
    const std::clock_t cpu_before = std::clock();
    EXPECT_EQ(GetBody(server.BaseUrl() + "/slow"), QStringLiteral("done"));
    const double cpu_seconds = double(std::clock() - cpu_before) / CLOCKS_PER_SEC;
    EXPECT_LT(cpu_seconds, 0.25);  // a busy poll would burn the whole half second
}

}  // namespace
}  // namespace numtrail
