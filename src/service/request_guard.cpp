#include "service/request_guard.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <charconv>
#include <cstring>

namespace numtrail::service {

namespace {

constexpr std::array<std::uint8_t, 12> kMappedPrefix = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};

IpAddress FromV6Bytes(const std::uint8_t* bytes) {
    IpAddress address;
    if (std::equal(kMappedPrefix.begin(), kMappedPrefix.end(), bytes)) {
        std::copy_n(bytes + 12, 4, address.bytes.begin());
        return address;
    }
    address.v6 = true;
    std::copy_n(bytes, 16, address.bytes.begin());
    return address;
}

std::optional<int> ParseDecimal(std::string_view text, int max) {
    int value = 0;
    if (text.empty() || text.size() > 5 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    std::from_chars(text.data(), text.data() + text.size(), value);
    if (value > max) return std::nullopt;
    return value;
}

// An Origin of the page that made the request is "scheme://authority"; the service's own
// pages have the authority their Host header names. Behind a proxy that ends TLS, the scheme
// the browser saw is https.
bool SameOrigin(std::string_view origin, std::string_view host) {
    for (std::string_view scheme : {"http://", "https://"}) {
        if (origin.size() > scheme.size() && EqualNoCase(origin.substr(0, scheme.size()), scheme))
            return EqualNoCase(origin.substr(scheme.size()), host);
    }
    return false;
}

}  // namespace

bool EqualNoCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 'a' - 'A') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

bool IpAddress::IsLoopback() const {
    if (!v6) return bytes[0] == 127;
    static constexpr std::array<std::uint8_t, 16> kLoopback = {0, 0, 0, 0, 0, 0, 0, 0,
                                                               0, 0, 0, 0, 0, 0, 0, 1};
    return bytes == kLoopback;
}

bool IpAddress::IsWildcard() const { return bytes == std::array<std::uint8_t, 16>{}; }

std::string IpAddress::ToString() const {
    char text[INET6_ADDRSTRLEN] = {};
    inet_ntop(v6 ? AF_INET6 : AF_INET, bytes.data(), text, sizeof text);
    return text;
}

std::optional<IpAddress> ParseIpAddress(std::string_view text) {
    // inet_pton needs a terminated string, and takes only the dotted quad for IPv4 (never
    // inet_aton's "127.1" or "0x7f.0.0.1").
    char buffer[INET6_ADDRSTRLEN] = {};
    if (text.empty() || text.size() >= sizeof buffer) return std::nullopt;
    std::memcpy(buffer, text.data(), text.size());
    IpAddress address;
    if (inet_pton(AF_INET, buffer, address.bytes.data()) == 1) return address;
    std::uint8_t v6[16];
    if (inet_pton(AF_INET6, buffer, v6) == 1) return FromV6Bytes(v6);
    return std::nullopt;
}

std::optional<IpAddress> FromSockaddr(const sockaddr* address) {
    if (address == nullptr) return std::nullopt;
    if (address->sa_family == AF_INET) {
        IpAddress result;
        const auto* in = reinterpret_cast<const sockaddr_in*>(address);
        std::memcpy(result.bytes.data(), &in->sin_addr, 4);
        return result;
    }
    if (address->sa_family == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(address);
        return FromV6Bytes(in6->sin6_addr.s6_addr);
    }
    return std::nullopt;
}

bool Cidr::Contains(const IpAddress& address) const {
    if (address.v6 != network.v6) return false;
    const int whole = prefix_bits / 8, rest = prefix_bits % 8;
    if (!std::equal(network.bytes.begin(), network.bytes.begin() + whole, address.bytes.begin()))
        return false;
    if (rest == 0) return true;
    const auto mask = static_cast<std::uint8_t>(0xff << (8 - rest));
    return (network.bytes[whole] & mask) == (address.bytes[whole] & mask);
}

std::optional<Cidr> ParseCidr(std::string_view text) {
    const std::size_t slash = text.find('/');
    const std::string_view address_text = text.substr(0, slash);
    const bool written_as_v6 = address_text.find(':') != std::string_view::npos;
    const std::optional<IpAddress> address = ParseIpAddress(address_text);
    if (!address) return std::nullopt;
    const int max_bits = address->v6 ? 128 : 32;
    Cidr cidr{*address, max_bits};
    if (slash != std::string_view::npos) {
        // "::ffff:10.0.0.0/104" names IPv4 peers of a dual-stack socket: 104 - 96 = /8.
        const std::optional<int> bits =
            ParseDecimal(text.substr(slash + 1), written_as_v6 ? 128 : 32);
        if (!bits) return std::nullopt;
        cidr.prefix_bits = written_as_v6 && !address->v6 ? *bits - 96 : *bits;
        if (cidr.prefix_bits < 0) return std::nullopt;
    }
    // Host bits set past the prefix.
    for (int bit = cidr.prefix_bits; bit < max_bits; ++bit) {
        if (cidr.network.bytes[bit / 8] & (0x80 >> (bit % 8))) return std::nullopt;
    }
    return cidr;
}

