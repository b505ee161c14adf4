#include "dsp/fft.h"

#include <emmintrin.h>

#include <cmath>

CFFT::CFFT(int n) : plan(static_cast<size_t>(n), false), N(n), input(static_cast<size_t>(n)), output(static_cast<size_t>(n))
{
}

void CFFT::ZeroTail(int n)
{
    for (int t = n; t < N; ++t)
        input[t] = 0.0f;
}

void CFFT::Run()
{
    plan.transform(input.data(), output.data());
}

void CFFT::LoadReal(const float* samples, int n)
{
    float* in = reinterpret_cast<float*>(input.data());
    const __m128 zero = _mm_setzero_ps();
    int t = 0;
    for (; t + 4 <= n; t += 4) {
        const __m128 x = _mm_loadu_ps(samples + t);
        _mm_storeu_ps(in + 2 * t, _mm_unpacklo_ps(x, zero));
        _mm_storeu_ps(in + 2 * t + 4, _mm_unpackhi_ps(x, zero));
    }
    for (; t < n; ++t) {
        input[t] = samples[t];
    }
    ZeroTail(n);
}

int CFFT::Magnitude(const float* samples, float* mags, int n)
{
    LoadReal(samples, n);
    Run();
    const int half = n / 2;
    const float* bins = reinterpret_cast<const float*>(output.data());
    int k = 0;
    // Two bins at a time: re * re + im * im and the root in double, as below.
    for (; k + 2 <= half; k += 2) {
        const __m128 pair = _mm_loadu_ps(bins + 2 * k);
        const __m128d first = _mm_cvtps_pd(pair);
        const __m128d second = _mm_cvtps_pd(_mm_movehl_ps(pair, pair));
        const __m128d squares0 = _mm_mul_pd(first, first);
        const __m128d squares1 = _mm_mul_pd(second, second);
        const __m128d sums = _mm_add_pd(_mm_unpacklo_pd(squares0, squares1), _mm_unpackhi_pd(squares0, squares1));
        const __m128 roots = _mm_cvtpd_ps(_mm_sqrt_pd(sums));
        _mm_storel_pi(reinterpret_cast<__m64*>(mags + k), roots);
    }
    for (; k < half; ++k)
        mags[k] = BinMagnitude(output[k].real(), output[k].imag());
    return half;
}

int CFFT::TransformReal(const float* samples, float* outRe, float* outIm, int n)
{
    LoadReal(samples, n);
    Run();
    for (int k = 0; k < n; ++k) {
        outRe[k] = output[k].real();
        outIm[k] = output[k].imag();
    }
    return n;
}

int CFFT::TransformComplex(const float* inRe, const float* inIm, float* outRe, float* outIm, int n)
{
    for (int t = 0; t < n; ++t)
        input[t] = {inRe[t], inIm[t]};
    ZeroTail(n);
    Run();
    for (int k = 0; k < n; ++k) {
        outRe[k] = output[k].real();
        outIm[k] = output[k].imag();
    }
    return n;
}
