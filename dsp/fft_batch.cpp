#include "dsp/fft_batch.h"

#include <emmintrin.h>

namespace {

// Float offsets within a Bin4: four real parts, then four imaginary parts.
constexpr int ImagOffset = 4;
constexpr int BinStride = 8;

} // namespace

CFFTBatch::CFFTBatch(int n)
    : N(n), butterflies(n), input(static_cast<size_t>(n)), output(static_cast<size_t>(n))
{
    if (!butterflies.Vectorised())
        scalar = std::make_unique<ScalarLane>(n);
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

void CFFTBatch::Run()
{
    if (scalar)
        RunLaneByLane();
    else
        butterflies.Transform(output.data(), input.data());
    loadedLanes = 0;
}

void CFFTBatch::RunLaneByLane()
{
    for (int lane = 0; lane < Lanes; ++lane) {
        if (!(loadedLanes & (1u << lane)))
            continue;
        const float* src = InputLane(lane);
        for (int t = 0; t < N; ++t)
            scalar->in[t] = {src[t * BinStride], src[t * BinStride + ImagOffset]};
        scalar->Run();
        float* dst = reinterpret_cast<float*>(output.data()) + lane;
        for (int k = 0; k < N; ++k) {
            dst[k * BinStride] = scalar->out[k].real();
            dst[k * BinStride + ImagOffset] = scalar->out[k].imag();
        }
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
