#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>

#include "capture/loudness_meter.h"

// The level log: a CSV file that gets one row a second, appended and
// flushed on its own, so that a crash or a power cut loses at most the row
// being written. A row says when its second ended (ISO 8601, UTC), the
// meter's momentary,
// short-term and integrated loudness and loudness range, the largest sample
// and true peak of each channel within that second, and how many frames
// capture dropped in it. A new or empty file starts with the header line.
// GUI thread only.
class CLevelLog {
public:
    static const char* const Header;

    CLevelLog() = default;
    ~CLevelLog() { Close(); }
    CLevelLog(const CLevelLog&) = delete;
    CLevelLog& operator=(const CLevelLog&) = delete;

    // False, with the system's reason, when the file cannot be opened.
    bool Open(const std::string& path, std::string& reason);
    void Close();
    bool IsOpen() const { return file != nullptr; }
    const std::string& Path() const { return path; }

    // After each block: its readings, the frames capture has dropped in all,
    // and the time. When the second has changed since the last row, the row
    // of the second that ended is written. False when it could not be.
    bool Block(const MeterReadings& readings, uint64_t droppedFrames, std::time_t now);
    long Rows() const { return rows; }

private:
    bool WriteRow(const MeterReadings& readings, uint64_t dropped, std::time_t now);

    FILE* file = nullptr;
    std::string path;
    std::time_t second = 0;  // of the rows being gathered
    double samplePeak[2] = {};
    double truePeak[2] = {};
    uint64_t droppedBefore = 0;  // at the start of the second
    bool started = false;
    long rows = 0;
};
