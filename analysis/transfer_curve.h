#pragma once

#include <vector>

#include "analysis/transfer_function.h"

// One point of a measured system's response.
struct TransferPoint {
    double frequency = 0.0;  // Hz
    double magnitudeDb = 0.0;
    double phaseDegrees = 0.0;  // -180 .. 180, after the delay's compensation
    double coherence = 0.0;     // 0 .. 1
};

// The fractions of an octave the curve can be smoothed over (0: not
// smoothed), finest first after none.
constexpr int TransferSmoothings[] = {0, 48, 24, 12, 6, 3};

// The response at every bin of the transfer function from `low` to `high`
// Hz. Smoothed over 1/`smoothing` octave (0: not), the averaged spectra are
// summed over the bins within 1/(2 smoothing) octave either side of each
// bin (at least the bin itself) before H and the coherence are taken from
// them: the spectra are smoothed, not the dB. Empty before the first
// segment.
std::vector<TransferPoint> TransferCurve(const CTransferFunction& transfer, int smoothing, double low = 20.0,
                                         double high = 20000.0);

// The system's impulse response: the inverse transform of the averaged
// (unsmoothed) H, Size samples, time 0 (the compensated delay) first; the
// second half holds what comes before it. Empty before the first segment.
std::vector<double> ImpulseResponse(const CTransferFunction& transfer);
