// The tempo readout through the engine with the real block sequence: a
// signal is fed buffer by buffer for a number of seconds; the estimate may
// be shown only when it is a beat, and then only at the signal's tempo.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "tests/analysis/engine_fixture.h"

namespace {

constexpr double Rate = 48000.0;
constexpr double Minus20dB = 0.1;

struct Signal {
    const char* name;
    double bpm;      // 0: no beat, the readout must stay "—"
    double seconds;  // fed for this long; a beat is shown at the end
    std::vector<float> (*make)(long frames);
};

double Sine(long n, double frequency, double amplitude)
{
    return amplitude * std::sin(2 * M_PI * frequency * n / Rate);
}

// A 5 ms burst of 2 kHz every beat, as the click track of the program's
// end-to-end test.
double Click(long n, double bpm, double amplitude)
{
    const long t = n % std::lround(Rate * 60 / bpm);
    return t < 240 ? amplitude * std::exp(-t / 60.0) * std::sin(2 * M_PI * 2000 * t / Rate) : 0.0;
}

// A drum pattern: a falling 150 to 50 Hz kick on every beat, a noise snare
// on beats 2 and 4, a noise hi-hat on every eighth.
std::vector<float> Drums(long frames, double bpm)
{
    std::mt19937 random(3);
    std::uniform_real_distribution<double> noise(-1, 1);
    const double beat = Rate * 60 / bpm;
    std::vector<float> x(static_cast<size_t>(frames));
    for (long n = 0; n < frames; ++n) {
        const double bar = std::fmod(double(n), 4 * beat);
        const int index = int(bar / beat);
        const double t = bar - index * beat;
        const double eighth = std::fmod(bar, beat / 2);
        double v = t < 9600 ? 0.5 * std::exp(-t / 2400) * std::sin(2 * M_PI * (50 + 100 * std::exp(-t / 800)) * t / Rate)
                            : 0.0;
        if (index % 2 == 1 && t < 7200)
            v += 0.3 * std::exp(-t / 1500) * noise(random);
        if (eighth < 1500)
            v += 0.1 * std::exp(-eighth / 300) * noise(random);
        x[size_t(n)] = float(v);
    }
    return x;
}

template <typename F>
std::vector<float> Generate(long frames, F f)
{
    std::vector<float> x(static_cast<size_t>(frames));
    for (long n = 0; n < frames; ++n)
        x[size_t(n)] = float(f(n));
    return x;
}

// Pink noise at about -20 dBFS: seeded white noise through Paul Kellet's
// filter (-3 dB per octave within 0.05 dB above 10 Hz).
std::vector<float> Pink(long frames)
{
    std::mt19937 random(11);
    std::normal_distribution<double> white(0, 0.025);
    double b[7] = {};
    return Generate(frames, [&](long) {
        const double w = white(random);
        b[0] = 0.99886 * b[0] + w * 0.0555179;
        b[1] = 0.99332 * b[1] + w * 0.0750759;
        b[2] = 0.96900 * b[2] + w * 0.1538520;
        b[3] = 0.86650 * b[3] + w * 0.3104856;
        b[4] = 0.55000 * b[4] + w * 0.5329522;
        b[5] = -0.7616 * b[5] - w * 0.0168980;
        const double p = b[0] + b[1] + b[2] + b[3] + b[4] + b[5] + b[6] + w * 0.5362;
        b[6] = w * 0.115926;
        return p;
    });
}

const Signal Signals[] = {
    {"silence", 0, 12, [](long n) { return std::vector<float>(size_t(n), 0.0f); }},
    {"sine100", 0, 14, [](long n) { return Generate(n, [](long i) { return Sine(i, 100, Minus20dB); }); }},
    {"sine440", 0, 14, [](long n) { return Generate(n, [](long i) { return Sine(i, 440, Minus20dB); }); }},
    {"sine1000", 0, 14, [](long n) { return Generate(n, [](long i) { return Sine(i, 1000, 0.9); }); }},
    {"sine3000", 0, 14, [](long n) { return Generate(n, [](long i) { return Sine(i, 3000, Minus20dB); }); }},
    {"chordCEG", 0, 14,
     [](long n) {
         return Generate(n, [](long i) {
             return Sine(i, 261.63, Minus20dB) + Sine(i, 329.63, Minus20dB) + Sine(i, 392.0, Minus20dB);
         });
     }},
    {"chordAm7", 0, 14,
     [](long n) {
         return Generate(n, [](long i) {
             return Sine(i, 220, Minus20dB) + Sine(i, 261.63, Minus20dB) + Sine(i, 329.63, Minus20dB) +
                    Sine(i, 392.0, Minus20dB);
         });
     }},
    {"pinkNoise", 0, 14, Pink},
    {"clicks90", 90, 11, [](long n) { return Generate(n, [](long i) { return Click(i, 90, 0.6); }); }},
    {"clicks120", 120, 11, [](long n) { return Generate(n, [](long i) { return Click(i, 120, 0.6); }); }},
    {"clicks140", 140, 11, [](long n) { return Generate(n, [](long i) { return Click(i, 140, 0.6); }); }},
    // The tone goes on under the clicks.
    {"clicksAfter5sOfTone", 120, 15.5,
     [](long n) {
         return Generate(n, [](long i) { return Sine(i, 440, Minus20dB) + (i >= 240000 ? Click(i - 240000, 120, 0.5) : 0); });
     }},
    {"drums90", 90, 11, [](long n) { return Drums(n, 90); }},
    {"drums140", 140, 11, [](long n) { return Drums(n, 140); }},
};

void PrintTo(const Signal& s, std::ostream* os)
{
    *os << s.name;
}

class TempoReadout : public EngineTest, public ::testing::WithParamInterface<Signal> {};

TEST_P(TempoReadout, ShowsATempoOnlyForABeatAndThenTheRightOne)
{
    const Signal& s = GetParam();
    SharedSettings.TempoDetector = true;
    const int blocks = int(s.seconds * Rate / CWaveCapture::FramesPerBuffer);
    const std::vector<float> x = s.make(long(blocks) * CWaveCapture::FramesPerBuffer);
    auto sample = [&](long n) { return int16_t(std::lround(std::clamp(x[size_t(n)], -1.0f, 1.0f) * 32767)); };
    for (int b = 0; b < blocks; ++b) {
        FeedBoth(sample);
        // Ten seconds of history are needed first.
        if (b < CTempoDetector::Rows) {
            ASSERT_FALSE(engine.TempoIsBeat()) << "block " << b;
        } else if (engine.TempoIsBeat()) {
            ASSERT_NE(s.bpm, 0) << "a tempo shown at block " << b << ": " << engine.TempoBpm() << " bpm, clarity "
                                << engine.TempoClarity() << ", strength " << engine.TempoStrength();
            ASSERT_NEAR(engine.TempoBpm(), s.bpm, 2) << "block " << b;
        }
    }
    if (s.bpm != 0) {
        EXPECT_TRUE(engine.TempoIsBeat()) << engine.TempoBpm() << " bpm, clarity " << engine.TempoClarity()
                                          << ", strength " << engine.TempoStrength();
    }
}

INSTANTIATE_TEST_SUITE_P(Signals, TempoReadout, ::testing::ValuesIn(Signals),
                         [](const ::testing::TestParamInfo<Signal>& info) { return std::string(info.param.name); });

} // namespace
