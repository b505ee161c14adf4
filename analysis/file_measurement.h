#pragma once

#include <array>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "dsp/frequency_weighting.h"

// The numbers of a whole sound file, taken by the live meters' own code
// (CLoudnessMeter, CSoundLevelMeter) from the file as the program reads it
// (AudioFileReader: stereo, 16 bits, 48 kHz). Levels are in dB relative to
// full scale; -inf where there is nothing.
struct FileMeasurement {
    static constexpr double Silence = -std::numeric_limits<double>::infinity();

    std::string error;   // not measured, and why; the rest is empty then
    std::string notice;  // how it was read ("" when plain): channels left out
    double seconds = 0.0;
    int rate = 0;        // the file's own
    int channels = 0;    // the file's own
    // ITU-R BS.1770-4 / EBU R 128: integrated loudness (LUFS), loudness
    // range (LU, EBU Tech 3342), the largest momentary and short-term
    // loudness (LUFS).
    double integrated = Silence, range = 0.0, maxMomentary = Silence, maxShortTerm = Silence;
    // Per channel (left, right): the largest true peak (dBTP, 4 times
    // oversampled) and sample peak (dBFS), and the RMS of the whole file
    // (dBFS, a full-scale sine reading 0.0 dB).
    std::array<double, 2> truePeak{Silence, Silence}, samplePeak{Silence, Silence}, rms{Silence, Silence};
    // The sound level meter on the left channel, weighting X: LXeq, LXFmax,
    // LCpeak and L10, L50, L90 of LXF (dBFS).
    Weighting weighting = Weighting::A;
    double eq = Silence, fastMax = Silence, cPeak = Silence, l10 = Silence, l50 = Silence, l90 = Silence;
    // With bands: per fractional-octave band of the left channel (IEC
    // 61260-1, weighting X), its nominal and exact midband and its LXeq.
    std::vector<std::string> bandNominal;
    std::vector<double> bandMidband, bandEq;
    // With intervals: per interval of the file, from `start` to `end`
    // seconds, the momentary and short-term loudness at its end, the
    // largest true and sample peak per channel in it, its LXeq and, with
    // bands, its LXeq per band.
    struct Interval {
        double start = 0.0, end = 0.0;
        double momentary = Silence, shortTerm = Silence;
        std::array<double, 2> truePeak{Silence, Silence}, samplePeak{Silence, Silence};
        double eq = Silence;
        std::vector<double> bandEq;
    };
    std::vector<Interval> intervals;
};

struct MeasureOptions {
    MeasureOptions(Weighting w = Weighting::A, int bands = 0, double interval = 0.0,
                   std::function<double(double)> gainDb = {})
        : weighting(w), bandsPerOctave(bands), intervalSeconds(interval), microphone(std::move(gainDb))
    {
    }
    Weighting weighting = Weighting::A;
    int bandsPerOctave = 0;        // 1, 3, 6 or 12; 0 for none
    double intervalSeconds = 0.0;  // 0 for none
    // A microphone's correction, `gainDb(f)` dB added at f Hz, for the sound
    // level meter and the bands; empty for none.
    std::function<double(double)> microphone;
    // 2 or more: the meters (loudness and peaks, the sound level meter, the
    // bands) each run on a thread of their own while this one reads ahead;
    // the numbers are the same as on one thread.
    int threads = 1;
};

// Reads `path` through once, in memory that does not grow with its length
// (but for the intervals' numbers). A file is not cut into parts measured
// apart: the integrated loudness gates blocks that overlap by 300 ms, and
// the filters and time weightings carry each part's end into the next.
FileMeasurement MeasureFile(const std::string& path, const MeasureOptions& options);
