#include "service/http_server.h"

#include <microhttpd.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_set>

namespace numtrail::service {

namespace {

using Clock = std::chrono::steady_clock;

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

// How often the watchdog looks for connections past their deadline: a deadline is kept to
// within this.
constexpr auto kWatchdogTick = std::chrono::milliseconds(50);

// Room in a connection's memory beside the request's headers: the answer's own headers and the
// library's bookkeeping.
constexpr std::size_t kConnectionMemoryReserve = 8 * 1024;

// What the server keeps about one open connection. The connection's thread sets the deadline
// for what it waits for next; the watchdog acts on it.
struct Connection {
    int fd = -1;
    IpAddress peer;
    IpAddress local;
    std::string peer_text;
    std::atomic<Clock::rep> deadline{0};

    void SetDeadline(Clock::time_point when) { deadline = when.time_since_epoch().count(); }
};

// One request on its way through the handler calls of the library.
struct Exchange {
    Connection* connection = nullptr;
    HttpRequest request;
    bool headers_seen = false;
    std::size_t received = 0;  // body bytes, counted even when dropped
    bool over_cap = false;
    MHD_PostProcessor* form = nullptr;
    bool bad_form = false;

    ~Exchange() {
        if (form != nullptr) MHD_destroy_post_processor(form);
    }
};

// The state of a streamed body between the library's calls for more.
struct Stream {
    BodySource source;
    std::string piece;
    std::size_t offset = 0;
    bool ended = false;
};

ssize_t ReadStream(void* cls, std::uint64_t, char* buffer, std::size_t max) {
    auto& stream = *static_cast<Stream*>(cls);
    while (stream.offset == stream.piece.size()) {
        if (stream.ended) return MHD_CONTENT_READER_END_OF_STREAM;
        stream.piece.clear();
        stream.offset = 0;
        try {
            stream.ended = !stream.source(stream.piece);
        } catch (...) {
            return MHD_CONTENT_READER_END_WITH_ERROR;
        }
    }
    const std::size_t n = std::min(max, stream.piece.size() - stream.offset);
    std::memcpy(buffer, stream.piece.data() + stream.offset, n);
    stream.offset += n;
    return static_cast<ssize_t>(n);
}

MHD_Response* MakeResponse(HttpResponse& response) {
    MHD_Response* made = nullptr;
    if (response.stream) {
        auto* stream = new Stream{std::move(response.stream), {}, 0, false};
        made =
            MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 32 * 1024, &ReadStream, stream,
                                              [](void* cls) { delete static_cast<Stream*>(cls); });
        if (made == nullptr) delete stream;
    } else {
        // The body moves into the response whole; the library frees it when it has been sent.
        auto* body = new std::string(std::move(response.body));
        made = MHD_create_response_from_buffer_with_free_callback_cls(
            body->size(), body->data(), [](void* cls) { delete static_cast<std::string*>(cls); },
            body);
        if (made == nullptr) delete body;
    }
    if (made == nullptr) return nullptr;
    for (const HttpHeader& header : response.headers)
        MHD_add_response_header(made, header.name.c_str(), header.value.c_str());
    return made;
}

MHD_Result Queue(MHD_Connection* connection, HttpResponse& response) {
    MHD_Response* made = MakeResponse(response);
    if (made == nullptr) return MHD_NO;
    const MHD_Result queued =
        MHD_queue_response(connection, static_cast<unsigned>(response.status), made);
    MHD_destroy_response(made);
    return queued;
}

// A refusal of the transport itself, before any handler: plain text, and the connection
// closed after it, since what else the client sends is not wanted.
MHD_Result Refuse(MHD_Connection* connection, int status, std::string message) {
    HttpResponse response;
    response.status = status;
    response.body = std::move(message);
    response.body += '\n';
    response.SetHeader("Content-Type", "text/plain; charset=utf-8");
    response.SetHeader("Connection", "close");
    return Queue(connection, response);
}

std::string UploadTooLarge(std::size_t cap) {
    return "Payload Too Large: a request body may have at most " + std::to_string(cap) + " bytes";
}

int ListenSocket(const HttpServerOptions& options) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(options.port);
    const std::string where = options.listen + " port " + port;
    if (getaddrinfo(options.listen.c_str(), port.c_str(), &hints, &found) != 0 || !found)
        throw HttpServerError("cannot listen on " + where + ": no such address");
    const std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> owned(found, &freeaddrinfo);

