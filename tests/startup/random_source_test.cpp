#include "startup/random_source.h"

#include <gtest/gtest.h>

namespace tb {
namespace {

TEST(RandomWhole, FloorOfDrawTimesNPlusOne)
{
    ScriptedRandom random({ 0.0, 0.999999999, 0.5, 1.0 / 3.0 - 1e-12, 1.0 / 3.0 });
    EXPECT_EQ(randomWhole(random, 3), 1);
    EXPECT_EQ(randomWhole(random, 3), 3);
    EXPECT_EQ(randomWhole(random, 8), 5);
    EXPECT_EQ(randomWhole(random, 3), 1);
    EXPECT_EQ(randomWhole(random, 3), 2);
    for (int n : { 1, 3, 8, 100000 })
        for (int k = 1; k <= n; k += (n > 10 ? 997 : 1)) {
            random.setScript({ drawFor(k, n) });
            EXPECT_EQ(randomWhole(random, n), k) << k << " of " << n;
        }
}

TEST(RandomWhole, ProductionDrawsStayInRange)
{
    ProductionRandom random;
    int seen[4] = {};
    for (int i = 0; i < 10000; ++i) {
        if (i % 100 == 0)
            random.reseed();
        const double r = random.next();
        ASSERT_GE(r, 0.0);
        ASSERT_LT(r, 1.0);
        const int k = randomWhole(random, 3);
        ASSERT_GE(k, 1);
        ASSERT_LE(k, 3);
        ++seen[k];
    }
    EXPECT_GT(seen[1], 0);
    EXPECT_GT(seen[3], 0);
}

} // namespace
} // namespace tb
