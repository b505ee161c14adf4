#include "dsp/linear_predictor.h"
#include "dsp/window_functions.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "dsp/matrix.h"

void PreEmphasis(float* samples, int count)
{
    for (int i = 1; i < count; ++i)
        samples[i] = static_cast<float>(samples[i] - 0.9 * samples[i - 1]);
}

void HannWindow(float* samples, int count)
{
    // The factors kept while the length stays: no cosine per sample in
    // every block.
    thread_local CWindowTable hann;
    hann.Apply(samples, count, WindowHann);
}

void CLinearPredictor::SetOrder(int p, int t)
{
    order = p;
    lagStep = t < 1 ? 1 : t;
}

namespace {

// TAVIMETER_TRACE is set, and not "0".
bool PredictorTraceWanted()
{
    const char* value = std::getenv("TAVIMETER_TRACE");
    return value && *value && std::strcmp(value, "0") != 0;
}

} // namespace

int CLinearPredictor::Analyze(const float* samples, int count, double* coeffs)
{
    const int p = order;
    const int t = lagStep;
    const int L = count - (p + 1) * t;
    std::vector<double> r(static_cast<size_t>(p > 0 ? p + 1 : 1), 0.0);
    for (int k = 0; k <= p; ++k) {
        double sum = 0.0;
        for (int i = 0; i < L; ++i)
            sum += static_cast<double>(samples[i + t * k]) * samples[i];
        r[k] = sum;
    }
    double energy = 0.0;
    for (int k = 0; k < p; ++k)
        energy += r[k] * r[k];
    if (p <= 0 || energy < 0.001) {
        for (int k = 0; k < p; ++k)
            coeffs[k] = 0.0;
        return -1;
    }
    for (int k = 0; k <= p; ++k)
        r[k] = r[k] / L;

    for (int k = 0; k < p; ++k)
        coeffs[k] = 0.0;
    const bool trace = PredictorTraceWanted();
    CMatrix P(static_cast<uint32_t>(p + 1), static_cast<uint32_t>(p + 1));
    double E = r[0];
    std::vector<double> a(static_cast<size_t>(p), 0.0);
    for (int j = 1; j <= p; ++j) {
        double s = 0.0;
        for (int i = 0; i <= j - 2; ++i)
            s += a[i] * r[j - 1 - i];
        if (std::fabs(E) <= 1e-12)
            break;
        const double k = (r[j] - s) / E;
        for (int i = 0; i < j; ++i) {
            if (i == j - 1)
                P.getA(j, i) = static_cast<float>(k);
            else
                P.getA(j, i) = static_cast<float>(P.get(j - 1, i) - k * P.get(j - 1, j - 2 - i));
        }
        if (trace)
            std::printf("order %d: ", j);
        for (int i = 0; i < j; ++i) {
            a[i] = P.get(j, i);
            if (trace)
                std::printf("%f, ", a[i]);
        }
        E = (1.0 - k * k) * E;
        if (trace)
            std::printf("\n");
    }
    double gain = 0.0;
    for (int i = 0; i < p; ++i)
        gain += a[i];
    if (trace)
        std::printf("Gain: %f\n", gain);
    for (int i = 0; i < p; ++i)
        coeffs[i + 1] = a[i];
    return 0;
}

namespace {

// cos(j theta_i) and sin(j theta_i) of Response, for j = 1..order at every
// point i, kept while the axis stays the same: the values it would compute
// afresh, a block's transcendental functions saved.
struct ResponseTable {
    int count = -1;
    float fraction = 0.0f;
    int order = -1;
    int lagStep = -1;
    std::vector<double> cosines;
    std::vector<double> sines;
};

const ResponseTable& Table(int count, float fraction, int order, int lagStep)
{
    thread_local ResponseTable t;
    if (t.count == count && t.fraction == fraction && t.order == order && t.lagStep == lagStep)
        return t;
    t.cosines.resize(static_cast<size_t>(count) * order);
    t.sines.resize(t.cosines.size());
    for (int i = 0; i < count; ++i) {
        const double theta = i * static_cast<double>(fraction) * 6.28318 / count * lagStep;
        for (int j = 1; j <= order; ++j) {
            t.cosines[static_cast<size_t>(i) * order + (j - 1)] = std::cos(j * theta);
            t.sines[static_cast<size_t>(i) * order + (j - 1)] = std::sin(j * theta);
        }
    }
    t.count = count;
    t.fraction = fraction;
    t.order = order;
    t.lagStep = lagStep;
    return t;
}

} // namespace

void CLinearPredictor::Response(const double* coeffs, float* out, int count, float fraction) const
{
    if (count <= 0)
        return;
    const ResponseTable& t = Table(count, fraction, std::max(order, 0), lagStep);
    for (int i = 0; i < count; ++i) {
        const double* c = t.cosines.data() + static_cast<size_t>(i) * t.order;
        const double* s = t.sines.data() + static_cast<size_t>(i) * t.order;
        double cosines = 0.0;
        double im = 0.0;
        for (int j = 1; j <= order; ++j) {
            cosines += coeffs[j] * c[j - 1];
            im += coeffs[j] * s[j - 1];
        }
        const double re = 1.0 - cosines;
        out[i] = static_cast<float>(std::sqrt(1.0 / (re * re + im * im)));
    }
}
