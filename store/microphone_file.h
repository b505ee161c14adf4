#pragma once

#include <string>
#include <vector>

// A microphone correction file in the text form the measurement programs
// share: header lines (any line that does not start with a number), then
// rows of frequency (Hz) and level (dB), and an optional phase column that
// is read over, separated by tabs, spaces, commas or semicolons. A row's
// level is the microphone's response: -x dB means the microphone reads x dB
// low there, and the correction raises the level shown by x dB.
struct MicrophoneResponse {
    std::vector<double> frequencies;  // rising, Hz
    std::vector<double> levels;       // dB
    // A miniDSP line ("Sens Factor =-1.378dB, AGain =18dB, SERNO: 7103946"),
    // as it stands, to show; empty without one.
    std::string sensitivityLine;

    // The decibels to add to a level measured at `frequency` Hz: minus the
    // response interpolated linearly in dB over log frequency, held at the
    // first and last rows' beyond them.
    double CorrectionAt(double frequency) const;
};

// Reads `text` (a file's contents) into `response`; on failure returns
// false and puts in `error` what is wrong and on which line ("line 12: the
// frequencies do not rise"): no rows, a row that is not two numbers,
// frequencies not positive or not rising, levels beyond +-40 dB.
bool ParseMicrophoneResponse(const std::string& text, MicrophoneResponse& response, std::string& error);
// The same for the file at `path`; an unreadable file is an error too.
bool ReadMicrophoneFile(const std::string& path, MicrophoneResponse& response, std::string& error);
