// The dual-channel measurement against theory: a known system (a peaking
// filter from the audio-EQ cookbook and a delay) measured from pink noise,
// the delay found by GCC-PHAT, and the coherence of a measurement with
// noise added at a known signal-to-noise ratio.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "analysis/transfer_curve.h"
#include "dsp/delay_finder.h"
#include "dsp/signal_generator.h"

namespace {

constexpr double Rate = 48000.0;
constexpr long double Pi = 3.14159265358979323846L;

std::vector<float> PinkNoise(long samples)
{
    CSignalGenerator generator(Rate);
    generator.Start();
    std::vector<float> frames(2 * size_t(samples));
    std::vector<float> left(static_cast<size_t>(samples));
    generator.Generate(frames.data(), int(samples));
    for (long n = 0; n < samples; ++n)
        left[size_t(n)] = frames[size_t(2 * n)];
    return left;
}

// The cookbook's peaking EQ: +6 dB at 1 kHz, Q 1.41.
struct Peaking {
    long double b0, b1, b2, a1, a2;
    Peaking()
    {
        const long double a = std::pow(10.0L, 6.0L / 40), w = 2 * Pi * 1000 / Rate, alpha = std::sin(w) / (2 * 1.41L);
        const long double a0 = 1 + alpha / a;
        b0 = (1 + alpha * a) / a0;
        b1 = -2 * std::cos(w) / a0;
        b2 = (1 - alpha * a) / a0;
        a1 = -2 * std::cos(w) / a0;
        a2 = (1 - alpha / a) / a0;
    }
    std::complex<long double> Response(double f) const
    {
        const std::complex<long double> z1 = std::polar(1.0L, -2 * Pi * f / Rate), z2 = z1 * z1;
        return (b0 + b1 * z1 + b2 * z2) / (1.0L + a1 * z1 + a2 * z2);
    }
    std::vector<float> Filter(const std::vector<float>& x) const
    {
        std::vector<float> y(x.size());
        long double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
        for (size_t n = 0; n < x.size(); ++n) {
            const long double out = b0 * x[n] + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
            x2 = x1, x1 = x[n], y2 = y1, y1 = out;
            y[n] = float(out);
        }
        return y;
    }
};

// x delayed by `delay` samples (any real number) through a Hann-windowed
// sinc of 129 taps.
std::vector<float> Delayed(const std::vector<float>& x, double delay)
{
    const long whole = long(std::floor(delay));
    const double fraction = delay - whole;
    std::vector<float> y(x.size());
    for (long n = 0; n < long(x.size()); ++n) {
        long double sum = 0;
        for (int m = -64; m <= 64; ++m) {
            const long source = n - whole - m;
            if (source < 0 || source >= long(x.size()))
                continue;
            const long double t = m - fraction;  // the sinc's argument
            const long double sinc = t == 0 ? 1 : std::sin(Pi * t) / (Pi * t);
            const long double window = 0.5L + 0.5L * std::cos(Pi * t / 65);
            sum += x[size_t(source)] * sinc * window;
        }
        y[size_t(n)] = float(sum);
    }
    return y;
}

TEST(TransferFunction, AKnownSystemsDelayMagnitudePhaseAndCoherence)
{
    const std::vector<float> x = PinkNoise(long(4 * Rate));
    const Peaking peaking;
    std::vector<float> y(x.size(), 0.0f);
    const std::vector<float> filtered = peaking.Filter(x);
    std::copy(filtered.begin(), filtered.end() - 480, y.begin() + 480);

    const FoundDelay found = FindDelay(x, y, int(Rate / 2));
    ASSERT_TRUE(found.found);
    EXPECT_NEAR(found.samples / Rate * 1000, 10.000, 1000 / Rate) << "ms";
    const FoundDelay fractional = FindDelay(x, Delayed(x, 480.3), int(Rate / 2));
    EXPECT_NEAR(fractional.samples, 480.3, 0.1);
    EXPECT_FALSE(FindDelay(x, std::vector<float>(x.size(), 0.0f), int(Rate / 2)).found) << "silence";

    CTransferFunction transfer(Rate);
    transfer.SetAveraging(0.0);
    transfer.SetDelay(found.samples);
    transfer.Process(x.data(), y.data(), int(x.size()));
    const std::vector<TransferPoint> curve = TransferCurve(transfer, 0);
    ASSERT_FALSE(curve.empty());
    const double binWidth = Rate / CTransferFunction::Size;
    for (int i = 0; i < 50; ++i) {
        const double wanted = 40.0 * std::pow(16000.0 / 40.0, i / 49.0);
        const TransferPoint& p = curve[size_t(std::lround(wanted / binWidth) - std::lround(curve[0].frequency / binWidth))];
        const std::complex<long double> h = peaking.Response(p.frequency);
        EXPECT_NEAR(p.magnitudeDb, double(20 * std::log10(std::abs(h))), 0.1) << p.frequency << " Hz";
        EXPECT_NEAR(p.phaseDegrees, double(std::arg(h) * 180 / Pi), 2.0) << p.frequency << " Hz";
        EXPECT_GE(p.coherence, 0.99) << p.frequency << " Hz";
    }
    // The impulse response: the filter's, its first sample b0 at time 0.
    const std::vector<double> impulse = ImpulseResponse(transfer);
    ASSERT_EQ(impulse.size(), size_t(CTransferFunction::Size));
    EXPECT_NEAR(impulse[0], double(peaking.b0), 0.01);
}

// y = x + noise at a signal-to-noise ratio S (both white): the coherence is
// S / (1 + S) at every frequency; smoothed over thirds, within 0.05.
TEST(TransferFunction, CoherenceOfANoisyMeasurement)
{
    for (const double snrDb : {0.0, 10.0, -10.0}) {
        std::mt19937 random(7);
        std::normal_distribution<double> normal;
        const double noiseGain = std::pow(10.0, -snrDb / 20);
        CTransferFunction transfer(Rate);
        transfer.SetAveraging(0.0);
        std::vector<float> x(48000), y(48000);
        for (int second = 0; second < 60; ++second) {
            for (size_t n = 0; n < x.size(); ++n) {
                x[n] = float(0.1 * normal(random));
                y[n] = float(x[n] + 0.1 * noiseGain * normal(random));
            }
            transfer.Process(x.data(), y.data(), int(x.size()));
        }
        const double snr = std::pow(10.0, snrDb / 10);
        for (const TransferPoint& p : TransferCurve(transfer, 3, 50.0, 20000.0))
            ASSERT_NEAR(p.coherence, snr / (1 + snr), 0.05) << snrDb << " dB, " << p.frequency << " Hz";
    }
}

} // namespace
