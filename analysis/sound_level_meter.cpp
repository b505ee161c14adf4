#include "analysis/sound_level_meter.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

// The mean square of a full-scale sine: the 0 dB of every level.
constexpr double ReferenceMeanSquare = 0.5;
// Below this mean square (-197 dB) only the filters' ringing is left.
constexpr double SilentMeanSquare = 1e-20;
// A 16-bit sample this large is at full scale.
constexpr double FullScale = 32767.0 / 32768.0;
// Samples weighted at a time.
constexpr int Stretch = 512;

} // namespace

double SoundLevel(double meanSquare)
{
    return meanSquare > SilentMeanSquare ? 10.0 * std::log10(meanSquare / ReferenceMeanSquare)
                                         : SoundLevelReadings::Silence;
}

CSoundLevelMeter::CSoundLevelMeter(Weighting weighting)
    : cTruePeak(1), fastFactor(1.0 - std::exp(-1.0 / (FastSeconds * SampleRate))),
      slowFactor(1.0 - std::exp(-1.0 / (SlowSeconds * SampleRate))), chunks(MinuteChunks, 0.0)
{
    SetWeighting(weighting);
}

void CSoundLevelMeter::SetWeighting(Weighting weighting)
{
    readings = SoundLevelReadings();
    readings.weighting = weighting;
    weightingX.Init(weighting, SampleRate);
    weightingC.Init(Weighting::C, SampleRate);
    cTruePeak.Reset();
    if (correction)
        correction->Reset();
    fast = slow = 0.0;
    samplesSinceStart = 0;
    std::fill(chunks.begin(), chunks.end(), 0.0);
    nextChunk = chunksFilled = chunkFill = 0;
    chunkSum = 0.0;
    Reset();
}

void CSoundLevelMeter::SetCorrection(const std::function<double(double)>& gainDb)
{
    correction = gainDb ? std::make_unique<CCorrectionFilter>(gainDb, SampleRate) : nullptr;
    SetWeighting(readings.weighting);
}

void CSoundLevelMeter::Reset()
{
    energy = 0.0;
    samples = 0;
    fastMax = slowMax = cPeak = 0.0;
    fastMin = std::numeric_limits<double>::infinity();
    overload = false;
    fastLevels.Reset();
    Update();
}

void CSoundLevelMeter::Process(const int16_t* interleaved, int frames)
{
    BeginBlock();
    double left[Stretch];
    for (int done = 0; done < frames;) {
        const int n = std::min(Stretch, frames - done);
        for (int i = 0; i < n; ++i)
            left[i] = interleaved[2 * (done + i)] / 32768.0;
        Run(left, n);
        done += n;
    }
    Update();
}

void CSoundLevelMeter::ProcessSamples(const double* input, int count)
{
    BeginBlock();
    Run(input, count);
    Update();
}

void CSoundLevelMeter::BeginBlock()
{
    blockFastMax = blockCPeak = blockEnergy = 0.0;
    blockSamples = 0;
    blockOverload = false;
}

void CSoundLevelMeter::Run(const double* input, int count)
{
    double x[Stretch], c[Stretch];
    for (int done = 0; done < count;) {
        const int n = std::min(Stretch, count - done);
        for (int i = 0; i < n; ++i) {
            x[i] = input[done + i];
            blockOverload = blockOverload || std::fabs(x[i]) >= FullScale;
        }
        overload = overload || blockOverload;
        if (correction)
            correction->Process(x, n);
        std::copy(x, x + n, c);
        weightingX.Process(x, n);
        if (readings.weighting == Weighting::C)
            std::copy(x, x + n, c);
        else
            weightingC.Process(c, n);
        float cFloat[Stretch];
        for (int i = 0; i < n; ++i)
            cFloat[i] = static_cast<float>(c[i]);
        double peak = 0.0;
        cTruePeak.Process(cFloat, n, &peak);
        cPeak = std::max(cPeak, peak);
        blockCPeak = std::max(blockCPeak, peak);
        for (int i = 0; i < n; ++i)
            ProcessSample(x[i]);
        done += n;
    }
}

void CSoundLevelMeter::ProcessSample(double x)
{
    const double square = x * x;
    fast += (square - fast) * fastFactor;
    slow += (square - slow) * slowFactor;
    fastMax = std::max(fastMax, fast);
    slowMax = std::max(slowMax, slow);
    blockFastMax = std::max(blockFastMax, fast);
    blockEnergy += square;
    ++blockSamples;
    energy += square;
    ++samples;
    ++samplesSinceStart;
    chunkSum += square;
    if (++chunkFill == ChunkFrames)
        EndChunk();
}

void CSoundLevelMeter::EndChunk()
{
    chunks[static_cast<size_t>(nextChunk)] = chunkSum;
    nextChunk = (nextChunk + 1) % MinuteChunks;
    chunksFilled = std::min(chunksFilled + 1, MinuteChunks);
    chunkSum = 0.0;
    chunkFill = 0;
    if (samplesSinceStart >= static_cast<int64_t>(5 * FastSeconds * SampleRate)) {
        fastMin = std::min(fastMin, fast);
        fastLevels.Add(SoundLevel(fast));
    }
}

double CSoundLevelMeter::RecentMeanSquare(int count) const
{
    const int n = std::min(count, chunksFilled);
    if (n == 0)
        return 0.0;
    // The newest n chunks end just before nextChunk: at most two runs of
    // the ring, summed without an index computed per chunk.
    const int inFront = std::min(n, nextChunk);
    const auto begin = chunks.begin();
    double sum = std::accumulate(begin + (nextChunk - inFront), begin + nextChunk, 0.0);
    sum = std::accumulate(begin + (MinuteChunks - (n - inFront)), begin + MinuteChunks, sum);
    return sum / (static_cast<double>(n) * ChunkFrames);
}

void CSoundLevelMeter::Update()
{
    SoundLevelReadings& r = readings;
    r.fast = SoundLevel(fast);
    r.slow = SoundLevel(slow);
    r.seconds = static_cast<double>(samples) / SampleRate;
    r.eq = samples > 0 ? SoundLevel(energy / static_cast<double>(samples)) : SoundLevelReadings::Silence;
    r.exposure = SoundLevel(energy / SampleRate);
    r.fastMax = SoundLevel(fastMax);
    r.slowMax = SoundLevel(slowMax);
    r.fastMin = std::isfinite(fastMin) ? SoundLevel(fastMin) : SoundLevelReadings::Silence;
    r.cPeak = SoundLevel(cPeak * cPeak);
    r.l10 = fastLevels.Exceeded(10.0);
    r.l50 = fastLevels.Exceeded(50.0);
    r.l90 = fastLevels.Exceeded(90.0);
    r.eqLastSecond = SoundLevel(RecentMeanSquare(SecondChunks));
    r.eqLastMinute = SoundLevel(RecentMeanSquare(MinuteChunks));
    r.overload = overload;
    r.blockFastMax = SoundLevel(blockFastMax);
    r.blockCPeak = SoundLevel(blockCPeak * blockCPeak);
    r.blockMeanSquare = blockSamples > 0 ? blockEnergy / blockSamples : 0.0;
    r.blockSamples = blockSamples;
    r.blockOverload = blockOverload;
}
