#pragma once

#include <cstdint>
#include <random>

#include "dsp/biquad.h"

// What the generator plays.
enum class GeneratorSignal { PinkNoise = 0, WhiteNoise = 1, Sine = 2, Sweep = 3 };
enum class GeneratorChannels { Left = 0, Right = 1, Both = 2 };

struct GeneratorSettings {
    GeneratorSignal signal = GeneratorSignal::PinkNoise;
    // The level in dBFS as a meter of RMS reads it, a full-scale sine
    // reading 0 dBFS (AES17): a sine or sweep's amplitude is 10^(level/20),
    // a noise's RMS that over the square root of 2.
    double levelDbfs = -20.0;
    double sineFrequency = 1000.0;
    // The logarithmic sweep, from `sweepStart` to `sweepEnd` Hz in
    // `sweepSeconds`, again and again.
    double sweepStart = 20.0, sweepEnd = 20000.0, sweepSeconds = 5.0;
    GeneratorChannels channels = GeneratorChannels::Both;
};

// Test signals for measuring systems, generated sample by sample in double:
// pink noise (-3 dB per octave: Gaussian white noise through Paul Kellet's
// refined pink filter, its power normalised from the filter's own impulse
// response, below 10 Hz cut by a 2nd-order high-pass), white Gaussian
// noise, a sine, and the exponential sweep of Farina, whose instantaneous
// frequency is f1 (f2 / f1)^(t / T), each sweep faded in and out over
// RampSeconds. Start and Stop fade the whole output in and out over
// RampSeconds (half a cosine), so that nothing clicks.
class CSignalGenerator {
public:
    static constexpr double RampSeconds = 0.05;

    explicit CSignalGenerator(double sampleRate = 48000.0);

    // Takes effect at the next sample; the sweep starts again when its
    // frequencies or length change.
    void Configure(const GeneratorSettings& settings);
    const GeneratorSettings& Settings() const { return settings; }
    void Start();
    void Stop();
    // Sounding or fading out.
    bool Running() const { return ramp > 0.0 || rampDirection > 0; }
    // `frames` stereo frames, interleaved, full scale 1; silence when not
    // running.
    void Generate(float* interleaved, int frames);
    // The peak over the RMS of the signal at its set level, in dB, as
    // measured over the samples generated since the last Configure (a sine
    // 3.01 dB).
    double CrestFactorDb() const;
    // Samples beyond full scale since the last Configure, clipped to it (a
    // noise's peaks reach 4 to 5 times its RMS: above about -12 dBFS some
    // do).
    long ClippedSamples() const { return clipped; }
    // The instantaneous frequency of the sweep `seconds` into a sweep.
    static double SweepFrequency(const GeneratorSettings& settings, double seconds);

private:
    double NextSample();
    double Gaussian();
    double Pink(double white);
    double PinkFilter(double white);
    double SweepSample();

    double rate;
    GeneratorSettings settings;
    double amplitude = 0.1;  // of a sine; a noise's RMS is amplitude / sqrt(2)
    double pinkScale = 1.0;  // makes the pink filter's output power that of its input
    std::mt19937_64 random{20261209};
    bool spareReady = false;
    double spare = 0.0;
    double pinkState[7] = {};
    CBiquad pinkHighPass;
    double phase = 0.0;  // of the sine, in cycles
    long sweepSample = 0;
    // The output's fade: `ramp` goes from 0 to 1 over RampSeconds after
    // Start, back to 0 after Stop; the gain is half a cosine of it.
    double ramp = 0.0;
    int rampDirection = 0;
    // Measured crest factor.
    double peak = 0.0, sumSquares = 0.0;
    long measured = 0;
    long clipped = 0;
};
