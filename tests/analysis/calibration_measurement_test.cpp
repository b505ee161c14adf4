// Calibrating against a sound calibrator's tone: generated tones in, the
// verdicts and levels IEC 60942's class 1 fluctuation limit implies.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "analysis/calibration_measurement.h"
#include "analysis/sound_level_meter.h"

namespace {

constexpr double Rate = 48000.0;
constexpr double TwoPi = 6.28318530717958647;

// 4 s of a 1 kHz tone of `dbfs`, its level wandering by `wander` dB at 2 Hz,
// plus white noise of `noise` (RMS, full scale 1).
std::vector<double> Tone(double dbfs, double wander = 0.0, double noise = 0.0)
{
    std::mt19937 random(7);
    std::normal_distribution<double> gauss(0.0, noise > 0.0 ? noise : 1.0);
    std::vector<double> x(size_t(4 * Rate));
    for (size_t n = 0; n < x.size(); ++n) {
        const double t = double(n) / Rate;
        const double level = dbfs + wander * std::sin(TwoPi * 2.0 * t);
        x[n] = std::pow(10.0, level / 20.0) * std::sin(TwoPi * 1000.0 * t) + (noise > 0.0 ? gauss(random) : 0.0);
    }
    return x;
}

TEST(CalibrationMeasurement, TakesASteadyToneAndRefusesWhatIsNot)
{
    using Verdict = CCalibrationMeasurement::Verdict;
    const struct {
        std::vector<double> signal;
        Verdict verdict;
    } cases[] = {{Tone(-20.0), Verdict::Taken},
                 {Tone(-20.0, 0.0, 0.001), Verdict::Taken},  // noise 40 dB down: outside the band
                 {Tone(-20.0, 0.3), Verdict::Unsteady},
                 {Tone(-200.0, 0.0, 0.1), Verdict::Missing},  // noise alone
                 {std::vector<double>(size_t(4 * Rate), 0.0), Verdict::Missing},  // digital silence
                 {Tone(0.5), Verdict::Clipping}};
    for (size_t i = 0; i < std::size(cases); ++i) {
        CCalibrationMeasurement measurement(94.0);
        measurement.ProcessSamples(cases[i].signal.data(), int(cases[i].signal.size()));
        ASSERT_TRUE(measurement.Done()) << i;
        EXPECT_EQ(measurement.Outcome().verdict, cases[i].verdict) << i << ": " << measurement.Outcome().message;
        EXPECT_EQ(measurement.Outcome().message.empty(), cases[i].verdict == Verdict::Taken) << i;
    }
    // -20 dBFS taken as 94.0 dB: a -30 dBFS tone then reads 84.0 dB SPL.
    CCalibrationMeasurement measurement(94.0);
    std::vector<double> tone = Tone(-20.0);
    measurement.ProcessSamples(tone.data(), int(tone.size()));
    EXPECT_NEAR(measurement.Outcome().offset, 114.0, 0.01);
    CSoundLevelMeter meter(Weighting::Z);
    tone = Tone(-30.0);
    meter.ProcessSamples(tone.data(), int(tone.size()));
    EXPECT_NEAR(meter.Readings().eq + measurement.Outcome().offset, 84.0, 0.05);
}

} // namespace
