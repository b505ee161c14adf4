#pragma once

#include <string>

// The strongest component of a 4096-bin spectrum (bins 10..4095) with its
// total harmonic distortion, alone and with noise, as the 1-D view's result
// line: "fc = ...[Hz], THD = ...[%], THD+N = ...[%]" or "Not detected".
std::string HarmonicAnalysisText(const float* spectrum);
