#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sockaddr;

namespace numtrail::service {

// An IPv4 or IPv6 address. An IPv4-mapped IPv6 address (::ffff:a.b.c.d, as a dual-stack
// socket reports an IPv4 peer) is held as the IPv4 address, so that one rule covers both.
struct IpAddress {
    bool v6 = false;
    std::array<std::uint8_t, 16> bytes{};  // IPv4 in the first 4

    bool operator==(const IpAddress&) const = default;
    bool IsLoopback() const;  // 127.0.0.0/8 or ::1
    bool IsWildcard() const;  // 0.0.0.0 or ::
    std::string ToString() const;
};

// "192.168.1.20", "::1", "fe80::1" (without brackets or zone); nullopt for anything else.
std::optional<IpAddress> ParseIpAddress(std::string_view text);
// The address of an AF_INET or AF_INET6 socket address; nullopt for other families.
std::optional<IpAddress> FromSockaddr(const sockaddr* address);

// A network: "192.168.1.0/24", "fd00::/8", or one address ("10.0.0.7" is 10.0.0.7/32).
struct Cidr {
    IpAddress network;
    int prefix_bits = 0;

    bool Contains(const IpAddress& address) const;
};

// nullopt when `text` is not a network in that notation or has host bits set past the prefix
// ("192.168.1.5/24" is refused: it is more likely a typing slip than a wish for the /24).
std::optional<Cidr> ParseCidr(std::string_view text);

// What a browser, or a page it shows, gets to say about a request. Values are as sent; a
// header that was not sent is nullopt.
struct RequestFacts {
    IpAddress peer;   // who connected
    IpAddress local;  // the address the connection came in on
    std::string_view target;
    int host_headers = 0;  // how many Host headers there were
    std::string_view host;
    std::optional<std::string_view> origin;
    std::optional<std::string_view> fetch_site;  // Sec-Fetch-Site
};

struct Refusal {
    int status;
    std::string message;
};

// Decides, before any route sees a request, whether this service answers it at all:
// - only peers in the allowed networks (loopback alone when none are given);
// - only requests for the service itself: a Host naming this machine's loopback, the address
//   the connection came in on, the --listen address or a server name, on the service's port.
//   A page on another site that gets its own name to resolve to this machine (DNS rebinding)
//   is refused by that name;
// - no request that a browser marks as made by another site or origin, so that a page
//   elsewhere cannot read answers through the callback or spend the online service's quota.
class RequestGuard {
  public:
    struct Rules {
        int port = 0;
        std::string listen;                     // the --listen text, as given
        std::vector<std::string> server_names;  // names the service is reached by
        std::vector<Cidr> allow_from;           // empty: loopback only
    };

    explicit RequestGuard(Rules rules);

    std::optional<Refusal> Check(const RequestFacts& request) const;

  private:
    bool PeerAllowed(const IpAddress& peer) const;
    bool HostAllowed(std::string_view host, std::optional<int> port, const IpAddress& local) const;

    Rules rules_;
};

// Equal but for the case of ASCII letters, as header names and host names compare.
bool EqualNoCase(std::string_view a, std::string_view b);

// The host and port of a Host header value: "name:8360", "127.0.0.1", "[::1]:8360" (the host
// without brackets). nullopt when the value is not of that form.
struct HostAndPort {
    std::string_view host;
    std::optional<int> port;
};
std::optional<HostAndPort> SplitHost(std::string_view value);

}  // namespace numtrail::service
