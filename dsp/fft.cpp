#include "dsp/fft.h"

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

int CFFT::Magnitude(const float* samples, float* mags, int n)
{
    for (int t = 0; t < n; ++t) {
        input[t].r = samples[t];
        input[t].i = 0.0f;
    }
    ZeroTail(n);
    Run();
    const int half = n / 2;
    for (int k = 0; k < half; ++k) {
        const double re = output[k].r;
        const double im = output[k].i;
        mags[k] = static_cast<float>(std::sqrt(re * re + im * im));
    }
    return half;
}

int CFFT::TransformReal(const float* samples, float* outRe, float* outIm, int n)
{
    for (int t = 0; t < n; ++t) {
        input[t].r = samples[t];
        input[t].i = 0.0f;
    }
    ZeroTail(n);
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
