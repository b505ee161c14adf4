#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "dsp/fft.h"
#include "dsp/fft_batch.h"
#include "dsp/fft_pair.h"

namespace {

std::vector<float> Samples(int n, unsigned seed, float scale)
{
    std::mt19937 generator(seed);
    std::uniform_real_distribution<float> uniform(-scale, scale);
    std::vector<float> x(static_cast<size_t>(n));
    for (float& v : x)
        v = uniform(generator);
    // Exact zeros of both signs exercise the sign rules of the butterflies.
    for (int t = 0; t < n; t += 7)
        x[t] = (t / 7) % 2 ? -0.0f : 0.0f;
    return x;
}

bool SameBits(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Number of the first n values that differ from the reference in any bit.
int BitDifferences(const std::vector<float>& values, const std::vector<float>& reference, int n)
{
    int differences = 0;
    for (int k = 0; k < n; ++k)
        differences += !SameBits(values[k], reference[k]);
    return differences;
}

class BatchAgainstScalar : public ::testing::TestWithParam<int> {};

TEST_P(BatchAgainstScalar, EveryLaneEqualsTheScalarTransformBitForBit)
{
    const int N = GetParam();
    CFFT scalar(N);
    CFFTBatch batch(N);
    // Lanes: complex input, real input, a short real input zero-extended,
    // and pure silence.
    const std::vector<float> re = Samples(N, 1u + N, 1.0f), im = Samples(N, 2u + N, 1.0f);
    const std::vector<float> loud = Samples(N, 3u + N, 32768.0f);
    const std::vector<float> silence(static_cast<size_t>(N), 0.0f);
    const int shortCount = N / 3;
    batch.LoadComplex(0, re.data(), im.data(), N);
    batch.LoadReal(1, loud.data(), N);
    batch.LoadReal(2, re.data(), shortCount);
    batch.LoadReal(3, silence.data(), N);
    batch.Run();

    std::vector<float> wantRe(N), wantIm(N), gotRe(N), gotIm(N);
    auto expectLane = [&](int lane, const char* what) {
        batch.Output(lane, gotRe.data(), gotIm.data(), N);
        EXPECT_EQ(BitDifferences(gotRe, wantRe, N), 0) << what << ", real parts";
        EXPECT_EQ(BitDifferences(gotIm, wantIm, N), 0) << what << ", imaginary parts";
    };
    scalar.TransformComplex(re.data(), im.data(), wantRe.data(), wantIm.data(), N);
    expectLane(0, "complex input");
    scalar.TransformReal(loud.data(), wantRe.data(), wantIm.data(), N);
    expectLane(1, "real input");
    std::vector<float> padded(re.begin(), re.begin() + shortCount);
    padded.resize(static_cast<size_t>(N), 0.0f);
    scalar.TransformReal(padded.data(), wantRe.data(), wantIm.data(), N);
    expectLane(2, "zero-extended input");
    scalar.TransformReal(silence.data(), wantRe.data(), wantIm.data(), N);
    expectLane(3, "silence");

    std::vector<float> wantMags(N), loudMags(N, -1.0f), silentMags(N, -1.0f);
    float* const mags[CFFTBatch::Lanes] = {nullptr, loudMags.data(), nullptr, silentMags.data()};
    EXPECT_EQ(batch.Magnitudes(mags, N), N / 2);
    scalar.Magnitude(loud.data(), wantMags.data(), N);
    EXPECT_EQ(BitDifferences(loudMags, wantMags, N / 2), 0) << "magnitudes";
    EXPECT_EQ(loudMags[N / 2], -1.0f) << "nothing past n/2";
    for (int k = 0; k < N / 2; ++k)
        ASSERT_EQ(silentMags[k], 0.0f) << k;
}

INSTANTIATE_TEST_SUITE_P(Sizes, BatchAgainstScalar,
                         ::testing::Values(2, 4, 8, 512, 1024, 2048, 4096, 8192, 16384,
                                           1000, 1536),  // odd factors: lane by lane
                         [](const auto& info) { return "N" + std::to_string(info.param); });

TEST(FftBatch, LanesLeftOutOfARunKeepNoOldInput)
{
    const int N = 1536;  // the lane-by-lane path tracks which lanes were loaded
    CFFTBatch batch(N);
    const std::vector<float> a = Samples(N, 5u, 1.0f), b = Samples(N, 6u, 1.0f);
    batch.LoadReal(0, a.data(), N);
    batch.LoadReal(1, b.data(), N);
    batch.Run();
    batch.LoadReal(0, b.data(), N);
    batch.Run();

    CFFT scalar(N);
    std::vector<float> wantRe(N), wantIm(N), gotRe(N), gotIm(N);
    scalar.TransformReal(b.data(), wantRe.data(), wantIm.data(), N);
    batch.Output(0, gotRe.data(), gotIm.data(), N);
    EXPECT_EQ(BitDifferences(gotRe, wantRe, N), 0);
    EXPECT_EQ(BitDifferences(gotIm, wantIm, N), 0);
}

TEST(FftPair, EachLaneEqualsTheScalarTransformBitForBit)
{
    struct Case {
        int N, count, n;
    };
    // Whole and short inputs, one lane and two, sizes that end in a radix-2
    // stage, a size with an odd factor (lane by lane), n not a multiple of four.
    for (const Case c : {Case{2, 2, 2}, Case{8, 2, 8}, Case{8192, 2, 8192}, Case{4096, 1, 4093},
                         Case{16384, 2, 10001}, Case{1536, 2, 1535}}) {
        CFFTPair pair(c.N);
        std::vector<std::vector<float>> samples;
        const float* pointers[CFFTPair::Lanes] = {};
        for (int lane = 0; lane < c.count; ++lane) {
            samples.push_back(Samples(c.n, 10u + lane, lane ? 32768.0f : 1.0f));
            pointers[lane] = samples.back().data();
        }
        pair.TransformReals(pointers, c.count, c.n);
        std::vector<std::vector<double>> re(c.count, std::vector<double>(c.N, 7.0)), im = re;
        double* rePointers[CFFTPair::Lanes] = {};
        double* imPointers[CFFTPair::Lanes] = {};
        for (int lane = 0; lane < c.count; ++lane) {
            rePointers[lane] = re[lane].data();
            imPointers[lane] = im[lane].data();
        }
        pair.OutputLanes(rePointers, imPointers, c.count, c.N - 1);

        CFFT scalar(c.N);
        std::vector<float> wantRe(c.N), wantIm(c.N);
        for (int lane = 0; lane < c.count; ++lane) {
            std::vector<float> padded(samples[lane]);
            padded.resize(static_cast<size_t>(c.N), 0.0f);
            scalar.TransformReal(padded.data(), wantRe.data(), wantIm.data(), c.N);
            std::vector<float> gotRe(re[lane].begin(), re[lane].end()), gotIm(im[lane].begin(), im[lane].end());
            const std::string what = "N " + std::to_string(c.N) + ", n " + std::to_string(c.n) + ", lane " +
                                     std::to_string(lane);
            EXPECT_EQ(BitDifferences(gotRe, wantRe, c.N - 1), 0) << what << ", real parts";
            EXPECT_EQ(BitDifferences(gotIm, wantIm, c.N - 1), 0) << what << ", imaginary parts";
            EXPECT_EQ(re[lane][c.N - 1], 7.0) << what << ": nothing past n";
        }
    }
}

} // namespace
