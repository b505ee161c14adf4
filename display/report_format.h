#pragma once

#include <string>
#include <vector>

#include "analysis/file_measurement.h"
#include "dsp/fractional_octave_bands.h"

// One file's report as it is written: its name and what was measured.
// With a calibration, the sound level meter's levels are in dB SPL (the
// offset, dB SPL at 0 dBFS, added), else in dBFS.
struct FileReport {
    std::string file;
    FileMeasurement measured;
    bool calibrated = false;
    double offset = 0.0;
};

// A report as JSON: one object on one line ("JSON lines", so that the
// lines of many runs gathered into one file stay a valid stream of them).
// Every number's key names its unit; a level with nothing in it is null.
// A file that could not be measured gives {"file": ..., "error": ...}.
std::string ReportJson(const FileReport& report);

// Reports as CSV: a header row whose column names carry their units, then a
// row per file, or with intervals a row per interval of each file; band
// columns ("band_1k_laeq_dbfs") follow when bands were measured. Fields
// with a comma, quote or line break are quoted (RFC 4180); an empty level
// for nothing; the error's column holds why a file could not be measured.
struct CsvLayout {
    Weighting weighting = Weighting::A;
    bool calibrated = false;
    int bandsPerOctave = 0;  // 0: no band columns
    bool intervals = false;
};
std::string ReportCsv(const std::vector<FileReport>& reports, const CsvLayout& layout);
