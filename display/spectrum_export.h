#pragma once

#include <string>

// A spectrum as CSV: a header, then one row per grid bin with its
// frequency in Hz and, for each channel in use, its level in dB as the 1-D
// spectrum view computes it, 20 log10(magnitude + 1e-12). Numbers always use
// '.' as the decimal point.
struct SpectrumTraces {
    const float* left = nullptr;   // the trace shown
    const float* right = nullptr;  // null for mono
    const float* leftPeaks = nullptr;   // held peaks, null when off
    const float* rightPeaks = nullptr;
    // Which trace and peaks these are, for a first line "# ..."; empty for
    // the newest spectrum alone (no such line).
    std::string description;
};
std::string SpectrumCsv(const SpectrumTraces& traces);

// The newest analysed spectrum (the second of the block) alone.
std::string SpectrumCsv(const float* left, const float* right);
