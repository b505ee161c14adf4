// Averaging and peak hold of the 1-D spectrum, through the engine with the
// real block sequence.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "settings/measure_settings.h"
#include "tests/analysis/engine_fixture.h"

namespace {

class SpectrumAverage : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        SharedMeasureSettings = MeasureSettings();
    }
    void TearDown() override
    {
        SharedMeasureSettings = MeasureSettings();
        EngineTest::TearDown();
    }
};

// An exponential average of blocks whose powers are independent and
// exponentially distributed (white noise in one bin, the windows of
// consecutive blocks not overlapping) settles to a relative spread of
// sqrt(a / (2 - a)), a = 1 - exp(-T / tau), T the block period.
TEST_F(SpectrumAverage, TheExponentialAveragesSpreadFallsWithItsTimeConstant)
{
    SharedSettings.WindowSize = 2048;
    std::mt19937 random(5);
    std::normal_distribution<double> noise(0.0, 3000.0);
    auto white = [&](long) { return int16_t(std::lround(noise(random))); };
    const double T = 2048.0 / 48000.0;
    const struct {
        int setting;
        double tau;
    } cases[] = {{1, 0.125}, {2, 1.0}, {3, 4.0}};
    for (const auto& c : cases) {
        SharedMeasureSettings.Averaging = c.setting;
        readings.Measurement().Reset();
        const int settle = int(6 * c.tau / T) + 1, blocks = 2500;
        std::vector<double> sum(1024, 0.0), squares(1024, 0.0);
        for (int b = 0; b < settle + blocks; ++b) {
            FeedBoth(white);
            if (b < settle)
                continue;
            const float* averaged = readings.Measurement().AveragedSpectrum(0);
            ASSERT_NE(averaged, nullptr);
            for (int j = 0; j < 1024; ++j) {
                // Grid bin 4 j is transform bin j of the 2048 points.
                const double power = double(averaged[4 * j]) * averaged[4 * j];
                sum[size_t(j)] += power;
                squares[size_t(j)] += power * power;
            }
        }
        double spread = 0.0;
        int bins = 0;
        for (int j = 50; j < 1000; ++j, ++bins) {
            const double mean = sum[size_t(j)] / blocks;
            spread += std::sqrt(squares[size_t(j)] / blocks - mean * mean) / mean;
        }
        spread /= bins;
        const double a = 1.0 - std::exp(-T / c.tau);
        EXPECT_NEAR(spread, std::sqrt(a / (2.0 - a)), 0.2 * std::sqrt(a / (2.0 - a))) << "tau " << c.tau;
    }
}

// Held peaks are the largest magnitude of each bin over the blocks, exactly;
// falling ones lose 10 dB a second once the sound is gone; a reset starts
// again.
TEST_F(SpectrumAverage, PeaksAreHeldOrFallAtTenDecibelsASecond)
{
    SharedMeasureSettings.PeakHold = 1;
    std::vector<float> largest(4096, 0.0f);
    double phase = 0.0;
    for (int b = 0; b < 120; ++b) {
        const double hz = 100.0 * std::pow(100.0, b / 120.0);  // 100 Hz to 10 kHz
        FeedBoth([&](long) {
            phase += 2 * M_PI * hz / 48000.0;
            return int16_t(std::lround(12000 * std::sin(phase)));
        });
        const float* spectrum = engine.GetSpectrum(0) + CWaveCapture::SecondSpectrum;
        for (int k = 0; k < 4096; ++k)
            largest[size_t(k)] = std::max(largest[size_t(k)], spectrum[k]);
    }
    const float* held = readings.Measurement().PeakSpectrum(0);
    ASSERT_NE(held, nullptr);
    for (int k = 0; k < 4096; ++k)
        ASSERT_EQ(held[k], largest[size_t(k)]) << "bin " << k;

    SharedMeasureSettings.PeakHold = 2;
    for (int b = 0; b < 2; ++b)  // the transform's window spans two blocks
        FeedBoth(Sine(1000.0, 20000));
    const float before = readings.Measurement().PeakSpectrum(0)[171];
    const int second = int(std::lround(48000.0 / 2048));  // 23 blocks
    for (int b = 0; b < second; ++b)
        FeedConstant(0, 0);
    const double fallen = 20 * std::log10(double(readings.Measurement().PeakSpectrum(0)[171]) / before);
    EXPECT_NEAR(fallen, -10.0 * second * 2048 / 48000.0, 0.01) << "10 dB a second";

    readings.Measurement().Reset();
    FeedConstant(0, 0);
    EXPECT_EQ(readings.Measurement().PeakSpectrum(0)[171], (engine.GetSpectrum(0) + CWaveCapture::SecondSpectrum)[171])
        << "started again from the newest block";
}

// Peak hold off and on again ("held" both times, so the same fall of 0):
// the peaks start from the newest block, in the spectrum and in the bands.
TEST_F(SpectrumAverage, PeakHoldOffAndOnAgainForgetsThePeaksOfBefore)
{
    SharedMeasureSettings.PeakHold = 1;
    CMeasurement bands;
    std::vector<int16_t> loud(2048), quiet(2048, 0);
    for (int i = 0; i < 2048; ++i)
        loud[size_t(i)] = int16_t(std::lround(20000 * std::sin(2 * M_PI * 1000.0 * i / 48000.0)));
    for (int b = 0; b < 2; ++b) {
        FeedBoth(Sine(1000.0, 20000));
        bands.AddSamples(loud.data(), 2048, b);
    }
    SharedMeasureSettings.PeakHold = 0;
    FeedConstant(0, 0);
    FeedConstant(0, 0);
    bands.AddSamples(quiet.data(), 2048, 2);
    SharedMeasureSettings.PeakHold = 1;
    FeedConstant(0, 0);
    bands.AddSamples(quiet.data(), 2048, 3);
    EXPECT_EQ(readings.Measurement().PeakSpectrum(0)[171], (engine.GetSpectrum(0) + CWaveCapture::SecondSpectrum)[171]);
    const auto thousand = std::find_if(bands.Bands().begin(), bands.Bands().end(),
                                       [](const FractionalOctaveBand& band) { return band.midband > 990; });
    const size_t k = size_t(thousand - bands.Bands().begin());
    EXPECT_DOUBLE_EQ(bands.BandPeaks()[k], bands.BandLevels()[k]) << "the band's peak is its level now";
}

} // namespace
