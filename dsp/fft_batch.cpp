#include "dsp/fft_batch.h"

#include <emmintrin.h>

#include <cmath>

#include "dsp/fft.h"

namespace {

// Float offsets within a Bin4: four real parts, then four imaginary parts.
constexpr int ImagOffset = 4;
constexpr int BinStride = 8;

struct Twiddle4 {
    __m128 re;
    __m128 im;
};

Twiddle4 Broadcast(const std::complex<float>& w)
{
    return {_mm_set1_ps(w.real()), _mm_set1_ps(w.imag())};
}

} // namespace

// The twiddles and the factorisation are those of kissfft<float>: radix 4
// while it divides, then 2, then odd factors.
CFFTBatch::CFFTBatch(int n) : N(n), twiddles(static_cast<size_t>(n)), input(static_cast<size_t>(n)), output(static_cast<size_t>(n))
{
    const size_t count = static_cast<size_t>(n);
    const float phaseStep = -2 * std::acos(-1.0f) / count;
    for (size_t i = 0; i < count; ++i)
        twiddles[i] = std::exp(std::complex<float>(0, i * phaseStep));

    size_t remaining = count;
    size_t p = 4;
    do {
        while (remaining % p) {
            p = p == 4 ? 2 : p == 2 ? 3 : p + 2;
            if (p * p > remaining)
                p = remaining;
        }
        remaining /= p;
        stageRadix.push_back(p);
        stageRemainder.push_back(remaining);
    } while (remaining > 1);

    for (size_t radix : stageRadix) {
        if (radix != 2 && radix != 4) {
            scalarPlan = std::make_unique<kissfft<float>>(count, false);
            laneIn.resize(count);
            laneOut.resize(count);
            break;
        }
    }
    const Bin4 zero{_mm_setzero_ps(), _mm_setzero_ps()};
    std::fill(input.begin(), input.end(), zero);
    std::fill(output.begin(), output.end(), zero);
}

// Zero-extends a lane's input from n to N values and marks the lane loaded.
void CFFTBatch::FinishLoad(int lane, int n)
{
    float* in = InputLane(lane);
    for (int t = n; t < N; ++t) {
        in[t * BinStride] = 0.0f;
        in[t * BinStride + ImagOffset] = 0.0f;
    }
    loadedLanes |= 1u << lane;
}

void CFFTBatch::LoadReal(int lane, const float* samples, int n)
{
    float* in = InputLane(lane);
    for (int t = 0; t < n; ++t) {
        in[t * BinStride] = samples[t];
        in[t * BinStride + ImagOffset] = 0.0f;
    }
    FinishLoad(lane, n);
}

void CFFTBatch::LoadComplex(int lane, const float* re, const float* im, int n)
{
    float* in = InputLane(lane);
    for (int t = 0; t < n; ++t) {
        in[t * BinStride] = re[t];
        in[t * BinStride + ImagOffset] = im[t];
    }
    FinishLoad(lane, n);
}

// Four samples of each lane, transposed into four bins.
void CFFTBatch::LoadReals(const float* const* samples, int count, int n)
{
    const __m128 zero = _mm_setzero_ps();
    int t = 0;
    for (; t + 4 <= n; t += 4) {
        __m128 rows[Lanes];
        for (int lane = 0; lane < Lanes; ++lane)
            rows[lane] = lane < count ? _mm_loadu_ps(samples[lane] + t) : zero;
        _MM_TRANSPOSE4_PS(rows[0], rows[1], rows[2], rows[3]);
        for (int j = 0; j < 4; ++j)
            input[t + j] = {rows[j], zero};
    }
    for (; t < n; ++t) {
        alignas(16) float lanes[Lanes] = {};
        for (int lane = 0; lane < count; ++lane)
            lanes[lane] = samples[lane][t];
        input[t] = {_mm_load_ps(lanes), zero};
    }
    for (; t < N; ++t)
        input[t] = {zero, zero};
    loadedLanes |= (1u << count) - 1;
}

void CFFTBatch::Run()
{
    if (scalarPlan)
        RunLaneByLane();
    else
        Transform(output.data(), input.data(), 0, 1);
    loadedLanes = 0;
}

void CFFTBatch::RunLaneByLane()
{
    for (int lane = 0; lane < Lanes; ++lane) {
        if (!(loadedLanes & (1u << lane)))
            continue;
        const float* src = InputLane(lane);
        for (int t = 0; t < N; ++t)
            laneIn[t] = {src[t * BinStride], src[t * BinStride + ImagOffset]};
        scalarPlan->transform(laneIn.data(), laneOut.data());
        float* dst = reinterpret_cast<float*>(output.data()) + lane;
        for (int k = 0; k < N; ++k) {
            dst[k * BinStride] = laneOut[k].real();
            dst[k * BinStride + ImagOffset] = laneOut[k].imag();
        }
    }
}

// Decimation in time, stage by stage as the scalar library recurses.
void CFFTBatch::Transform(Bin4* out, const Bin4* in, size_t stage, size_t stride) const
{
    const size_t p = stageRadix[stage];
    const size_t m = stageRemainder[stage];
    if (m == 1) {
        for (size_t q = 0; q < p; ++q)
            out[q] = in[q * stride];
    } else {
        for (size_t q = 0; q < p; ++q)
            Transform(out + q * m, in + q * stride, stage + 1, stride * p);
    }
    if (p == 2)
        Radix2(out, stride, m);
    else
        Radix4(out, stride, m);
}

