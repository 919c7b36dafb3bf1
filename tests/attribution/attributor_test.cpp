#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include "attribution/data_file_builder.h"
#include "attribution/local_attributor.h"
#include "attribution/online_attributor.h"

namespace numtrail::attribution {
namespace {

DataFile OneEntry(std::uint32_t prefix) {
    testing::DataFileBuilder b;
    b.records = {"文件|文件市|000000|0000"};
    b.entries = {{prefix, 0, 2}};
    return ParseDataFile(b.Build()).file;
}

const Record* Find(Attributor& source, std::string_view number) {
    return source.Attribute(MobileNumber(number)).record;
}

TEST(PrefixOf, AcceptsOnlyElevenDigits) {
    EXPECT_EQ(PrefixOf("13812345678"), 1381234u);
    EXPECT_EQ(PrefixOf("00000000000"), 0u);
    EXPECT_FALSE(PrefixOf("1381234567"));
    EXPECT_FALSE(PrefixOf("138123456789"));
    EXPECT_FALSE(PrefixOf("1381234567/"));
    EXPECT_FALSE(PrefixOf("1381234567:"));
    EXPECT_FALSE(PrefixOf("１3812345678"));
}

// Every byte value at every position: only '0' to '9' pass, and the prefix is the first seven.
TEST(PrefixOf, RejectsEveryNonDigitAtEveryPosition) {
    for (std::size_t pos = 0; pos < 11; ++pos) {
        for (int b = 0; b < 256; ++b) {
            std::string number = "13812345678";
            number[pos] = static_cast<char>(b);
            const auto prefix = PrefixOf(number);
            if (b >= '0' && b <= '9') {
                ASSERT_TRUE(prefix) << pos << ' ' << b;
                EXPECT_EQ(*prefix, std::stoul(number.substr(0, 7))) << pos << ' ' << b;
            } else {
                EXPECT_FALSE(prefix) << pos << ' ' << b;
            }
        }
    }
    EXPECT_EQ(PrefixOf("99999999999"), 9999999u);
    EXPECT_EQ(PrefixOf("10203040506"), 1020304u);
}

TEST(LocalAttributor, EdgesOfTheRange) {
    testing::DataFileBuilder b;
    b.records = {"a|b|c|d"};
    b.entries = {{1300000, 0, 1}, {1999999, 0, 1}};
    LocalAttributor table(ParseDataFile(b.Build()).file, false);
    EXPECT_NE(Find(table, "13000000000"), nullptr);
    EXPECT_NE(Find(table, "19999999999"), nullptr);
    EXPECT_EQ(Find(table, "13000010000"), nullptr);
    EXPECT_EQ(Find(table, "12999999999"), nullptr);
    EXPECT_EQ(Find(table, "20000000000"), nullptr);
    EXPECT_EQ(Find(table, "99999999999"), nullptr);
}

// The data file wins for its prefixes; the built-in table answers the rest, one record shared
// by every prefix with the same answer; an unallocated segment has none; a text that is no
// number, a landline and a service number are answered without a record.
TEST(LocalAttributor, DataFileWinsAndTheBuiltInTableAnswersTheRest) {
    LocalAttributor table(OneEntry(1380000));
    EXPECT_EQ(Find(table, "13800001111")->province, "文件");
    EXPECT_EQ(table.Attribute(MobileNumber("13800001111")).status, Status::Ok);

    const Record* first = Find(table, "13800101111");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->province, "北京");
    EXPECT_EQ(Find(table, "13800102222"), first);
    EXPECT_EQ(Find(table, "13800111111"), first);

