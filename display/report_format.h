#pragma once

#include <string>
#include <vector>

#include "analysis/file_measurement.h"

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
// row per file; fields with a comma, quote or line break quoted (RFC 4180);
// an empty level for nothing; the error's column holds why a file could
// not be measured.
std::string ReportCsvHeader(Weighting weighting, bool calibrated);
std::string ReportCsvRow(const FileReport& report);
