#include "dsp/fft_pair.h"

#include <emmintrin.h>

namespace {

// Float offsets within a Bin2: two real parts, then two imaginary parts.
constexpr int ImagOffset = 2;
constexpr int BinStride = 4;

} // namespace

CFFTPair::CFFTPair(int n)
    : N(n), butterflies(n), input(static_cast<size_t>(n)), output(static_cast<size_t>(n))
{
    if (!butterflies.Vectorised())
        scalar = std::make_unique<ScalarLane>(n);
    std::fill(input.begin(), input.end(), Bin2{_mm_setzero_ps()});
    std::fill(output.begin(), output.end(), Bin2{_mm_setzero_ps()});
}

void CFFTPair::TransformReals(const float* const* samples, int count, int n)
{
    if (scalar) {
        TransformLaneByLane(samples, count, n);
        return;
    }
    const __m128 zero = _mm_setzero_ps();
    const float* second = count > 1 ? samples[1] : nullptr;
    int t = 0;
    // Four samples of each lane become four bins (re0, re1, 0, 0).
    for (; t + 4 <= n; t += 4) {
        const __m128 a = _mm_loadu_ps(samples[0] + t);
        const __m128 b = second ? _mm_loadu_ps(second + t) : zero;
        const __m128 low = _mm_unpacklo_ps(a, b);
        const __m128 high = _mm_unpackhi_ps(a, b);
        input[t].v = _mm_movelh_ps(low, zero);
        input[t + 1].v = _mm_movehl_ps(zero, low);
        input[t + 2].v = _mm_movelh_ps(high, zero);
        input[t + 3].v = _mm_movehl_ps(zero, high);
    }
    for (; t < n; ++t)
        input[t].v = _mm_setr_ps(samples[0][t], second ? second[t] : 0.0f, 0.0f, 0.0f);
    for (; t < N; ++t)
        input[t].v = zero;
    butterflies.Transform(output.data(), input.data());
}

void CFFTPair::TransformLaneByLane(const float* const* samples, int count, int n)
{
    float* out = reinterpret_cast<float*>(output.data());
    for (int lane = 0; lane < count; ++lane) {
        for (int t = 0; t < N; ++t)
            scalar->in[t] = {t < n ? samples[lane][t] : 0.0f, 0.0f};
        scalar->Run();
        for (int k = 0; k < N; ++k) {
            out[k * BinStride + lane] = scalar->out[k].real();
            out[k * BinStride + ImagOffset + lane] = scalar->out[k].imag();
        }
    }
}

void CFFTPair::OutputLanes(double* const* re, double* const* im, int count, int n) const
{
    int k = 0;
    // Two bins (re0, re1, im0, im1) become two values of each part per lane.
    for (; k + 2 <= n; k += 2) {
        const __m128 first = output[k].v;
        const __m128 next = output[k + 1].v;
        const __m128 real = _mm_unpacklo_ps(first, next);  // re0(k), re0(k+1), re1(k), re1(k+1)
        const __m128 imag = _mm_unpackhi_ps(first, next);  // im0(k), im0(k+1), im1(k), im1(k+1)
        _mm_storeu_pd(re[0] + k, _mm_cvtps_pd(real));
        _mm_storeu_pd(im[0] + k, _mm_cvtps_pd(imag));
        if (count > 1) {
            _mm_storeu_pd(re[1] + k, _mm_cvtps_pd(_mm_movehl_ps(real, real)));
            _mm_storeu_pd(im[1] + k, _mm_cvtps_pd(_mm_movehl_ps(imag, imag)));
        }
    }
    const float* bins = reinterpret_cast<const float*>(output.data());
    for (; k < n; ++k) {
        for (int lane = 0; lane < count; ++lane) {
            re[lane][k] = bins[k * BinStride + lane];
            im[lane][k] = bins[k * BinStride + ImagOffset + lane];
        }
    }
}

// Both lanes of a bin per step: the squares and the root in double, as
// BinMagnitude.
int CFFTPair::Magnitudes(float* const mags[Lanes], int n) const
{
    const int half = n / 2;
    for (int k = 0; k < half; ++k) {
        const __m128d re = _mm_cvtps_pd(output[k].v);
        const __m128d im = _mm_cvtps_pd(_mm_movehl_ps(output[k].v, output[k].v));
        alignas(16) float lanes[4];
        _mm_store_ps(lanes, _mm_cvtpd_ps(_mm_sqrt_pd(_mm_add_pd(_mm_mul_pd(re, re), _mm_mul_pd(im, im)))));
        for (int lane = 0; lane < Lanes; ++lane) {
            if (mags[lane])
                mags[lane][k] = lanes[lane];
        }
    }
    return half;
}
