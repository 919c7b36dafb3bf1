#include "bulk/attributor.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace numtrail::bulk {
namespace {

// What answers numbers that the local data does not place (an online service) is asked once
// per prefix, only for those, and its places win.
TEST(AttributorTest, UpstreamIsAskedOncePerPrefixTheLocalDataDoesNotPlace) {
    std::map<std::string, int> asked;
    Attributor attributor(
        {}, [&asked](std::string_view number) -> std::optional<attribution::Record> {
            ++asked[std::string(number)];
            if (number.starts_with("1991234"))
                return attribution::Record{"上游省", "上游市", "", "", "中国电信"};
            return std::nullopt;
        });
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(attributor.RecordOf(attributor.Find("13800138000")).city, "北京");
        const AnswerId upstream = attributor.Find(round == 0 ? "19912345678" : "19912340000");
        EXPECT_EQ(attributor.StatusOf(upstream), Status::Ok);
        EXPECT_EQ(attributor.RecordOf(upstream).city, "上游市");
        const AnswerId unknown = attributor.Find("19900000000");
        EXPECT_EQ(attributor.StatusOf(unknown), Status::UnknownPlace);
        EXPECT_EQ(attributor.StatusOf(attributor.Find("15400000000")), Status::Unassigned);
    }
    // Asked with the first number of each prefix, never again.
    EXPECT_EQ(asked, (std::map<std::string, int>{
                         {"15400000000", 1}, {"19900000000", 1}, {"19912345678", 1}}));
}

}  // namespace
}  // namespace numtrail::bulk
