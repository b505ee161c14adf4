#pragma once

#include <string>

// The newest analysed spectrum (the second of the block) as CSV: a header,
// then one row per grid bin with its frequency in Hz and, for each channel
// in use, its level in dB as the 1-D spectrum view computes it,
// 20 log10(magnitude + 1e-12). Numbers always use '.' as the decimal point.
std::string SpectrumCsv(const float* left, const float* right);
