#pragma once

#include <string>

// A spectrum as CSV: a header, then one row per grid bin with its
// frequency in Hz and, for each channel in use, two levels:
// - "_db": 20 log10(magnitude + 1e-12) of the grid's magnitude (the
//   unnormalised transform of N windowed samples scaled to +-1, times
//   sqrt(8192 / N) below 8192 points), which the 1-D spectrum view draws
//   relative to the largest magnitude it has shown (its 0 dB);
// - "_dbfs": the same in dB relative to full scale: a sine centred on the
//   bin reads its level, a full-scale sine 0.0 dB (AES17), as the bands
//   and the meter read; between bins the window's scalloping takes some
//   away (up to 1.4 dB with Hann).
// The "_dbfs" columns follow all the "_db" columns, which keep their
// places; with a calibration, "_db_spl" columns (the "_dbfs" level plus
// the calibration's dB SPL at 0 dBFS) follow them. A comment line before the header names both references with the
// window in use. Numbers always use '.' as the decimal point.
struct SpectrumTraces {
    const float* left = nullptr;   // the trace shown
    const float* right = nullptr;  // null for mono
    const float* leftPeaks = nullptr;   // held peaks, null when off
    const float* rightPeaks = nullptr;
    int windowSize = 8192;        // of the transform the spectra come from
    unsigned windowType = 0;      // its window function
    bool calibrated = false;      // the input's calibration, if any
    double offset = 0.0;          // dB SPL at 0 dBFS
    // Which trace and peaks these are, for a first line "# ..."; empty for
    // the newest spectrum alone (no such line).
    std::string description;
};
std::string SpectrumCsv(const SpectrumTraces& traces);

// What turns a grid level in dB into dBFS for a transform of `windowSize`
// points and window `windowType`: 20 log10(2 / (g * sum of the window)),
// g the grid's gain sqrt(8192 / N) (1 at 8192 points).
double GridToDbfs(int windowSize, unsigned windowType);
