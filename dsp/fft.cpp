#include "dsp/fft.h"

#include <emmintrin.h>

#include <cmath>
#include <new>

CFFT::CFFT(int n)
    : plan(kiss_fft_alloc(n, 0, nullptr, nullptr)),
      N(n),
      input(new kiss_fft_cpx[n]),
      output(new kiss_fft_cpx[n])
{
    if (!plan)
        throw std::bad_alloc();
}

void CFFT::ZeroTail(int n)
{
    for (int t = n; t < N; ++t) {
        input[t].r = 0.0f;
        input[t].i = 0.0f;
    }
}

void CFFT::Run()
{
    kiss_fft(plan.get(), input.get(), output.get());
}

void CFFT::LoadReal(const float* samples, int n)
{
    float* in = reinterpret_cast<float*>(input.get());
    const __m128 zero = _mm_setzero_ps();
    int t = 0;
    for (; t + 4 <= n; t += 4) {
        const __m128 x = _mm_loadu_ps(samples + t);
        _mm_storeu_ps(in + 2 * t, _mm_unpacklo_ps(x, zero));
        _mm_storeu_ps(in + 2 * t + 4, _mm_unpackhi_ps(x, zero));
    }
    for (; t < n; ++t) {
        input[t].r = samples[t];
        input[t].i = 0.0f;
    }
    ZeroTail(n);
}

int CFFT::Magnitude(const float* samples, float* mags, int n)
{
    LoadReal(samples, n);
    Run();
    const int half = n / 2;
    const float* bins = reinterpret_cast<const float*>(output.get());
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
    for (; k < half; ++k) {
        const double re = output[k].r;
        const double im = output[k].i;
        mags[k] = static_cast<float>(std::sqrt(re * re + im * im));
    }
    return half;
}

int CFFT::TransformReal(const float* samples, float* outRe, float* outIm, int n)
{
    LoadReal(samples, n);
    Run();
    for (int k = 0; k < n; ++k) {
        outRe[k] = output[k].r;
        outIm[k] = output[k].i;
    }
    return n;
}

int CFFT::TransformComplex(const float* inRe, const float* inIm, float* outRe, float* outIm, int n)
{
    for (int t = 0; t < n; ++t) {
        input[t].r = inRe[t];
        input[t].i = inIm[t];
    }
    ZeroTail(n);
    Run();
    for (int k = 0; k < n; ++k) {
        outRe[k] = output[k].r;
        outIm[k] = output[k].i;
    }
    return n;
}
