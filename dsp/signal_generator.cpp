#include "dsp/signal_generator.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double TwoPi = 6.28318530717958647;
constexpr double HighPassHz = 10.0;

// A 2nd-order Butterworth high-pass through the bilinear transform (the
// audio-EQ cookbook's HPF with Q = 1 / sqrt(2)).
CBiquad ButterworthHighPass(double cutoff, double rate)
{
    const double w = TwoPi * cutoff / rate;
    const double alpha = std::sin(w) / (2.0 * 0.70710678118654752);
    const double cosw = std::cos(w);
    const double a0 = 1.0 + alpha;
    CBiquad section;
    section.b0 = (1.0 + cosw) / 2.0 / a0;
    section.b1 = -(1.0 + cosw) / a0;
    section.b2 = section.b0;
    section.a1 = -2.0 * cosw / a0;
    section.a2 = (1.0 - alpha) / a0;
    return section;
}

} // namespace

CSignalGenerator::CSignalGenerator(double sampleRate) : rate(sampleRate)
{
    pinkHighPass = ButterworthHighPass(HighPassHz, rate);
    // The filter's power gain for white noise is the energy of its impulse
    // response; two seconds hold all of it that matters (its slowest pole
    // decays in 0.02 s, the high-pass in 0.05 s).
    double energy = 0.0;
    for (long n = 0; n < static_cast<long>(2 * rate); ++n) {
        const double h = PinkFilter(n == 0 ? 1.0 : 0.0);
        energy += h * h;
    }
    pinkScale = 1.0 / std::sqrt(energy);
    std::fill(std::begin(pinkState), std::end(pinkState), 0.0);
    pinkHighPass.Reset();
    Configure(settings);
}

void CSignalGenerator::Configure(const GeneratorSettings& next)
{
    const bool sweepChanged = next.sweepStart != settings.sweepStart || next.sweepEnd != settings.sweepEnd ||
                              next.sweepSeconds != settings.sweepSeconds || next.signal != settings.signal;
    settings = next;
    // What a sweep or a sine can be: between 1 Hz and the Nyquist
    // frequency, a sweep long enough for its two fades.
    const double nyquist = rate / 2.0;
    settings.sineFrequency = std::clamp(settings.sineFrequency, 1.0, nyquist);
    settings.sweepStart = std::clamp(settings.sweepStart, 1.0, nyquist);
    settings.sweepEnd = std::clamp(settings.sweepEnd, 1.0, nyquist);
    settings.sweepSeconds = std::max(settings.sweepSeconds, 4.0 * RampSeconds);
    amplitude = std::pow(10.0, settings.levelDbfs / 20.0);
    if (sweepChanged)
        sweepSample = 0;
    peak = sumSquares = 0.0;
    measured = clipped = 0;
}

void CSignalGenerator::Start()
{
    rampDirection = 1;
}

void CSignalGenerator::Stop()
{
    rampDirection = -1;
}

double CSignalGenerator::Gaussian()
{
    // Box and Muller's transform, two values from two uniform ones in (0, 1].
    if (spareReady) {
        spareReady = false;
        return spare;
    }
    const double scale = 1.0 / 18446744073709551616.0;  // 2^-64
    const double u1 = (static_cast<double>(random()) + 1.0) * scale;
    const double u2 = static_cast<double>(random()) * scale;
    const double radius = std::sqrt(-2.0 * std::log(u1));
    spare = radius * std::sin(TwoPi * u2);
    spareReady = true;
    return radius * std::cos(TwoPi * u2);
}

