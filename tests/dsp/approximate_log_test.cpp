#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <random>

#include "dsp/approximate_log.h"

namespace {

TEST(ApproximateLog, WithinATrillionthOfTheLibrarysOverEveryExponent)
{
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> mantissa(1.0, 2.0);
    double worst = 0;
    for (int exponent = -1022; exponent <= 1023; ++exponent)
        for (int i = 0; i < 400; ++i) {
            const double x = std::ldexp(mantissa(random), exponent);
            worst = std::max(worst, std::fabs(ApproximateLn(x) - std::log(x)));
        }
    const double edges[] = {DBL_MIN, DBL_MAX, 1.0, std::nextafter(1.0, 0.0), 1.4142135623730951,
                            std::nextafter(1.4142135623730951, 2.0), 0.1, 1e-12, 1.000000000001};
    for (const double x : edges)
        worst = std::max(worst, std::fabs(ApproximateLn(x) - std::log(x)));
    EXPECT_LT(worst, 1e-12);
    EXPECT_EQ(ApproximateLn(1.0), 0.0);
}

// The way the views use it: a position from the approximate logarithm is
// truncated only where it truncates alike, and then gives the exact one's.
TEST(ApproximateLog, WhereItTruncatesAlikeItTruncatesAsTheLibrarys)
{
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    long decided = 0, deferred = 0;
    for (int i = 0; i < 2000000; ++i) {
        // Levels over 14 decades, and some a hair's breadth from a boundary.
        const double scale = 1 + 40 * unit(random);
        double x = std::pow(10.0, -13 * unit(random));
        if (i % 4 == 0)
            x = std::exp(std::round(std::log(x) * scale) / scale) * (1 + 1e-15 * (unit(random) - 0.5));
        const double approximate = ApproximateLn(x) * scale;
        if (!TruncatesAlike(approximate, 1e-6 * (1 + scale))) {
            ++deferred;
            continue;
        }
        ++decided;
        ASSERT_EQ(std::trunc(approximate), std::trunc(std::log(x) * scale)) << x << " at " << scale;
    }
    EXPECT_GT(decided, 1400000);
    EXPECT_GT(deferred, 1000) << "the near-boundary levels";
}

TEST(ApproximateLog, NothingButPositiveNormalNumbers)
{
    for (const double x : {0.0, -0.0, -1.0, DBL_MIN / 2, std::numeric_limits<double>::infinity(),
                           std::numeric_limits<double>::quiet_NaN()})
        EXPECT_TRUE(std::isnan(ApproximateLn(x))) << x;
}

TEST(ApproximateLog, TruncatesAlikeOnlyAwayFromWholeNumbers)
{
    const struct {
        double value, margin;
        bool alike;
    } cases[] = {{2.5, 0.1, true},   {2.05, 0.1, false},   {2.95, 0.1, false}, {-2.5, 0.1, true},
                 {-2.05, 0.1, false}, {0.0, 0.5, true},     {0.9, 0.5, false},  {-0.9, 0.05, true},
                 {49.9999999999, 1e-6, false}, {1e300, 1e-6, true},
                 {std::numeric_limits<double>::quiet_NaN(), 1e-6, false},
                 {std::numeric_limits<double>::infinity(), 1e-6, false}};
    for (const auto& c : cases)
        EXPECT_EQ(TruncatesAlike(c.value, c.margin), c.alike) << c.value << " within " << c.margin;
}

} // namespace
