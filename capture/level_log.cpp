#include "capture/level_log.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>

const char* const CLevelLog::Header =
    "time,momentary_lufs,shortterm_lufs,integrated_lufs,range_lu,sample_peak_left_dbfs,sample_peak_right_dbfs,"
    "true_peak_left_dbtp,true_peak_right_dbtp,dropped_frames\n";

namespace {

void AppendNumber(std::string& row, double value)
{
    char text[32];
    if (std::isinf(value))
        std::snprintf(text, sizeof text, ",%s", value < 0 ? "-inf" : "inf");
    else
        std::snprintf(text, sizeof text, ",%.1f", value);
    row += text;
}

} // namespace

bool CLevelLog::Open(const std::string& newPath, std::string& reason)
{
    Close();
    file = std::fopen(newPath.c_str(), "a");
    if (!file) {
        reason = std::strerror(errno);
        return false;
    }
    path = newPath;
    started = false;
    rows = 0;
    // Appending: a file that has rows already keeps its header.
    if (std::ftell(file) == 0 && (std::fputs(Header, file) == EOF || std::fflush(file) != 0)) {
        reason = std::strerror(errno);
        Close();
        return false;
    }
    return true;
}

void CLevelLog::Close()
{
    if (file)
        std::fclose(file);
    file = nullptr;
}

bool CLevelLog::Block(const MeterReadings& r, uint64_t droppedFrames, std::time_t now)
{
    if (!file)
        return false;
    bool written = true;
    if (!started || now != second) {
        if (started)
            written = WriteRow(r, droppedFrames, now);
        started = true;
        second = now;
        droppedBefore = droppedFrames;
        std::fill(std::begin(samplePeak), std::end(samplePeak), -std::numeric_limits<double>::infinity());
        std::fill(std::begin(truePeak), std::end(truePeak), -std::numeric_limits<double>::infinity());
    }
    for (int ch = 0; ch < 2; ++ch) {
        samplePeak[ch] = std::max(samplePeak[ch], r.samplePeak[ch]);
        truePeak[ch] = std::max(truePeak[ch], r.truePeak[ch]);
    }
    return written;
}

// One fputs and one fflush: the row reaches the file whole or not at all.
bool CLevelLog::WriteRow(const MeterReadings& r, uint64_t dropped, std::time_t now)
{
    std::tm utc{};
    gmtime_r(&now, &utc);
    char time[32];
    std::strftime(time, sizeof time, "%Y-%m-%dT%H:%M:%SZ", &utc);
    std::string row = time;
    for (const double value : {r.momentary, r.shortTerm, r.integrated, r.range, samplePeak[0], samplePeak[1],
                               truePeak[0], truePeak[1]})
        AppendNumber(row, value);
    row += "," + std::to_string(dropped - droppedBefore) + "\n";
    const bool ok = std::fputs(row.c_str(), file) != EOF && std::fflush(file) == 0;
    rows += ok;
    return ok;
}
