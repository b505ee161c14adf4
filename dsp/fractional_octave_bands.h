#pragma once

#include <string>
#include <vector>

#include "dsp/biquad.h"
#include "dsp/biquad_lanes.h"

// Fractional-octave bands as IEC 61260-1:2014 defines them, in base ten:
// G = 10^(3/10), reference 1000 Hz; the exact midband of band x of 1/b
// octave is 1000 G^(x/b) for odd b and 1000 G^((2x+1)/(2b)) for even b, its
// edges lie a factor G^(1/(2b)) below and above it.
struct FractionalOctaveBand {
    double midband;  // exact, Hz
    double lower;    // Hz
    double upper;    // Hz
    std::string nominal;  // the label: "31.5", "1k", "12.5k"
};

// The bands of 1/b octave (b = 1, 3, 6 or 12) whose nominal midbands lie
// from 20 Hz to 20 kHz, lowest first. Nominal midbands of octaves and
// thirds are the standard's (31.5, 40, 50, 63 ...), others the exact value
// to three significant digits.
std::vector<FractionalOctaveBand> FractionalOctaveBands(int bandsPerOctave);

// A bank of band-pass filters over the bands, each a Butterworth of order
// 4 (5 where the band reaches above a quarter of its rate), for a signal at
// 48 kHz or any other rate. A band is filtered at the
// rate where its midband lies between 1/16 and 1/8 of it (above 1/16 of the
// input rate: at the input rate), the signal being halved in rate stage by
// stage through a Butterworth low-pass of order 6 at 1/5 of the rate it
// leaves. Not for use from two threads.
class CFractionalOctaveBank {
public:
    static constexpr int Order = 4;

    // Bands of 1/b octave at `rate` Hz; the states start at rest.
    void Init(int bandsPerOctave, double rate);
    void Reset();
    // Filters `count` samples (a multiple of 2 to the number of stages, see
    // BlockMultiple) and adds each band's output energy.
    void Process(const double* x, int count);
    // Each band's mean square since the last call (0 with no samples).
    void TakeMeanSquares(std::vector<double>& out);

    const std::vector<FractionalOctaveBand>& Bands() const { return bands; }
    int BlockMultiple() const { return 1 << stages; }

private:
    // The bands of one stage, filtered side by side: bands first ..
    // first + filters.Lanes() - 1.
    struct Group {
        int stage;
        size_t first;
        CBiquadLanes filters;
    };
    std::vector<FractionalOctaveBand> bands;
    std::vector<int> bandStage;
    std::vector<Group> groups;
    std::vector<double> energy;  // per band, since the last take
    std::vector<BiquadCascade> decimators;  // decimators[s] feeds stage s + 1
    std::vector<std::vector<double>> stageSignals;  // per stage, one block
    std::vector<long> samples;  // per stage, since the last take
    int stages = 0;
};
