#pragma once

#include <string>
#include <vector>

// What --render asks for: pictures of whole files, without a window.
struct RenderRequest {
    std::vector<std::string> inputs;
    std::string output;      // OUT.png for a single input
    std::string outDir;      // --out-dir DIR: DIR/NAME.png for each input
    std::string iniFile;     // --ini FILE: settings other than the program's
    int width = 0;           // --size WxH; 0: a column per column the view draws
    int height = 0;          // 0: the main window's height
    double from = 0.0;       // --from SECONDS
    double to = -1.0;        // --to SECONDS; below 0 the end
    bool bare = false;       // --bare: no caption, no frequency scale
};

// What --report asks for: numbers of whole files for scripts.
struct ReportRequest {
    std::vector<std::string> inputs;
    bool csv = false;        // --format csv (json by default)
    std::string output;      // --out FILE; empty: standard output
    char weighting = 'A';    // --weighting A|C|Z, the sound level meter's
    int bandsPerOctave = 0;  // --bands 1|3|6|12; 0: none
    double interval = 0.0;   // --interval SECONDS; 0: none
    // --input-name NAME: the input whose calibration and microphone file
    // apply ("" the default input's); without it, none.
    bool inputNamed = false;
    std::string inputName;
};

// What the command line asks for. Without arguments the analyser captures
// the default sound input.
struct CommandLine {
    std::string deviceName;  // --device NAME
    std::string inputFile;   // --input FILE
    int displayMode = 0;     // --mode N: the view at start
    std::string levelLog;    // --log-levels FILE.csv
    bool listDevices = false;
    bool help = false;
    bool version = false;    // --version
    bool render = false;     // --render
    RenderRequest renderRequest;
    bool report = false;     // --report
    ReportRequest reportRequest;
    std::string error;       // non-empty: the arguments are not usable
};

CommandLine ParseCommandLine(int argc, const char* const* argv);

extern const char* const CommandLineUsage;
