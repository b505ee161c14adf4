// The bands view's levels against IEC 61260-1:2014 (fractional-octave
// filters) and IEC 61672-1:2013 (frequency weightings): generated signals
// in, the documents' numbers out. Levels are dB re full scale, a full-scale
// sine reading 0 dB (AES17).
#include <gtest/gtest.h>

#include <kissfft.hh>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "analysis/measurement.h"
#include "settings/measure_settings.h"

namespace {

constexpr double Rate = 48000.0;
constexpr int Block = 2048;

double NominalHz(const FractionalOctaveBand& band)
{
    return std::atof(band.nominal.c_str()) * (band.nominal.back() == 'k' ? 1000.0 : 1.0);
}

// Feeds `seconds` of `sample(n)` (in full-scale units) block by block.
template <typename Sample>
void Feed(CMeasurement& m, double seconds, Sample sample)
{
    std::vector<int16_t> x(Block);
    long n = 0;
    for (int b = 0; b < int(seconds * Rate / Block); ++b) {
        for (int i = 0; i < Block; ++i, ++n)
            x[size_t(i)] = int16_t(std::lround(std::clamp(sample(n), -1.0, 1.0) * 32767));
        m.AddSamples(x.data(), Block, b);
    }
}

// A sine of `dbfs` (re a full-scale sine) at `hz`.
auto Sine(double hz, double dbfs)
{
    const double a = std::pow(10.0, dbfs / 20.0);
    return [a, hz](long n) { return a * std::sin(2 * M_PI * hz * n / Rate); };
}

class BandLevels : public ::testing::Test {
protected:
    void SetUp() override { SharedMeasureSettings = MeasureSettings(); }
    void TearDown() override { SharedMeasureSettings = MeasureSettings(); }