    const std::optional<IpAddress> address = FromSockaddr(found->ai_addr);
    if (!address) throw HttpServerError("cannot listen on " + where + ": not an IP address");
    if (!address->IsLoopback() && options.allow_from.empty())
        throw HttpServerError("listening on " + options.listen +
                              " answers beyond this machine: give --allow-from with the "
                              "networks to answer (for example --allow-from 192.168.1.0/24)");

    const int fd = socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) throw HttpServerError("cannot listen on " + where + ": " + std::strerror(errno));
    const int yes = 1, no = 0;
    // Address reuse lets a restarted service take its port at once. Port reuse is not set: it
    // would let a second service bind the same port and silently take half the queries.
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    // "::" takes IPv4 clients as well; the guard sees them as IPv4 peers.
    if (found->ai_family == AF_INET6) setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &no, sizeof no);
    if (bind(fd, found->ai_addr, found->ai_addrlen) != 0 || listen(fd, SOMAXCONN) != 0) {
        const int error = errno;
        close(fd);
        throw HttpServerError("cannot listen on " + where + ": " + std::strerror(error));
    }
    return fd;
}

int BoundPort(int fd) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port);
    return ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
}

}  // namespace

std::string_view HttpRequest::Header(std::string_view name) const {
    for (const HttpHeader& header : headers) {
        if (EqualNoCase(header.name, name)) return header.value;
    }
    return {};
}

void HttpResponse::SetHeader(std::string name, std::string value) {
    for (HttpHeader& header : headers) {
        if (EqualNoCase(header.name, name)) {
            header.value = std::move(value);
            return;
        }
    }
    headers.push_back({std::move(name), std::move(value)});
}

struct HttpServer::Impl {
    Impl(const HttpServerOptions& options, HttpHandler handler_function, int bound_port)
        : limits(options.limits),
          handler(std::move(handler_function)),
          port(bound_port),
          guard({bound_port, options.listen, options.server_names, options.allow_from}) {}

    // --- connections and their deadlines

    void OnConnection(MHD_Connection* mhd, void** context, MHD_ConnectionNotificationCode code) {
        if (code == MHD_CONNECTION_NOTIFY_STARTED) {
            auto connection = std::make_unique<Connection>();
            connection->fd =
                MHD_get_connection_info(mhd, MHD_CONNECTION_INFO_CONNECTION_FD)->connect_fd;
            const sockaddr* client =
                MHD_get_connection_info(mhd, MHD_CONNECTION_INFO_CLIENT_ADDRESS)->client_addr;
            connection->peer = FromSockaddr(client).value_or(IpAddress{});
            connection->peer_text = connection->peer.ToString();
            sockaddr_storage local{};
            socklen_t length = sizeof local;
            if (getsockname(connection->fd, reinterpret_cast<sockaddr*>(&local), &length) == 0)
                connection->local =
                    FromSockaddr(reinterpret_cast<sockaddr*>(&local)).value_or(IpAddress{});
            connection->SetDeadline(Clock::now() + limits.header_timeout);
            {
                std::lock_guard lock(connections_mutex);
                connections.insert(connection.get());
                *context = connection.release();
            }
            watchdog_wake.notify_one();
            return;
        }
        // The library closes the socket only after this, so the watchdog, which shuts
        // sockets down under the same lock, never touches a number reused by another.
        auto* connection = static_cast<Connection*>(*context);
        std::lock_guard lock(connections_mutex);
        connections.erase(connection);
        delete connection;
    }

    void Watch() {
        std::unique_lock lock(connections_mutex);
        while (!stopping) {
            // Without connections there is nothing to watch: a service that sits idle in the
            // desktop program does not wake at all.
            if (connections.empty())
                watchdog_wake.wait(lock, [this] { return stopping || !connections.empty(); });
            else
                watchdog_wake.wait_for(lock, kWatchdogTick);
            const Clock::rep now = Clock::now().time_since_epoch().count();
            for (Connection* connection : connections) {
                if (connection->deadline.load() > now) continue;
                // The connection's thread sees the end of its stream and closes it.
                shutdown(connection->fd, SHUT_RDWR);
                connection->deadline = Clock::time_point::max().time_since_epoch().count();
            }
        }
    }

    // --- requests

    void* OnRequestLine(const char* uri, MHD_Connection* mhd) {
        auto* exchange = new Exchange;
        exchange->connection = static_cast<Connection*>(
            MHD_get_connection_info(mhd, MHD_CONNECTION_INFO_SOCKET_CONTEXT)->socket_context);
        if (uri != nullptr) exchange->request.target = uri;
        return exchange;
    }

