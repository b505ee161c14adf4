#include "dsp/constant_q.h"

#include <cmath>
#include <thread>

#include "dsp/fft_batch.h"
#include "dsp/frequency_axis.h"
#include "dsp/kernel_product.h"

// The three transforms of one block, all centred on sample N/2.
// A frame's spectra in double for the kernel products, each value the
// transform's float converted once.
struct CConstantQ::Spectra {
    std::vector<double> re[3];
    std::vector<double> im[3];
};

// What one kernel-building thread owns: a plan per resolution and one
// windowed exponential per lane.
struct CConstantQ::KernelWorker {
    explicit KernelWorker(int N) : full(N), half(N / 2), quarter(N / 4)
    {
        for (int lane = 0; lane < CFFTBatch::Lanes; ++lane) {
            re[lane].resize(static_cast<size_t>(N));
            im[lane].resize(static_cast<size_t>(N));
        }
    }
    CFFTBatch& Plan(int r) { return r == FullSize ? full : r == HalfSize ? half : quarter; }

    CFFTBatch full, half, quarter;
    std::vector<float> re[CFFTBatch::Lanes];
    std::vector<float> im[CFFTBatch::Lanes];
};

namespace {

// Window length of a bin: inversely proportional to its frequency, stretched,
// at most N and at least N / 16.
int KernelWindowLength(int N, float freq, float freq0, float adjustment)
{
    // Clamped before the conversion, so that any adjustment (even one far
    // out of range, or not a number) gives a length within N / 16 .. N.
    const double m = N / static_cast<double>(freq) * freq0 * (static_cast<double>(adjustment) + 1.0);
    if (!(m < N))
        return N;
    if (m < N * 0.0625)
        return static_cast<int>(N * 0.0625);
    return static_cast<int>(m);
}

// Fills re/im with the complex exponential of step omega under a Hann window
// of length m centred in N, scaled by N / m; zero outside the window.
void WindowedExponential(std::vector<float>& re, std::vector<float>& im, int N, int m, double omega)
{
    const int offset = (N - m) / 2;
    std::fill(re.begin(), re.end(), 0.0f);
    std::fill(im.begin(), im.end(), 0.0f);
    const double scale = static_cast<double>(N) / m;
    for (int i = 0; i < m; ++i) {
        const int j = offset + i;
        const float c = static_cast<float>(std::cos(omega * j));
        const float s = static_cast<float>(std::sin(omega * j));
        const double w = 0.5 - 0.5 * std::cos(6.28318 * (static_cast<double>(i) / m));
        re[j] = static_cast<float>((w * c) * scale);
        im[j] = static_cast<float>((w * s) * scale);
    }
}

} // namespace

CConstantQ::CConstantQ() : spectra(std::make_unique<Spectra[]>(MaxKernelFrames)) {}

CConstantQ::~CConstantQ() = default;

int CConstantQ::BinSize(int b) const
{
    return N >> resolution[b];
}

int CConstantQ::Setup(int size, int sampleRate, int lo, int hi)
{
    if (lo >= hi)
        return -1;
    N = size;
    fmin = static_cast<float>(noteFrequency(lo));
    len = 2 * (hi - lo) + 1;
    freqs.resize(static_cast<size_t>(len));
    for (int i = 0; i < len; ++i)
        freqs[i] = static_cast<float>(std::pow(2.0, i * 0.041666666666666664) * fmin);
    resolution.assign(static_cast<size_t>(len), FullSize);
    planFull = std::make_unique<CFFTPair>(N);
    planHalf = std::make_unique<CFFTPair>(N / 2);
    planQuarter = std::make_unique<CFFTPair>(N / 4);
    BuildKernel(sampleRate, 0.0f);
    return 0;
}

void CConstantQ::BuildKernel(int sampleRate, float adjustment)
{
    windowLengths.assign(static_cast<size_t>(len), 0);
    kernelOffset.assign(static_cast<size_t>(len), 0);
    size_t total = 0;
    for (int b = 0; b < len; ++b) {
        const int m = KernelWindowLength(N, freqs[b], freqs[0], adjustment);
        windowLengths[b] = m;
        resolution[b] = m >= N / 2 ? FullSize : m >= N / 4 ? HalfSize : QuarterSize;
        kernelOffset[b] = total;
        total += static_cast<size_t>(BinSize(b));
    }
    kernelRe.assign(total, 0.0f);
    kernelIm.assign(total, 0.0f);
    if (len == 0)
        return;

    const double inverseRate = static_cast<float>(1.0 / sampleRate);
    // Bins are independent: the threads take every second bin each and
    // transform them in groups of the same resolution, one bin per lane.
    auto build = [&](int first, int stride) {
        KernelWorker worker(N);
        for (int r = FullSize; r <= QuarterSize; ++r) {
            int group[CFFTBatch::Lanes];
            int count = 0;
            for (int b = first; b < len; b += stride) {
                if (resolution[b] != r)
                    continue;
                group[count++] = b;
                if (count == CFFTBatch::Lanes) {
                    BuildKernelRows(worker, group, count, inverseRate);
                    count = 0;
                }
            }
            if (count > 0)
                BuildKernelRows(worker, group, count, inverseRate);
        }
    };
    const int threads = std::thread::hardware_concurrency() > 1 ? 2 : 1;
    if (threads == 1) {
        build(0, 1);
        return;
    }
    std::thread helper(build, 1, 2);
    build(0, 2);
    helper.join();
}