    EXPECT_EQ(table.Attribute(MobileNumber("16612345678")).status, Status::UnknownPlace);
    EXPECT_EQ(Find(table, "16612345678")->province, kUnknownPlace);
    const Answer none = table.Attribute(MobileNumber("15400001111"));
    EXPECT_EQ(none.record, nullptr);
    EXPECT_EQ(none.status, Status::Unassigned);
    EXPECT_EQ(table.Attribute(MobileNumber("2380010111")).status, Status::BadFormat);
    Number landline;
    landline.kind = NumberKind::Landline;
    EXPECT_EQ(table.Attribute(landline).status, Status::Unassigned);
}

// Values the service could not send whole are cleaned once, for every consumer.
TEST(LocalAttributor, DataFileValuesAreSanitisedAndFilledFromTheCityTable) {
    testing::DataFileBuilder b;
    b.records = {"江\"苏|常州\n||"};
    b.entries = {{1390519, 0, 1}};
    LocalAttributor table(ParseDataFile(b.Build()).file);
    const Record* record = Find(table, "13905191234");
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(*record, (Record{"江苏", "常州", "213000", "0519", "中国移动"}));
}

// An online side that throws is no answer: the local one stands.
Number Dialled(std::string_view digits, NumberKind kind, std::size_t area_code_size = 0) {
    Number number;
    std::copy(digits.begin(), digits.end(), number.digits.begin());
    number.size = static_cast<std::uint8_t>(digits.size());
    number.area_code_size = static_cast<std::uint8_t>(area_code_size);
    number.kind = kind;
    return number;
}

// Landlines by their area code, shared codes by the one city the table names for them, and
// 400/800 numbers nationwide; the data file changes none of it.
TEST(LocalAttributor, LandlinesAndServiceNumbers) {
    struct Case {
        Number number;
        std::vector<std::string> fields;  // province, city, area code, postcode, card type
    };
    const Case cases[] = {
        {Dialled("01062345678", NumberKind::Landline, 3),
         {"北京", "北京", "010", "100000", "固定电话"}},
        {Dialled("075586001234", NumberKind::Landline, 4),
         {"广东", "深圳", "0755", "518000", "固定电话"}},
        {Dialled("02012345678", NumberKind::Landline, 3),
         {"广东", "广州", "020", "510000", "固定电话"}},
        {Dialled("08981234567", NumberKind::Landline, 4), {"海南", "海南", "0898", "", "固定电话"}},
        {Dialled("06341234567", NumberKind::Landline, 4),
         {"山东", "济南", "0634", "250000", "固定电话"}},
        {Dialled("4008001234", NumberKind::Service), {"全国", "", "", "", "400电话"}},
        {Dialled("8008101234", NumberKind::Service), {"全国", "", "", "", "800电话"}},
    };
    LocalAttributor local(OneEntry(1380013));
    for (const Case& c : cases) {
        const Record row = RowOf(c.number, local.Attribute(c.number));
        EXPECT_EQ(row.status, Status::Ok) << c.number.Digits();
        EXPECT_EQ(row.kind, c.number.kind);
        EXPECT_EQ(row.number, c.number.Digits());
        EXPECT_EQ((std::vector<std::string>{row.province, row.city, row.area_code, row.postcode,
                                            row.card_type}),
                  c.fields)
            << c.number.Digits();
    }
    // A code the table lacks, and without the built-in data none at all.
    EXPECT_EQ(local.Attribute(Dialled("03001234567", NumberKind::Landline, 4)).status,
              Status::Unassigned);
    LocalAttributor file_only(OneEntry(1380013), false);
    EXPECT_EQ(file_only.Attribute(cases[0].number).status, Status::Unassigned);
    EXPECT_EQ(file_only.Attribute(cases[5].number).status, Status::Unassigned);
}

TEST(OnlineAttributor, ThrowingResolverMeansTheLocalAnswer) {
    LocalAttributor local(OneEntry(1380000), false);
    OnlineAttributor online(
        local, [](std::string_view) -> UpstreamAnswer { throw std::runtime_error("x"); });
    EXPECT_EQ(Find(online, "13900001111"), nullptr);
    EXPECT_EQ(Find(online, "13800001111")->province, "文件");
}

// Local places win without asking; an online place wins over 未知 and none; a refusal comes
// back marked with the local answer; nothing else is asked online.
TEST(OnlineAttributor, AsksOnlineOnlyForWhatLocalDataDoesNotPlace) {
    LocalAttributor local;
    std::vector<std::string> asked;
    OnlineAttributor online(local, [&asked](std::string_view number) {
        asked.emplace_back(number);
        if (number == "16600000000") return UpstreamAnswer{UpstreamAnswer::Kind::Refused, {}};
        if (number == "15400000000") return UpstreamAnswer{UpstreamAnswer::Kind::Failed, {}};
        return UpstreamAnswer{UpstreamAnswer::Kind::Placed,
                              std::make_shared<Record>(Record{"上游", "上游市", "", "", "x"})};
    });
    EXPECT_EQ(Find(online, "13800138000")->province, "北京");
    const Answer placed = online.Attribute(MobileNumber("16612345678"));
    EXPECT_EQ(placed.status, Status::Ok);
    EXPECT_EQ(placed.record->city, "上游市");
    const Answer refused = online.Attribute(MobileNumber("16600000000"));
    EXPECT_TRUE(refused.refused);
    EXPECT_EQ(refused.record->province, kUnknownPlace);
    const Answer failed = online.Attribute(MobileNumber("15400000000"));
    EXPECT_FALSE(failed.refused);
    EXPECT_EQ(failed.record, nullptr);
    EXPECT_EQ(online.Attribute(MobileNumber("12345")).status, Status::BadFormat);
    EXPECT_EQ(asked, (std::vector<std::string>{"16612345678", "16600000000", "15400000000"}));
}

TEST(OnlineAttributor, ConcurrentLookupsAgreeOnOneRecord) {
    LocalAttributor local({}, false);
    OnlineAttributor online(local, [](std::string_view number) {
        std::this_thread::yield();
        const std::uint32_t prefix = *PrefixOf(number);
        return UpstreamAnswer{
            UpstreamAnswer::Kind::Placed,
            std::make_shared<Record>(Record{"省" + std::to_string(prefix % 7), "", "", "", ""})};
    });
    std::vector<std::thread> threads;
    std::vector<std::vector<const Record*>> seen(4);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (std::uint32_t p = 1500000; p < 1502000; ++p)
                seen[t].push_back(Find(online, std::to_string(p) + "0000"));
        });
    }
    for (auto& thread : threads) thread.join();
    for (int t = 1; t < 4; ++t) EXPECT_EQ(seen[t], seen[0]);
    EXPECT_EQ(std::set<const Record*>(seen[0].begin(), seen[0].end()).size(), 7u);
}

}  // namespace
}  // namespace numtrail::attribution
