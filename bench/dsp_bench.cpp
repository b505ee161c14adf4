#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "dsp/fft.h"
#include "dsp/fft_batch.h"
#include "dsp/frequency_axis.h"
#include "dsp/window_functions.h"

namespace {

std::vector<float> TestSignal(int n)
{
    std::vector<float> x(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        x[i] = float(0.5 * std::sin(0.0131 * i) + 0.25 * std::sin(0.377 * i));
    return x;
}

void BM_FftMagnitude(benchmark::State& state)
{
    const int n = int(state.range(0));
    CFFT fft(n);
    const std::vector<float> x = TestSignal(n);
    std::vector<float> mags(static_cast<size_t>(n / 2));
    for (auto _ : state) {
        fft.Magnitude(x.data(), mags.data(), n);
        benchmark::DoNotOptimize(mags.data());
    }
}
BENCHMARK(BM_FftMagnitude)->RangeMultiplier(2)->Range(512, 16384)->Unit(benchmark::kMicrosecond);

void BM_FftPlanAndMagnitude(benchmark::State& state)
{
    const int n = int(state.range(0));
    const std::vector<float> x = TestSignal(n);
    std::vector<float> mags(static_cast<size_t>(n / 2));
    for (auto _ : state) {
        CFFT fft(n);
        fft.Magnitude(x.data(), mags.data(), n);
        benchmark::DoNotOptimize(mags.data());
    }
}
BENCHMARK(BM_FftPlanAndMagnitude)->Arg(8192)->Unit(benchmark::kMicrosecond);

void BM_ApplyWindow(benchmark::State& state)
{
    const int n = 8192;
    const unsigned type = unsigned(state.range(0));
    const std::vector<float> x = TestSignal(n);
    std::vector<float> w(x);
    for (auto _ : state) {
        w = x;
        ApplyWindow(w.data(), n, type);
        benchmark::DoNotOptimize(w.data());
    }
    state.SetLabel(WindowTypeNames[type]);
}
BENCHMARK(BM_ApplyWindow)->DenseRange(1, 9)->Unit(benchmark::kMicrosecond);

void BM_WindowTable(benchmark::State& state)
{
    const int n = 8192;
    const std::vector<float> x = TestSignal(n);
    std::vector<float> w(x);
    CWindowTable table;
    for (auto _ : state) {
        w = x;
        table.Apply(w.data(), n, WindowHann);
        benchmark::DoNotOptimize(w.data());
    }
}
BENCHMARK(BM_WindowTable)->Unit(benchmark::kMicrosecond);

void BM_LogResample(benchmark::State& state)
{
    const int count = int(state.range(0));
    const std::vector<float> src = TestSignal(LinearBins);
    std::vector<float> dst(static_cast<size_t>(count));
    for (auto _ : state) {
        LogResample(src.data(), dst.data(), count, 32.0f, 22050.0f);
        benchmark::DoNotOptimize(dst.data());
    }
}
BENCHMARK(BM_LogResample)->Arg(2048)->Arg(8192)->Unit(benchmark::kMicrosecond);

void BM_LogResampleTable(benchmark::State& state)
{
    const std::vector<float> src = TestSignal(LinearBins);
    std::vector<float> dst(2048);
    for (auto _ : state) {
        LogResampleTable(src.data(), dst.data(), 2048, 32.0f, 22050.0f);
        benchmark::DoNotOptimize(dst.data());
    }
}
BENCHMARK(BM_LogResampleTable)->Unit(benchmark::kMicrosecond);

} // namespace

namespace {

// The library's transform alone, the floor under every CFFT call.
void BM_KissFftAlone(benchmark::State& state)
{
    const size_t n = size_t(state.range(0));
    const kissfft<float> plan(n, false);
    std::vector<std::complex<float>> in(n), out(n);
    for (size_t i = 0; i < n; ++i)
        in[i] = float(std::sin(0.01 * double(i)));
    for (auto _ : state) {
        plan.transform(in.data(), out.data());
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_KissFftAlone)->Arg(4096)->Arg(8192)->Arg(16384)->Unit(benchmark::kMicrosecond);

// Four real transforms in one batch, loads and magnitudes included.
void BM_FftBatchMagnitudes(benchmark::State& state)
{
    const int n = int(state.range(0));
    CFFTBatch batch(n);
    std::vector<float> samples(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        samples[i] = float(std::sin(0.01 * i));
    std::vector<float> mags(static_cast<size_t>(CFFTBatch::Lanes * n / 2));
    float* const lanes[CFFTBatch::Lanes] = {mags.data(), mags.data() + n / 2, mags.data() + n, mags.data() + 3 * n / 2};
    for (auto _ : state) {
        for (int lane = 0; lane < CFFTBatch::Lanes; ++lane)
            batch.LoadReal(lane, samples.data(), n);
        batch.Run();
        batch.Magnitudes(lanes, n);
        benchmark::DoNotOptimize(mags.data());
    }
}
BENCHMARK(BM_FftBatchMagnitudes)->Arg(4096)->Arg(8192)->Arg(16384)->Unit(benchmark::kMicrosecond);

} // namespace