// Kernel rows of up to four bins of one resolution: each bin's windowed
// exponential, cut to the segment its transform covers, goes through one lane.
void CConstantQ::BuildKernelRows(KernelWorker& worker, const int* bins, int count, double inverseRate)
{
    const int r = resolution[bins[0]];
    const int size = BinSize(bins[0]);
    const int start = r == FullSize ? 0 : r == HalfSize ? N / 4 : 3 * N / 8;
    CFFTBatch& plan = worker.Plan(r);
    for (int lane = 0; lane < count; ++lane) {
        const int b = bins[lane];
        const double omega = inverseRate * freqs[b] * 6.28318;
        WindowedExponential(worker.re[lane], worker.im[lane], N, windowLengths[b], omega);
        plan.LoadComplex(lane, worker.re[lane].data() + start, worker.im[lane].data() + start, size);
    }
    plan.Run();
    for (int lane = 0; lane < count; ++lane) {
        const int b = bins[lane];
        plan.Output(lane, kernelRe.data() + kernelOffset[b], kernelIm.data() + kernelOffset[b], size);
    }
}

void CConstantQ::ComputeSpectra(const float* const* samples, int frameCount)
{
    CFFTPair* plans[3] = {planFull.get(), planHalf.get(), planQuarter.get()};
    const int offsets[3] = {0, N / 4, 3 * N / 8};
    for (int r = 0; r < 3; ++r) {
        const int size = plans[r]->Size();
        const float* segments[MaxKernelFrames];
        double* re[MaxKernelFrames];
        double* im[MaxKernelFrames];
        for (int f = 0; f < frameCount; ++f) {
            segments[f] = samples[f] + offsets[r];
            spectra[f].re[r].resize(static_cast<size_t>(size));
            spectra[f].im[r].resize(static_cast<size_t>(size));
            re[f] = spectra[f].re[r].data();
            im[f] = spectra[f].im[r].data();
        }
        plans[r]->TransformReals(segments, frameCount, size);
        plans[r]->OutputLanes(re, im, frameCount, size);
    }
}

void CConstantQ::KernelProducts(const Spectra* frames, int frameCount, float* const* outs)
{
    const double gain = 32768 / N;
    int rows = 1;
    for (int b = 0; b < len; b += rows) {
        const int r = resolution[b];
        const int size = BinSize(b);
        rows = 1;
        while (rows < MaxKernelRows && b + rows < len && resolution[b + rows] == r)
            ++rows;
        const float* kr[MaxKernelRows];
        const float* ki[MaxKernelRows];
        for (int row = 0; row < rows; ++row) {
            kr[row] = KernelRe(b + row);
            ki[row] = KernelIm(b + row);
        }
        const double* yr[MaxKernelFrames];
        const double* yi[MaxKernelFrames];
        for (int f = 0; f < frameCount; ++f) {
            yr[f] = frames[f].re[r].data();
            yi[f] = frames[f].im[r].data();
        }
        ComplexSum sums[MaxKernelRows * MaxKernelFrames];
        KernelProduct(kr, ki, rows, size, yr, yi, frameCount, sums);
        const double divisor = r == FullSize ? N : r == HalfSize ? N * 0.5 : N * 0.25;
        for (int row = 0; row < rows; ++row) {
            for (int f = 0; f < frameCount; ++f) {
                const double re = sums[row * frameCount + f].re / divisor;
                const double im = sums[row * frameCount + f].im / divisor;
                outs[f][b + row] = static_cast<float>(gain * std::sqrt(re * re + im * im));
            }
        }
    }
}

void CConstantQ::Transform(const float* samples, float* out)
{
    if (freqs.empty())
        return;
    ComputeSpectra(&samples, 1);
    KernelProducts(spectra.get(), 1, &out);
}

void CConstantQ::TransformPair(const float* samplesA, float* outA, const float* samplesB, float* outB)
{
    if (freqs.empty())
        return;
    const float* samples[2] = {samplesA, samplesB};
    ComputeSpectra(samples, 2);
    float* outs[2] = {outA, outB};
    KernelProducts(spectra.get(), 2, outs);
}
