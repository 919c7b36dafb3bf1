#include "platform/random.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace numtrail {
namespace {

std::vector<float> Draw(ProcessRandom& random, int n) {
    std::vector<float> values;
    for (int i = 0; i < n; ++i) values.push_back(random.NextRandom());
    return values;
}

// The generator fixes every XOR-hash ciphertext ever written: these values must never change.
TEST(ProcessRandom, PinnedSequences) {
    ProcessRandom fresh;
    EXPECT_EQ(Draw(fresh, 4),
              (std::vector<float>{0.416198432f, 0.933688581f, 0.717572331f, 0.0651809573f}));

    ProcessRandom seeded;
    EXPECT_EQ(seeded.NextRandom(-1.0f), 0.3467592f);
    EXPECT_EQ(Draw(seeded, 2), (std::vector<float>{0.392567277f, 0.572024345f}));

    ProcessRandom mixed;
    mixed.MixSeed(1.0);
    EXPECT_EQ(mixed.NextRandom(), 0.255329788f);
}

TEST(ProcessRandom, SameStartAndSameSeedGiveSameSequence) {
    ProcessRandom a, b;
    EXPECT_EQ(Draw(a, 100), Draw(b, 100));
    a.NextRandom(-7.5f);
    b.NextRandom();
    b.NextRandom(-7.5f);
    EXPECT_EQ(Draw(a, 50), Draw(b, 50));
}

TEST(ProcessRandom, ZeroRepeatsTheLastValueAndPositiveAdvances) {
    ProcessRandom r;
    EXPECT_EQ(r.NextRandom(0.0f), 0.0f);
    const float first = r.NextRandom();
    EXPECT_EQ(r.NextRandom(0.0f), first);
    EXPECT_EQ(r.NextRandom(-0.0f), first);
    ProcessRandom s;
    s.NextRandom();
    EXPECT_EQ(r.NextRandom(3.0f), s.NextRandom());
}

TEST(ProcessRandom, MixSeedDependsOnStateAndNumber) {
    ProcessRandom a, b, c;
    a.MixSeed(0.0);
    b.MixSeed(1.0);
    c.MixSeed(-0.0);
    const float a1 = a.NextRandom();
    EXPECT_NE(a1, b.NextRandom());
    EXPECT_EQ(a1, c.NextRandom());
    ProcessRandom d;
    d.NextRandom();
    d.MixSeed(0.0);
    EXPECT_NE(d.NextRandom(), a1);
}

TEST(ProcessRandom, ValuesStayInUnitIntervalAndSpreadEvenly) {
    ProcessRandom r;
    int buckets[10] = {};
    const int n = 200000;
    for (int i = 0; i < n; ++i) {
        const float v = r.NextRandom();
        ASSERT_GE(v, 0.0f);
        ASSERT_LT(v, 1.0f);
        ++buckets[static_cast<int>(v * 10)];
    }
    for (const int count : buckets) EXPECT_NEAR(count, n / 10, n / 100);
}

}  // namespace
}  // namespace numtrail
