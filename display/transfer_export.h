#pragma once

#include <string>
#include <vector>

#include "analysis/transfer_curve.h"

// A measured system as text for the measurement programs to import: comment
// lines starting with '*' saying what was measured (sources, delay,
// averaging, smoothing), then one row per point of the curve as shown:
// frequency (Hz), magnitude (dB), phase (degrees), coherence, separated by
// commas; numbers always with '.' as the decimal point. The first three
// columns are the frequency-response text the measurement programs read
// (REW's "Import frequency response", ARTA, Smaart's ASCII import).
std::string TransferCsv(const std::vector<TransferPoint>& curve, const std::vector<std::string>& comments);
