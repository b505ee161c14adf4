#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "dsp/constant_q.h"
#include "dsp/fft.h"
#include "dsp/frequency_axis.h"
#include "dsp/kernel_product.h"
#include "tests/analysis/engine_fixture.h"

namespace {

constexpr int N = 16384;

// One set-up object for the whole suite: building the kernel takes a while.
const CConstantQ& SetUpTransform()
{
    static CConstantQ* cq = [] {
        auto* q = new CConstantQ;
        q->Setup(N, 48000, 24, 110);
        return q;
    }();
    return *cq;
}

std::vector<float> SineBlock(double frequency, double amplitude)
{
    std::vector<float> x(2 * N);
    for (int t = 0; t < 2 * N; ++t)
        x[t] = float(amplitude * std::sin(2 * M_PI * frequency * t / 48000.0));
    return x;
}

TEST(ConstantQ, SetupLaysOutTheQuarterToneBins)
{
    const CConstantQ& cq = SetUpTransform();
    EXPECT_EQ(cq.Size(), N);
    EXPECT_EQ(cq.Bins(), 173);
    EXPECT_FLOAT_EQ(cq.Frequencies()[0], 32.70375f);
    EXPECT_FLOAT_EQ(cq.Frequencies()[24], 65.4075f);
    EXPECT_NEAR(cq.Frequencies()[172], 4698.6, 0.2);

    CConstantQ other;
    EXPECT_EQ(other.Setup(N, 48000, 60, 60), -1);
    EXPECT_EQ(other.Bins(), 0);
}

TEST(ConstantQ, WindowLengthsChooseTheTransformSize)
{
    const CConstantQ& cq = SetUpTransform();
    const struct {
        int bin, length, resolution;
    } expected[] = {{0, 16384, 0}, {12, 11585, 0}, {36, 5792, 1}, {60, 2896, 2}, {120, 1024, 2}};
    for (const auto& e : expected) {
        EXPECT_EQ(cq.WindowLength(e.bin), e.length) << e.bin;
        EXPECT_EQ(cq.BinResolution(e.bin), e.resolution) << e.bin;
    }

    CConstantQ stretched;
    stretched.Setup(N, 48000, 24, 110);
    stretched.BuildKernel(48000, 1.0f);
    EXPECT_EQ(stretched.WindowLength(0), 16384);
    EXPECT_EQ(stretched.WindowLength(36), 11585);
    EXPECT_EQ(stretched.BinResolution(36), CConstantQ::FullSize);
    EXPECT_EQ(stretched.WindowLength(60), 5792);
    EXPECT_EQ(stretched.BinResolution(60), CConstantQ::HalfSize);

    // Whatever is typed as the adjustment, the lengths stay within N/16 .. N.
    const struct {
        float adjustment;
        int first, last;
    } extremes[] = {{1e30f, 16384, 16384}, {-1e30f, 1024, 1024}, {-1.0f, 1024, 1024}, {NAN, 16384, 16384}};
    for (const auto& e : extremes) {
        stretched.BuildKernel(48000, e.adjustment);
        EXPECT_EQ(stretched.WindowLength(0), e.first) << e.adjustment;
        EXPECT_EQ(stretched.WindowLength(stretched.Bins() - 1), e.last) << e.adjustment;
    }
}

// The kernel row of bin b computed the plain way: the whole N-point
// exponential, windowed, then the transform of its segment.
void PlainKernelRow(const CConstantQ& cq, int b, std::vector<float>& re, std::vector<float>& im)
{
    const int m = cq.WindowLength(b);
    const double omega = double(float(1.0 / 48000)) * cq.Frequencies()[b] * 6.28318;
    std::vector<float> xr(N), xi(N);
    for (int j = 0; j < N; ++j) {
        xr[j] = float(std::cos(omega * j));
        xi[j] = float(std::sin(omega * j));
    }
    const int o = (N - m) / 2;
    for (int j = 0; j < N; ++j) {
        if (j < o || j >= o + m) {
            xr[j] = xi[j] = 0.0f;
            continue;
        }
        const int i = j - o;
        const double w = 0.5 - 0.5 * std::cos(6.28318 * (double(i) / m));
        xr[j] = float((w * xr[j]) * (double(N) / m));
        xi[j] = float((w * xi[j]) * (double(N) / m));
    }
    const int size = cq.BinSize(b);
    const int start = size == N ? 0 : size == N / 2 ? N / 4 : 3 * N / 8;
    CFFT fft(size);
    re.resize(size);
    im.resize(size);
    fft.TransformComplex(xr.data() + start, xi.data() + start, re.data(), im.data(), size);
}

TEST(ConstantQ, KernelRowsAreExactlyThePlainComputation)
{
    const CConstantQ& cq = SetUpTransform();
    for (int b = 0; b < cq.Bins(); ++b) {
        std::vector<float> re, im;
        PlainKernelRow(cq, b, re, im);
        ASSERT_EQ(0, std::memcmp(re.data(), cq.KernelRe(b), re.size() * sizeof(float))) << "bin " << b;
        ASSERT_EQ(0, std::memcmp(im.data(), cq.KernelIm(b), im.size() * sizeof(float))) << "bin " << b;
    }
}

TEST(ConstantQ, SineAtABinCentreMakesThatBinTheLargest)
{
    const CConstantQ& cq = SetUpTransform();
    for (int bin : {5, 30, 60, 100, 150}) {
        const double amplitude = 0.5;
        const std::vector<float> x = SineBlock(cq.Frequencies()[bin], amplitude);
        std::vector<float> out(173);
        const_cast<CConstantQ&>(cq).Transform(x.data(), out.data());
        int peak = 0;
        for (int b = 1; b < 173; ++b)
            if (out[b] > out[peak])
                peak = b;
        EXPECT_EQ(peak, bin);
        EXPECT_NEAR(out[bin], 8192 * amplitude, 8192 * amplitude * 0.03) << bin;
        if (bin == 60) {
            EXPECT_NEAR(out[58] / out[60], 0.75, 0.08);
            EXPECT_NEAR(out[62] / out[60], 0.75, 0.08);
        }
    }
}

// The frame by the plain loop: double sums in index order.
std::vector<float> PlainFrame(const CConstantQ& cq, const float* samples)
{
    std::vector<float> out(173);
    const int offsets[3] = {0, N / 4, 3 * N / 8};
    for (int b = 0; b < 173; ++b) {
        const int size = cq.BinSize(b);
        const int r = cq.BinResolution(b);
        CFFT fft(size);
        std::vector<float> yr(size), yi(size);
        fft.TransformReal(samples + offsets[r], yr.data(), yi.data(), size);
        double re = 0, im = 0;
        for (int k = 0; k < size; ++k) {
            re += double(cq.KernelRe(b)[k]) * yr[k] - double(cq.KernelIm(b)[k]) * yi[k];
            im += double(cq.KernelRe(b)[k]) * yi[k] + double(cq.KernelIm(b)[k]) * yr[k];
        }
        re /= size;
        im /= size;
        out[b] = float(2 * std::sqrt(re * re + im * im));
    }
    return out;
}

TEST(ConstantQ, FramesMatchThePlainLoopToOneUnitInTheLastPlace)
{
    const CConstantQ& cq = SetUpTransform();
    std::vector<float> a(2 * N), b(2 * N);
    for (int t = 0; t < 2 * N; ++t) {
        a[t] = float(0.3 * std::sin(0.013 * t) + 0.2 * std::sin(0.21 * t) + 0.001 * ((t * 7919) % 13 - 6));
        b[t] = float(0.4 * std::sin(0.047 * t + 1) + 0.05 * std::sin(0.5 * t));
    }
    std::vector<float> outA(173), outB(173), single(173);
    const_cast<CConstantQ&>(cq).TransformPair(a.data(), outA.data(), b.data(), outB.data());
    const_cast<CConstantQ&>(cq).Transform(b.data(), single.data());
    EXPECT_EQ(outB, single) << "a pair gives the same frames as two calls";

    for (const auto& [samples, out] : {std::pair{&a, &outA}, std::pair{&b, &outB}}) {
        const std::vector<float> plain = PlainFrame(cq, samples->data());
        for (int bin = 0; bin < 173; ++bin) {
            const float v = (*out)[bin];
            EXPECT_LE(std::fabs(v - plain[bin]), std::nextafter(plain[bin], INFINITY) - plain[bin])
                << "bin " << bin;
        }
    }
}

TEST(KernelProduct, EveryVectorPathGivesTheBitsOfThePlainLoop)
{
    // Values over many magnitudes make every change of summation order show.
    std::mt19937 random(7);
    std::uniform_real_distribution<float> mantissa(-1.0f, 1.0f);
    std::uniform_int_distribution<int> exponent(-30, 30);
    auto value = [&] { return std::ldexp(mantissa(random), exponent(random)); };
    for (const int count : {0, 1, 7, 8, 9, 15, 16, 17, 63, 1000, 4101}) {
        std::vector<float> kr[MaxKernelRows], ki[MaxKernelRows];
        std::vector<double> yr[MaxKernelFrames], yi[MaxKernelFrames];  // float values, as the transform gives them
        const float* krs[MaxKernelRows];
        const float* kis[MaxKernelRows];
        for (int row = 0; row < MaxKernelRows; ++row) {
            for (int k = 0; k < count; ++k) {
                kr[row].push_back(value());
                ki[row].push_back(value());
            }
            krs[row] = kr[row].data();
            kis[row] = ki[row].data();
        }
        const double* yrs[MaxKernelFrames];
        const double* yis[MaxKernelFrames];
        for (int f = 0; f < MaxKernelFrames; ++f) {
            for (int k = 0; k < count; ++k) {
                yr[f].push_back(static_cast<double>(value()));
                yi[f].push_back(static_cast<double>(value()));
            }
            yrs[f] = yr[f].data();
            yis[f] = yi[f].data();
        }
        for (const KernelProductPath& path : KernelProductPaths()) {
            for (int rows = 1; rows <= MaxKernelRows; ++rows) {
                for (int frames = 1; frames <= MaxKernelFrames; ++frames) {
                    ComplexSum fast[MaxKernelRows * MaxKernelFrames], plain[MaxKernelRows * MaxKernelFrames];
                    path.run(krs, kis, rows, count, yrs, yis, frames, fast);
                    KernelProductPlain(krs, kis, rows, count, yrs, yis, frames, plain);
                    for (int s = 0; s < rows * frames; ++s) {
                        EXPECT_EQ(std::memcmp(&fast[s], &plain[s], sizeof(ComplexSum)), 0)
                            << path.name << ": count " << count << ", rows " << rows << ", frames " << frames
                            << ", sum " << s << ": " << fast[s].re << " vs " << plain[s].re;
                    }
                }
            }
        }
    }
}

TEST(ConstantQ, TransformBeforeSetupWritesNothing)
{
    CConstantQ empty;
    empty.BuildKernel(48000, 0.0f);
    std::vector<float> x(N, 1.0f), out(173, -3.0f);
    empty.Transform(x.data(), out.data());
    EXPECT_EQ(out, std::vector<float>(173, -3.0f));
}

using ConstantQPass = EngineTest;

TEST_F(ConstantQPass, FramesStayZeroUntilTheHistoryReachesThem)
{
    displayMode = 1;
    const float* cq = engine.GetCQSpectrum();
    auto frameIsZero = [&](int frame) {
        for (int b = 0; b < 173; ++b)
            if (cq[frame * 173 + b] != 0.0f)
                return false;
        return true;
    };
    for (int buffer = 1; buffer <= 9; ++buffer) {
        FeedBoth(Sine(440.0, 20000));
        EXPECT_TRUE(frameIsZero(0)) << "buffer " << buffer;
        EXPECT_EQ(frameIsZero(1), buffer <= 8) << "buffer " << buffer;
    }
    FeedBoth(Sine(440.0, 20000));
    EXPECT_FALSE(frameIsZero(0));
}

TEST_F(ConstantQPass, UsesTheLeftChannelAndRunsForTheTempoDetector)
{
    SharedSettings.Stereo = 1;
    SharedSettings.TempoDetector = true;
    for (int b = 0; b < 18; ++b)
        Feed(Sine(440.0, 20000), [](long) { return int16_t(0); });
    const float* cq = engine.GetCQSpectrum();
    // 440 Hz is note 69: bin 2 * (69 - 24) = 90.
    int peak = 0;
    for (int b = 1; b < 173; ++b)
        if (cq[b] > cq[peak])
            peak = b;
    EXPECT_EQ(peak, 90);
    EXPECT_GT(engine.TempoBpm(), 0.0);
}

TEST_F(ConstantQPass, ReconfigureRebuildsWithTheAdjustment)
{
    SharedSettings.CQAdjustmentValue = 1.0f;
    engine.ReconfigureConstantQ();
    EXPECT_EQ(engine.ConstantQ().WindowLength(36), 11585);
}

} // namespace
