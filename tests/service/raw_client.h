#pragma once

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace numtrail::test {

// A client that sends exactly the bytes it is given, as slowly as the test likes, from the
// loopback address it is given.
class RawClient {
    using Clock = std::chrono::steady_clock;
    using Milliseconds = std::chrono::milliseconds;

  public:
    explicit RawClient(int port, const char* from = nullptr) {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (from != nullptr) {
            sockaddr_in source{};
            source.sin_family = AF_INET;
            inet_pton(AF_INET, from, &source.sin_addr);
            EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr*>(&source), sizeof source), 0);
        }
        sockaddr_in server{};
        server.sin_family = AF_INET;
        server.sin_port = htons(static_cast<std::uint16_t>(port));
        inet_pton(AF_INET, "127.0.0.1", &server.sin_addr);
        EXPECT_EQ(connect(fd_, reinterpret_cast<sockaddr*>(&server), sizeof server), 0)
            << std::strerror(errno);
    }
    RawClient(const RawClient&) = delete;
    ~RawClient() { close(fd_); }

    // False once the server has closed the connection.
    bool Send(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t n = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (n <= 0) return false;
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
        return true;
    }

    // Reads until `until` has arrived, the server closes, or `limit` has passed.
    std::string Read(std::string_view until, Milliseconds limit = Milliseconds(5000)) {
        const auto end = Clock::now() + limit;
        while (received_.find(until) == std::string::npos && !closed_) {
            const auto left = std::chrono::duration_cast<Milliseconds>(end - Clock::now());
            pollfd p{fd_, POLLIN, 0};
            if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
            char buffer[16384];
            const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
            if (n <= 0) {
                closed_ = true;
                break;
            }
            received_.append(buffer, static_cast<std::size_t>(n));
        }
        return received_;
    }
    // Everything the server sends until it closes the connection.
    std::string ReadAll(Milliseconds limit = Milliseconds(5000)) {
        Read(std::string_view("\0never\0", 7), limit);
        return received_;
    }
    bool Closed() const { return closed_; }

  private:
    int fd_ = -1;
    bool closed_ = false;
    std::string received_;
};

inline int Status(const std::string& response) {
    return response.rfind("HTTP/1.1 ", 0) == 0 ? std::atoi(response.c_str() + 9) : 0;
}

inline std::string Body(const std::string& response) {
    const std::size_t end = response.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : response.substr(end + 4);
}

}  // namespace numtrail::test
