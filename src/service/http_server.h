#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "service/request_guard.h"

namespace numtrail::service {

struct HttpHeader {
    std::string name;
    std::string value;
};

// One part of a multipart/form-data body.
struct FormPart {
    std::string name;      // the form field's name
    std::string filename;  // empty for a field that is not a file
    std::string content_type;
    std::string data;
};

struct HttpRequest {
    std::string method;
    std::string target;  // as on the request line: the path and "?query", not decoded
    std::vector<HttpHeader> headers;
    std::string peer;  // the client's address, as "192.168.1.20" or "::1"
    // The whole body, at most the upload cap. A multipart/form-data body comes as `parts`
    // instead, and `body` is empty.
    std::string body;
    std::vector<FormPart> parts;
    // When the transport gives up on the request: work that may take long checks it and
    // answers with a message rather than being cut off.
    std::chrono::steady_clock::time_point deadline;

    // The value of the first header of that name (in any case); empty when there is none.
    std::string_view Header(std::string_view name) const;
};

// A body produced while it is sent: each call appends the next piece to `piece` and returns
// true, or returns false when the body is complete. It is called on the connection's own
// thread each time the client has taken what was sent, so a long answer is computed only as
// fast as it is read, and its first rows leave before the last is computed. A source that
// throws, or that is still producing at the request's deadline, ends the connection without
// the closing chunk, so that the client sees an incomplete answer rather than a short one.
using BodySource = std::function<bool(std::string& piece)>;

struct HttpResponse {
    int status = 200;
    std::vector<HttpHeader> headers;
    std::string body;   // sent whole, with its length
    BodySource stream;  // when set, the body is this instead, sent in chunks as produced

    void SetHeader(std::string name, std::string value);
};

// Called on the connection's thread once the request's headers and body have arrived and
// passed the guards. An exception is answered with 500.
using HttpHandler = std::function<void(const HttpRequest&, HttpResponse&)>;

struct HttpLimits {
    // Each connection has a thread of its own while it is open.
    std::size_t max_connections = 256;
    // The request line and headers of one request; past it, 431.
    std::size_t max_header_bytes = 64 * 1024;
    // From a connection's start, or the end of its previous answer, until a request's headers
    // are all in; the connection is closed past it, however steadily its bytes trickle.
    std::chrono::milliseconds header_timeout{10'000};
    // From a request's headers until its answer is sent, body and streamed answer included.
    std::chrono::milliseconds request_timeout{60'000};
    // A body past it is answered with 413.
    std::size_t max_upload = 64 * 1024 * 1024;
};

struct HttpServerOptions {
    std::string listen = "127.0.0.1";  // an address or a name that resolves to one
    int port = 0;                      // 0: any free port
    std::vector<std::string> server_names;
    std::vector<Cidr> allow_from;  // empty: loopback peers only
    HttpLimits limits;
};

// Thrown by Start: an address the server cannot or may not listen on.
class HttpServerError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// An HTTP/1.1 server on threads of its own. Every request passes the RequestGuard (peer,
// Host, other sites) and the limits above before the handler sees it.
class HttpServer {
  public:
    static std::unique_ptr<HttpServer> Start(const HttpServerOptions& options, HttpHandler handler);

    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;
    ~HttpServer();

    int Port() const;
    // Stops listening, ends open connections and waits for their threads; safe to call more
    // than once.
    void Stop();

  private:
    struct Impl;
    explicit HttpServer(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace numtrail::service
