#include "service/request_guard.h"

#include <gtest/gtest.h>

namespace numtrail::service {
namespace {

IpAddress Ip(const char* text) {
    const auto address = ParseIpAddress(text);
    EXPECT_TRUE(address) << text;
    return address.value_or(IpAddress{});
}

TEST(Cidr, NetworksAndTheirMembers) {
    struct Case {
        const char* network;
        std::vector<const char*> inside;
        std::vector<const char*> outside;
    };
    const Case cases[] = {
        {"192.168.1.0/24", {"192.168.1.0", "192.168.1.255"}, {"192.168.2.1", "192.168.0.255"}},
        {"10.0.0.7", {"10.0.0.7"}, {"10.0.0.6", "10.0.0.8"}},
        {"172.16.0.0/12", {"172.31.255.255"}, {"172.32.0.0", "172.15.255.255"}},
        {"0.0.0.0/0", {"8.8.8.8", "127.0.0.1"}, {"::1"}},
        {"fd00::/8", {"fd12:3456::1"}, {"fe80::1", "10.0.0.1"}},
        {"::1", {"::1", "0:0:0:0:0:0:0:1"}, {"::2", "127.0.0.1"}},
        // A dual-stack socket's IPv4 peers are IPv4 addresses, whichever way the rule is written.
        {"::ffff:10.0.0.0/104", {"10.9.9.9", "::ffff:10.1.2.3"}, {"11.0.0.1"}},
        {"10.0.0.0/8", {"::ffff:10.1.2.3"}, {"::a01:203"}},
    };
    for (const Case& c : cases) {
        const std::optional<Cidr> cidr = ParseCidr(c.network);
        ASSERT_TRUE(cidr) << c.network;
        for (const char* address : c.inside) EXPECT_TRUE(cidr->Contains(Ip(address))) << address;
        for (const char* address : c.outside)
            EXPECT_FALSE(cidr->Contains(Ip(address))) << c.network << " " << address;
    }
    for (const char* bad : {"192.168.1.5/24", "10.0.0.0/33", "fd00::/129", "10.0.0.0/",
                            "10.0.0.0/-1", "10.0.0.0/8x", "10.0.0.0/08 ", "1.2.3/8", "127.1",
                            "0x7f.0.0.1", "localhost", "", "/8", "::ffff:10.0.0.0/95"})
        EXPECT_FALSE(ParseCidr(bad)) << bad;
}

TEST(SplitHost, HostsPortsAndWhatIsNeither) {
    struct Case {
        const char* value;
        const char* host;
        std::optional<int> port;
    };
    for (const Case& c : std::vector<Case>{{"localhost:8360", "localhost", 8360},
                                           {"numtrail.example", "numtrail.example", std::nullopt},
                                           {"[::1]:80", "::1", 80},
                                           {"[fe80::1]", "fe80::1", std::nullopt},
                                           {"10.0.0.1:65535", "10.0.0.1", 65535}}) {
        const auto split = SplitHost(c.value);
        ASSERT_TRUE(split) << c.value;
        EXPECT_EQ(split->host, c.host);
        EXPECT_EQ(split->port, c.port) << c.value;
    }
    for (const char* bad : {"", ":8360", "::1", "::1:8360", "[::1", "[]:80", "[evil.example]:80",
                            "host:", "host:65536", "host:80:80", "host:+80", "a b", "a/b:80",
                            "user@host:80", "[::1]x"})
        EXPECT_FALSE(SplitHost(bad)) << bad;
}

}  // namespace
}  // namespace numtrail::service
