#include "service/http_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <future>
#include <mutex>
#include <thread>

#include "service/raw_client.h"

namespace numtrail::service {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using numtrail::test::Body;
using numtrail::test::RawClient;
using numtrail::test::Status;

class HttpServerTest : public ::testing::Test {
  protected:
    void Start(HttpServerOptions options = {}) {
        server = HttpServer::Start(options, [this](const HttpRequest& req, HttpResponse& res) {
            {
                std::lock_guard lock(mutex);
                requests.push_back(req);
            }
            if (handler) {
                handler(req, res);
                return;
            }
            res.SetHeader("Content-Type", "text/plain");
            res.body = "answered " + req.target;
        });
        port = server->Port();
        host = "127.0.0.1:" + std::to_string(port);
    }

    // One request on a connection of its own, with the given header lines.
    std::string Ask(const std::string& header_lines, const std::string& body = {},
                    const char* from = nullptr, const std::string& request_line = "GET /x") {
        RawClient client(port, from);
        client.Send(request_line + " HTTP/1.1\r\n" + header_lines + "Connection: close\r\n\r\n" +
                    body);
        return client.ReadAll();
    }
    std::string AskAs(const std::string& host_value, const std::string& more = {}) {
        return Ask("Host: " + host_value + "\r\n" + more);
    }

    std::size_t RequestsSeen() {
        std::lock_guard lock(mutex);
        return requests.size();
    }