std::optional<HostAndPort> SplitHost(std::string_view value) {
    HostAndPort result;
    std::string_view rest;
    if (!value.empty() && value.front() == '[') {
        const std::size_t close = value.find(']');
        if (close == std::string_view::npos || close == 1) return std::nullopt;
        result.host = value.substr(1, close - 1);
        rest = value.substr(close + 1);
        if (!ParseIpAddress(result.host)) return std::nullopt;
    } else {
        const std::size_t colon = value.find(':');
        result.host = value.substr(0, colon);
        rest = colon == std::string_view::npos ? std::string_view() : value.substr(colon);
        if (result.host.empty()) return std::nullopt;
        // A name or an IPv4 address: letters, digits, '-', '.' and '_' (some internal names
        // have it); anything else, a second colon included, is no host.
        const bool plain = std::all_of(result.host.begin(), result.host.end(), [](char c) {
            return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                   c == '-' || c == '.' || c == '_';
        });
        if (!plain) return std::nullopt;
    }
    if (!rest.empty()) {
        if (rest.front() != ':') return std::nullopt;
        result.port = ParseDecimal(rest.substr(1), 65535);
        if (!result.port) return std::nullopt;
    }
    return result;
}

RequestGuard::RequestGuard(Rules rules) : rules_(std::move(rules)) {
    if (rules_.allow_from.empty()) {
        rules_.allow_from.push_back(*ParseCidr("127.0.0.0/8"));
        rules_.allow_from.push_back(*ParseCidr("::1/128"));
    }
}

bool RequestGuard::PeerAllowed(const IpAddress& peer) const {
    return std::any_of(rules_.allow_from.begin(), rules_.allow_from.end(),
                       [&](const Cidr& cidr) { return cidr.Contains(peer); });
}

bool RequestGuard::HostAllowed(std::string_view host, std::optional<int> port,
                               const IpAddress& local) const {
    // A name the service was given is the operator's: it may sit behind a proxy on any port.
    for (const std::string& name : rules_.server_names) {
        if (EqualNoCase(host, name)) return true;
    }
    // A browser leaves out only the default port.
    if (port ? *port != rules_.port : rules_.port != 80) return false;
    if (EqualNoCase(host, "localhost") || EqualNoCase(host, rules_.listen)) return true;
    // An address cannot be rebound: only a name resolves to whatever its owner likes.
    const std::optional<IpAddress> address = ParseIpAddress(host);
    if (!address) return false;
    return *address == local || *address == *ParseIpAddress("127.0.0.1") ||
           *address == *ParseIpAddress("::1");
}

std::optional<Refusal> RequestGuard::Check(const RequestFacts& request) const {
    if (!PeerAllowed(request.peer))
        return Refusal{403, "Forbidden: this service does not answer requests from " +
                                request.peer.ToString()};
    if (request.host_headers != 1)
        return Refusal{400, "Bad Request: a request needs exactly one Host header"};
    // The absolute form ("GET http://other/ HTTP/1.1") would name a host of its own.
    if (request.target.empty() || request.target.front() != '/')
        return Refusal{400, "Bad Request: the request target must be a path"};
    const std::optional<HostAndPort> host = SplitHost(request.host);
    if (!host) return Refusal{400, "Bad Request: the Host header is not a host and port"};
    if (!HostAllowed(host->host, host->port, request.local))
        return Refusal{403,
                       "Forbidden: this service answers only requests for its own address (start "
                       "it with --server-name NAME to answer requests for NAME)"};
    const bool cross_site = request.fetch_site && (EqualNoCase(*request.fetch_site, "cross-site") ||
                                                   EqualNoCase(*request.fetch_site, "same-site"));
    if (cross_site || (request.origin && !SameOrigin(*request.origin, request.host)))
        return Refusal{403, "Forbidden: requests made by pages of other sites are refused"};
    return std::nullopt;
}

}  // namespace numtrail::service
