#include "attribution/prefix_cache.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <vector>

#include "attribution/data_file_builder.h"

namespace numtrail::attribution {
namespace {

struct Row {
    std::uint32_t prefix;
    Record record;
    std::int64_t fetched;
    friend bool operator==(const Row&, const Row&) = default;
};

std::vector<Row> Rows(PrefixCache& cache) {
    std::vector<Row> rows;
    cache.ForEach([&rows](std::uint32_t prefix, const CachedPrefix& row) {
        rows.push_back({prefix, row.record, row.fetched});
    });
    return rows;
}

// What services stored, read by another process while the first still holds the file open,
// in prefix order; a later store of a prefix replaces the earlier.
TEST(PrefixCache, ReadsEveryRowInPrefixOrderWhileInUse) {
    testing::TempDir dir;
    const auto file = dir.path() / "prefixes.sqlite";
    PrefixCache writer(file, 0, nullptr);
    writer.Store(1990000, {"江苏", "常州", "213000", "0519", "中国电信"}, 30);
    writer.Store(1620000, {"", "", "", "", ""}, 20);
    writer.Store(1990000, {"江苏", "苏州", "215000", "0512", "中国电信"}, 40);
    const std::vector<Row> expected = {
        {1620000, {"", "", "", "", ""}, 20},
        {1990000, {"江苏", "苏州", "215000", "0512", "中国电信"}, 40},
    };
    EXPECT_EQ(Rows(writer), expected);
    EXPECT_EQ(Rows(*PrefixCache::OpenToRead(file)), expected);
}

// Reading changes nothing: a missing file is not created, and a damaged one is neither
// moved aside nor replaced.
TEST(PrefixCache, OpeningToReadRefusesWhatIsNoCacheAndLeavesItAlone) {
    testing::TempDir dir;
    const auto missing = dir.path() / "missing.sqlite";
    EXPECT_THROW(PrefixCache::OpenToRead(missing), PrefixCacheError);
    EXPECT_FALSE(std::filesystem::exists(missing));

    const auto damaged = dir.path() / "damaged.sqlite";
    std::ofstream(damaged) << "not a database at all, but long enough to look like a header";
    EXPECT_THROW(PrefixCache::OpenToRead(damaged), PrefixCacheError);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
    EXPECT_THROW(PrefixCache::OpenToRead(dir.path()), PrefixCacheError);
}

// A cache of the earlier layout, which did not say which online service gave its rows.
void WriteEarlierCache(const std::filesystem::path& file) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TABLE prefixes (prefix INTEGER PRIMARY KEY,"
                           " province TEXT NOT NULL, city TEXT NOT NULL, postcode TEXT NOT NULL,"
                           " area_code TEXT NOT NULL, card_type TEXT NOT NULL,"
                           " fetched INTEGER NOT NULL);"
                           "INSERT INTO prefixes VALUES (1990000, '江苏', '常州', '213000', '0519',"
                           " '中国电信', 30);"
                           "INSERT INTO prefixes VALUES (1620000, '', '', '', '', '', 20);",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
}

// Rows are kept per online service; those of an earlier cache are kept under the unknown
// origin, read by every reader but served to no service.
TEST(PrefixCache, RowsAreKeptPerOriginAndEarlierRowsUnderTheUnknownOne) {
    testing::TempDir dir;
    const auto file = dir.path() / "prefixes.sqlite";
    WriteEarlierCache(file);
    const std::vector<Row> earlier = {
        {1620000, {"", "", "", "", ""}, 20},
        {1990000, {"江苏", "常州", "213000", "0519", "中国电信"}, 30},
    };
    EXPECT_EQ(Rows(*PrefixCache::OpenToRead(file)), earlier);  // read as it is

    PrefixCache a(file, 0, nullptr, "http://a:80");
    PrefixCache b(file, 0, nullptr, "https://b:443");
    EXPECT_FALSE(a.Find(1990000));
    EXPECT_EQ(Rows(a), earlier);
    a.Store(1990000, {"江苏", "苏州", "215000", "0512", "中国电信"}, 40);
    b.Store(1990000, {"浙江", "杭州", "310000", "0571", "中国电信"}, 35);
    EXPECT_EQ(a.Find(1990000)->record.city, "苏州");
    EXPECT_EQ(b.Find(1990000)->record.city, "杭州");
    EXPECT_FALSE(b.Find(1620000));

    // Every origin: the latest answer of each prefix; one origin: its own.
    const auto reader = PrefixCache::OpenToRead(file);
    EXPECT_EQ(Rows(*reader), (std::vector<Row>{
                                 {1620000, {"", "", "", "", ""}, 20},
                                 {1990000, {"江苏", "苏州", "215000", "0512", "中国电信"}, 40},
                             }));
    std::vector<std::string> origins;
    reader->ForEach([&](std::uint32_t, const CachedPrefix& row) { origins.push_back(row.origin); },
                    "https://b:443");
    EXPECT_EQ(origins, std::vector<std::string>{"https://b:443"});
    origins.clear();
    reader->ForEach([&](std::uint32_t, const CachedPrefix& row) { origins.push_back(row.origin); },
                    kUnknownOrigin);
    EXPECT_EQ(origins, (std::vector<std::string>{kUnknownOrigin, kUnknownOrigin}));
}

}  // namespace
}  // namespace numtrail::attribution