    std::unique_ptr<HttpServer> server;
    int port = 0;
    std::string host;
    HttpHandler handler;
    std::mutex mutex;
    std::vector<HttpRequest> requests;
};

// The service's own names on its own port, from its own pages or from no page, are answered;
// names that only resolve to it, other ports and other sites' pages are not, and the handler
// never sees them.
TEST_F(HttpServerTest, AnswersOnlyRequestsForItselfFromItsOwnPages) {
    HttpServerOptions options;
    options.server_names = {"numtrail.example"};
    Start(options);
    const std::string p = std::to_string(port);
    struct Case {
        std::string host;
        std::string more;
        int status;
    };
    const std::vector<Case> cases = {
        {"127.0.0.1:" + p, "", 200},
        {"localhost:" + p, "", 200},
        {"LOCALHOST:" + p, "", 200},
        {"[::1]:" + p, "", 200},
        {"numtrail.example", "", 200},
        {"Numtrail.Example:443", "", 200},
        {"127.0.0.1:" + p, "Sec-Fetch-Site: same-origin\r\n", 200},
        {"127.0.0.1:" + p, "Sec-Fetch-Site: none\r\n", 200},
        {"127.0.0.1:" + p, "Origin: http://127.0.0.1:" + p + "\r\n", 200},
        {"numtrail.example", "Origin: https://numtrail.example\r\n", 200},
        // Names an attacker's DNS points at this machine.
        {"attacker.example:" + p, "", 403},
        {"127.0.0.1.attacker.example:" + p, "", 403},
        {"localhost.attacker.example:" + p, "", 403},
        {"numtrail.example.attacker.example:" + p, "", 403},
        // Its addresses, but not on its port.
        {"127.0.0.1:" + std::to_string(port == 65535 ? 1 : port + 1), "", 403},
        {"127.0.0.1", "", 403},
        {"127.0.0.2:" + p, "", 403},
        // Other sites' pages: a script tag, a fetch, the same site on another port.
        {"127.0.0.1:" + p, "Sec-Fetch-Site: cross-site\r\n", 403},
        {"127.0.0.1:" + p, "Sec-Fetch-Site: same-site\r\n", 403},
        {"127.0.0.1:" + p, "Origin: http://attacker.example\r\n", 403},
        {"127.0.0.1:" + p, "Origin: null\r\n", 403},
        {"127.0.0.1:" + p, "Origin: http://localhost:" + p + "\r\n", 403},
        {"127.0.0.1:" + p, "Origin: http://127.0.0.1:" + p + ".attacker.example\r\n", 403},
        // No host at all, or two.
        {"", "", 400},
        {"127.0.0.1:" + p + ":" + p, "", 400},
        {"127.0.0.1:" + p, "Host: attacker.example\r\n", 400},
    };
    for (const Case& c : cases) {
        const std::string response = AskAs(c.host, c.more);
        EXPECT_EQ(Status(response), c.status) << c.host << " " << c.more << response;
    }
    EXPECT_EQ(RequestsSeen(), 10u);
    // Without a Host header at all, and with a target naming a host of its own.
    EXPECT_EQ(Status(Ask("")), 400);
    EXPECT_EQ(Status(Ask("Host: " + host + "\r\n", "", nullptr, "GET http://attacker.example/x")),
              400);
    EXPECT_EQ(RequestsSeen(), 10u);
}

TEST_F(HttpServerTest, AnswersOnlyTheAllowedNetworks) {
    HttpServerOptions options;
    options.allow_from = {*ParseCidr("127.0.0.1/32")};
    Start(options);
    EXPECT_EQ(Status(Ask("Host: " + host + "\r\n", "", "127.0.0.1")), 200);
    const std::string refused = Ask("Host: " + host + "\r\n", "", "127.0.0.2");
    EXPECT_EQ(Status(refused), 403) << refused;
    EXPECT_NE(Body(refused).find("127.0.0.2"), std::string::npos) << refused;
    EXPECT_EQ(RequestsSeen(), 1u);

    // Without rules, loopback only: every loopback address is this machine.
    server.reset();
    Start();
    EXPECT_EQ(Status(Ask("Host: " + host + "\r\n", "", "127.0.0.2")), 200);
}

TEST_F(HttpServerTest, ListeningBeyondLoopbackNeedsAllowedNetworks) {
    for (const char* address : {"0.0.0.0", "::"}) {
        HttpServerOptions options;
        options.listen = address;
        try {
            HttpServer::Start(options, [](const HttpRequest&, HttpResponse&) {});
            ADD_FAILURE() << "listening on " << address << " without --allow-from";
        } catch (const HttpServerError& error) {
            EXPECT_NE(std::string(error.what()).find("--allow-from"), std::string::npos);
        }
    }
    HttpServerOptions options;
    options.listen = "localhost";
    EXPECT_NO_THROW(HttpServer::Start(options, [](const HttpRequest&, HttpResponse&) {}));
}

// Clients that hold connections by sending their headers a byte at a time hold only their own
// threads: a real query is answered at once beside them.
TEST_F(HttpServerTest, SlowClientsDoNotStallOthers) {
    Start();
    std::vector<std::unique_ptr<RawClient>> slow;
    for (int i = 0; i < 64; ++i) {
        slow.push_back(std::make_unique<RawClient>(port));
        slow.back()->Send("GET /slow HTTP/1.1\r\nHost: " + host + "\r\nX-Slow: ");
    }
    std::atomic<bool> trickling = true;
    std::thread trickle([&] {
        while (trickling) {
            for (auto& client : slow) client->Send("a");
            std::this_thread::sleep_for(100ms);
        }
    });
    std::this_thread::sleep_for(300ms);
    const auto start = Clock::now();
    RawClient client(port);
    client.Send("GET /real HTTP/1.1\r\nHost: " + host + "\r\n\r\n");
    const std::string response = client.Read("answered /real", 1000ms);
    const auto took = Clock::now() - start;
    trickling = false;
    trickle.join();
    EXPECT_EQ(Status(response), 200) << response;
    EXPECT_LT(took, 1s);
}

// A client that trickles its headers, or sends none, is cut off at the header deadline
// however steadily its bytes come.
TEST_F(HttpServerTest, HeadersMustArriveWithinTheDeadline) {
    HttpServerOptions options;
    options.limits.header_timeout = 400ms;
    Start(options);
    RawClient trickling(port), silent(port);
    trickling.Send("GET / HTTP/1.1\r\nHost: " + host + "\r\n");
    const auto start = Clock::now();
    while (trickling.Send("X-Slow: a\r\n") && Clock::now() - start < 3s) {
        std::this_thread::sleep_for(50ms);
        trickling.ReadAll(1ms);
        if (trickling.Closed()) break;
    }
    const auto took = Clock::now() - start;
    EXPECT_GE(took, 300ms);
    EXPECT_LT(took, 2s);
    silent.ReadAll(2000ms);
    EXPECT_TRUE(silent.Closed());
    EXPECT_EQ(RequestsSeen(), 0u);

    // The deadline is for each request's headers: a kept-alive connection that asks in time
    // is answered again and again.
    RawClient steady(port);
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(
            steady.Send("GET /" + std::to_string(i) + " HTTP/1.1\r\nHost: " + host + "\r\n\r\n"));
        EXPECT_NE(
            steady.Read("answered /" + std::to_string(i)).find("answered /" + std::to_string(i)),
            std::string::npos);
        std::this_thread::sleep_for(200ms);
    }
}

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    }
    return -1;
}

