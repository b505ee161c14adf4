#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

#include "analysis/block_consumer.h"
#include "dsp/correction_filter.h"
#include "dsp/frequency_weighting.h"
#include "dsp/level_distribution.h"
#include "dsp/true_peak.h"

// What the sound level meter reads after a block, for frequency weighting X
// (A, C or Z). Levels in dB relative to full scale, a full-scale sine
// reading 0.0 dB (the reference mean square is 0.5, so the sound pressure
// level is the reading plus the input's calibration, "dB SPL at 0 dBFS").
// -inf for silence and for what has not been measured yet.
struct SoundLevelReadings {
    static constexpr double Silence = -std::numeric_limits<double>::infinity();
    Weighting weighting = Weighting::A;
    // LXF and LXS now (time weightings Fast, 0.125 s, and Slow, 1 s).
    double fast = Silence, slow = Silence;
    // Since the reset: LXeq, LXFmax, LXFmin, LXSmax, LCpeak (C-weighted
    // whatever X is, and taken between the samples too, four times
    // oversampled as the true peak is: a peak reads 3.01 dB above the level
    // of a steady sine of the same amplitude), LXE (the sound exposure level, re 1 s), and
    // L10, L50 and L90, the levels of LXF exceeded 10, 50 and 90 % of the
    // time (sampled every 10 ms).
    double eq = Silence, fastMax = Silence, fastMin = Silence, slowMax = Silence;
    double cPeak = Silence, exposure = Silence;
    double l10 = Silence, l50 = Silence, l90 = Silence;
    // LXeq over the last second and the last minute (or all there is).
    double eqLastSecond = Silence, eqLastMinute = Silence;
    double seconds = 0.0;  // measured since the reset
    // A sample at full scale came since the reset.
    bool overload = false;
    // The newest block alone (the last Process or ProcessSamples call), for
    // logs of intervals: its largest LXF and C-weighted peak, the mean
    // square of its weighted samples (full scale 1) and how many there
    // were, and whether one of them was at full scale.
    double blockFastMax = Silence, blockCPeak = Silence;
    double blockMeanSquare = 0.0;
    int blockSamples = 0;
    bool blockOverload = false;
};

// The level in dB of a mean square of samples at full scale 1 (a
// full-scale sine's 0.5 reads 0.0 dB); -inf below -197 dB, where only the
// filters' ringing is left.
double SoundLevel(double meanSquare);

// A sound level meter to IEC 61672-1:2013 on the left input at 48 kHz: the
// standard's frequency weightings and time weightings run on every sample
// in double. The time-weighted levels go on through a reset, which starts
// the integrating and the maxima, minima and percentiles again. LXFmin and
// the percentiles leave out the meter's first 0.625 s (five Fast time
// constants), while LXF still rises from silence. The rolling LXeq keep the
// energy of each 10 ms of the last minute (6,000 sums), summed afresh when
// read, so that silence after sound reads as low as the filters' ringing.
// GUI thread only (the engine's), as a block consumer.
class CSoundLevelMeter : public BlockConsumer {
public:
    static constexpr double SampleRate = 48000.0;
    static constexpr int ChunkFrames = 480;     // 10 ms
    static constexpr int MinuteChunks = 6000;   // 60 s
    static constexpr int SecondChunks = 100;    // 1 s
    static constexpr double FastSeconds = 0.125;
    static constexpr double SlowSeconds = 1.0;

    explicit CSoundLevelMeter(Weighting weighting = Weighting::A);

    // A new weighting starts the meter again.
    void SetWeighting(Weighting weighting);
    // A microphone's correction, `gainDb(f)` dB added at f Hz, applied to
    // the samples before the weightings (CCorrectionFilter: the readings
    // then lag the sound by 128 ms); an empty function for none. Starts the
    // meter again.
    void SetCorrection(const std::function<double(double)>& gainDb);
    bool Corrected() const { return correction != nullptr; }
    // `frames` stereo frames, interleaved, 16 bits (full scale 32768): the
    // left channel is measured.
    void Process(const int16_t* interleaved, int frames);
    // Samples of the measured channel, full scale 1.0.
    void ProcessSamples(const double* samples, int count);
    void Consume(const AnalysedBlock& block) override { Process(block.interleaved, block.frames); }
    void Reset();
    const SoundLevelReadings& Readings() const { return readings; }

private:
    void BeginBlock();
    void Run(const double* samples, int count);
    void ProcessSample(double x);
    void EndChunk();
    void Update();
    // The mean of the newest `chunks` 10 ms sums (fewer when fewer exist).
    double RecentMeanSquare(int chunks) const;

    CFrequencyWeighting weightingX;
    CFrequencyWeighting weightingC;
    CTruePeak cTruePeak;  // of the C-weighted signal
    std::unique_ptr<CCorrectionFilter> correction;
    SoundLevelReadings readings;
    double fastFactor = 0.0, slowFactor = 0.0;
    double fast = 0.0, slow = 0.0;  // time-weighted mean squares
    // Since the reset.
    double energy = 0.0;
    int64_t samples = 0;
    double fastMax = 0.0, slowMax = 0.0, cPeak = 0.0;
    double fastMin = std::numeric_limits<double>::infinity();
    bool overload = false;
    CLevelDistribution fastLevels;
    // The newest block's.
    double blockFastMax = 0.0, blockCPeak = 0.0, blockEnergy = 0.0;
    int blockSamples = 0;
    bool blockOverload = false;
    // Since the start.
    int64_t samplesSinceStart = 0;
    // The 10 ms sums of the last minute, a ring; the one being summed.
    std::vector<double> chunks;
    int nextChunk = 0;
    int chunksFilled = 0;
    double chunkSum = 0.0;
    int chunkFill = 0;
};
