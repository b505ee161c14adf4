#include "dsp/fractional_octave_bands.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "dsp/iir_design.h"

namespace {

const double G = std::pow(10.0, 0.3);

// IEC 61260-1 nominal midbands of the thirds, one decade; octaves are every
// third of them from 31.5 Hz on.
const char* const ThirdOctaveNominal[10] = {"10", "12.5", "16", "20", "25", "31.5", "40", "50", "63", "80"};

std::string Label(double value, const char* digits)
{
    // 1000 and above in kHz: "1k", "12.5k".
    char text[32];
    if (value >= 1000.0) {
        std::snprintf(text, sizeof text, "%gk", value / 1000.0);
        return text;
    }
    std::snprintf(text, sizeof text, "%s", digits);
    return text;
}

// The standard's nominal value of the third (or octave) with index x
// relative to 1 kHz (x = 0).
std::string ThirdOctaveLabel(int x)
{
    const int index = ((x % 10) + 10) % 10;
    const int decade = (x - index) / 10;  // 1 kHz is index 0 of decade 0
    const double mantissa = std::atof(ThirdOctaveNominal[index]) / 10.0;
    const double value = mantissa * std::pow(10.0, decade + 3);
    char digits[16];
    std::snprintf(digits, sizeof digits, "%g", value);
    return Label(value, digits);
}

std::string ThreeDigitLabel(double exact)
{
    const int magnitude = static_cast<int>(std::floor(std::log10(exact)));
    const double step = std::pow(10.0, magnitude - 2);
    const double value = std::round(exact / step) * step;
    char digits[16];
    std::snprintf(digits, sizeof digits, "%g", value);
    return Label(value, digits);
}

double ExactMidband(int x, int b)
{
    return 1000.0 * (b % 2 ? std::pow(G, static_cast<double>(x) / b) : std::pow(G, (2.0 * x + 1) / (2.0 * b)));
}

} // namespace

std::vector<FractionalOctaveBand> FractionalOctaveBands(int b)
{
    std::vector<FractionalOctaveBand> bands;
    const double half = std::pow(G, 1.0 / (2 * b));
    for (int x = -10 * b; x <= 10 * b; ++x) {
        const double fm = ExactMidband(x, b);
        std::string label;
        if (b == 1 || b == 3)
            label = ThirdOctaveLabel(b == 1 ? 3 * x : x);
        else
            label = ThreeDigitLabel(fm);
        const double nominal = std::atof(label.c_str()) * (label.back() == 'k' ? 1000.0 : 1.0);
        if (nominal < 20.0 || nominal > 20000.0)
            continue;
        bands.push_back({fm, fm / half, fm * half, label});
    }
    return bands;
}

void CFractionalOctaveBank::Init(int bandsPerOctave, double rate)
{
    bands = FractionalOctaveBands(bandsPerOctave);
    filters.clear();
    stages = 0;
    for (const FractionalOctaveBand& band : bands) {
        const int stage = std::max(0, static_cast<int>(std::floor(std::log2(rate / (8.0 * band.midband)))));
        stages = std::max(stages, stage);
        const double stageRate = rate / (1 << stage);
        // Near half the rate the bilinear transform widens a band's lower
        // skirt: one order more keeps bands two away 35 dB down.
        const int order = band.upper > stageRate / 4 ? Order + 1 : Order;
        filters.push_back({stage, ButterworthBandPass(order, band.lower, band.upper, stageRate)});
    }
    decimators.clear();
    for (int s = 0; s < stages; ++s) {
        const double from = rate / (1 << s);
        decimators.push_back(ButterworthLowPass(6, from / 5.0, from));
    }
    stageSignals.assign(static_cast<size_t>(stages) + 1, std::vector<double>());
    samples.assign(static_cast<size_t>(stages) + 1, 0);
}

void CFractionalOctaveBank::Reset()
{
    for (Band& band : filters) {
        for (CBiquad& s : band.filter)
            s.Reset();
        band.energy = 0.0;
    }
    for (BiquadCascade& d : decimators)
        for (CBiquad& s : d)
            s.Reset();
    std::fill(samples.begin(), samples.end(), 0);
}

void CFractionalOctaveBank::Process(const double* x, int count)
{
    stageSignals[0].assign(x, x + count);
    for (int s = 0; s < stages; ++s) {
        const std::vector<double>& from = stageSignals[static_cast<size_t>(s)];
        std::vector<double>& to = stageSignals[static_cast<size_t>(s) + 1];
        to.resize(from.size() / 2);
        BiquadCascade& lowPass = decimators[static_cast<size_t>(s)];
        for (size_t i = 0; i < from.size(); ++i) {
            const double y = ProcessCascade(lowPass, from[i]);
            if (i % 2 == 1)
                to[i / 2] = y;
        }
    }
    for (int s = 0; s <= stages; ++s)
        samples[static_cast<size_t>(s)] += static_cast<long>(stageSignals[static_cast<size_t>(s)].size());
    for (Band& band : filters) {
        double energy = 0.0;
        for (const double v : stageSignals[static_cast<size_t>(band.stage)]) {
            const double y = ProcessCascade(band.filter, v);
            energy += y * y;
        }
        band.energy += energy;
    }
}

void CFractionalOctaveBank::TakeMeanSquares(std::vector<double>& out)
{
    out.resize(filters.size());
    for (size_t i = 0; i < filters.size(); ++i) {
        const long n = samples[static_cast<size_t>(filters[i].stage)];
        out[i] = n > 0 ? filters[i].energy / static_cast<double>(n) : 0.0;
        filters[i].energy = 0.0;
    }
    std::fill(samples.begin(), samples.end(), 0);
}