// 48 MB of header lines on one connection: the server stops reading at its cap and the
// process does not grow by what was sent.
TEST_F(HttpServerTest, OverlongHeaderBlockIsRefusedWithoutGrowing) {
    Start();
    const long before = ResidentKiB();
    RawClient client(port);
    std::string lines;
    while (lines.size() < 64 * 1024) lines += "X-Padding: " + std::string(100, 'a') + "\r\n";
    std::size_t sent = client.Send("GET / HTTP/1.1\r\nHost: " + host + "\r\n") ? 0 : 1;
    while (sent < 48'000'000 && client.Send(lines)) sent += lines.size();
    const std::string response = client.ReadAll(2000ms);
    EXPECT_LT(sent, 48'000'000u);
    if (!response.empty()) {
        EXPECT_EQ(Status(response), 431) << response.substr(0, 200);
    }
    EXPECT_LT(ResidentKiB() - before, 8 * 1024);
    EXPECT_EQ(RequestsSeen(), 0u);

    // A large header block within the cap is answered.
    std::string large;
    while (large.size() < 24 * 1024) large += "X-Padding: " + std::string(100, 'b') + "\r\n";
    EXPECT_EQ(Status(Ask("Host: " + host + "\r\n" + large)), 200);
}

// Past the cap a connection is closed at once, neither answered nor left hanging; a freed
// place is taken again.
TEST_F(HttpServerTest, ConnectionsPastTheCapAreClosed) {
    HttpServerOptions options;
    options.limits.max_connections = 4;
    Start(options);
    std::vector<std::unique_ptr<RawClient>> held;
    for (int i = 0; i < 4; ++i) {
        held.push_back(std::make_unique<RawClient>(port));
        held.back()->Send("GET /held HTTP/1.1\r\nHost: " + host + "\r\n\r\n");
        held.back()->Read("answered");
    }
    RawClient refused(port);
    refused.Send("GET /refused HTTP/1.1\r\nHost: " + host + "\r\n\r\n");
    EXPECT_EQ(refused.ReadAll(2000ms), "");
    EXPECT_TRUE(refused.Closed());

    held.pop_back();
    std::string answer;
    for (int tries = 0; tries < 20 && answer.find("answered /again") == std::string::npos;
         ++tries) {
        std::this_thread::sleep_for(50ms);
        RawClient again(port);
        again.Send("GET /again HTTP/1.1\r\nHost: " + host + "\r\n\r\n");
        answer = again.Read("answered /again", 1000ms);
    }
    EXPECT_NE(answer.find("answered /again"), std::string::npos);
}

TEST_F(HttpServerTest, BodiesUpToTheCapAndA413PastIt) {
    handler = [](const HttpRequest& req, HttpResponse& res) {
        res.body = req.method + " " + std::to_string(req.body.size()) + " " +
                   (req.body == std::string(req.body.size(), 'x') ? "intact" : "damaged");
    };
    HttpServerOptions options;
    options.limits.max_upload = 1000;
    Start(options);
    const auto chunked = [](std::size_t size) {
        std::string body;
        for (std::size_t left = size; left > 0;) {
            const std::size_t n = std::min<std::size_t>(left, 300);
            char head[16];
            std::snprintf(head, sizeof head, "%zx\r\n", n);
            body += head + std::string(n, 'x') + "\r\n";
            left -= n;
        }
        return body + "0\r\n\r\n";
    };
    struct Case {
        std::string headers;
        std::string body;
        int status;
        const char* answer;  // in the body
    };
    const std::vector<Case> cases = {
        {"Content-Length: 1000\r\n", std::string(1000, 'x'), 200, "POST 1000 intact"},
        {"Transfer-Encoding: chunked\r\n", chunked(1000), 200, "POST 1000 intact"},
        {"Content-Length: 1001\r\n", std::string(1001, 'x'), 413, "1000 bytes"},
        {"Transfer-Encoding: chunked\r\n", chunked(1001), 413, "1000 bytes"},
        {"Transfer-Encoding: chunked\r\n", chunked(100'000), 413, "1000 bytes"},
        // A length past any number is the library's own 413.
        {"Content-Length: 99999999999999999999999\r\n", "", 413, ""},
    };
    for (const Case& c : cases) {
        const std::string response =
            Ask("Host: " + host + "\r\n" + c.headers, c.body, nullptr, "POST /upload");
        EXPECT_EQ(Status(response), c.status) << c.headers << response;
        EXPECT_NE(Body(response).find(c.answer), std::string::npos) << c.headers << response;
    }
    EXPECT_EQ(RequestsSeen(), 2u);
    // A client that asks first is told before it sends the body.
    RawClient client(port);
    client.Send("POST /upload HTTP/1.1\r\nHost: " + host +
                "\r\nContent-Length: 5000\r\nExpect: 100-continue\r\n\r\n");
    const std::string told = client.Read("\r\n\r\n");
    EXPECT_EQ(Status(told), 413) << told;
}

TEST_F(HttpServerTest, MultipartFormDataComesAsParts) {
    std::vector<FormPart> parts;
    handler = [&](const HttpRequest& req, HttpResponse& res) {
        parts = req.parts;
        res.body = req.body;
    };
    Start();
    // A file whose bytes look like a boundary's start and hold NULs and CRLFs.
    const std::string file = std::string("13800138000\r\n--b\r\n\0\xff", 20) + "\r\n139";
    const std::string body =
        "--b0undary\r\n"
        "Content-Disposition: form-data; name=\"note\"\r\n\r\n"
        "你好\r\n"
        "--b0undary\r\n"
        "Content-Disposition: form-data; name=\"list\"; filename=\"a.txt\"\r\n"
        "Content-Type: text/plain\r\n\r\n" +
        file +
        "\r\n"
        "--b0undary--\r\n";
    const std::string type = "Content-Type: multipart/form-data; boundary=b0undary\r\n";
    const std::string response = Ask(
        "Host: " + host + "\r\n" + type + "Content-Length: " + std::to_string(body.size()) + "\r\n",
        body, nullptr, "POST /upload");
    EXPECT_EQ(Status(response), 200) << response;
    EXPECT_EQ(Body(response), "");
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0].name, "note");
    EXPECT_EQ(parts[0].filename, "");
    EXPECT_EQ(parts[0].data, "你好");
    EXPECT_EQ(parts[1].name, "list");
    EXPECT_EQ(parts[1].filename, "a.txt");
    EXPECT_EQ(parts[1].content_type, "text/plain");
    EXPECT_EQ(parts[1].data, file);

    for (const auto& [headers, bad] : std::vector<std::pair<std::string, std::string>>{
             {"Content-Type: multipart/form-data\r\n", body},
             {type, body.substr(0, body.size() - 40)},
         }) {
        const std::string refused = Ask("Host: " + host + "\r\n" + headers + "Content-Length: " +
                                            std::to_string(bad.size()) + "\r\n",
                                        bad, nullptr, "POST /upload");
        EXPECT_EQ(Status(refused), 400) << headers << refused;
    }
    EXPECT_EQ(RequestsSeen(), 1u);
}

