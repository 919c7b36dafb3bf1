#include "bulk/attributor.h"

#include <gtest/gtest.h>

#include <map>

namespace numtrail::bulk {
namespace {

// What will answer prefixes that the local data does not place (an upstream service) is
// asked once per prefix, only for those, and its places win.
TEST(AttributorTest, UpstreamIsAskedOncePerPrefixTheLocalDataDoesNotPlace) {
    std::map<std::uint32_t, int> asked;
    Attributor attributor({}, [&asked](std::uint32_t prefix) -> std::optional<service::Record> {
        ++asked[prefix];
        if (prefix == 1991234) return service::Record{"上游省", "上游市", "", "", "中国电信"};
        return std::nullopt;
    });
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(attributor.RecordOf(attributor.Find("13800138000")).city, "北京");
        const AnswerId upstream = attributor.Find("19912345678");
        EXPECT_EQ(attributor.StatusOf(upstream), Status::Ok);
        EXPECT_EQ(attributor.RecordOf(upstream).city, "上游市");
        const AnswerId unknown = attributor.Find("19900000000");
        EXPECT_EQ(attributor.StatusOf(unknown), Status::UnknownPlace);
        EXPECT_EQ(attributor.StatusOf(attributor.Find("15400000000")), Status::Unassigned);
    }
    EXPECT_EQ(asked, (std::map<std::uint32_t, int>{{1540000, 1}, {1990000, 1}, {1991234, 1}}));
}

}  // namespace
}  // namespace numtrail::bulk