    void OnCompleted(void** request_context) {
        auto* exchange = static_cast<Exchange*>(*request_context);
        if (exchange == nullptr) return;
        // The next request's headers, or the wait for one on a kept-alive connection.
        exchange->connection->SetDeadline(Clock::now() + limits.header_timeout);
        delete exchange;
        *request_context = nullptr;
    }

    MHD_Result Access(MHD_Connection* mhd, const char* method, const char* upload_data,
                      std::size_t* upload_size, void** request_context) {
        // The request line's callback makes the exchange; without one there is nothing to go on.
        if (*request_context == nullptr) return MHD_NO;
        auto& exchange = *static_cast<Exchange*>(*request_context);
        if (!exchange.headers_seen) return OnHeaders(mhd, method, exchange);
        if (*upload_size > 0) {
            TakeBody(exchange, upload_data, *upload_size);
            *upload_size = 0;
            return MHD_YES;
        }
        return Answer(mhd, exchange);
    }

    MHD_Result OnHeaders(MHD_Connection* mhd, const char* method, Exchange& exchange) {
        exchange.headers_seen = true;
        const Clock::time_point deadline = Clock::now() + limits.request_timeout;
        exchange.connection->SetDeadline(deadline);
        HttpRequest& request = exchange.request;
        request.deadline = deadline;
        request.method = method;
        request.peer = exchange.connection->peer_text;
        MHD_get_connection_values(
            mhd, MHD_HEADER_KIND,
            [](void* cls, MHD_ValueKind, const char* name, const char* value) {
                static_cast<std::vector<HttpHeader>*>(cls)->push_back(
                    {name, value != nullptr ? value : ""});
                return MHD_YES;
            },
            &request.headers);

        RequestFacts facts;
        facts.peer = exchange.connection->peer;
        facts.local = exchange.connection->local;
        facts.target = request.target;
        for (const HttpHeader& header : request.headers) {
            if (EqualNoCase(header.name, "Host")) {
                ++facts.host_headers;
                facts.host = header.value;
            } else if (EqualNoCase(header.name, "Origin") && !facts.origin) {
                facts.origin = header.value;
            } else if (EqualNoCase(header.name, "Sec-Fetch-Site") && !facts.fetch_site) {
                facts.fetch_site = header.value;
            }
        }
        if (const std::optional<Refusal> refusal = guard.Check(facts))
            return Refuse(mhd, refusal->status, refusal->message);

        // A declared length over the cap is refused before a byte of it is read; a client
        // that asked to be told first ("Expect: 100-continue") then sends none.
        const std::string_view length = request.Header("Content-Length");
        std::uint64_t declared = 0;
        const std::errc error =
            std::from_chars(length.data(), length.data() + length.size(), declared).ec;
        if (!length.empty() && (error == std::errc::result_out_of_range ||
                                (error == std::errc() && declared > limits.max_upload)))
            return Refuse(mhd, 413, UploadTooLarge(limits.max_upload));

        if (StartsWithNoCase(request.Header("Content-Type"), "multipart/form-data")) {
            exchange.form = MHD_create_post_processor(mhd, 64 * 1024, &TakeFormPiece, &exchange);
            if (exchange.form == nullptr)
                return Refuse(mhd, 400, "Bad Request: a multipart/form-data body needs a boundary");
        }
        return MHD_YES;
    }

    void TakeBody(Exchange& exchange, const char* data, std::size_t size) {
        exchange.received += size;
        if (exchange.over_cap) return;
        if (exchange.received > limits.max_upload) {
            // The rest is read and dropped, so that the client gets to read the refusal; the
            // request's deadline bounds how long that may go on.
            exchange.over_cap = true;
            std::string().swap(exchange.request.body);
            std::vector<FormPart>().swap(exchange.request.parts);
            return;
        }
        if (exchange.form == nullptr) {
            exchange.request.body.append(data, size);
        } else if (!exchange.bad_form && MHD_post_process(exchange.form, data, size) != MHD_YES) {
            exchange.bad_form = true;
        }
    }

    static MHD_Result TakeFormPiece(void* cls, MHD_ValueKind, const char* name,
                                    const char* filename, const char* content_type, const char*,
                                    const char* data, std::uint64_t offset, std::size_t size) {
        auto& parts = static_cast<Exchange*>(cls)->request.parts;
        if (offset == 0 || parts.empty()) {
            parts.push_back({name != nullptr ? name : "",
                             filename != nullptr ? filename : "",
                             content_type != nullptr ? content_type : "",
                             {}});
        }
        parts.back().data.append(data, size);
        return MHD_YES;
    }

