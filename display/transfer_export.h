#pragma once

#include <string>
#include <vector>

#include "analysis/transfer_curve.h"

// A measured system as text for the measurement programs to import: comment
// lines starting with '*' saying what was measured (sources, delay,
// averaging, smoothing), then one row per point of the curve as shown:
// frequency (Hz), magnitude (dB), phase (degrees), coherence, separated by
// commas; numbers always with '.' as the decimal point. The comment lines
// and the first three columns are the layout of the frequency-response
// text REW writes and imports.
std::string TransferCsv(const std::vector<TransferPoint>& curve, const std::vector<std::string>& comments);
