#include "attribution/prefix_cache.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace numtrail::attribution