// Paul Kellet's refined pink filter (accurate to 0.05 dB above 9.2 Hz at
// 44.1 kHz, its slope kept at 48 kHz), then the high-pass.
double CSignalGenerator::PinkFilter(double white)
{
    double* b = pinkState;
    b[0] = 0.99886 * b[0] + white * 0.0555179;
    b[1] = 0.99332 * b[1] + white * 0.0750759;
    b[2] = 0.96900 * b[2] + white * 0.1538520;
    b[3] = 0.86650 * b[3] + white * 0.3104856;
    b[4] = 0.55000 * b[4] + white * 0.5329522;
    b[5] = -0.7616 * b[5] - white * 0.0168980;
    const double pink = b[0] + b[1] + b[2] + b[3] + b[4] + b[5] + b[6] + white * 0.5362;
    b[6] = white * 0.115926;
    return pinkHighPass.Process(pink);
}

double CSignalGenerator::Pink(double white)
{
    return PinkFilter(white) * pinkScale;
}

double CSignalGenerator::SweepFrequency(const GeneratorSettings& s, double seconds)
{
    return s.sweepStart * std::pow(s.sweepEnd / s.sweepStart, seconds / s.sweepSeconds);
}

// x(t) = sin(2 pi f1 T / ln(f2 / f1) (e^(t ln(f2 / f1) / T) - 1)), whose
// phase's derivative is 2 pi f1 (f2 / f1)^(t / T).
double CSignalGenerator::SweepSample()
{
    const long length = std::max(1L, std::lround(settings.sweepSeconds * rate));
    const double t = static_cast<double>(sweepSample) / rate;
    const double rateOfRise = std::log(settings.sweepEnd / settings.sweepStart);
    const double cycles = rateOfRise == 0.0 ? settings.sweepStart * t
                                            : settings.sweepStart * settings.sweepSeconds / rateOfRise *
                                                  (std::exp(t * rateOfRise / settings.sweepSeconds) - 1.0);
    const double fromEdge = static_cast<double>(std::min(sweepSample, length - 1 - sweepSample)) / rate;
    const double fade = fromEdge < RampSeconds ? 0.5 * (1.0 - std::cos(TwoPi / 2.0 * fromEdge / RampSeconds)) : 1.0;
    sweepSample = (sweepSample + 1) % length;
    return fade * std::sin(TwoPi * (cycles - std::floor(cycles)));
}

double CSignalGenerator::NextSample()
{
    constexpr double HalfRoot2 = 0.70710678118654752;
    switch (settings.signal) {
    case GeneratorSignal::PinkNoise:
        return amplitude * HalfRoot2 * Pink(Gaussian());
    case GeneratorSignal::WhiteNoise:
        return amplitude * HalfRoot2 * Gaussian();
    case GeneratorSignal::Sine: {
        const double x = std::sin(TwoPi * phase);
        phase += settings.sineFrequency / rate;
        phase -= std::floor(phase);
        return amplitude * x;
    }
    case GeneratorSignal::Sweep:
        return amplitude * SweepSample();
    }
    return 0.0;
}

void CSignalGenerator::Generate(float* interleaved, int frames)
{
    const double rampStep = 1.0 / (RampSeconds * rate);
    for (int i = 0; i < frames; ++i) {
        double out = 0.0;
        if (Running()) {
            ramp = std::clamp(ramp + rampDirection * rampStep, 0.0, 1.0);
            if (ramp == 1.0 && rampDirection > 0)
                rampDirection = 0;
            const double x = NextSample();
            peak = std::max(peak, std::fabs(x));
            sumSquares += x * x;
            ++measured;
            out = 0.5 * (1.0 - std::cos(TwoPi / 2.0 * ramp)) * x;
        }
        if (std::fabs(out) > 1.0)
            ++clipped;
        const auto sample = static_cast<float>(std::clamp(out, -1.0, 1.0));
        interleaved[2 * i] = settings.channels == GeneratorChannels::Right ? 0.0f : sample;
        interleaved[2 * i + 1] = settings.channels == GeneratorChannels::Left ? 0.0f : sample;
    }
}

double CSignalGenerator::CrestFactorDb() const
{
    if (measured == 0 || sumSquares <= 0.0)
        return 0.0;
    return 20.0 * std::log10(peak / std::sqrt(sumSquares / static_cast<double>(measured)));
}
