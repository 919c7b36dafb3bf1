#include "attribution/prefix_table.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include "attribution/data_file_builder.h"

namespace numtrail::attribution {
namespace {

DataFile OneEntry(std::uint32_t prefix) {
    testing::DataFileBuilder b;
    b.records = {"文件|文件市|000000|0000"};
    b.entries = {{prefix, 0, 2}};
    return ParseDataFile(b.Build()).file;
}

TEST(PrefixTable, PrefixOfAcceptsOnlyElevenDigits) {
    EXPECT_EQ(PrefixTable::PrefixOf("13812345678"), 1381234u);
    EXPECT_EQ(PrefixTable::PrefixOf("00000000000"), 0u);
    EXPECT_FALSE(PrefixTable::PrefixOf("1381234567"));
    EXPECT_FALSE(PrefixTable::PrefixOf("138123456789"));
    EXPECT_FALSE(PrefixTable::PrefixOf("1381234567/"));
    EXPECT_FALSE(PrefixTable::PrefixOf("1381234567:"));
    EXPECT_FALSE(PrefixTable::PrefixOf("１3812345678"));
}

TEST(PrefixTable, EdgesOfTheRange) {
    testing::DataFileBuilder b;
    b.records = {"a|b|c|d"};
    b.entries = {{1300000, 0, 1}, {1999999, 0, 1}};
    PrefixTable table(ParseDataFile(b.Build()).file);
    EXPECT_NE(table.Find("13000000000"), nullptr);
    EXPECT_NE(table.Find("19999999999"), nullptr);
    EXPECT_EQ(table.Find("13000010000"), nullptr);
    EXPECT_EQ(table.Find("12999999999"), nullptr);
    EXPECT_EQ(table.Find("20000000000"), nullptr);
    EXPECT_EQ(table.Find("99999999999"), nullptr);
}

TEST(PrefixTable, DataFileWinsAndResolverAnswersAreCachedPerPrefix) {
    std::atomic<int> calls{0};
    PrefixTable table(OneEntry(1380000), [&](std::uint32_t prefix) -> std::optional<Record> {
        ++calls;
        if (prefix == 1400000) return std::nullopt;
        return Record{"内置", "内置市", "", "", "中国移动"};
    });
    EXPECT_EQ(table.Find("13800001111")->province, "文件");
    EXPECT_EQ(calls, 0);

    const Record* first = table.Find("13900001111");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->province, "内置");
    EXPECT_EQ(table.Find("13900002222"), first);
    EXPECT_EQ(calls, 1);

    // A second prefix with the same answer shares the record; "none" is cached too.
    EXPECT_EQ(table.Find("13900011111"), first);
    EXPECT_EQ(table.Find("14000001111"), nullptr);
    EXPECT_EQ(table.Find("14000002222"), nullptr);
    EXPECT_EQ(calls, 3);
}

TEST(PrefixTable, ThrowingResolverMeansNoAttribution) {
    PrefixTable table(
        {}, [](std::uint32_t) -> std::optional<Record> { throw std::runtime_error("x"); });
    EXPECT_EQ(table.Find("13900001111"), nullptr);
}

TEST(PrefixTable, ConcurrentFirstLookupsAgreeOnOneRecord) {
    PrefixTable table({}, [](std::uint32_t prefix) -> std::optional<Record> {
        std::this_thread::yield();
        return Record{"省" + std::to_string(prefix % 7), "", "", "", ""};
    });
    std::vector<std::thread> threads;
    std::vector<std::vector<const Record*>> seen(4);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (std::uint32_t p = 1500000; p < 1502000; ++p)
                seen[t].push_back(table.FindPrefix(p));
        });
    }
    for (auto& thread : threads) thread.join();
    for (int t = 1; t < 4; ++t) EXPECT_EQ(seen[t], seen[0]);
    EXPECT_EQ(std::set<const Record*>(seen[0].begin(), seen[0].end()).size(), 7u);
}

}  // namespace
}  // namespace numtrail::attribution

namespace numtrail::attribution {
namespace {

// Every byte value at every position: only '0' to '9' pass, and the prefix is the first seven.
TEST(PrefixTable, PrefixOfRejectsEveryNonDigitAtEveryPosition) {
    for (std::size_t pos = 0; pos < 11; ++pos) {
        for (int b = 0; b < 256; ++b) {
            std::string number = "13812345678";
            number[pos] = static_cast<char>(b);
            const auto prefix = PrefixTable::PrefixOf(number);
            if (b >= '0' && b <= '9') {
                ASSERT_TRUE(prefix) << pos << ' ' << b;
                EXPECT_EQ(*prefix, std::stoul(number.substr(0, 7))) << pos << ' ' << b;
            } else {
                EXPECT_FALSE(prefix) << pos << ' ' << b;
            }
        }
    }
    EXPECT_EQ(PrefixTable::PrefixOf("99999999999"), 9999999u);
    EXPECT_EQ(PrefixTable::PrefixOf("10203040506"), 1020304u);
}

}  // namespace
}  // namespace numtrail::attribution