    MHD_Result Answer(MHD_Connection* mhd, Exchange& exchange) {
        HttpResponse response;
        if (exchange.over_cap) {
            response.status = 413;
            response.body = UploadTooLarge(limits.max_upload) + '\n';
            response.SetHeader("Content-Type", "text/plain; charset=utf-8");
            return Queue(mhd, response);
        }
        if (exchange.form != nullptr) {
            const bool complete = MHD_destroy_post_processor(exchange.form) == MHD_YES;
            exchange.form = nullptr;
            if (exchange.bad_form || !complete)
                return Refuse(mhd, 400, "Bad Request: the multipart/form-data body is malformed");
        }
        try {
            handler(exchange.request, response);
        } catch (const std::exception&) {
            response = HttpResponse();
            response.status = 500;
            response.body = "Internal Server Error\n";
            response.SetHeader("Content-Type", "text/plain; charset=utf-8");
        }
        return Queue(mhd, response);
    }

    const HttpLimits limits;
    const HttpHandler handler;
    const int port;
    const RequestGuard guard;
    MHD_Daemon* daemon = nullptr;

    std::mutex connections_mutex;
    std::unordered_set<Connection*> connections;
    std::condition_variable watchdog_wake;
    bool stopping = false;
    std::thread watchdog;
};

HttpServer::HttpServer(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

HttpServer::~HttpServer() { Stop(); }

std::unique_ptr<HttpServer> HttpServer::Start(const HttpServerOptions& options,
                                              HttpHandler handler) {
    const int fd = ListenSocket(options);
    auto impl = std::make_unique<Impl>(options, std::move(handler), BoundPort(fd));
    Impl* s = impl.get();

    // A thread per connection: a handler may wait seconds for an online answer, and a client
    // that sends slowly holds only its own thread, never one that others wait for.
    const unsigned flags =
        MHD_USE_THREAD_PER_CONNECTION | MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_POLL;
    s->daemon = MHD_start_daemon(
        flags, 0, nullptr, nullptr,
        [](void* cls, MHD_Connection* mhd, const char*, const char* method, const char*,
           const char* upload_data, std::size_t* upload_size, void** request_context) {
            return static_cast<Impl*>(cls)->Access(mhd, method, upload_data, upload_size,
                                                   request_context);
        },
        s, MHD_OPTION_LISTEN_SOCKET, fd, MHD_OPTION_CONNECTION_LIMIT,
        static_cast<unsigned>(options.limits.max_connections), MHD_OPTION_CONNECTION_MEMORY_LIMIT,
        options.limits.max_header_bytes + kConnectionMemoryReserve, MHD_OPTION_STRICT_FOR_CLIENT, 1,
        MHD_OPTION_NOTIFY_CONNECTION,
        +[](void* cls, MHD_Connection* mhd, void** context, MHD_ConnectionNotificationCode code) {
            static_cast<Impl*>(cls)->OnConnection(mhd, context, code);
        },
        s, MHD_OPTION_URI_LOG_CALLBACK,
        +[](void* cls, const char* uri, MHD_Connection* mhd) {
            return static_cast<Impl*>(cls)->OnRequestLine(uri, mhd);
        },
        s, MHD_OPTION_NOTIFY_COMPLETED,
        +[](void* cls, MHD_Connection*, void** request_context, MHD_RequestTerminationCode) {
            static_cast<Impl*>(cls)->OnCompleted(request_context);
        },
        s, MHD_OPTION_END);
    if (s->daemon == nullptr) {
        close(fd);
        throw HttpServerError("cannot start the HTTP server on " + options.listen);
    }
    s->watchdog = std::thread([s] { s->Watch(); });
    return std::unique_ptr<HttpServer>(new HttpServer(std::move(impl)));
}

int HttpServer::Port() const { return impl_->port; }

void HttpServer::Stop() {
    if (!impl_ || impl_->daemon == nullptr) return;
    MHD_stop_daemon(impl_->daemon);
    impl_->daemon = nullptr;
    {
        std::lock_guard lock(impl_->connections_mutex);
        impl_->stopping = true;
    }
    impl_->watchdog_wake.notify_all();
    impl_->watchdog.join();
}

}  // namespace numtrail::service
