#pragma once

#include <cstdint>

// The live settings of the measuring additions (the picture menu's
// "Measure" entries, kept in section [Measure]): averaging and peak hold of
// the 1-D spectrum and the bands, and the bands view's bands and weightings.
// Read by the engine and the views at each use, all on the GUI thread.
struct MeasureSettings {
    // Averaging of power: 0 off, 1 exponential 0.125 s ("Fast"), 2
    // exponential 1 s ("Slow"), 3 exponential 4 s, 4 linear since the reset.
    int32_t Averaging = 0;
    // Peak hold: 0 off, 1 held until reset, 2 falling at 10 dB/s.
    int32_t PeakHold = 0;
    // Bands per octave of the bands view: 1, 3, 6 or 12.
    int32_t BandsPerOctave = 3;
    // Frequency weighting of the bands: 0 Z, 1 A, 2 C.
    int32_t Weighting = 0;
    // Time weighting of the bands: 0 Fast (0.125 s), 1 Slow (1 s).
    int32_t TimeWeighting = 1;
};

extern MeasureSettings SharedMeasureSettings;

// The time constant of an averaging setting in seconds; 0 for linear, -1
// for none.
double AveragingSeconds(int32_t averaging);

// The transfer view's choices (kept in section [Transfer]).
struct TransferSettings {
    // Where reference and measurement come from: 0 left input, 1 right
    // input, 2 the generator.
    int32_t Reference = 0;
    int32_t Measurement = 1;
    // Smoothing over 1/N octave; 0 none.
    int32_t Smoothing = 12;
    // Points whose coherence is below this percentage are drawn faint.
    int32_t CoherenceThreshold = 50;
    // The delay of the measurement behind the reference, compensated, in ms.
    double DelayMs = 0.0;
};

extern TransferSettings SharedTransferSettings;