// The first piece reaches the client while the source still waits to make the second.
TEST_F(HttpServerTest, StreamedBodyLeavesPieceByPiece) {
    std::promise<void> first_read;
    std::shared_future<void> go_on = first_read.get_future().share();
    handler = [go_on](const HttpRequest&, HttpResponse& res) {
        res.SetHeader("Content-Type", "text/csv");
        res.stream = [go_on, n = 0](std::string& piece) mutable {
            if (n == 1 && go_on.wait_for(5s) != std::future_status::ready) return false;
            if (n == 3) return false;
            piece = "row " + std::to_string(n++) + "\n";
            return true;
        };
    };
    Start();
    RawClient client(port);
    client.Send("GET /list HTTP/1.1\r\nHost: " + host + "\r\n\r\n");
    const std::string first = client.Read("row 0\n", 2000ms);
    EXPECT_NE(first.find("row 0\n"), std::string::npos) << first;
    EXPECT_EQ(first.find("row 1"), std::string::npos);
    first_read.set_value();
    const std::string whole = client.Read("\r\n0\r\n\r\n", 2000ms);
    EXPECT_NE(whole.find("Transfer-Encoding: chunked"), std::string::npos) << whole;
    EXPECT_NE(whole.find("row 2\n\r\n0\r\n\r\n"), std::string::npos) << whole;
}

// A stream that fails, or is still running at the request's deadline, ends without the last
// chunk, so the client cannot take it for a whole answer; an exception before any answer
// is a 500.
TEST_F(HttpServerTest, FailedAnswersAreNeverComplete) {
    handler = [](const HttpRequest& req, HttpResponse& res) {
        if (req.target == "/throws") throw std::runtime_error("no");
        res.stream = [fails = req.target == "/fails", n = 0](std::string& piece) mutable {
            if (fails && n == 2) throw std::runtime_error("lost");
            std::this_thread::sleep_for(50ms);
            piece = "row " + std::to_string(n++) + "\n";
            return true;
        };
    };
    HttpServerOptions options;
    options.limits.request_timeout = 300ms;
    Start(options);
    for (const char* target : {"/fails", "/endless"}) {
        RawClient client(port);
        client.Send(std::string("GET ") + target + " HTTP/1.1\r\nHost: " + host + "\r\n\r\n");
        const std::string got = client.ReadAll(3000ms);
        EXPECT_TRUE(client.Closed()) << target;
        EXPECT_NE(got.find("row 1"), std::string::npos) << target << got;
        EXPECT_EQ(got.find("\r\n0\r\n\r\n"), std::string::npos) << target << got;
    }
    EXPECT_EQ(Status(Ask("Host: " + host + "\r\n", "", nullptr, "GET /throws")), 500);
}

}  // namespace
}  // namespace numtrail::service
