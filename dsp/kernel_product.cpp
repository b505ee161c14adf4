#include "dsp/kernel_product.h"

#include <algorithm>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TAVI_HAVE_X86 1
#endif

namespace {

constexpr int Lanes = 8;

// The one summation order of the header, one row and one frame at a time.
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

void KernelProductPlain(const float* const* kr, const float* const* ki, int rows, int count,
                        const double* const* yr, const double* const* yi, int frames, ComplexSum* sums)
{
    for (int row = 0; row < rows; ++row) {
        for (int f = 0; f < frames; ++f)
            sums[row * frames + f] = PlainFrameSum(kr[row], ki[row], count, yr[f], yi[f]);
    }
}

#ifdef TAVI_HAVE_X86
namespace {

// How far ahead of the products the kernel rows are fetched: the kernel is
// far larger than the caches, and between blocks the rest of the desktop
// evicts it, so each block streams it from memory.
constexpr int PrefetchAhead = 1024;

// Lanes j and j + 4 are in the same place of the two halves.
__attribute__((target("avx2,fma"))) double HorizontalSum(__m256d v)
{
    const __m128d low = _mm256_castpd256_pd128(v);
    const __m128d high = _mm256_extractf128_pd(v, 1);
    const __m128d pair = _mm_add_pd(low, high);
    return _mm_cvtsd_f64(_mm_add_sd(pair, _mm_unpackhi_pd(pair, pair)));
}

// The eight sums' total, then the indices after the last group of eight.
__attribute__((target("avx2,fma"))) ComplexSum Finish(__m256d re4, __m256d im4, const float* kr,
                                                      const float* ki, int from, int count, const double* yr,
                                                      const double* yi)
{
    double re = HorizontalSum(re4);
    double im = HorizontalSum(im4);
    for (int j = from; j < count; ++j) {
        re += double(kr[j]) * yr[j] - double(ki[j]) * yi[j];
        im += double(kr[j]) * yi[j] + double(ki[j]) * yr[j];
    }
    return {re, im};
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

// One row: two running sums of four lanes per frame; the row is read once
// for all frames. The sums are named locals so that they stay in registers.
template <int Frames>
__attribute__((target("avx2,fma"))) void Avx2Row(const float* kr, const float* ki, int count,
                                                 const double* const* yr, const double* const* yi,
                                                 ComplexSum* sums)
{
    const __m256d zero = _mm256_setzero_pd();
    LaneSums a0{zero, zero}, a1{zero, zero}, b0{zero, zero}, b1{zero, zero};
    const double* yrA = yr[0];
    const double* yiA = yi[0];
    const double* yrB = yr[Frames - 1];
    const double* yiB = yi[Frames - 1];
    int k = 0;
    for (; k + 8 <= count; k += 8) {
        const int ahead = std::min(k + PrefetchAhead, count - 1);
        _mm_prefetch(reinterpret_cast<const char*>(kr + ahead), _MM_HINT_T0);
        _mm_prefetch(reinterpret_cast<const char*>(ki + ahead), _MM_HINT_T0);
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
    sums[0] = Finish(_mm256_add_pd(a0.re, a1.re), _mm256_add_pd(a0.im, a1.im), kr, ki, k, count, yrA, yiA);
    if (Frames == 2)
        sums[1] = Finish(_mm256_add_pd(b0.re, b1.re), _mm256_add_pd(b0.im, b1.im), kr, ki, k, count, yrB, yiB);
}

void KernelProductAvx2(const float* const* kr, const float* const* ki, int rows, int count,
                       const double* const* yr, const double* const* yi, int frames, ComplexSum* sums)
{
    for (int row = 0; row < rows; ++row) {
        if (frames == 2)
            Avx2Row<2>(kr[row], ki[row], count, yr, yi, sums + row * frames);
        else
            Avx2Row<1>(kr[row], ki[row], count, yr, yi, sums + row * frames);
    }
}

// The masked forms of the conversions: with all lanes selected they are the
// plain instructions, and they spare gcc 12 a false warning about the
// unmasked forms' undefined source.
__attribute__((target("avx512f,avx2,fma"), always_inline)) inline __m512d Widen(const float* values)
{
    return _mm512_maskz_cvtps_pd(0xFF, _mm256_loadu_ps(values));
}

__attribute__((target("avx512f,avx2,fma"), always_inline)) inline __m256d LowerHalf(__m512d v)
{
    return _mm512_maskz_extractf64x4_pd(0xF, v, 0);
}

__attribute__((target("avx512f,avx2,fma"), always_inline)) inline __m256d UpperHalf(__m512d v)
{
    return _mm512_maskz_extractf64x4_pd(0xF, v, 1);
}

// All eight sums in one register, lane j holding sum j.
__attribute__((target("avx512f,avx2,fma"))) ComplexSum Finish512(__m512d re8, __m512d im8, const float* kr,
                                                                 const float* ki, int from, int count,
                                                                 const double* yr, const double* yi)
{
    const __m256d re4 = _mm256_add_pd(LowerHalf(re8), UpperHalf(re8));
    const __m256d im4 = _mm256_add_pd(LowerHalf(im8), UpperHalf(im8));
    return Finish(re4, im4, kr, ki, from, count, yr, yi);
}

// Rows x Frames sums of eight lanes; each group of eight spectrum values is
// loaded once for all rows and each kernel group once for all frames. With
// two rows the sums form eight independent chains, enough to keep both
// multiply-add units busy.
template <int Rows, int Frames>
__attribute__((target("avx512f,avx2,fma"))) void Avx512Rows(const float* const* kr, const float* const* ki,
                                                           int count, const double* const* yr,
                                                           const double* const* yi, ComplexSum* sums)
{
    __m512d re[Rows][Frames];
    __m512d im[Rows][Frames];
#pragma GCC unroll 2
    for (int row = 0; row < Rows; ++row) {
#pragma GCC unroll 2
        for (int f = 0; f < Frames; ++f)
            re[row][f] = im[row][f] = _mm512_setzero_pd();
    }
    int k = 0;
    for (; k + 8 <= count; k += 8) {
        const int ahead = std::min(k + PrefetchAhead, count - 1);
        __m512d sr[Frames];
        __m512d si[Frames];
#pragma GCC unroll 2
        for (int f = 0; f < Frames; ++f) {
            sr[f] = _mm512_loadu_pd(yr[f] + k);
            si[f] = _mm512_loadu_pd(yi[f] + k);
        }
#pragma GCC unroll 2
        for (int row = 0; row < Rows; ++row) {
            _mm_prefetch(reinterpret_cast<const char*>(kr[row] + ahead), _MM_HINT_T0);
            _mm_prefetch(reinterpret_cast<const char*>(ki[row] + ahead), _MM_HINT_T0);
            const __m512d r = Widen(kr[row] + k);
            const __m512d i = Widen(ki[row] + k);
#pragma GCC unroll 2
            for (int f = 0; f < Frames; ++f) {
                re[row][f] = _mm512_fnmadd_pd(i, si[f], _mm512_fmadd_pd(r, sr[f], re[row][f]));
                im[row][f] = _mm512_fmadd_pd(i, sr[f], _mm512_fmadd_pd(r, si[f], im[row][f]));
            }
        }
    }
    for (int row = 0; row < Rows; ++row) {
        for (int f = 0; f < Frames; ++f)
            sums[row * Frames + f] = Finish512(re[row][f], im[row][f], kr[row], ki[row], k, count, yr[f], yi[f]);
    }
}

void KernelProductAvx512(const float* const* kr, const float* const* ki, int rows, int count,
                         const double* const* yr, const double* const* yi, int frames, ComplexSum* sums)
{
    for (int row = 0; row < rows; row += MaxKernelRows) {
        const bool pair = row + 1 < rows;
        ComplexSum* out = sums + row * frames;
        if (pair && frames == 2)
            Avx512Rows<2, 2>(kr + row, ki + row, count, yr, yi, out);
        else if (pair)
            Avx512Rows<2, 1>(kr + row, ki + row, count, yr, yi, out);
        else if (frames == 2)
            Avx512Rows<1, 2>(kr + row, ki + row, count, yr, yi, out);
        else
            Avx512Rows<1, 1>(kr + row, ki + row, count, yr, yi, out);
    }
}

} // namespace

std::vector<KernelProductPath> KernelProductPaths()
{
    std::vector<KernelProductPath> paths{{"plain", KernelProductPlain}};
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) {
        paths.push_back({"avx2", KernelProductAvx2});
        if (__builtin_cpu_supports("avx512f"))
            paths.push_back({"avx512", KernelProductAvx512});
    }
    return paths;
}
#else
std::vector<KernelProductPath> KernelProductPaths()
{
    return {{"plain", KernelProductPlain}};
}
#endif

void KernelProduct(const float* const* kr, const float* const* ki, int rows, int count, const double* const* yr,
                   const double* const* yi, int frames, ComplexSum* sums)
{
    static const KernelProductFunction chosen = KernelProductPaths().back().run;
    chosen(kr, ki, rows, count, yr, yi, frames, sums);
}
