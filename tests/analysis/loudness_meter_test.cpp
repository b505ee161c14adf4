// The meter against EBU Tech 3341 (2016) and Tech 3342 (2016), with the
// documents' generated signals: expected values and tolerances are theirs.
// A level in dBFS is a sine's peak; a stereo sine has it in both channels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include <ebur128.h>

#include "analysis/loudness_meter.h"

namespace {

constexpr double Rate = 48000.0;
constexpr int Block = 2048;

struct Segment {
    double dbfs;     // peak of the 1 kHz sine in both channels
    double seconds;
};

// Feeds the segments one after the other, block by block, the sine's phase
// running on across them.
void FeedSines(CLoudnessMeter& meter, std::initializer_list<Segment> segments, double hz = 1000.0)
{
    std::vector<int16_t> block(2 * Block);
    long n = 0;
    int filled = 0;
    for (const Segment& s : segments) {
        const double a = std::pow(10.0, s.dbfs / 20.0) * 32768.0;
        for (long i = 0; i < long(s.seconds * Rate); ++i, ++n) {
            const int16_t v = int16_t(std::lround(std::min(32767.0, a * std::sin(2 * M_PI * hz * n / Rate))));
            block[size_t(2 * filled)] = block[size_t(2 * filled + 1)] = v;
            if (++filled == Block) {
                meter.Process(block.data(), Block);
                filled = 0;
            }
        }
    }
    if (filled > 0)
        meter.Process(block.data(), filled);
}

// Tech 3341 cases 1 and 2: 20 s of a stereo 1 kHz sine read its level in
// LUFS, momentary, short-term and integrated, +-0.1 LU.
TEST(LoudnessMeter, SteadySinesReadTheirLevelMomentaryShortTermAndIntegrated)
{
    for (const double level : {-23.0, -33.0}) {
        CLoudnessMeter meter;
        FeedSines(meter, {{level, 20.0}});
        const MeterReadings& r = meter.Readings();
        EXPECT_NEAR(r.momentary, level, 0.1) << "case " << (level == -23 ? 1 : 2);
        EXPECT_NEAR(r.shortTerm, level, 0.1) << "case " << (level == -23 ? 1 : 2);
        EXPECT_NEAR(r.integrated, level, 0.1) << "case " << (level == -23 ? 1 : 2);
    }
}

// Tech 3341 cases 3, 4 and 5: the gates leave -23.0 +- 0.1 LUFS integrated.
TEST(LoudnessMeter, TheGatesKeepTheIntegratedLoudnessOfTheProgramme)
{
    const struct {
        int number;
        std::initializer_list<Segment> segments;
    } cases[] = {
        {3, {{-36, 10}, {-23, 60}, {-36, 10}}},
        {4, {{-72, 10}, {-36, 10}, {-23, 60}, {-36, 10}, {-72, 10}}},
        {5, {{-26, 20}, {-20, 20.1}, {-26, 20}}},
    };
    for (const auto& c : cases) {
        CLoudnessMeter meter;
        FeedSines(meter, c.segments);
        EXPECT_NEAR(meter.Readings().integrated, -23.0, 0.1) << "case " << c.number;
    }
}

// Tech 3342 cases 1 to 4: the loudness range of 1 kHz stereo sines in steps
// of 20 s, +-1 LU.
TEST(LoudnessMeter, TheLoudnessRangeOfSteps)
{
    const struct {
        int number;
        std::initializer_list<Segment> segments;
        double range;
    } cases[] = {
        {1, {{-20, 20}, {-30, 20}}, 10.0},
        {2, {{-20, 20}, {-15, 20}}, 5.0},
        {3, {{-40, 20}, {-20, 20}}, 20.0},
        {4, {{-50, 20}, {-35, 20}, {-20, 20}, {-35, 20}, {-50, 20}}, 15.0},
    };
    for (const auto& c : cases) {
        CLoudnessMeter meter;
        FeedSines(meter, c.segments);
        EXPECT_NEAR(meter.Readings().range, c.range, 1.0) << "Tech 3342 case " << c.number;
    }
}

// Tech 3341 cases 15 to 19: sines at fractions of the sampling rate whose
// samples miss their peaks; the true peak reads within +0.2 / -0.4 dB (read
// as held over the last 2 s of 3, after the interpolator's ringing at the
// sine's abrupt start).
TEST(LoudnessMeter, TruePeaksOfSinesBetweenTheirSamples)
{
    const struct {
        int number;
        double fraction;  // of the sampling rate
        double phaseDegrees;
        double peakDbfs;  // the sine's own peak
    } cases[] = {{15, 1.0 / 4, 0.0, -6.0}, {16, 1.0 / 4, 45.0, -6.0}, {17, 1.0 / 6, 60.0, -6.0},
                 {18, 1.0 / 8, 67.5, -6.0}, {19, 1.0 / 4, 45.0, 3.0}};
    for (const auto& c : cases) {
        CLoudnessMeter meter;
        const double a = std::pow(10.0, c.peakDbfs / 20.0) * 32768.0;
        std::vector<int16_t> block(2 * Block);
        for (int b = 0; b < 70; ++b) {
            for (int i = 0; i < Block; ++i) {
                const double t = double(b * Block + i);
                const double v = a * std::sin(2 * M_PI * c.fraction * t + c.phaseDegrees * M_PI / 180.0);
                block[size_t(2 * i)] = block[size_t(2 * i + 1)] = int16_t(std::lround(std::clamp(v, -32768.0, 32767.0)));
            }
            meter.Process(block.data(), Block);
        }
        for (const double truePeak : meter.Readings().truePeakHeld) {
            EXPECT_LE(truePeak, c.peakDbfs + 0.2) << "case " << c.number;
            EXPECT_GE(truePeak, c.peakDbfs - 0.4) << "case " << c.number;
        }
    }
}

// AES17: a full-scale sine reads 0.0 dB RMS and 0.0 dB sample peak, a
// full-scale square +3.0 dB RMS; a channel with nothing in it reads -inf.
// The RMS window is 0.3 s long, to the frame.
TEST(LoudnessMeter, RmsAndSamplePeaksOfSinesAndSquares)
{
    CLoudnessMeter meter;
    std::vector<int16_t> block(2 * Block);
    for (int b = 0; b < 10; ++b) {
        for (int i = 0; i < Block; ++i) {
            const double t = double(b * Block + i);
            block[size_t(2 * i)] = int16_t(std::lround(32767 * std::sin(2 * M_PI * 997 * t / Rate)));
            block[size_t(2 * i + 1)] = 0;
        }
        meter.Process(block.data(), Block);
    }
    const MeterReadings& sine = meter.Readings();
    EXPECT_NEAR(sine.rms[0], 0.0, 0.01);
    EXPECT_NEAR(sine.samplePeak[0], 0.0, 0.01);
    EXPECT_EQ(sine.rms[1], -INFINITY);
    EXPECT_EQ(sine.samplePeak[1], -INFINITY);
    EXPECT_EQ(sine.truePeak[1], -INFINITY);

    for (int b = 0; b < 10; ++b) {
        for (int i = 0; i < Block; ++i)
            block[size_t(2 * i)] = block[size_t(2 * i + 1)] = (i / 24) % 2 ? 32767 : -32767;  // 1 kHz
        meter.Process(block.data(), Block);
    }
    EXPECT_NEAR(meter.Readings().rms[0], 3.0, 0.02);

    // The RMS is of exactly the last 14,400 frames (0.3 s): 7 blocks of
    // silence (14,336 frames) leave 64 frames of the square in it.
    std::fill(block.begin(), block.end(), 0);
    for (int b = 0; b < 7; ++b)
        meter.Process(block.data(), Block);
    EXPECT_NEAR(meter.Readings().rms[0], 10 * std::log10(2.0 * 64 * std::pow(32767.0 / 32768, 2) / 14400), 1e-9);
}

// Peaks are held for 2 s; the reset starts the integrated values again.
TEST(LoudnessMeter, PeaksHoldTwoSecondsAndTheResetStartsTheProgrammeAgain)
{
    CLoudnessMeter meter;
    FeedSines(meter, {{-6.0, 1.0}, {-40.0, 1.5}});
    EXPECT_NEAR(meter.Readings().samplePeakHeld[0], -6.0, 0.05) << "held";
    EXPECT_NEAR(meter.Readings().samplePeak[0], -40.0, 0.05);
    FeedSines(meter, {{-40.0, 1.0}});
    EXPECT_NEAR(meter.Readings().samplePeakHeld[0], -40.0, 0.05) << "let go after 2 s";
    EXPECT_GT(meter.Readings().integrated, -23.0);
    meter.Reset();
    FeedSines(meter, {{-40.0, 5.0}});
    EXPECT_NEAR(meter.Readings().integrated, -40.0, 0.1);
    EXPECT_NEAR(meter.Readings().maxTruePeak, -40.0, 0.2);
}

// Momentary and short-term loudness block by block over tone, digital
// silence and tone again, against libebur128's own (an M and S state fed
// the same blocks): within 0.05 LU wherever it reads above -70 LUFS. Before
// any block, and once a window holds only zeros, the meter reads -inf,
// never a number from the filters' dying ringing.
TEST(LoudnessMeter, MomentaryAndShortTermFollowLibebur128AndSilenceIsMinusInfinity)
{
    CLoudnessMeter meter;
    const MeterReadings& r = meter.Readings();
    for (const double unmeasured : {r.samplePeak[0], r.truePeak[1], r.rms[0], r.momentary, r.shortTerm})
        EXPECT_EQ(unmeasured, -INFINITY);
    ebur128_state* reference = ebur128_init(2, 48000, EBUR128_MODE_S);
    ASSERT_NE(reference, nullptr);
    const double a = std::pow(10.0, -23.0 / 20.0) * 32768.0;
    std::vector<int16_t> block(2 * Block);
    long n = 0;
    int compared = 0;
    for (int b = 0; b < 300; ++b) {  // 4 s of tone, 5 s of silence, 3.8 s of tone
        const bool tone = b < 94 || b >= 211;
        for (int i = 0; i < Block; ++i, ++n)
            block[size_t(2 * i)] = block[size_t(2 * i + 1)] =
                tone ? int16_t(std::lround(a * std::sin(2 * M_PI * 1000.0 * double(n) / Rate))) : 0;
        meter.Process(block.data(), Block);
        ebur128_add_frames_short(reference, block.data(), Block);
        double expected[2];
        ebur128_loudness_momentary(reference, &expected[0]);
        ebur128_loudness_shortterm(reference, &expected[1]);
        const double measured[2] = {r.momentary, r.shortTerm};
        for (int w = 0; w < 2; ++w) {
            if (expected[w] > -70.0) {
                EXPECT_NEAR(measured[w], expected[w], 0.05) << "block " << b << (w ? " short-term" : " momentary");
                ++compared;
            } else {
                EXPECT_TRUE(measured[w] == -INFINITY || (measured[w] < -70.0 && measured[w] > -200.0))
                    << "block " << b << ": " << measured[w];
            }
        }
        const double quietSeconds = b >= 94 && b < 211 ? (b - 93) * Block / Rate : 0.0;
        if (quietSeconds > 0.4) {
            EXPECT_EQ(r.momentary, -INFINITY) << "block " << b;
        }
        if (quietSeconds > 3.0) {
            EXPECT_EQ(r.shortTerm, -INFINITY) << "block " << b;
        }
    }
    EXPECT_GT(compared, 400);
    ebur128_destroy(&reference);
}

} // namespace
