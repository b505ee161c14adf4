// The true peak against libebur128's (the oracle: a 4 times oversampling
// interpolator of its own), and every vector path against the plain loop.
#include <gtest/gtest.h>

#include <ebur128.h>

#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include "dsp/true_peak.h"

namespace {

constexpr int Block = 2048;

// Block by block over `blocks` blocks of `signal(n)` in both channels: ours
// and libebur128's true peak within 0.05 dB, from the second block on (the
// first holds the filters' start).
void ExpectSameAsLibebur128(const std::function<double(long)>& signal, int blocks, const std::string& what)
{
    CTruePeak ours(2);
    ebur128_state* reference = ebur128_init(2, 48000, EBUR128_MODE_TRUE_PEAK);
    ASSERT_NE(reference, nullptr);
    std::vector<int16_t> frames(2 * Block);
    for (int b = 0; b < blocks; ++b) {
        for (int i = 0; i < Block; ++i)
            frames[size_t(2 * i)] = frames[size_t(2 * i + 1)] =
                int16_t(std::lround(32768 * signal(long(b) * Block + i)));
        double peaks[2], expected = 0.0;
        ours.Process(frames.data(), Block, peaks);
        ebur128_add_frames_short(reference, frames.data(), Block);
        ebur128_prev_true_peak(reference, 0, &expected);
        if (b > 0) {
            ASSERT_NEAR(20 * std::log10(peaks[0] / expected), 0.0, 0.05) << what << ", block " << b;
        }
        EXPECT_EQ(peaks[0], peaks[1]);
    }
    ebur128_destroy(&reference);
}

TEST(TruePeak, ReadsAsLibebur128DoesOverSinesAndNoise)
{
    std::mt19937 random(1770);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    for (int k = 0; k <= 30; ++k) {
        const double hz = 20.0 * std::pow(1000.0, k / 30.0);  // 20 Hz to 20 kHz
        const double phase = 6.28318 * uniform(random);
        ExpectSameAsLibebur128([=](long n) { return 0.5 * std::sin(6.28318 * hz * n / 48000 + phase); }, 6,
                               std::to_string(hz) + " Hz");
    }
    ExpectSameAsLibebur128([&](long) { return 0.9 * (2 * uniform(random) - 1); }, 20, "white noise");
}

// Every path the processor runs gives the plain loop's bits, for counts
// that fill whole vectors and counts that do not.
TEST(TruePeak, EveryPathGivesThePlainLoopsPeak)
{
    std::mt19937 random(4);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    std::vector<float> x(CTruePeak::History + 2048);
    for (float& v : x)
        v = value(random);
    const std::vector<TruePeakPath> paths = TruePeakPaths();
    for (const int count : {1, 15, 16, 17, 100, 2048}) {
        const float plain = paths.front().run(x.data() + CTruePeak::History, count, TruePeakFilter());
        for (const TruePeakPath& path : paths)
            EXPECT_EQ(path.run(x.data() + CTruePeak::History, count, TruePeakFilter()), plain)
                << path.name << ", " << count;
    }
}

} // namespace
