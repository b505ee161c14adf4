#include "dsp/kernel_product.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TAVI_HAVE_X86 1
#endif

namespace {

constexpr int Lanes = 8;

// The one summation order of the header, one frame at a time.
ComplexSum PlainFrameSum(const float* kr, const float* ki, int count, const double* yr, const double* yi)
{
    double re[Lanes] = {};
    double im[Lanes] = {};
    int k = 0;
    for (; k + Lanes <= count; k += Lanes) {
        for (int j = 0; j < Lanes; ++j) {
            const double r = kr[k + j];
            const double i = ki[k + j];
            re[j] = (re[j] + r * yr[k + j]) - i * yi[k + j];
            im[j] = (im[j] + r * yi[k + j]) + i * yr[k + j];
        }
    }
    double sumRe = ((re[0] + re[4]) + (re[2] + re[6])) + ((re[1] + re[5]) + (re[3] + re[7]));
    double sumIm = ((im[0] + im[4]) + (im[2] + im[6])) + ((im[1] + im[5]) + (im[3] + im[7]));
    for (; k < count; ++k) {
        sumRe += double(kr[k]) * yr[k] - double(ki[k]) * yi[k];
        sumIm += double(kr[k]) * yi[k] + double(ki[k]) * yr[k];
    }
    return {sumRe, sumIm};
}

} // namespace

void KernelProductPlain(const float* kr, const float* ki, int count, const double* const* yr,
                        const double* const* yi, int frames, ComplexSum* sums)
{
    for (int f = 0; f < frames; ++f)
        sums[f] = PlainFrameSum(kr, ki, count, yr[f], yi[f]);
}

#ifdef TAVI_HAVE_X86
namespace {

__attribute__((target("avx2,fma"))) double HorizontalSum(__m256d v)
{
    const __m128d low = _mm256_castpd256_pd128(v);
    const __m128d high = _mm256_extractf128_pd(v, 1);
    const __m128d pair = _mm_add_pd(low, high);
    return _mm_cvtsd_f64(_mm_add_sd(pair, _mm_unpackhi_pd(pair, pair)));
}

struct LaneSums {
    __m256d re;
    __m256d im;
};

__attribute__((target("avx2,fma"), always_inline)) inline void Accumulate(LaneSums& sums, __m256d kr, __m256d ki,
                                                                          const double* yr, const double* yi)
{
    const __m256d sr = _mm256_loadu_pd(yr);
    const __m256d si = _mm256_loadu_pd(yi);
    sums.re = _mm256_fnmadd_pd(ki, si, _mm256_fmadd_pd(kr, sr, sums.re));
    sums.im = _mm256_fmadd_pd(ki, sr, _mm256_fmadd_pd(kr, si, sums.im));
}

__attribute__((target("avx2,fma"))) ComplexSum Finish(const LaneSums& low, const LaneSums& high, const float* kr,
                                                      const float* ki, int from, int count, const double* yr,
                                                      const double* yi)
{
    double re = HorizontalSum(_mm256_add_pd(low.re, high.re));
    double im = HorizontalSum(_mm256_add_pd(low.im, high.im));
    for (int j = from; j < count; ++j) {
        re += double(kr[j]) * yr[j] - double(ki[j]) * yi[j];
        im += double(kr[j]) * yi[j] + double(ki[j]) * yr[j];
    }
    return {re, im};
}

// Two running sums of four lanes per result; the kernel row is read once for
// all frames. The sums are named locals so that they stay in registers.
template <int Frames>
__attribute__((target("avx2,fma"))) void KernelProductAvx2Frames(const float* kr, const float* ki, int count,
                                                                const double* const* yr,
                                                                const double* const* yi, ComplexSum* sums)
{
    const __m256d zero = _mm256_setzero_pd();
    LaneSums a0{zero, zero}, a1{zero, zero}, b0{zero, zero}, b1{zero, zero};
    const double* yrA = yr[0];
    const double* yiA = yi[0];
    const double* yrB = yr[Frames - 1];
    const double* yiB = yi[Frames - 1];
    int k = 0;
    for (; k + 8 <= count; k += 8) {
        const __m256d r0 = _mm256_cvtps_pd(_mm_loadu_ps(kr + k));
        const __m256d i0 = _mm256_cvtps_pd(_mm_loadu_ps(ki + k));
        const __m256d r1 = _mm256_cvtps_pd(_mm_loadu_ps(kr + k + 4));
        const __m256d i1 = _mm256_cvtps_pd(_mm_loadu_ps(ki + k + 4));
        Accumulate(a0, r0, i0, yrA + k, yiA + k);
        Accumulate(a1, r1, i1, yrA + k + 4, yiA + k + 4);
        if (Frames == 2) {
            Accumulate(b0, r0, i0, yrB + k, yiB + k);
            Accumulate(b1, r1, i1, yrB + k + 4, yiB + k + 4);
        }
    }
    sums[0] = Finish(a0, a1, kr, ki, k, count, yrA, yiA);
    if (Frames == 2)
        sums[1] = Finish(b0, b1, kr, ki, k, count, yrB, yiB);
}

void KernelProductAvx2(const float* kr, const float* ki, int count, const double* const* yr,
                       const double* const* yi, int frames, ComplexSum* sums)
{
    if (frames == 2)
        KernelProductAvx2Frames<2>(kr, ki, count, yr, yi, sums);
    else
        KernelProductAvx2Frames<1>(kr, ki, count, yr, yi, sums);
}

using KernelProductFunction = void (*)(const float*, const float*, int, const double* const*,
                                       const double* const*, int, ComplexSum*);

KernelProductFunction ChooseKernelProduct()
{
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"))
        return KernelProductAvx2;
    return KernelProductPlain;
}

} // namespace

void KernelProduct(const float* kr, const float* ki, int count, const double* const* yr, const double* const* yi,
                   int frames, ComplexSum* sums)
{
    static const KernelProductFunction chosen = ChooseKernelProduct();
    chosen(kr, ki, count, yr, yi, frames, sums);
}
#else
void KernelProduct(const float* kr, const float* ki, int count, const double* const* yr, const double* const* yi,
                   int frames, ComplexSum* sums)
{
    KernelProductPlain(kr, ki, count, yr, yi, frames, sums);
}
#endif
