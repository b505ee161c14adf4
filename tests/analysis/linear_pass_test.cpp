#include <cmath>
#include <cstring>
#include <vector>

#include "dsp/fft.h"
#include "dsp/window_functions.h"

#include "tests/analysis/engine_fixture.h"

namespace {

constexpr double GridHz = 48000.0 / 8192;

using LinearPass = EngineTest;


TEST_F(LinearPass, Size8192CopiesTheRawMagnitudes)
{
    SharedSettings.WindowSize = 8192;
    SharedSettings.WindowType = 1;
    for (int b = 0; b < 5; ++b)
        FeedBoth(Sine(1000.0, 12000));
    const float* S = engine.GetSpectrum(0);
    EXPECT_EQ(0, std::memcmp(S, S + 4096, 4096 * sizeof(float)));
    EXPECT_EQ(0, std::memcmp(S + 8192, S + 12288, 4096 * sizeof(float)));
}

// Every channel and position has its own transform: compared bit for bit
// with a single windowed transform of the same stretch of history.
TEST_F(LinearPass, EachChannelAndPositionIsItsOwnWindowedTransform)
{
    SharedSettings.WindowSize = 8192;
    SharedSettings.WindowType = 1;
    SharedSettings.Stereo = 1;
    for (int b = 0; b < 6; ++b)
        Feed([](long t) { return int16_t(20000 * std::sin(0.0003 * double(t) * double(t % 9000))); },
             [](long t) { return int16_t((t * 7919) % 30011 - 15005); });
    const int N = 8192, F = CWaveCapture::FramesPerBuffer, H = CWaveCapture::HistoryLength;
    CFFT fft(N);
    std::vector<float> work(N), mags(N / 2);
    for (int ch = 0; ch < 2; ++ch) {
        const int starts[2] = {H - F / 2 - N, H - N};
        for (int position = 0; position < 2; ++position) {
            const int16_t* h = engine.GetSampleHistory(ch) + starts[position];
            for (int t = 0; t < N; ++t)
                work[t] = h[t] * (1.0f / 32768.0f);
            ApplyWindow(work.data(), N, 1);
            fft.Magnitude(work.data(), mags.data(), N);
            const float* S = engine.GetSpectrum(ch) + position * CWaveCapture::SecondSpectrum;
            EXPECT_EQ(0, std::memcmp(S, mags.data(), 4096 * sizeof(float))) << "channel " << ch << ", position " << position;
        }
    }
}

TEST_F(LinearPass, Size2048SpreadsEachRawBinOverFourGridBins)
{
    SharedSettings.WindowSize = 2048;
    for (int b = 0; b < 3; ++b)
        FeedBoth(Sine(440.0, 9000));
    const float* S = engine.GetSpectrum(0);
    const float* raw = S + 4096;
    for (int k = 0; k < 4096 - 4; k += 4)
        ASSERT_FLOAT_EQ(S[k], 2 * raw[k / 4]) << k;
    EXPECT_FLOAT_EQ(S[1], float(2 * (0.75 * raw[0] + 0.25 * raw[1])));
    EXPECT_FLOAT_EQ(S[8192 + 1], float(2 * (0.75 * S[12288] + 0.25 * S[12288 + 1])));
}

TEST_F(LinearPass, OutOfRangeSizesFallBackTo4096AndAreStored)
{
    ScriptedDriver referenceDriver;
    RecordingTarget referenceTarget;
    CWaveCapture reference(&referenceDriver);
    reference.SetNotifyWindow(&referenceTarget);
    reference.Start();
    std::vector<int16_t> frames(2 * 2048);
    for (int i = 0; i < 2048; ++i)
        frames[2 * i] = frames[2 * i + 1] = int16_t(8000 * std::sin(0.05 * i));

    for (int size : {0, 16384}) {
        SharedSettings.WindowSize = size;
        driver.last->Push(frames);
        engine.ProcessBlock();
        EXPECT_EQ(SharedSettings.WindowSize, 4096) << size;
        SharedSettings.WindowSize = 4096;
        referenceDriver.last->Push(frames);
        reference.ProcessBlock();
        EXPECT_EQ(0, std::memcmp(engine.GetSpectrum(0), reference.GetSpectrum(0), 16384 * sizeof(float))) << size;
    }
}

TEST_F(LinearPass, ConstantQModeWithoutWrapKeepsTheOldSpectra)
{
    SharedSettings.WindowSize = 1024;
    FeedBoth(Sine(3000.0, 10000));
    const std::vector<float> before(engine.GetSpectrum(0), engine.GetSpectrum(0) + 16384);
    displayMode = 1;
    FeedBoth(Sine(500.0, 20000));
    EXPECT_EQ(0, std::memcmp(before.data(), engine.GetSpectrum(0), 16384 * sizeof(float)));
    SharedSettings.WrapUnderCQ = true;
    FeedBoth(Sine(500.0, 20000));
    EXPECT_NE(0, std::memcmp(before.data(), engine.GetSpectrum(0), 16384 * sizeof(float)));
}

struct SineCase {
    int windowSize;
    int windowType;
    double windowGain;  // the window's mean: its loss passes into the spectrum
};

class SineHeight : public EngineTest, public ::testing::WithParamInterface<SineCase> {};

TEST_P(SineHeight, FullScaleSineAtAGridFrequencyLandsInItsBin)
{
    const auto [N, type, windowGain] = GetParam();
    SharedSettings.WindowSize = N;
    SharedSettings.WindowType = type;
    SharedSettings.Stereo = 1;
    const int bin = 176;  // a whole raw bin for every size: 11 * 16
    for (int b = 0; b < 5; ++b)
        Feed(Sine(bin * GridHz, 32767), [](long) { return int16_t(0); });
    const float* S = engine.GetSpectrum(0);
    const double amplitude = 32767.0 / 32768;
    const double expected = amplitude * N / 2 * windowGain * std::sqrt(8192.0 / N);
    for (int offset : {0, 8192}) {
        const float* spectrum = S + offset;
        int peak = 0;
        for (int k = 1; k < 4096; ++k)
            if (spectrum[k] > spectrum[peak])
                peak = k;
        EXPECT_EQ(peak, bin);
        EXPECT_NEAR(spectrum[bin], expected, expected * 2e-3) << "offset " << offset;
    }
    const float* right = engine.GetSpectrum(1);
    EXPECT_LT(right[bin], 1e-3f) << "the silent channel stays silent";
}

INSTANTIATE_TEST_SUITE_P(Windows, SineHeight,
                         ::testing::Values(SineCase{8192, 0, 1.0}, SineCase{8192, 1, 0.5}, SineCase{2048, 1, 0.5},
                                           SineCase{512, 2, 0.54}, SineCase{4096, 4, 0.42},
                                           SineCase{8192, 6, 0.25}));

TEST_F(LinearPass, SpectraDependOnlyOnTheInputNotOnEarlierSizes)
{
    ScriptedDriver freshDriver;
    RecordingTarget freshTarget;
    CWaveCapture fresh(&freshDriver);
    fresh.SetNotifyWindow(&freshTarget);
    fresh.Start();

    std::vector<int16_t> loud(2 * 2048), quiet(2 * 2048);
    for (int i = 0; i < 4096; ++i) {
        loud[i] = int16_t(30000 * std::sin(0.9 * i));
        quiet[i] = int16_t(300 * std::sin(2.9 * i));
    }
    // The engine under test has run an 8192-point transform first.
    SharedSettings.WindowSize = 8192;
    driver.last->Push(loud);
    engine.ProcessBlock();
    freshDriver.last->Push(loud);
    SharedSettings.WindowSize = 512;
    fresh.ProcessBlock();
    for (int b = 0; b < 4; ++b) {
        driver.last->Push(quiet);
        engine.ProcessBlock();
        freshDriver.last->Push(quiet);
        fresh.ProcessBlock();
    }
    for (int k : {4095, 4088, 4081, 12287}) {
        EXPECT_EQ(engine.GetSpectrum(0)[k], fresh.GetSpectrum(0)[k]) << k;
    }
    EXPECT_EQ(0, std::memcmp(engine.GetSpectrum(0), fresh.GetSpectrum(0), 4096 * sizeof(float)));
}

} // namespace
