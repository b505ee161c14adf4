#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "analysis/tempo_detector.h"

namespace {

TEST(TempoDetector, SilenceGives216WithNoStrength)
{
    CTempoDetector detector;
    const std::vector<float> silence(173, 0.0f);
    TempoEstimate estimate = detector.Estimate();
    EXPECT_EQ(estimate.bpm, 216.0);
    for (int i = 0; i < 300; ++i)
        detector.PushFrame(silence.data());
    estimate = detector.Estimate();
    EXPECT_EQ(estimate.bpm, 216.0);
    EXPECT_DOUBLE_EQ(estimate.lag, 5625.0 / 216);
    EXPECT_EQ(estimate.strength, 0.0);
}

TEST(TempoDetector, OnsetsAreTheClippedRiseInEnergy)
{
    CTempoDetector detector;
    EXPECT_EQ(detector.Start(), 234);
    const std::vector<float> loud(173, 2.0f), quiet(173, 1.0f);
    detector.PushFrame(loud.data());
    EXPECT_EQ(detector.Start(), 233);
    EXPECT_FLOAT_EQ(detector.Onsets()[234], float(173 * 2.0 * 0.00014450866729021072));
    detector.PushFrame(quiet.data());
    EXPECT_EQ(detector.Onsets()[234], 0.0f) << "a fall in energy is no onset";
    EXPECT_FLOAT_EQ(detector.Onsets()[233], float(173 * 2.0 * 0.00014450866729021072));
    for (int i = 0; i < 300; ++i)
        detector.PushFrame(quiet.data());
    EXPECT_EQ(detector.Start(), 0);
}

// A click track: frame f carries a click when a beat falls inside it.
int EstimateClickTrack(double bpm, int frames)
{
    CTempoDetector detector;
    const double framesPerBeat = 48000.0 * 60 / (2048 * bpm);
    std::vector<float> frame(173);
    double nextBeat = 3.0;
    TempoEstimate estimate{};
    for (int f = 0; f < frames; ++f) {
        const bool click = f + 1 > nextBeat;
        if (click)
            nextBeat += framesPerBeat;
        for (int b = 0; b < 173; ++b)
            frame[b] = click ? 1.0f + 0.01f * (b % 5) : 0.02f;
        detector.PushFrame(frame.data());
        estimate = detector.Estimate();
    }
    return int(estimate.bpm);
}

TEST(TempoDetector, ClickTracksAreFoundOnceTheHistoryIsFull)
{
    EXPECT_NEAR(EstimateClickTrack(120.0, 240), 120, 1);
    EXPECT_NEAR(EstimateClickTrack(100.0, 240), 100, 1);
    EXPECT_NEAR(EstimateClickTrack(90.0, 240), 90, 1);
}

// A steady beat stands out of the onsets; silence and noise do not.
TEST(TempoDetector, ClarityTellsABeatFromNoise)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<float> uniform(0.0f, 1.0f);
    const double framesPerBeat = 48000.0 * 60 / (2048 * 120);
    const struct {
        const char* input;
        double low, high;
    } cases[] = {{"clicks", 10.0, 1e9}, {"noise", 1.0, 5.0}, {"silence", 0.0, 0.0}};
    for (const auto& c : cases) {
        CTempoDetector detector;
        std::vector<float> frame(173);
        double nextBeat = 3.0;
        TempoEstimate estimate{};
        for (int f = 0; f < 240; ++f) {
            const bool click = f + 1 > nextBeat;
            if (click)
                nextBeat += framesPerBeat;
            for (float& v : frame)
                v = c.input[0] == 'c' ? (click ? 1.0f : 0.02f) : c.input[0] == 'n' ? uniform(random) : 0.0f;
            detector.PushFrame(frame.data());
            estimate = detector.Estimate();
        }
        const double clarity = TempoClarity(detector, estimate);
        EXPECT_GE(clarity, c.low) << c.input;
        EXPECT_LE(clarity, c.high) << c.input;
    }
}

} // namespace
