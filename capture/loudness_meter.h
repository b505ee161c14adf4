#pragma once

#include <cstdint>
#include <deque>
#include <memory>


// What the meter reads after a block. Levels in dB; -inf for silence.
struct MeterReadings {
    // Per channel (left, right): the newest block's sample peak (dBFS) and
    // true peak (dBTP, ITU-R BS.1770-4 Annex 2: 4 times oversampled), each
    // with the largest of the last 2 s held, and the RMS of the last 0.3 s
    // (dBFS, a full-scale sine reading 0.0 dB as AES17 defines).
    double samplePeak[2], samplePeakHeld[2];
    double truePeak[2], truePeakHeld[2];
    double rms[2];
    // ITU-R BS.1770-4 / EBU R 128 loudness in LUFS: momentary (400 ms),
    // short-term (3 s), integrated (gated at -70 LUFS and 10 LU below the
    // ungated level), and the loudness range (EBU Tech 3342) in LU; the
    // largest momentary and short-term since the reset, and the largest
    // true peak since the reset (dBTP).
    double momentary, shortTerm, integrated, range;
    double maxMomentary, maxShortTerm, maxTruePeak;
};

// Loudness and levels of the captured stereo signal, block by block, for
// the meter window and the level log. The loudness measurement itself is
// libebur128's: one state for the K-weighted energy and the peaks, which
// runs on, and one for the integrated loudness and the loudness range,
// which the reset starts again, set up with histograms so that its memory
// does not grow with the time measured. Momentary (400 ms) and short-term
// (3 s) loudness are the mean of the last 10 and 75 of the first state's
// 40 ms windows, asked for as each ends: libebur128 would sum the whole
// 3 s anew at every question, which costs more than the rest of the meter.
// They therefore move in steps of 40 ms, 25 a second. GUI thread only.
class CLoudnessMeter {
public:
    static constexpr double SampleRate = 48000.0;
    static constexpr double PeakHoldSeconds = 2.0;
    static constexpr double RmsSeconds = 0.3;
    static constexpr int SegmentFrames = 1920;  // 40 ms
    static constexpr int MomentarySegments = 10, ShortTermSegments = 75;

    CLoudnessMeter();
    ~CLoudnessMeter();
    CLoudnessMeter(const CLoudnessMeter&) = delete;
    CLoudnessMeter& operator=(const CLoudnessMeter&) = delete;

    // `frames` stereo frames, interleaved, 16 bits (full scale 32768).
    void Process(const int16_t* interleaved, int frames);
    // The integrated values (integrated loudness, range, maxima) start
    // again; the momentary and short-term windows go on.
    void Reset();
    const MeterReadings& Readings() const { return readings; }

private:
    struct Block {
        double peak[2], truePeak[2], squares[2];
        int frames;
    };
    void AddToLive(const int16_t* interleaved, int frames, Block& block);
    double MeanEnergy(int segments) const;
    void Update();

    struct States;  // libebur128's
    std::unique_ptr<States> states;
    std::deque<Block> recent;  // the last PeakHoldSeconds of blocks
    std::deque<double> energies;  // of the last ShortTermSegments 40 ms windows
    int segmentFill = 0;          // frames of the window being filled
    MeterReadings readings;
};
