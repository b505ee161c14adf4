#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "dsp/window_functions.h"

namespace {

// The window's values: a block of ones multiplied in place.
std::vector<float> WindowOf(unsigned type, int count)
{
    std::vector<float> w(static_cast<size_t>(count), 1.0f);
    ApplyWindow(w.data(), count, type);
    return w;
}

TEST(WindowFunctions, HannOfEightPointsIsPeriodic)
{
    const std::vector<float> w = WindowOf(WindowHann, 8);
    const double expected[8] = {0, 0.1464466, 0.5, 0.8535534, 1, 0.8535534, 0.5, 0.1464466};
    for (int i = 0; i < 8; ++i)
        EXPECT_NEAR(w[i], expected[i], 2e-6) << i;
    EXPECT_GT(w[7], 0.1f) << "the last point is one step short of the end";
}

struct WindowPoint {
    unsigned type;
    int index;  // of 1024 points
    double value;
};

class WindowAtPoints : public ::testing::TestWithParam<WindowPoint> {};

TEST_P(WindowAtPoints, MatchesTheHandWorkedValue)
{
    const WindowPoint p = GetParam();
    const std::vector<float> w = WindowOf(p.type, 1024);
    EXPECT_NEAR(w[p.index], p.value, 2e-5) << WindowTypeNames[p.type] << " at " << p.index;
}

INSTANTIATE_TEST_SUITE_P(
    Points, WindowAtPoints,
    ::testing::Values(WindowPoint{WindowHamming, 0, 0.08}, WindowPoint{WindowHamming, 512, 1.0},
                      WindowPoint{WindowGauss, 0, 0.0019304541}, WindowPoint{WindowGauss, 512, 1.0},
                      WindowPoint{WindowGauss, 256, 0.2096113871}, // u = -0.5
                      WindowPoint{WindowBlackman, 0, 0.0}, WindowPoint{WindowBlackman, 512, 1.0},
                      WindowPoint{WindowBlackman, 256, 0.34}, // 0.42 - 0 - 0.08
                      WindowPoint{WindowBlackmanHarris, 0, 0.00006}, WindowPoint{WindowBlackmanHarris, 512, 1.0},
                      WindowPoint{WindowFlattop, 512, 1.159}, WindowPoint{WindowFlattop, 0, 0.0},
                      WindowPoint{WindowVorbis, 0, 0.0}, WindowPoint{WindowVorbis, 512, 1.0},
                      WindowPoint{WindowVorbis, 256, 0.7071066}, // sin(pi/4)
                      WindowPoint{WindowSine, 256, 0.7071066}, WindowPoint{WindowSine, 512, 1.0},
                      WindowPoint{WindowTriangle, 0, 0.0}, WindowPoint{WindowTriangle, 512, 1.0},
                      WindowPoint{WindowTriangle, 768, 0.5}));

TEST(WindowFunctions, FlattopScalesTheProductNotTheFactor)
{
    // (bracket * sample) * 0.25; at t = 1/2 the angles are the halved constants.
    float x[2] = {0.0f, 0.7f};
    ApplyWindow(x, 2, WindowFlattop);
    const double exact = 1.0 - 1.93 * std::cos(3.14159) + 1.29 * std::cos(6.28318) - 0.388 * std::cos(9.42477) +
                         0.028 * std::cos(12.56636);
    EXPECT_EQ(x[1], static_cast<float>((exact * double(0.7f)) * 0.25));
}

TEST(WindowFunctions, TypesOutsideOneToNineLeaveTheSamplesUnchanged)
{
    const std::vector<float> original = {0.25f, -1.0f, 3.5f, 7.0f};
    for (unsigned type : {0u, 10u, static_cast<unsigned>(-1)}) {
        std::vector<float> x = original;
        ApplyWindow(x.data(), 4, type);
        EXPECT_EQ(x, original) << type;
    }
    std::vector<float> x = original;
    ApplyWindow(x.data(), 0, WindowHann);
    ApplyWindow(x.data(), -5, WindowHann);
    EXPECT_EQ(x, original);
}

TEST(WindowFunctions, CachedTableGivesBitIdenticalResults)
{
    CWindowTable table;
    for (int count : {512, 8192, 1000}) {
        for (unsigned type = 0; type < WindowTypeCount + 1; ++type) {
            std::vector<float> a(static_cast<size_t>(count)), b;
            for (int i = 0; i < count; ++i)
                a[i] = std::sin(0.37f * i) * 0.9f;
            b = a;
            ApplyWindow(a.data(), count, type);
            table.Apply(b.data(), count, type);
            ASSERT_EQ(0, std::memcmp(a.data(), b.data(), a.size() * sizeof(float)))
                << "type " << type << ", count " << count;
        }
    }
}

} // namespace
