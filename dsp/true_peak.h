#pragma once

#include <cstdint>
#include <vector>

// The true peak of ITU-R BS.1770-4 Annex 2: the signal oversampled four
// times by a polyphase interpolating FIR, and the largest magnitude of the
// oversampled values, per channel, as a fraction of full scale.
//
// The filter is a 49-tap Hann-windowed sinc cut off at the input's Nyquist
// frequency (h[j] = sinc((j - 24) / 4) * 0.5 (1 - cos(2 pi j / 48))), split
// into four phases of 13 taps. Its length is odd so that phase 0 is the
// input itself (its one tap that is not zero is h[24] = 1): the oversampled
// values hold every sample, so the true peak is never below the sample peak,
// and phases 1 to 3 lie a quarter, a half and three quarters of a sample
// between them. (The Annex's example filter, 48 taps, puts all four phases
// an eighth of a sample off the samples, which reads a high tone's peak up
// to 0.47 dB differently.) The output lags the input by 6 samples; each call
// reports the outputs it computed.
//
// Each interpolated value is the sum of its 12 products in float, the taps
// in order from the newest sample to the oldest, on every path: the vector
// paths, chosen at run time, give the plain loop's bits. Not for two
// threads at once.
class CTruePeak {
public:
    static constexpr int Factor = 4;
    static constexpr int Taps = 49;
    static constexpr int PhaseTaps = 12;   // of phases 1 to 3
    static constexpr int History = 12;     // samples each phase reads before the newest
    static constexpr int PassDelay = 6;    // phase 0: the sample this many before the newest

    explicit CTruePeak(int channels);
    // `frames` interleaved frames of 16 bits (full scale 32768): the largest
    // oversampled magnitude of each channel into peaks[0 .. channels).
    void Process(const int16_t* interleaved, int frames, double* peaks);
    // The same for frames of floats, full scale 1.0.
    void Process(const float* interleaved, int frames, double* peaks);
    // From rest: the history holds zeros.
    void Reset();

private:
    // Channel ch's buffer for `frames` new samples, after its history.
    float* BlockOf(int ch, int frames);
    // The largest oversampled magnitude of the samples put in BlockOf's
    // buffer; keeps the last of them as the history.
    double PeakOf(int ch, int frames);

    int channels;
    std::vector<std::vector<float>> signal;  // per channel: History samples, then the block
};

// The 12 taps of phases 1 to 3, newest sample first: phase k, tap t is
// h[4 t + k].
struct TruePeakTaps {
    float phase[3][CTruePeak::PhaseTaps];
};
const TruePeakTaps& TruePeakFilter();

// The largest magnitude of phases 1 to 3 at outputs n = 0 .. count - 1,
// where output n reads x[n - t] for t = 0 .. 11 (x points at the newest
// sample of output 0; the 11 before it must be readable).
using TruePeakPhasesFunction = float (*)(const float* x, int count, const TruePeakTaps& taps);

struct TruePeakPath {
    const char* name;
    TruePeakPhasesFunction run;
};

// Every path this processor can run, the plain loop first and the one
// CTruePeak uses last.
std::vector<TruePeakPath> TruePeakPaths();
