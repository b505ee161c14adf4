#include "dsp/true_peak.h"

#include <algorithm>
#include <cmath>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

TruePeakTaps DesignTaps()
{
    TruePeakTaps taps{};
    const double middle = (CTruePeak::Taps - 1) / 2.0;
    for (int j = 0; j < CTruePeak::Taps; ++j) {
        const int k = j % CTruePeak::Factor;
        if (k == 0)
            continue;  // phase 0 is the input: its other taps are zeros of the sinc
        const double m = (j - middle) * 3.14159 / CTruePeak::Factor;
        const double sinc = std::sin(m) / m;
        const double hann = 0.5 * (1.0 - std::cos(6.28318 * j / (CTruePeak::Taps - 1)));
        taps.phase[k - 1][j / CTruePeak::Factor] = static_cast<float>(sinc * hann);
    }
    return taps;
}

float PhasesPlain(const float* x, int count, const TruePeakTaps& taps)
{
    float peak = 0.0f;
    for (int n = 0; n < count; ++n)
        for (const float* c : taps.phase) {
            float y = c[0] * x[n];
            for (int t = 1; t < CTruePeak::PhaseTaps; ++t)
                y = y + c[t] * x[n - t];
            peak = std::max(peak, std::fabs(y));
        }
    return peak;
}

#if defined(__x86_64__)
// One vector path: lanes of consecutive outputs, each summed as the plain
// loop sums it (multiply, then add: no fused multiply-add), the outputs
// after the last whole group of lanes by the plain loop.
#define TAVI_TRUE_PEAK_PATH(Name, Target, Vector, Lanes, Load, Set1, Mul, Add, Max, Abs, Largest)                  \
    Target float Name(const float* x, int count, const TruePeakTaps& taps)                                         \
    {                                                                                                              \
        Vector peak = Set1(0.0f);                                                                                  \
        int n = 0;                                                                                                 \
        for (; n + (Lanes) <= count; n += (Lanes))                                                                 \
            for (const float* c : taps.phase) {                                                                    \
                Vector y = Mul(Set1(c[0]), Load(x + n));                                                           \
                for (int t = 1; t < CTruePeak::PhaseTaps; ++t)                                                     \
                    y = Add(y, Mul(Set1(c[t]), Load(x + n - t)));                                                  \
                peak = Max(peak, Abs(y));                                                                          \
            }                                                                                                      \
        return std::max(Largest(peak), PhasesPlain(x + n, count - n, taps));                                       \
    }

inline __m128 Abs128(__m128 a) { return _mm_andnot_ps(_mm_set1_ps(-0.0f), a); }
inline float Largest128(__m128 v)
{
    v = _mm_max_ps(v, _mm_movehl_ps(v, v));
    v = _mm_max_ss(v, _mm_shuffle_ps(v, v, 1));
    return _mm_cvtss_f32(v);
}
TAVI_TRUE_PEAK_PATH(PhasesSse, , __m128, 4, _mm_loadu_ps, _mm_set1_ps, _mm_mul_ps, _mm_add_ps, _mm_max_ps, Abs128,
                    Largest128)

#define TAVI_AVX2 __attribute__((target("avx2")))
TAVI_AVX2 inline __m256 Abs256(__m256 a) { return _mm256_andnot_ps(_mm256_set1_ps(-0.0f), a); }
TAVI_AVX2 inline float Largest256(__m256 v)
{
    return Largest128(_mm_max_ps(_mm256_castps256_ps128(v), _mm256_extractf128_ps(v, 1)));
}
TAVI_TRUE_PEAK_PATH(PhasesAvx2, TAVI_AVX2, __m256, 8, _mm256_loadu_ps, _mm256_set1_ps, _mm256_mul_ps, _mm256_add_ps,
                    _mm256_max_ps, Abs256, Largest256)

// The masked forms with every lane selected are the plain instructions; they
// spare gcc 12 a false warning about the unmasked forms' undefined source.
#define TAVI_AVX512 __attribute__((target("avx512f,avx2")))
TAVI_AVX512 inline __m512 Abs512(__m512 a) { return _mm512_abs_ps(a); }
TAVI_AVX512 inline __m512 Max512(__m512 a, __m512 b) { return _mm512_maskz_max_ps(0xFFFF, a, b); }
TAVI_AVX512 inline float Largest512(__m512 v)
{
    const __m512d bits = _mm512_castps_pd(v);
    const __m256 low = _mm256_castpd_ps(_mm512_maskz_extractf64x4_pd(0xF, bits, 0));
    const __m256 high = _mm256_castpd_ps(_mm512_maskz_extractf64x4_pd(0xF, bits, 1));
    return Largest256(_mm256_max_ps(low, high));
}
TAVI_TRUE_PEAK_PATH(PhasesAvx512, TAVI_AVX512, __m512, 16, _mm512_loadu_ps, _mm512_set1_ps, _mm512_mul_ps,
                    _mm512_add_ps, Max512, Abs512, Largest512)
#endif

TruePeakPhasesFunction Chosen()
{
    static const TruePeakPhasesFunction chosen = TruePeakPaths().back().run;
    return chosen;
}

} // namespace

const TruePeakTaps& TruePeakFilter()
{
    static const TruePeakTaps taps = DesignTaps();
    return taps;
}

std::vector<TruePeakPath> TruePeakPaths()
{
    std::vector<TruePeakPath> paths{{"plain", PhasesPlain}};
#if defined(__x86_64__)
    paths.push_back({"sse", PhasesSse});
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) {
        paths.push_back({"avx2", PhasesAvx2});
        if (__builtin_cpu_supports("avx512f"))
            paths.push_back({"avx512", PhasesAvx512});
    }
#endif
    return paths;
}

CTruePeak::CTruePeak(int channels) : channels(channels), signal(static_cast<size_t>(channels))
{
    Reset();
}

void CTruePeak::Reset()
{
    for (std::vector<float>& x : signal)
        x.assign(History, 0.0f);
}

void CTruePeak::Process(const int16_t* interleaved, int frames, double* peaks)
{
    for (int ch = 0; ch < channels; ++ch) {
        float* block = BlockOf(ch, frames);
        for (int i = 0; i < frames; ++i)
            block[i] = interleaved[i * channels + ch] * (1.0f / 32768.0f);
        peaks[ch] = PeakOf(ch, frames);
    }
}

void CTruePeak::Process(const float* interleaved, int frames, double* peaks)
{
    for (int ch = 0; ch < channels; ++ch) {
        float* block = BlockOf(ch, frames);
        for (int i = 0; i < frames; ++i)
            block[i] = interleaved[i * channels + ch];
        peaks[ch] = PeakOf(ch, frames);
    }
}

float* CTruePeak::BlockOf(int ch, int frames)
{
    std::vector<float>& x = signal[static_cast<size_t>(ch)];
    x.resize(static_cast<size_t>(History + frames));
    return x.data() + History;
}

double CTruePeak::PeakOf(int ch, int frames)
{
    std::vector<float>& x = signal[static_cast<size_t>(ch)];
    const float* block = x.data() + History;
    float peak = frames > 0 ? Chosen()(block, frames, TruePeakFilter()) : 0.0f;
    for (int n = 0; n < frames; ++n)  // phase 0: the sample PassDelay before output n
        peak = std::max(peak, std::fabs(block[n - PassDelay]));
    std::copy(x.end() - History, x.end(), x.begin());
    x.resize(History);
    return peak;
}
