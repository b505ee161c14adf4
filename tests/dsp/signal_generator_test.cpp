// The generator's signals against what they are defined to be: levels as a
// meter of RMS reads them, pink noise's equal energy per fractional octave
// (through the bands' filters), the sweep's instantaneous frequency
// f1 (f2 / f1)^(t / T), and fades with no step larger than they allow.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "dsp/fractional_octave_bands.h"
#include "dsp/signal_generator.h"

namespace {

constexpr double Rate = 48000.0;
constexpr double TwoPi = 6.283185307179586;

// The left channel of `frames` frames of the generator, started at once.
std::vector<double> Generated(CSignalGenerator& generator, long frames)
{
    std::vector<float> block(2 * 4096);
    std::vector<double> left;
    for (long done = 0; done < frames;) {
        const int n = int(std::min<long>(4096, frames - done));
        generator.Generate(block.data(), n);
        for (int i = 0; i < n; ++i)
            left.push_back(block[size_t(2 * i)]);
        done += n;
    }
    return left;
}

// RMS in dBFS as AES17 reads it: a full-scale sine reads 0 dB.
double RmsDbfs(const std::vector<double>& x, size_t from)
{
    long double sum = 0;
    for (size_t i = from; i < x.size(); ++i)
        sum += (long double)x[i] * x[i];
    return 10.0 * std::log10(double(2 * sum / (x.size() - from)));
}

TEST(SignalGenerator, EachSignalReadsItsLevel)
{
    struct Case {
        GeneratorSignal signal;
        double level, tolerance;
    };
    // The noises over 20 s: their RMS wanders by a few hundredths.
    for (const Case& c : {Case{GeneratorSignal::Sine, -20.0, 0.01}, Case{GeneratorSignal::WhiteNoise, -20.0, 0.05},
                          Case{GeneratorSignal::PinkNoise, -20.0, 0.1}, Case{GeneratorSignal::PinkNoise, -12.0, 0.1}}) {
        CSignalGenerator generator(Rate);
        GeneratorSettings settings;
        settings.signal = c.signal;
        settings.levelDbfs = c.level;
        generator.Configure(settings);
        generator.Start();
        const std::vector<double> x = Generated(generator, long(20 * Rate) + 2400);
        EXPECT_NEAR(RmsDbfs(x, 2400), c.level, c.tolerance) << int(c.signal) << " at " << c.level;
        EXPECT_NEAR(generator.CrestFactorDb(), c.signal == GeneratorSignal::Sine ? 3.01 : 13.0, c.signal == GeneratorSignal::Sine ? 0.01 : 2.0);
        EXPECT_EQ(generator.ClippedSamples(), 0);
    }
    // Noise 3 dB below full scale cannot fit: its peaks are clipped, and said to be.
    CSignalGenerator loud(Rate);
    GeneratorSettings settings;
    settings.levelDbfs = -3.0;
    loud.Configure(settings);
    loud.Start();
    Generated(loud, long(Rate));
    EXPECT_GT(loud.ClippedSamples(), 100);
}

TEST(SignalGenerator, PinkNoiseHasEqualEnergyInEveryThirdOctaveFrom25HzTo16kHz)
{
    CSignalGenerator generator(Rate);
    generator.Start();
    const std::vector<double> x = Generated(generator, long(150 * Rate));
    CFractionalOctaveBank bank;
    bank.Init(3, Rate);
    const int step = bank.BlockMultiple() * 64;
    // From 1 s on, after the filters have settled.
    for (size_t at = size_t(Rate); at + step <= x.size(); at += step) {
        if (at == size_t(Rate)) {
            std::vector<double> discard;
            bank.TakeMeanSquares(discard);
        }
        bank.Process(x.data() + at, step);
    }
    std::vector<double> bands;
    bank.TakeMeanSquares(bands);
    std::vector<double> levels;
    for (size_t b = 0; b < bands.size(); ++b)
        if (bank.Bands()[b].midband > 22.0 && bank.Bands()[b].midband < 17000.0)
            levels.push_back(10.0 * std::log10(bands[b]));
    ASSERT_EQ(levels.size(), 29u);
    double mean = 0.0;
    for (double level : levels)
        mean += level / levels.size();
    for (size_t b = 0; b < levels.size(); ++b)
        EXPECT_NEAR(levels[b], mean, 0.5) << "band " << b << " from 25 Hz";
}

// Upward zero crossings, interpolated between samples, then the frequency
// over every 20 ms against the sweep's at the middle of the stretch.
TEST(SignalGenerator, TheSweepsFrequencyRisesExponentially)
{
    CSignalGenerator generator(Rate);
    GeneratorSettings settings;
    settings.signal = GeneratorSignal::Sweep;
    settings.sweepStart = 20.0;
    settings.sweepEnd = 20000.0;
    settings.sweepSeconds = 4.0;
    generator.Configure(settings);
    generator.Start();
    const std::vector<double> x = Generated(generator, long(4.0 * Rate));
    std::vector<double> crossings;
    for (size_t n = 1; n < x.size(); ++n)
        if (x[n - 1] < 0.0 && x[n] >= 0.0)
            crossings.push_back((n - 1 + x[n - 1] / (x[n - 1] - x[n])) / Rate);
    int checked = 0;
    for (size_t i = 0; i < crossings.size();) {
        size_t j = i + 1;
        while (j < crossings.size() && crossings[j] - crossings[i] < 0.02)
            ++j;
        if (j == crossings.size())
            break;
        const double t0 = crossings[i], t1 = crossings[j];
        // Away from the fades, where the crossings move.
        if (t0 > 0.06 && t1 < 3.94) {
            const double measured = (j - i) / (t1 - t0);
            const double expected = CSignalGenerator::SweepFrequency(settings, (t0 + t1) / 2);
            EXPECT_NEAR(measured / expected, 1.0, 0.01) << "at " << t0 << " s";
            ++checked;
        }
        i = j;
    }
    EXPECT_GT(checked, 150);
}

// A sine stopped near its crest, and a short sweep played twice (its fades
// at the wrap): no step between samples beyond A (w + pi / (2 R)), the
// sine's own slope plus the fade's, R the fade's length in samples; after
// Stop, silence within the fade.
TEST(SignalGenerator, FadesLeaveNoStep)
{
    const double rampSamples = CSignalGenerator::RampSeconds * Rate;
    for (GeneratorSignal signal : {GeneratorSignal::Sine, GeneratorSignal::Sweep}) {
        CSignalGenerator generator(Rate);
        GeneratorSettings settings;
        settings.signal = signal;
        settings.levelDbfs = -6.0;
        settings.sineFrequency = 1000.0;
        settings.sweepStart = 100.0;
        settings.sweepEnd = 1000.0;
        settings.sweepSeconds = 0.5;
        generator.Configure(settings);
        generator.Start();
        std::vector<double> x = Generated(generator, 48000 + 12);  // a quarter period past 1000 periods
        generator.Stop();
        const std::vector<double> tail = Generated(generator, long(rampSamples) + 10);
        x.insert(x.end(), tail.begin(), tail.end());
        const double a = std::pow(10.0, -6.0 / 20.0);
        const double limit = a * (TwoPi * 1000.0 / Rate + TwoPi / 4.0 / rampSamples) * 1.001;
        double largest = std::fabs(x[0]);
        for (size_t n = 1; n < x.size(); ++n)
            largest = std::max(largest, std::fabs(x[n] - x[n - 1]));
        EXPECT_LE(largest, limit) << int(signal);
        EXPECT_EQ(x.back(), 0.0);
        EXPECT_FALSE(generator.Running());
    }
}

} // namespace
