#pragma once

#include <string>
#include <vector>

#include "dsp/fractional_octave_bands.h"

// The bands view's bands as CSV: a comment line saying what the levels are,
// a header, then one row per band: its nominal and exact midband in Hz and
// the level shown, with the held peak when peak hold is on. The level
// columns' names carry their unit: "level_dbfs" (a full-scale sine in the
// band reads 0.0 dB), or "level_db_spl" when a calibration's offset (dB SPL
// at 0 dBFS) is given. A band with nothing in it reads "-inf". Numbers
// always use '.' as the decimal point.
struct BandsTable {
    const std::vector<FractionalOctaveBand>* bands = nullptr;
    const std::vector<double>* levels = nullptr;  // dBFS; -200 for nothing
    const std::vector<double>* peaks = nullptr;   // null or empty when off
    bool calibrated = false;
    double offset = 0.0;       // dB SPL at 0 dBFS, when calibrated
    std::string description;   // "1/3 octave, A-weighted, ..."
};
std::string BandsCsv(const BandsTable& table);
