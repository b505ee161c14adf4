#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "dsp/fft.h"
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
    const int n = int(state.range(0));
    kiss_fft_cfg plan = kiss_fft_alloc(n, 0, nullptr, nullptr);
    std::vector<kiss_fft_cpx> in(static_cast<size_t>(n)), out(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        in[i] = {float(std::sin(0.01 * i)), 0.0f};
    for (auto _ : state) {
        kiss_fft(plan, in.data(), out.data());
        benchmark::DoNotOptimize(out.data());
    }
    kiss_fft_free(plan);
}
BENCHMARK(BM_KissFftAlone)->Arg(4096)->Arg(8192)->Arg(16384)->Unit(benchmark::kMicrosecond);

} // namespace
