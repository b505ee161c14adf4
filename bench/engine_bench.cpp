#include <benchmark/benchmark.h>
#include <xmmintrin.h>

#include <cmath>
#include <vector>

#include "analysis/block_readings.h"
#include "analysis/loudness_meter.h"
#include "analysis/sound_level_meter.h"
#include "analysis/transfer_measurement.h"
#include "analysis/measurement.h"
#include "analysis/wave_capture.h"
#include "dsp/constant_q.h"
#include "dsp/subnormals.h"
#include "settings/measure_settings.h"
#include "settings/shared_settings.h"
#include "tests/input/scripted_wave_input.h"

namespace {

std::vector<int16_t> StereoBuffer(int index)
{
    std::vector<int16_t> frames(2 * CWaveCapture::FramesPerBuffer);
    for (int i = 0; i < CWaveCapture::FramesPerBuffer; ++i) {
        const double n = index * 2048.0 + i;
        frames[2 * i] = int16_t(9000 * std::sin(0.131 * n) + 3000 * std::sin(0.0173 * n));
        frames[2 * i + 1] = int16_t(7000 * std::sin(0.071 * n));
    }
    return frames;
}

// ProcessBlock on a scripted source, with our readings wired as the program
// wires them (averaging and peak hold off, no meter): the buffer is handed
// over outside the timed region, so the figure is the analysis of one block.
void RunProcessBlock(benchmark::State& state, int mode, bool wrap, bool tempo)
{
    SharedSettings = Settings();
    SharedSettings.Stereo = 1;
    SharedSettings.WindowSize = 8192;
    SharedSettings.WindowType = 1;
    SharedSettings.WrapUnderCQ = wrap;
    SharedSettings.TempoDetector = tempo;
    ScriptedDriver driver;
    RecordingTarget target;
    CWaveCapture engine(&driver);
    const CBlockReadings readings(engine);
    engine.SetNotifyWindow(&target);
    engine.SetDisplayModeSource(&mode);
    engine.Start();
    const std::vector<int16_t> buffers[2] = {StereoBuffer(0), StereoBuffer(1)};
    int index = 0;
    for (int warm = 0; warm < 20; ++warm, ++index) {
        driver.last->Push(buffers[index % 2]);
        engine.ProcessBlock();
    }
    for (auto _ : state) {
        state.PauseTiming();
        driver.last->Push(buffers[index++ % 2]);
        state.ResumeTiming();
        engine.ProcessBlock();
    }
    benchmark::DoNotOptimize(engine.GetSpectrum(0));
    SharedSettings = Settings();
}

void BM_ProcessBlock_Mode0_Stereo8192Hann(benchmark::State& state)
{
    RunProcessBlock(state, 0, false, false);
}
BENCHMARK(BM_ProcessBlock_Mode0_Stereo8192Hann)->Unit(benchmark::kMillisecond);

void BM_ProcessBlock_Mode1_WrapTempo_Stereo8192(benchmark::State& state)
{
    RunProcessBlock(state, 1, true, true);
}
BENCHMARK(BM_ProcessBlock_Mode1_WrapTempo_Stereo8192)->Unit(benchmark::kMillisecond);

void BM_ProcessBlock_Mode1(benchmark::State& state)
{
    RunProcessBlock(state, 1, false, false);
}
BENCHMARK(BM_ProcessBlock_Mode1)->Unit(benchmark::kMillisecond);

void BM_ConstantQBuildKernel(benchmark::State& state)
{
    CConstantQ cq;
    cq.Setup(16384, 48000, 24, 110);
    float adjustment = 0.0f;
    for (auto _ : state) {
        cq.BuildKernel(48000, adjustment);
        adjustment = adjustment == 0.0f ? 0.5f : 0.0f;
    }
}
BENCHMARK(BM_ConstantQBuildKernel)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ConstantQTransform(benchmark::State& state)
{
    CConstantQ cq;
    cq.Setup(16384, 48000, 24, 110);
    std::vector<float> x(16384), out(173);
    for (int i = 0; i < 16384; ++i)
        x[i] = float(0.3 * std::sin(0.05 * i));
    for (auto _ : state) {
        cq.Transform(x.data(), out.data());
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_ConstantQTransform)->Unit(benchmark::kMillisecond);

// Both frames of a block with the kernel out of the caches, as the live
// program meets it: between blocks the rest of the desktop runs. A 64 MB
// sweep outside the timed region evicts it.
void BM_ConstantQTransformPair_ColdKernel(benchmark::State& state)
{
    CConstantQ cq;
    cq.Setup(16384, 48000, 24, 110);
    std::vector<float> a(16384), b(16384), outA(173), outB(173);
    for (int i = 0; i < 16384; ++i) {
        a[i] = float(0.3 * std::sin(0.05 * i));
        b[i] = float(0.3 * std::sin(0.05 * (i + 1024)));
    }
    std::vector<char> sweep(64 << 20);
    char round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::fill(sweep.begin(), sweep.end(), ++round);
        benchmark::ClobberMemory();
        state.ResumeTiming();
        cq.TransformPair(a.data(), outA.data(), b.data(), outB.data());
        benchmark::DoNotOptimize(outB.data());
    }
}
BENCHMARK(BM_ConstantQTransformPair_ColdKernel)->Unit(benchmark::kMillisecond);

void BM_TempoEstimate(benchmark::State& state)
{
    CTempoDetector detector;
    std::vector<float> frame(173);
    for (int f = 0; f < 240; ++f) {
        for (int b = 0; b < 173; ++b)
            frame[b] = (f % 12 == 0) ? 1.0f : 0.1f;
        detector.PushFrame(frame.data());
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(detector.Estimate());
}
BENCHMARK(BM_TempoEstimate)->Unit(benchmark::kMicrosecond);

// The bands view's measurement of one block: 1/3 octave, A weighting, Slow,
// averaged over 1 s (the weighting, the filter bank on signals halved in
// rate, the time weighting and the average).
void BM_Bands_ThirdOctaveA_Averaged(benchmark::State& state)
{
    SharedMeasureSettings = MeasureSettings();
    SharedMeasureSettings.BandsPerOctave = 3;
    SharedMeasureSettings.Weighting = 1;
    SharedMeasureSettings.Averaging = 2;
    CMeasurement measurement;
    const std::vector<int16_t> stereo = StereoBuffer(0);
    std::vector<int16_t> mono(CWaveCapture::FramesPerBuffer);
    for (size_t i = 0; i < mono.size(); ++i)
        mono[i] = stereo[2 * i];
    long block = 0;
    for (auto _ : state)
        measurement.AddSamples(mono.data(), int(mono.size()), block++);
    benchmark::DoNotOptimize(measurement.BandLevels().data());
    SharedMeasureSettings = MeasureSettings();
}
BENCHMARK(BM_Bands_ThirdOctaveA_Averaged)->Unit(benchmark::kMillisecond);

// The bands view at its heaviest (1/12 octave, A, Slow), one block: of
// noise (arg 0), and of silence after 5 s of noise and 60 s of silence
// (arg 1), with subnormal numbers flushed to zero as the program's
// analysing threads have them. (Without, the filters' decaying states made
// a block of silence cost many times one of noise, for minutes.)
void BM_Bands_TwelfthOctaveA_SilenceAfterNoise(benchmark::State& state)
{
    const unsigned saved = _mm_getcsr();
    FlushSubnormalsOnThisThread();
    SharedMeasureSettings = MeasureSettings();
    SharedMeasureSettings.BandsPerOctave = 12;
    SharedMeasureSettings.Weighting = 1;
    SharedMeasureSettings.TimeWeighting = 1;
    CMeasurement measurement;
    std::vector<int16_t> noise(CWaveCapture::FramesPerBuffer), silence(noise.size(), 0);
    unsigned random = 12345u;
    for (int16_t& x : noise) {
        random = random * 1664525u + 1013904223u;
        x = int16_t((int(random >> 16) - 32768) / 4);
    }
    const long second = long(std::lround(48000.0 / CWaveCapture::FramesPerBuffer));
    long block = 0;
    for (; block < 5 * second; ++block)
        measurement.AddSamples(noise.data(), int(noise.size()), block);
    const std::vector<int16_t>& timed = state.range(0) == 0 ? noise : silence;
    if (state.range(0) != 0)
        for (; block < 65 * second; ++block)
            measurement.AddSamples(silence.data(), int(silence.size()), block);
    for (auto _ : state)
        measurement.AddSamples(timed.data(), int(timed.size()), block++);
    benchmark::DoNotOptimize(measurement.BandLevels().data());
    SharedMeasureSettings = MeasureSettings();
    _mm_setcsr(saved);
}
BENCHMARK(BM_Bands_TwelfthOctaveA_SilenceAfterNoise)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The meter's work for one captured block: libebur128's true peak (4 times
// oversampled) and histograms, our K-weighting and window sums, and the
// meter's own bookkeeping.
void BM_Meter(benchmark::State& state)
{
    CLoudnessMeter meter;
    const std::vector<int16_t> buffers[2] = {StereoBuffer(0), StereoBuffer(1)};
    int index = 0;
    for (auto _ : state)
        meter.Process(buffers[index++ % 2].data(), CWaveCapture::FramesPerBuffer);
    benchmark::DoNotOptimize(meter.Readings().momentary);
}
BENCHMARK(BM_Meter)->Unit(benchmark::kMillisecond);

// The sound level meter's block: A weighting, the C weighting and its true
// peak, Fast and Slow on every sample.
void BM_SoundLevelMeter(benchmark::State& state)
{
    CSoundLevelMeter meter(Weighting::A);
    // With a microphone's correction (a curve from 2 dB down at 20 Hz to 3
    // dB up at 20 kHz): its FIR filter too.
    if (state.range(0) != 0)
        meter.SetCorrection([](double f) { return f < 20.0 ? -2.0 : -2.0 + 5.0 * std::log10(f / 20.0) / 3.0; });
    const std::vector<int16_t> buffers[2] = {StereoBuffer(0), StereoBuffer(1)};
    int index = 0;
    for (auto _ : state)
        meter.Process(buffers[index++ % 2].data(), CWaveCapture::FramesPerBuffer);
    benchmark::DoNotOptimize(meter.Readings().fast);
}
BENCHMARK(BM_SoundLevelMeter)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The transfer view's measurement of a block (left against right): a
// 16384-point transform of both every fourth block, the averages, the
// seconds kept for the delay; and "Find delay" over the 2 s kept, which
// runs on the GUI thread between two blocks.
void BM_TransferBlock(benchmark::State& state)
{
    CTransferMeasurement transfer;
    transfer.SetWanted(true);
    const std::vector<int16_t> buffers[2] = {StereoBuffer(0), StereoBuffer(1)};
    AnalysedBlock block;
    block.frames = CWaveCapture::FramesPerBuffer;
    for (auto _ : state) {
        block.interleaved = buffers[block.index++ % 2].data();
        transfer.Consume(block);
    }
    benchmark::DoNotOptimize(transfer.Transfer().Averages());
}
BENCHMARK(BM_TransferBlock)->Unit(benchmark::kMillisecond);

void BM_FindDelay(benchmark::State& state)
{
    CTransferMeasurement transfer;
    transfer.SetWanted(true);
    const std::vector<int16_t> buffers[2] = {StereoBuffer(0), StereoBuffer(1)};
    AnalysedBlock block;
    block.frames = CWaveCapture::FramesPerBuffer;
    for (int b = 0; b < 50; ++b) {
        block.interleaved = buffers[b % 2].data();
        transfer.Consume(block);
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(transfer.FindDelay().samples);
}
BENCHMARK(BM_FindDelay)->Unit(benchmark::kMillisecond);

} // namespace
