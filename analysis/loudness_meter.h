#pragma once

#include <cstdint>
#include <deque>
#include <limits>
#include <memory>

#include "analysis/block_consumer.h"
#include "dsp/biquad.h"
#include "dsp/sliding_sum.h"
#include "dsp/true_peak.h"

// What the meter reads after a block. Levels in dB; -inf for silence and
// for what has not been measured yet.
struct MeterReadings {
    static constexpr double Silence = -std::numeric_limits<double>::infinity();
    // Per channel (left, right): the newest block's sample peak (dBFS) and
    // true peak (dBTP, ITU-R BS.1770-4 Annex 2: 4 times oversampled), each
    // with the largest of the last 2 s held, and the RMS of the last 0.3 s
    // (dBFS, a full-scale sine reading 0.0 dB as AES17 defines).
    double samplePeak[2] = {Silence, Silence}, samplePeakHeld[2] = {Silence, Silence};
    double truePeak[2] = {Silence, Silence}, truePeakHeld[2] = {Silence, Silence};
    double rms[2] = {Silence, Silence};
    // ITU-R BS.1770-4 / EBU R 128 loudness in LUFS: momentary (400 ms),
    // short-term (3 s), integrated (gated at -70 LUFS and 10 LU below the
    // ungated level), and the loudness range (EBU Tech 3342) in LU; the
    // largest momentary and short-term since the reset, and the largest
    // true peak since the reset (dBTP).
    double momentary = Silence, shortTerm = Silence, integrated = Silence, range = 0.0;
    double maxMomentary = Silence, maxShortTerm = Silence, maxTruePeak = Silence;
};

// Loudness and levels of the captured stereo signal, block by block, for
// the meter window and the level log.
//
// Momentary (400 ms) and short-term (3 s) loudness are those of the
// windows that end with the newest block, exactly: the K-weighting of
// ITU-R BS.1770-4 and the windows' mean squares are ours, summed afresh at
// every block (CSlidingSum); a window whose samples are all zero reads
// -inf, whatever the filter still rings with. Frames before the first count
// as silence, as libebur128 counts them. The RMS covers the last 14,400
// frames (0.3 s), or all there are before that many have come.
//
// The true peak is ours (CTruePeak, ITU-R BS.1770-4 Annex 2). The
// integrated loudness and the loudness range are libebur128's, in a state
// that the reset starts again, set up with histograms so that its memory
// does not grow with the time measured. As a block consumer it measures
// every block it is handed. GUI thread only.
class CLoudnessMeter : public BlockConsumer {
public:
    static constexpr double SampleRate = 48000.0;
    static constexpr double PeakHoldSeconds = 2.0;
    static constexpr int RmsFrames = 14400;         // 0.3 s
    static constexpr int MomentaryFrames = 19200;   // 400 ms
    static constexpr int ShortTermFrames = 144000;  // 3 s

    CLoudnessMeter();
    ~CLoudnessMeter();
    CLoudnessMeter(const CLoudnessMeter&) = delete;
    CLoudnessMeter& operator=(const CLoudnessMeter&) = delete;

    // `frames` stereo frames, interleaved, 16 bits (full scale 32768).
    void Process(const int16_t* interleaved, int frames);
    void Consume(const AnalysedBlock& block) override { Process(block.interleaved, block.frames); }
    // The integrated values (integrated loudness, range, maxima) start
    // again; the momentary and short-term windows go on.
    void Reset();
    // Whether the integrated loudness and the range are read after every
    // block (the default, for a meter that shows them) or only when
    // ReadIntegrated is called: libebur128 walks its histograms for each
    // reading, which a file's measurement needs only at the end.
    void SetIntegratedEveryBlock(bool every) { integratedEveryBlock = every; }
    void ReadIntegrated();
    const MeterReadings& Readings() const { return readings; }

private:
    struct Block {
        double peak[2], truePeak[2];
        int frames;
    };
    void AddToWindows(const int16_t* interleaved, int frames, Block& block);
    double Loudness(int frames) const;
    void Update();

    struct States;  // libebur128's
    std::unique_ptr<States> states;
    std::deque<Block> recent;         // the last PeakHoldSeconds of blocks
    CTruePeak truePeak{2};
    BiquadCascade kWeighting[2];      // per channel
    CSlidingSum weightedSquares{ShortTermFrames};  // per frame, both channels
    CSlidingSum squares[2]{CSlidingSum(RmsFrames), CSlidingSum(RmsFrames)};
    int64_t quietFrames = 0;  // since the newest sample that was not 0
    bool integratedEveryBlock = true;
    MeterReadings readings;
};
