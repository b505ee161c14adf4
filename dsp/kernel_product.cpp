#include "dsp/kernel_product.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TAVI_HAVE_X86 1
#endif

void KernelProductPlain(const float* kr, const float* ki, int count, const float* const* yr,
                        const float* const* yi, int frames, ComplexSum* sums)
{
    for (int f = 0; f < frames; ++f) {
        double re = 0.0, im = 0.0;
        const float* r = yr[f];
        const float* i = yi[f];
        for (int k = 0; k < count; ++k) {
            re += double(kr[k]) * r[k] - double(ki[k]) * i[k];
            im += double(kr[k]) * i[k] + double(ki[k]) * r[k];
        }
        sums[f] = {re, im};
    }
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

// Four running sums per result (two lanes of four doubles each); the kernel
// row is read once for both frames.
__attribute__((target("avx2,fma"))) void KernelProductAvx2(const float* kr, const float* ki, int count,
                                                          const float* const* yr, const float* const* yi,
                                                          int frames, ComplexSum* sums)
{
    __m256d re[MaxKernelFrames][2], im[MaxKernelFrames][2];
    for (int f = 0; f < MaxKernelFrames; ++f)
        for (int l = 0; l < 2; ++l)
            re[f][l] = im[f][l] = _mm256_setzero_pd();

    int k = 0;
    for (; k + 8 <= count; k += 8) {
        for (int l = 0; l < 2; ++l) {
            const int at = k + 4 * l;
            const __m256d r = _mm256_cvtps_pd(_mm_loadu_ps(kr + at));
            const __m256d i = _mm256_cvtps_pd(_mm_loadu_ps(ki + at));
            for (int f = 0; f < frames; ++f) {
                const __m256d sr = _mm256_cvtps_pd(_mm_loadu_ps(yr[f] + at));
                const __m256d si = _mm256_cvtps_pd(_mm_loadu_ps(yi[f] + at));
                re[f][l] = _mm256_fnmadd_pd(i, si, _mm256_fmadd_pd(r, sr, re[f][l]));
                im[f][l] = _mm256_fmadd_pd(i, sr, _mm256_fmadd_pd(r, si, im[f][l]));
            }
        }
    }
    for (int f = 0; f < frames; ++f) {
        double sumRe = HorizontalSum(_mm256_add_pd(re[f][0], re[f][1]));
        double sumIm = HorizontalSum(_mm256_add_pd(im[f][0], im[f][1]));
        for (int j = k; j < count; ++j) {
            sumRe += double(kr[j]) * yr[f][j] - double(ki[j]) * yi[f][j];
            sumIm += double(kr[j]) * yi[f][j] + double(ki[j]) * yr[f][j];
        }
        sums[f] = {sumRe, sumIm};
    }
}

using KernelProductFunction = void (*)(const float*, const float*, int, const float* const*, const float* const*,
                                       int, ComplexSum*);

KernelProductFunction ChooseKernelProduct()
{
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"))
        return KernelProductAvx2;
    return KernelProductPlain;
}

} // namespace

void KernelProduct(const float* kr, const float* ki, int count, const float* const* yr, const float* const* yi,
                   int frames, ComplexSum* sums)
{
    static const KernelProductFunction chosen = ChooseKernelProduct();
    chosen(kr, ki, count, yr, yi, frames, sums);
}
#else
void KernelProduct(const float* kr, const float* ki, int count, const float* const* yr, const float* const* yi,
                   int frames, ComplexSum* sums)
{
    KernelProductPlain(kr, ki, count, yr, yi, frames, sums);
}
#endif
