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
    bandStage.clear();
    groups.clear();
    stages = 0;
    const auto stageOf = [rate](const FractionalOctaveBand& band) {
        return std::max(0, static_cast<int>(std::floor(std::log2(rate / (8.0 * band.midband)))));
    };
    std::vector<BiquadCascade> cascades;
    for (size_t i = 0; i < bands.size(); ++i) {
        const FractionalOctaveBand& band = bands[i];
        const int stage = stageOf(band);
        stages = std::max(stages, stage);
        const double stageRate = rate / (1 << stage);
        // Near half the rate the bilinear transform widens a band's lower
        // skirt: one order more keeps bands two away 35 dB down.
        const int order = band.upper > stageRate / 4 ? Order + 1 : Order;
        bandStage.push_back(stage);
        cascades.push_back(ButterworthBandPass(order, band.lower, band.upper, stageRate));
        const bool last = i + 1 == bands.size();
        const bool groupEnds = last || stageOf(bands[i + 1]) != stage;
        if (groupEnds) {
            groups.push_back({stage, i + 1 - cascades.size(), CBiquadLanes(cascades)});
            cascades.clear();
        }
    }
    energy.assign(bands.size(), 0.0);
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
    for (Group& group : groups)
        group.filters.Reset();
    std::fill(energy.begin(), energy.end(), 0.0);
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
    for (Group& group : groups) {
        const std::vector<double>& signal = stageSignals[static_cast<size_t>(group.stage)];
        group.filters.ProcessEnergy(signal.data(), static_cast<int>(signal.size()), energy.data() + group.first);
    }
}

void CFractionalOctaveBank::TakeMeanSquares(std::vector<double>& out)
{
    out.resize(bands.size());
    for (size_t i = 0; i < bands.size(); ++i) {
        const long n = samples[static_cast<size_t>(bandStage[i])];
        out[i] = n > 0 ? energy[i] / static_cast<double>(n) : 0.0;
        energy[i] = 0.0;
    }
    std::fill(samples.begin(), samples.end(), 0);
}
