#pragma once

#include <string>

// What the command line asks for. Without arguments the analyser captures
// the default sound input.
struct CommandLine {
    std::string deviceName;  // --device NAME
    std::string inputFile;   // --input FILE.wav
    int displayMode = 0;     // --mode N: the view at start
    std::string levelLog;    // --log-levels FILE.csv
    bool listDevices = false;
    bool help = false;
    std::string error;       // non-empty: the arguments are not usable
};

CommandLine ParseCommandLine(int argc, const char* const* argv);

extern const char* const CommandLineUsage;
