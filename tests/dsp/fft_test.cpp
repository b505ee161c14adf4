#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "dsp/fft.h"

namespace {

struct Bin {
    long double re;
    long double im;
};

// Direct DFT of x (length n, zero-extended to N) at bin k, in long double.
Bin DirectDft(const std::vector<float>& re, const std::vector<float>& im, int n, int N, int k)
{
    const long double pi = 3.141592653589793238462643383279502884L;
    Bin sum{0.0L, 0.0L};
    for (int t = 0; t < n; ++t) {
        const long double angle = -2.0L * pi * ((static_cast<long long>(k) * t) % N) / N;
        const long double c = std::cos(angle), s = std::sin(angle);
        sum.re += re[t] * c - im[t] * s;
        sum.im += re[t] * s + im[t] * c;
    }
    return sum;
}

std::vector<float> RandomSamples(int n, unsigned seed)
{
    std::mt19937 generator(seed);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    std::vector<float> x(static_cast<size_t>(n));
    for (float& v : x)
        v = uniform(generator);
    return x;
}

// Float FFT rounding grows with log2(N) and the signal's energy.
double Tolerance(const std::vector<float>& re, const std::vector<float>& im, int N)
{
    double energy = 0.0;
    for (size_t i = 0; i < re.size(); ++i)
        energy += double(re[i]) * re[i] + double(im[i]) * im[i];
    return 4.0 * 1.2e-7 * std::log2(double(N)) * std::sqrt(energy) + 1e-6;
}

// Bins to compare: the edges and a spread over the range.
std::vector<int> ProbeBins(int count)
{
    std::vector<int> bins = {0, 1, 2, count / 2 - 1, count / 2, count - 1};
    for (int k = 3; k < count; k += count / 37 + 1)
        bins.push_back(k);
    return bins;
}

struct FftCase {
    int N;
    int n;
};

class FftAgainstDft : public ::testing::TestWithParam<FftCase> {};

TEST_P(FftAgainstDft, RealAndComplexTransformsMatchDirectDft)
{
    const auto [N, n] = GetParam();
    CFFT fft(N);
    const std::vector<float> re = RandomSamples(n, 11u + N + n);
    const std::vector<float> im = RandomSamples(n, 97u + N + n);
    const std::vector<float> zero(static_cast<size_t>(n), 0.0f);
    std::vector<float> outRe(N, -7.0f), outIm(N, -7.0f), mags(N, -7.0f);

    ASSERT_EQ(fft.TransformComplex(re.data(), im.data(), outRe.data(), outIm.data(), n), n);
    const double complexTol = Tolerance(re, im, N);
    for (int k : ProbeBins(n)) {
        const Bin expected = DirectDft(re, im, n, N, k);
        EXPECT_NEAR(outRe[k], double(expected.re), complexTol) << "complex re, bin " << k;
        EXPECT_NEAR(outIm[k], double(expected.im), complexTol) << "complex im, bin " << k;
    }

    ASSERT_EQ(fft.TransformReal(re.data(), outRe.data(), outIm.data(), n), n);
    const double realTol = Tolerance(re, zero, N);
    for (int k : ProbeBins(n)) {
        const Bin expected = DirectDft(re, zero, n, N, k);
        EXPECT_NEAR(outRe[k], double(expected.re), realTol) << "real re, bin " << k;
        EXPECT_NEAR(outIm[k], double(expected.im), realTol) << "real im, bin " << k;
    }

    ASSERT_EQ(fft.Magnitude(re.data(), mags.data(), n), n / 2);
    for (int k : ProbeBins(n / 2)) {
        if (k >= n / 2)
            continue;
        const Bin expected = DirectDft(re, zero, n, N, k);
        EXPECT_NEAR(mags[k], double(std::hypot(expected.re, expected.im)), realTol) << "magnitude, bin " << k;
    }
    // Nothing is written past n/2 magnitudes or n bins.
    EXPECT_EQ(mags[n / 2], -7.0f);
    if (n < N) {
        EXPECT_EQ(outRe[n], -7.0f);
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, FftAgainstDft,
                         ::testing::Values(FftCase{512, 512}, FftCase{1024, 1024}, FftCase{2048, 2048},
                                           FftCase{4096, 4096}, FftCase{8192, 8192}, FftCase{16384, 16384},
                                           FftCase{1000, 1000},  // not a power of two
                                           FftCase{1536, 1536},
                                           FftCase{512, 301},    // odd n, zero-extended
                                           FftCase{4096, 1024}), // n < N
                         [](const auto& info) {
                             return "N" + std::to_string(info.param.N) + "_n" + std::to_string(info.param.n);
                         });

TEST(Fft, ConstantAndCosineGiveTheUnnormalisedHeights)
{
    const int N = 1024;
    CFFT fft(N);
    std::vector<float> ones(N, 1.0f), mags(N / 2);
    fft.Magnitude(ones.data(), mags.data(), N);
    EXPECT_NEAR(mags[0], N, 1e-3);
    for (int k = 1; k < N / 2; ++k)
        ASSERT_NEAR(mags[k], 0.0, 1e-3) << k;

    std::vector<float> cosine(N);
    for (int t = 0; t < N; ++t)
        cosine[t] = float(std::cos(2.0 * M_PI * 37 * t / N));
    fft.Magnitude(cosine.data(), mags.data(), N);
    EXPECT_NEAR(mags[37], N / 2, 1e-3);
}

TEST(Fft, OddCountWritesHalfRoundedDown)
{
    CFFT fft(512);
    std::vector<float> x(301, 0.5f), mags(512, -1.0f);
    EXPECT_EQ(fft.Magnitude(x.data(), mags.data(), 301), 150);
    EXPECT_NE(mags[149], -1.0f);
    EXPECT_EQ(mags[150], -1.0f);
}

TEST(Fft, EveryCallStartsFromItsOwnInput)
{
    // A longer call must not leave data behind for a shorter one.
    CFFT fft(256);
    std::vector<float> loud(256, 1.0f), mags(128);
    fft.Magnitude(loud.data(), mags.data(), 256);
    std::vector<float> single(16, 0.0f);
    single[0] = 1.0f;
    fft.Magnitude(single.data(), mags.data(), 16);
    for (int k = 0; k < 8; ++k)
        EXPECT_NEAR(mags[k], 1.0, 1e-6);
}

} // namespace
