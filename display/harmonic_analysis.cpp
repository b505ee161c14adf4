#include "display/harmonic_analysis.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int Bins = 4096;

// Harmonics n = 2..41 below the top bin, each the largest value within n
// bins of its nominal bin.
double HarmonicEnergy(const float* E, int p)
{
    double sum = 0.0;
    for (int n = 2; n <= 41 && n * p < Bins; ++n) {
        double h = 0.0;
        for (int j = n * p - n; j <= std::min(n * p + n, Bins - 1); ++j)
            h = std::max(h, static_cast<double>(E[j]));
        sum += h * h;
    }
    return sum;
}

} // namespace

std::string HarmonicAnalysisText(const float* E)
{
    double m = 0.0;
    int p = 0;
    for (int k = 10; k < Bins; ++k) {
        if (E[k] > m) {
            m = E[k];
            p = k;
        }
    }
    if (!(m >= 1e-6 && p > 10 && p < 4086))
        return "Not detected";

    const int fc = p * 48000 / 8192;
    const double thd = std::sqrt(HarmonicEnergy(E, p)) / m * 100;
    double near = 0.0, far = 0.0;
    for (int j = 0; j < Bins; ++j) {
        const double e2 = static_cast<double>(E[j]) * E[j];
        (std::abs(j - p) < 20 ? near : far) += e2;
    }
    const double thdN = std::sqrt(far / near) * 100;
    char text[128];
    std::snprintf(text, sizeof text, "fc = %.1f[Hz], THD = %.2f[%%], THD+N = %.2f[%%]", static_cast<double>(fc), thd,
                  thdN);
    return text;
}