    // The levels after `seconds` of a sine, with Z weighting, Slow unless
    // `fast`.
    std::vector<double> SineLevels(int bandsPerOctave, double hz, double seconds = 5.0, bool fast = false)
    {
        SharedMeasureSettings.BandsPerOctave = bandsPerOctave;
        SharedMeasureSettings.TimeWeighting = fast ? 0 : 1;
        CMeasurement m;
        Feed(m, seconds, Sine(hz, -20.0));
        return m.BandLevels();
    }
};

// IEC 61260-1:2014 5.2, 5.4 and Annex E: G = 10^(3/10); the midbands of a
// third are 1000 G^(x/3), an octave's 1000 G^x, a twelfth's (even b)
// 1000 G^((2x+1)/24); edges G^(1/(2b)) either side; the nominal thirds of
// Table E.1 label them.
TEST_F(BandLevels, BandsAreTheStandardsFromTwentyHertzToTwentyKilohertz)
{
    const double G = std::pow(10.0, 0.3);
    const std::vector<FractionalOctaveBand> thirds = FractionalOctaveBands(3);
    const char* const nominal[] = {"20",   "25",   "31.5", "40",   "50",   "63",   "80",  "100", "125", "160", "200",
                                   "250",  "315",  "400",  "500",  "630",  "800",  "1k",  "1.25k", "1.6k", "2k",
                                   "2.5k", "3.15k", "4k",  "5k",   "6.3k", "8k",   "10k", "12.5k", "16k",  "20k"};
    ASSERT_EQ(thirds.size(), std::size(nominal));
    for (size_t i = 0; i < thirds.size(); ++i) {
        const int x = int(i) - 17;  // 1 kHz is x = 0
        EXPECT_EQ(thirds[i].nominal, nominal[i]);
        EXPECT_NEAR(thirds[i].midband, 1000 * std::pow(G, x / 3.0), 1e-9 * thirds[i].midband);
        EXPECT_NEAR(thirds[i].upper / thirds[i].lower, std::pow(G, 1.0 / 3), 1e-12);
    }
    const std::vector<FractionalOctaveBand> octaves = FractionalOctaveBands(1);
    ASSERT_EQ(octaves.size(), 10u);
    EXPECT_EQ(octaves.front().nominal, "31.5");
    EXPECT_EQ(octaves.back().nominal, "16k");
    const std::vector<FractionalOctaveBand> twelfths = FractionalOctaveBands(12);
    size_t above = 0;
    while (twelfths[above].midband < 1000)
        ++above;
    EXPECT_NEAR(twelfths[above].midband, 1000 * std::pow(G, 1.0 / 24), 1e-9);
    EXPECT_EQ(twelfths[above].nominal, "1.03k");
}

// A -20 dBFS sine at each nominal midband reads -20.0 +- 0.2 dB in its own
// band; every band two or more away reads at least 35 dB lower.
class SineInItsBand : public BandLevels, public ::testing::WithParamInterface<int> {};

TEST_P(SineInItsBand, ReadsMinusTwentyThereAndFarLessTwoBandsAway)
{
    const int b = GetParam();
    const std::vector<FractionalOctaveBand> bands = FractionalOctaveBands(b);
    for (size_t k = 0; k < bands.size(); ++k) {
        const double hz = NominalHz(bands[k]);
        if ((b == 3 && (hz < 25 || hz > 16000)) || (b == 12 && hz < 100))
            continue;
        const std::vector<double> levels = SineLevels(b, hz);
        EXPECT_NEAR(levels[k], -20.0, 0.2) << bands[k].nominal;
        for (size_t j = 0; j < levels.size(); ++j) {
            if (j + 2 <= k || j >= k + 2) {
                EXPECT_LE(levels[j], levels[k] - 35.0) << "sine " << bands[k].nominal << ", band " << bands[j].nominal;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(BandsPerOctave, SineInItsBand, ::testing::Values(1, 3, 12),
                         [](const ::testing::TestParamInfo<int>& info) { return "b" + std::to_string(info.param); });

// IEC 61260-1:2014 Table 1, class 1, for one-third-octave filters: the
// relative attenuation at the normalised frequencies Omega = f / fm of the
// 1 kHz band lies between the limits (dB; upper "none" as 1e9).
TEST_F(BandLevels, OneThirdOctaveAttenuationLiesWithinClassOneLimits)
{
    const struct {
        double omega, lower, upper;
    } table[] = {
        {1.0, -0.3, 0.3},     {1.02667, -0.3, 0.4}, {1.05575, -0.3, 0.6}, {1.08746, -0.3, 1.3},
        {1.12202, -0.3, 5.0}, {1.29437, 17.5, 1e9}, {1.88173, 42.0, 1e9}, {3.05365, 61.0, 1e9},
        {5.39195, 70.0, 1e9}, {0.97402, -0.3, 0.4}, {0.94719, -0.3, 0.6}, {0.91958, -0.3, 1.3},
        {0.89125, -0.3, 5.0}, {0.77257, 17.5, 1e9}, {0.53143, 42.0, 1e9}, {0.32748, 61.0, 1e9},
        {0.18546, 70.0, 1e9},
    };
    const std::vector<FractionalOctaveBand> bands = FractionalOctaveBands(3);
    const size_t k = 17;  // 1 kHz
    ASSERT_EQ(bands[k].nominal, "1k");
    // Fast, so that the sine's onset has long left the reading.
    const double reference = SineLevels(3, bands[k].midband, 2.0, true)[k];
    for (const auto& row : table) {
        const double attenuation = reference - SineLevels(3, bands[k].midband * row.omega, 2.0, true)[k];
        EXPECT_GE(attenuation, row.lower) << "Omega " << row.omega;
        EXPECT_LE(attenuation, row.upper) << "Omega " << row.omega;
    }
}

// IEC 61672-1:2013 Table 3: the A and C weightings at nominal frequencies
// and the class 1 acceptance limits; a -20 dBFS sine there reads -20 dB
// plus the weighting in its third.
TEST_F(BandLevels, AAndCWeightingsFollowTheTableWithinClassOne)
{
    const struct {
        double hz, a, c, plus, minus;
    } table[] = {
        {31.5, -39.4, -3.0, 2.0, 2.0},  {63, -26.2, -0.8, 1.5, 1.5},    {125, -16.1, -0.2, 1.5, 1.5},
        {250, -8.6, 0.0, 1.4, 1.4},     {500, -3.2, 0.0, 1.4, 1.4},     {1000, 0.0, 0.0, 1.1, 1.1},
        {2000, 1.2, -0.2, 1.6, 1.6},    {4000, 1.0, -0.8, 1.6, 1.6},    {8000, -1.1, -3.0, 2.1, 3.1},
        {16000, -6.6, -8.5, 3.5, 17.0},
    };
    for (const Weighting w : {Weighting::A, Weighting::C}) {
        SharedMeasureSettings.Weighting = int(w);
        const std::vector<FractionalOctaveBand> bands = FractionalOctaveBands(3);
        for (const auto& row : table) {
            size_t k = 0;
            while (NominalHz(bands[k]) != row.hz)
                ++k;
            const double expected = -20.0 + (w == Weighting::A ? row.a : row.c);
            const double level = SineLevels(3, row.hz, 3.0)[k];
            EXPECT_LE(level, expected + row.plus) << (w == Weighting::A ? "A " : "C ") << row.hz;
            EXPECT_GE(level, expected - row.minus) << (w == Weighting::A ? "A " : "C ") << row.hz;
        }
    }
}

// Noise as a sum of sines with seeded random phases on every FFT bin from
// 20 Hz to 20 kHz of a 2^20-sample period: pink (power falling 3 dB per
// octave) or white; its mean square is known exactly.
std::vector<double> MultisineNoise(bool pink, unsigned seed, double& meanSquare)
{
    const int n = 1 << 20;
    std::vector<std::complex<double>> spectrum(static_cast<size_t>(n), 0.0);
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> phase(0.0, 2 * M_PI);
    for (int k = 1; k < n / 2; ++k) {
        const double hz = k * Rate / n;
        if (hz < 20.0 || hz > 20000.0)
            continue;
        const double amplitude = pink ? 1.0 / std::sqrt(hz) : 1.0;
        spectrum[size_t(k)] = std::polar(amplitude, phase(random));
        spectrum[size_t(n - k)] = std::conj(spectrum[size_t(k)]);
    }
    kissfft<double> inverse(n, true);
    std::vector<std::complex<double>> wave(static_cast<size_t>(n));
    inverse.transform(spectrum.data(), wave.data());
    std::vector<double> x(static_cast<size_t>(n));
    double energy = 0.0, peak = 0.0;
    for (int t = 0; t < n; ++t)
        peak = std::max(peak, std::fabs(wave[size_t(t)].real()));
    for (int t = 0; t < n; ++t) {
        x[size_t(t)] = 0.25 * wave[size_t(t)].real() / peak;  // peaks at -12 dBFS
        energy += x[size_t(t)] * x[size_t(t)];
    }
    meanSquare = energy / n;
    return x;
}

// After 20 s of linear averaging: pink noise gives equal thirds (+- 0.5 dB)
// from 50 Hz to 16 kHz, white noise rises 1 dB a third (10 log10 G^(1/3)),
// and the bands' powers add up to the whole signal's within 0.2 dB.
TEST_F(BandLevels, NoiseSpreadsOverTheThirdsAsItsSpectrumSays)
{
    SharedMeasureSettings.Averaging = 4;
    for (const bool pink : {true, false}) {
        double meanSquare = 0.0;
        const std::vector<double> x = MultisineNoise(pink, 17, meanSquare);
        CMeasurement m;
        Feed(m, 20.0, [&x](long t) { return x[size_t(t) % x.size()]; });
        const std::vector<FractionalOctaveBand>& bands = m.Bands();
        const std::vector<double>& levels = m.BandLevels();
        double sum = 0.0, offset = 0.0;
        int used = 0;
        for (size_t k = 0; k < bands.size(); ++k) {
            sum += std::pow(10.0, levels[k] / 10.0) / 2.0;
            if (NominalHz(bands[k]) >= 50 && NominalHz(bands[k]) <= 16000) {
                offset += levels[k] - (pink ? 0.0 : double(k));
                ++used;
            }
        }
        offset /= used;
        for (size_t k = 0; k < bands.size(); ++k) {
            if (NominalHz(bands[k]) >= 50 && NominalHz(bands[k]) <= 16000) {
                EXPECT_NEAR(levels[k], offset + (pink ? 0.0 : double(k)), 0.5)
                    << (pink ? "pink " : "white ") << bands[k].nominal;
            }
        }
        EXPECT_NEAR(10 * std::log10(sum / meanSquare), 0.0, 0.2) << (pink ? "pink" : "white");
    }
}

// A microphone's correction of +3.0 dB from 2.8 kHz up and none at 1 kHz raises
// the 4 kHz band's tone by 3.0 dB and leaves the 1 kHz band's as it was.
TEST_F(BandLevels, AMicrophonesCorrectionIsTakenAtEachMidband)
{
    for (const auto& [hz, raised] : {std::pair{1000.0, 0.0}, {4000.0, 3.0}}) {
        const std::vector<double> plain = SineLevels(3, hz);
        CMeasurement m;
        m.SetMicrophoneCorrection([](double f) { return 3.0 * std::clamp(std::log2(f / 1000.0) / 1.5, 0.0, 1.0); });
        Feed(m, 5.0, Sine(hz, -20.0));
        const size_t k = size_t(std::max_element(plain.begin(), plain.end()) - plain.begin());
        EXPECT_NEAR(m.BandLevels()[k] - plain[k], raised, 0.01) << hz << " Hz";
    }
}

} // namespace
