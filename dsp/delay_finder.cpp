#include "dsp/delay_finder.h"

#include <kissfft.hh>

#include <algorithm>
#include <cmath>
#include <complex>

namespace {

constexpr double TwoPi = 6.28318530717958647;
constexpr int Eighths = 8;

int PowerOfTwoAtLeast(size_t n)
{
    int size = 1;
    while (static_cast<size_t>(size) < n)
        size *= 2;
    return size;
}

// The cross-spectrum conj(X) Y of the two signals zero-padded to `size`
// (no circular wrap within the lags looked at), each bin divided by its
// magnitude. A bin where either spectrum is below 1e-10 of the largest
// value of the joint transform stays zero: there it holds only the
// transform's rounding (a silent signal's spectrum is not exactly zero once
// the other shares its transform), which, whitened, would weigh as much as
// the sound.
std::vector<std::complex<double>> WhitenedCrossSpectrum(const std::vector<float>& x, const std::vector<float>& y,
                                                        int size)
{
    std::vector<std::complex<double>> in(static_cast<size_t>(size)), out(static_cast<size_t>(size));
    for (size_t n = 0; n < static_cast<size_t>(size); ++n)
        in[n] = {n < x.size() ? x[n] : 0.0, n < y.size() ? y[n] : 0.0};
    kissfft<double>(size, false).transform(in.data(), out.data());
    double largest = 0.0;
    for (const std::complex<double>& z : out)
        largest = std::max(largest, std::abs(z));
    std::vector<std::complex<double>> cross(static_cast<size_t>(size / 2 + 1));
    for (int k = 0; k <= size / 2; ++k) {
        // Both real signals' spectra from the one complex transform.
        const std::complex<double> z = out[static_cast<size_t>(k)];
        const std::complex<double> zMirror = std::conj(out[static_cast<size_t>((size - k) % size)]);
        const std::complex<double> xk = (z + zMirror) / 2.0;
        const std::complex<double> yk = (z - zMirror) / std::complex<double>(0.0, 2.0);
        if (std::abs(xk) <= 1e-10 * largest || std::abs(yk) <= 1e-10 * largest)
            continue;
        const std::complex<double> c = std::conj(xk) * yk;
        cross[static_cast<size_t>(k)] = c / std::abs(c);
    }
    return cross;
}

// The correlation at lag `lag` (any real number) from the one-sided
// whitened cross-spectrum, normalised so that a pure delay peaks at 1.
double CorrelationAt(const std::vector<std::complex<double>>& cross, int size, double lag)
{
    double sum = cross[0].real();
    const size_t half = static_cast<size_t>(size / 2);
    // e^(i 2 pi k lag / size), turned on by one bin at a time.
    const std::complex<double> step = std::polar(1.0, TwoPi * lag / size);
    std::complex<double> turn = step;
    for (size_t k = 1; k < half; ++k) {
        sum += 2.0 * (cross[k] * turn).real();
        turn *= step;
    }
    sum += cross[half].real() * std::cos(TwoPi / 2.0 * lag);
    return sum / size;
}

} // namespace

FoundDelay FindDelay(const std::vector<float>& reference, const std::vector<float>& measurement, int maxLag)
{
    FoundDelay result;
    const size_t length = std::max(reference.size(), measurement.size());
    if (length == 0 || maxLag < 1)
        return result;
    const int size = PowerOfTwoAtLeast(length + static_cast<size_t>(maxLag) + 1);
    const std::vector<std::complex<double>> cross = WhitenedCrossSpectrum(reference, measurement, size);
    // Back to lags: the inverse transform of the two-sided spectrum.
    std::vector<std::complex<double>> full(static_cast<size_t>(size)), lags(static_cast<size_t>(size));
    for (int k = 0; k <= size / 2; ++k) {
        full[static_cast<size_t>(k)] = cross[static_cast<size_t>(k)];
        if (k > 0 && k < size / 2)
            full[static_cast<size_t>(size - k)] = std::conj(cross[static_cast<size_t>(k)]);
    }
    kissfft<double>(size, true).transform(full.data(), lags.data());
    int best = 0;
    double bestValue = -1.0;
    for (int lag = -maxLag; lag <= maxLag; ++lag) {
        const double value = lags[static_cast<size_t>((lag + size) % size)].real() / size;
        if (value > bestValue) {
            bestValue = value;
            best = lag;
        }
    }
    if (bestValue <= 0.0)
        return result;
    // Eighths of a sample either side of the peak, then a parabola through
    // the highest and its neighbours.
    double values[2 * Eighths + 1];
    int top = Eighths;
    for (int i = 0; i <= 2 * Eighths; ++i) {
        values[i] = CorrelationAt(cross, size, best + static_cast<double>(i - Eighths) / Eighths);
        if (values[i] > values[top])
            top = i;
    }
    top = std::clamp(top, 1, 2 * Eighths - 1);
    const double below = values[top - 1], at = values[top], above = values[top + 1];
    const double curvature = below - 2.0 * at + above;
    const double offset = curvature < 0.0 ? 0.5 * (below - above) / curvature : 0.0;
    result.found = true;
    result.samples = best + (top - Eighths + offset) / Eighths;
    result.peak = at;
    return result;
}