namespace {

// a * w as std::complex<float> computes it: (ar wr - ai wi, ar wi + ai wr).
inline void Multiply(const __m128 ar, const __m128 ai, const Twiddle4& w, __m128& re, __m128& im)
{
    re = _mm_sub_ps(_mm_mul_ps(ar, w.re), _mm_mul_ps(ai, w.im));
    im = _mm_add_ps(_mm_mul_ps(ar, w.im), _mm_mul_ps(ai, w.re));
}

} // namespace

void CFFTBatch::Radix2(Bin4* out, size_t stride, size_t m) const
{
    for (size_t k = 0; k < m; ++k) {
        __m128 tr, ti;
        Multiply(out[m + k].re, out[m + k].im, Broadcast(twiddles[k * stride]), tr, ti);
        out[m + k] = {_mm_sub_ps(out[k].re, tr), _mm_sub_ps(out[k].im, ti)};
        out[k] = {_mm_add_ps(out[k].re, tr), _mm_add_ps(out[k].im, ti)};
    }
}

void CFFTBatch::Radix4(Bin4* out, size_t stride, size_t m) const
{
    const __m128 signBit = _mm_set1_ps(-0.0f);
    for (size_t k = 0; k < m; ++k) {
        __m128 r0, i0, r1, i1, r2, i2;
        Multiply(out[k + m].re, out[k + m].im, Broadcast(twiddles[k * stride]), r0, i0);
        Multiply(out[k + 2 * m].re, out[k + 2 * m].im, Broadcast(twiddles[k * stride * 2]), r1, i1);
        Multiply(out[k + 3 * m].re, out[k + 3 * m].im, Broadcast(twiddles[k * stride * 3]), r2, i2);
        const __m128 r5 = _mm_sub_ps(out[k].re, r1);
        const __m128 i5 = _mm_sub_ps(out[k].im, i1);
        const __m128 r0Sum = _mm_add_ps(out[k].re, r1);
        const __m128 i0Sum = _mm_add_ps(out[k].im, i1);
        const __m128 r3 = _mm_add_ps(r0, r2);
        const __m128 i3 = _mm_add_ps(i0, i2);
        // (r4, i4) = -i (s0 - s2), the negation exact for zeros too.
        const __m128 r4 = _mm_sub_ps(i0, i2);
        const __m128 i4 = _mm_xor_ps(_mm_sub_ps(r0, r2), signBit);
        out[k + 2 * m] = {_mm_sub_ps(r0Sum, r3), _mm_sub_ps(i0Sum, i3)};
        out[k] = {_mm_add_ps(r0Sum, r3), _mm_add_ps(i0Sum, i3)};
        out[k + m] = {_mm_add_ps(r5, r4), _mm_add_ps(i5, i4)};
        out[k + 3 * m] = {_mm_sub_ps(r5, r4), _mm_sub_ps(i5, i4)};
    }
}

// Four lanes per step: the squares and the root in double, as BinMagnitude.
int CFFTBatch::Magnitudes(float* const mags[Lanes], int n) const
{
    const int half = n / 2;
    for (int k = 0; k < half; ++k) {
        const __m128 re = output[k].re;
        const __m128 im = output[k].im;
        const __m128d reLow = _mm_cvtps_pd(re), reHigh = _mm_cvtps_pd(_mm_movehl_ps(re, re));
        const __m128d imLow = _mm_cvtps_pd(im), imHigh = _mm_cvtps_pd(_mm_movehl_ps(im, im));
        const __m128 low = _mm_cvtpd_ps(_mm_sqrt_pd(_mm_add_pd(_mm_mul_pd(reLow, reLow), _mm_mul_pd(imLow, imLow))));
        const __m128 high =
            _mm_cvtpd_ps(_mm_sqrt_pd(_mm_add_pd(_mm_mul_pd(reHigh, reHigh), _mm_mul_pd(imHigh, imHigh))));
        alignas(16) float lanes[Lanes];
        _mm_store_ps(lanes, _mm_movelh_ps(low, high));
        for (int lane = 0; lane < Lanes; ++lane) {
            if (mags[lane])
                mags[lane][k] = lanes[lane];
        }
    }
    return half;
}

void CFFTBatch::Output(int lane, float* re, float* im, int n) const
{
    const float* src = OutputLane(lane);
    for (int k = 0; k < n; ++k) {
        re[k] = src[k * BinStride];
        im[k] = src[k * BinStride + ImagOffset];
    }
}

namespace {

// Four bins' values of one part (real or imaginary), one lane per row after
// the transpose, widened and stored for the first count lanes.
void StoreTransposed(__m128 rows[4], double* const* out, int count, int k)
{
    _MM_TRANSPOSE4_PS(rows[0], rows[1], rows[2], rows[3]);
    for (int lane = 0; lane < count; ++lane) {
        _mm_storeu_pd(out[lane] + k, _mm_cvtps_pd(rows[lane]));
        _mm_storeu_pd(out[lane] + k + 2, _mm_cvtps_pd(_mm_movehl_ps(rows[lane], rows[lane])));
    }
}

} // namespace

void CFFTBatch::OutputLanes(double* const* re, double* const* im, int count, int n) const
{
    int k = 0;
    for (; k + 4 <= n; k += 4) {
        __m128 reRows[4] = {output[k].re, output[k + 1].re, output[k + 2].re, output[k + 3].re};
        __m128 imRows[4] = {output[k].im, output[k + 1].im, output[k + 2].im, output[k + 3].im};
        StoreTransposed(reRows, re, count, k);
        StoreTransposed(imRows, im, count, k);
    }
    for (int lane = 0; lane < count; ++lane) {
        const float* src = OutputLane(lane);
        for (int j = k; j < n; ++j) {
            re[lane][j] = src[j * BinStride];
            im[lane][j] = src[j * BinStride + ImagOffset];
        }
    }
}
