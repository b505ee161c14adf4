#include "dsp/iir_design.h"

#include <cmath>
#include <complex>
#include <vector>

namespace {

using Complex = std::complex<double>;

constexpr double Pi = 3.14159265358979323846;

// The analogue angular frequency that the bilinear transform at `rate`
// maps to `frequency`.
double Prewarped(double frequency, double rate)
{
    return 2.0 * rate * std::tan(Pi * frequency / rate);
}

Complex Bilinear(Complex s, double rate)
{
    return (2.0 * rate + s) / (2.0 * rate - s);
}

// The section with the pole pair p, conj(p) and the given numerator.
CBiquad Section(Complex pole, double b0, double b1, double b2)
{
    CBiquad s;
    s.b0 = b0;
    s.b1 = b1;
    s.b2 = b2;
    s.a1 = -2.0 * pole.real();
    s.a2 = std::norm(pole);
    return s;
}

// Poles of the analogue Butterworth low-pass of `order` with unit cutoff,
// those in the upper half plane and on the real axis.
std::vector<Complex> PrototypePoles(int order)
{
    std::vector<Complex> poles;
    for (int k = 0; k < order; ++k) {
        const Complex p = std::polar(1.0, Pi * (2.0 * k + order + 1) / (2.0 * order));
        if (p.imag() >= -1e-12)
            poles.push_back(p);
    }
    return poles;
}

} // namespace

double CascadeMagnitude(const BiquadCascade& cascade, double frequency, double rate)
{
    const Complex z1 = std::polar(1.0, -2.0 * Pi * frequency / rate);  // z^-1
    Complex h = 1.0;
    for (const CBiquad& s : cascade)
        h *= (s.b0 + s.b1 * z1 + s.b2 * z1 * z1) / (1.0 + s.a1 * z1 + s.a2 * z1 * z1);
    return std::abs(h);
}

void NormaliseCascade(BiquadCascade& cascade, double frequency, double rate)
{
    const double g = 1.0 / CascadeMagnitude(cascade, frequency, rate);
    cascade.front().b0 *= g;
    cascade.front().b1 *= g;
    cascade.front().b2 *= g;
}

// Each prototype pole p gives the band-pass poles of s^2 - p B s + W0^2;
// of each conjugate pair, the one above the real axis makes a section with
// a zero at z = 1 and one at z = -1 (the zeros at s = 0 and at infinity).
BiquadCascade ButterworthBandPass(int order, double lower, double upper, double rate)
{
    const double w1 = Prewarped(lower, rate);
    const double w2 = Prewarped(upper, rate);
    const double bandwidth = w2 - w1;
    const double centre2 = w1 * w2;
    std::vector<Complex> poles;
    for (int k = 0; k < order; ++k) {
        const Complex p = std::polar(1.0, Pi * (2.0 * k + order + 1) / (2.0 * order)) * bandwidth;
        const Complex root = std::sqrt(p * p - 4.0 * centre2);
        for (const Complex s : {(p + root) / 2.0, (p - root) / 2.0}) {
            const Complex z = Bilinear(s, rate);
            if (z.imag() > 0.0)
                poles.push_back(z);
        }
    }
    BiquadCascade cascade;
    for (const Complex& z : poles)
        cascade.push_back(Section(z, 1.0, 0.0, -1.0));
    NormaliseCascade(cascade, std::sqrt(lower * upper), rate);
    return cascade;
}

BiquadCascade ButterworthLowPass(int order, double cutoff, double rate)
{
    const double wc = Prewarped(cutoff, rate);
    BiquadCascade cascade;
    for (const Complex& p : PrototypePoles(order)) {
        if (p.imag() > 1e-12)
            cascade.push_back(Section(Bilinear(p * wc, rate), 1.0, 2.0, 1.0));
    }
    NormaliseCascade(cascade, 0.0, rate);
    return cascade;
}
