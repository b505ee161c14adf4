#include "dsp/frequency_weighting.h"

#include <algorithm>
#include <cmath>

#include "dsp/iir_design.h"

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr double F1 = 20.6, F2 = 107.7, F3 = 737.9, F4 = 12194.0;

// The digital pole of the analogue real pole at -2 pi f, prewarped at
// `warpAt` (the frequency at which the digital response follows the
// analogue pole's exactly).
double Pole(double f, double warpAt, double rate)
{
    const double w = 2.0 * rate * std::tan(Pi * warpAt / rate) * (f / warpAt);
    return (2.0 * rate - w) / (2.0 * rate + w);
}

// A section with real poles p and q and the numerator (1 + zero z^-1)^2:
// zero -1 for two zeros at z = 1 (s = 0), +1 for two at z = -1 (s at
// infinity).
CBiquad Section(double p, double q, double zero)
{
    CBiquad s;
    s.b0 = 1.0;
    s.b1 = 2.0 * zero;
    s.b2 = 1.0;
    s.a1 = -(p + q);
    s.a2 = p * q;
    return s;
}

} // namespace

void CFrequencyWeighting::Init(Weighting weighting, double sampleRate)
{
    rate = sampleRate;
    sections.clear();
    // The poles at 12194 Hz are prewarped at 8 kHz rather than at their own
    // frequency: at 48 kHz that keeps the whole filter within 0.11 dB of the
    // formula up to 8 kHz (within 0.7 dB when prewarped at 12194 Hz).
    const double p1 = Pole(F1, F1, rate), p2 = Pole(F2, F2, rate), p3 = Pole(F3, F3, rate);
    const double p4 = Pole(F4, std::min(8000.0, 0.4 * rate), rate);
    if (weighting == Weighting::A) {
        sections = {Section(p1, p1, -1.0), Section(p2, p3, -1.0), Section(p4, p4, 1.0)};
    } else if (weighting == Weighting::C) {
        sections = {Section(p1, p1, -1.0), Section(p4, p4, 1.0)};
    } else {
        return;
    }
    NormaliseCascade(sections, 1000.0, rate);
}

void CFrequencyWeighting::Reset()
{
    for (CBiquad& s : sections)
        s.Reset();
}

void CFrequencyWeighting::Process(double* x, int count)
{
    if (sections.empty())
        return;
    for (int i = 0; i < count; ++i)
        x[i] = ProcessCascade(sections, x[i]);
}

double WeightingGain(Weighting weighting, double f)
{
    if (weighting == Weighting::Z)
        return 1.0;
    auto response = [weighting](double frequency) {
        const double f2 = frequency * frequency;
        const double c = F4 * F4 * f2 / ((f2 + F1 * F1) * (f2 + F4 * F4));
        return weighting == Weighting::A ? c * f2 / std::sqrt((f2 + F2 * F2) * (f2 + F3 * F3)) : c;
    };
    return response(f) / response(1000.0);
}

double CFrequencyWeighting::Magnitude(double frequency) const
{
    return sections.empty() ? 1.0 : CascadeMagnitude(sections, frequency, rate);
}
