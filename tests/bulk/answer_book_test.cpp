#include "bulk/answer_book.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "attribution/online_attributor.h"

namespace numtrail::bulk {
namespace {

using attribution::LocalAttributor;
using attribution::UpstreamAnswer;

// What answers numbers that the local data does not place (an online service) is asked once
// per prefix, only for those, and its places win.
TEST(AnswerBookTest, UpstreamIsAskedOncePerPrefixTheLocalDataDoesNotPlace) {
    std::map<std::string, int> asked;
    const LocalAttributor local;
    attribution::OnlineAttributor online(local, [&asked](std::string_view number) {
        ++asked[std::string(number)];
        if (number.starts_with("1991234"))
            return UpstreamAnswer{UpstreamAnswer::Kind::Placed,
                                  std::make_shared<attribution::Record>(
                                      attribution::Record{"上游省", "上游市", "", "", "中国电信"})};
        return UpstreamAnswer{UpstreamAnswer::Kind::NotPlaced, {}};
    });
    AnswerBook answers(local, &online);
    const auto find = [&answers](std::string_view number) {
        return answers.AnswerAt(LocalAttributor::SlotOf(number), number);
    };
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(answers.RecordOf(find("13800138000")).city, "北京");
        const AnswerId upstream = find(round == 0 ? "19912345678" : "19912340000");
        EXPECT_EQ(answers.StatusOf(upstream), Status::Ok);
        EXPECT_EQ(answers.RecordOf(upstream).city, "上游市");
        const AnswerId unknown = find("19900000000");
        EXPECT_EQ(answers.StatusOf(unknown), Status::UnknownPlace);
        EXPECT_EQ(answers.StatusOf(find("15400000000")), Status::Unassigned);
    }
    // Asked with the first number of each prefix, never again.
    EXPECT_EQ(asked, (std::map<std::string, int>{
                         {"15400000000", 1}, {"19900000000", 1}, {"19912345678", 1}}));
}

}  // namespace
}  // namespace numtrail::bulk
