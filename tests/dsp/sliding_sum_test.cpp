#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <thread>
#include <vector>

#include "dsp/sliding_sum.h"
#include "dsp/subnormals.h"

namespace {

// Every window length at every point of a stream (also before the
// capacity's worth has come, the missing values counting as 0) sums to the
// direct sum of the newest values; after huge values, a window of zeros is
// exactly 0, which a running total with the old values taken away is not.
TEST(SlidingSum, EveryWindowIsTheSumOfItsNewestValues)
{
    const int capacity = 300;
    CSlidingSum sum(capacity);
    std::vector<double> stream;
    std::mt19937 random(7);
    std::uniform_real_distribution<double> value(0.0, 1.0);
    for (int n = 0; n < 1000; ++n) {
        const double v = n < 500 ? value(random) * 1e12 : 0.0;
        stream.push_back(v);
        sum.Add(v);
        for (int length = 1; length <= capacity; length += n % 7 + 1) {
            long double direct = 0.0L;
            for (int i = std::max(0, n + 1 - length); i <= n; ++i)
                direct += stream[size_t(i)];
            ASSERT_NEAR(sum.Sum(length), double(direct), 1e-13 * double(direct)) << n << " " << length;
        }
    }
    EXPECT_EQ(sum.Sum(capacity), 0.0);
}

// On a thread that flushes them, a result below the smallest normal double
// is zero; elsewhere it is the subnormal number.
TEST(Subnormals, AreFlushedToZeroOnTheThreadThatAsks)
{
    volatile double tiny = 1e-300;
    double unflushed = -1.0, flushed = -1.0;
    std::thread([&] { unflushed = tiny * 1e-10; }).join();
    std::thread([&] {
        FlushSubnormalsOnThisThread();
        flushed = tiny * 1e-10;
    }).join();
    EXPECT_GT(unflushed, 0.0);
    EXPECT_EQ(flushed, 0.0);
}

} // namespace
