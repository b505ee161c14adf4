#include "store/command_line.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

const char* const CommandLineUsage =
    "Usage: tavimeter [--device NAME | --input FILE] [--mode N] [--log-levels FILE.csv] [--list-devices]\n"
    "       tavimeter --render IN OUT.png [--size WxH] [--mode 0|1|3] [--from SECONDS] [--to SECONDS]\n"
    "                 [--ini FILE] [--bare]\n"
    "       tavimeter --render IN... --out-dir DIR [options as above]\n"
    "       tavimeter --report IN... [--format json|csv] [--out FILE] [--weighting A|C|Z]\n"
    "                [--bands 1|3|6|12] [--interval SECONDS] [--input-name NAME]\n"
    "       tavimeter --help | --version\n"
    "  --device NAME   capture from the PulseAudio source or ALSA device NAME\n"
    "  --input FILE    analyse a sound file at real-time pace (WAV, FLAC, Ogg, Opus,\n"
    "                  AIFF, ... at any rate: converted to 48 kHz; mono or the first\n"
    "                  two channels)\n"
    "  --mode N        start in view N: 0 2-D spectrogram (the default), 1 constant-Q\n"
    "                  spectrogram, 2 1-D spectrum, 3 to 5 the experimental views,\n"
    "                  6 octave bands, 7 transfer function\n"
    "  --log-levels FILE.csv\n"
    "                  append a row of loudness and peaks a second to FILE.csv\n"
    "  --list-devices  list the capture devices and exit\n"
    "  --render        draw the picture of whole files as PNG, as fast as they can be\n"
    "                  read, with no window and no display: the view's columns as the\n"
    "                  window draws them (the window shows each twice as wide), with\n"
    "                  the settings in use or those of --ini FILE; channel 0 only\n"
    "  --size WxH      scale the time axis to W columns, H rows: each column shows\n"
    "                  the loudest of the columns it covers, so no peak is averaged\n"
    "                  away (default: a column per column drawn, the main window's\n"
    "                  height)\n"
    "  --from SECONDS  where in the file the picture starts\n"
    "  --to SECONDS    where in the file the picture ends\n"
    "  --ini FILE      draw with the settings of FILE instead of the program's own\n"
    "  --bare          no caption line and no frequency scale\n"
    "  --out-dir DIR   write DIR/NAME.png for each input file\n"
    "  --report        measure whole files: loudness, loudness range, peaks, RMS and\n"
    "                  the sound level meter's levels, one JSON object per line per\n"
    "                  file (or a CSV row); a file that cannot be read gives its error\n"
    "                  and the exit status 1; on every core\n"
    "  --format        json (the default) or csv\n"
    "  --out FILE      write the report to FILE (whole, or not at all) instead of\n"
    "                  the standard output\n"
    "  --weighting     the sound level meter's frequency weighting: A (the default),\n"
    "                  C or Z\n"
    "  --bands N       also the Leq of each 1/N-octave band (N 1, 3, 6 or 12)\n"
    "  --interval S    also the numbers of every S seconds (0.1 or more): loudness,\n"
    "                  peaks, Leq and, with --bands, the bands' Leq\n"
    "  --input-name NAME\n"
    "                  the sound level meter's levels and the bands in dB SPL, with\n"
    "                  the calibration and microphone file of input NAME (as\n"
    "                  --list-devices names it; '' for the default input)\n"
    "  --help          print this, the settings file in use and where the starter\n"
    "                  settings come from, and exit\n"
    "  --version       print the program's version and exit\n";

namespace {

void ParseMode(CommandLine& line, const char* value)
{
    if (value && std::strlen(value) == 1 && value[0] >= '0' && value[0] <= '7')
        line.displayMode = value[0] - '0';
    else
        line.error = "--mode needs a view from 0 to 7.";
}

bool ParseSize(const std::string& value, int& width, int& height)
{
    char* end = nullptr;
    const long w = std::strtol(value.c_str(), &end, 10);
    if (end == value.c_str() || *end != 'x')
        return false;
    const char* rows = end + 1;
    const long h = std::strtol(rows, &end, 10);
    if (end == rows || *end != '\0' || w < 16 || w > 65535 || h < 16 || h > 16384)
        return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

bool ParseSeconds(const std::string& value, double& seconds)
{
    char* end = nullptr;
    const double s = std::strtod(value.c_str(), &end);
    if (end == value.c_str() || *end != '\0' || !std::isfinite(s) || s < 0)
        return false;
    seconds = s;
    return true;
}

void ParseRenderOption(CommandLine& line, const std::string& argument, const std::string& value)
{
    RenderRequest& r = line.renderRequest;
    if (argument == "--size") {
        if (!ParseSize(value, r.width, r.height))
            line.error = "--size needs WxH, 16 to 65535 columns by 16 to 16384 rows.";
    } else if (argument == "--from" || argument == "--to") {
        if (!ParseSeconds(value, argument == "--from" ? r.from : r.to))
            line.error = argument + " needs seconds (a number, 0 or more).";
    } else if (argument == "--ini") {
        r.iniFile = value;
    } else {
        r.outDir = value;
    }
}

bool IsReportOption(const std::string& argument)
{
    return argument == "--format" || argument == "--out" || argument == "--weighting" || argument == "--bands" ||
           argument == "--interval" || argument == "--input-name";
}

void ParseReportOption(CommandLine& line, const std::string& argument, const std::string& value)
{
    ReportRequest& r = line.reportRequest;
    if (argument == "--format") {
        if (value != "json" && value != "csv")
            line.error = "--format needs json or csv.";
        r.csv = value == "csv";
    } else if (argument == "--bands") {
        if (value != "1" && value != "3" && value != "6" && value != "12")
            line.error = "--bands needs 1, 3, 6 or 12 (bands per octave).";
        else
            r.bandsPerOctave = std::atoi(value.c_str());
    } else if (argument == "--interval") {
        if (!ParseSeconds(value, r.interval) || r.interval < 0.1)
            line.error = "--interval needs seconds, 0.1 or more.";
    } else if (argument == "--input-name") {
        r.inputNamed = true;
        r.inputName = value;
    } else if (argument == "--weighting") {
        if (value.size() != 1 || std::string("ACZ").find(value[0]) == std::string::npos)
            line.error = "--weighting needs A, C or Z.";
        else
            r.weighting = value[0];
    } else {
        r.output = value;
    }
}

void CheckReport(CommandLine& line, std::vector<std::string>& plain)
{
    if (line.render || !line.deviceName.empty() || !line.inputFile.empty() || !line.levelLog.empty() ||
        line.listDevices)
        line.error = "--report cannot be used with --render, --device, --input, --log-levels or --list-devices.";
    else if (plain.empty())
        line.error = "--report needs at least one input file.";
    line.reportRequest.inputs = plain;
}

bool IsRenderOption(const std::string& argument)
{
    return argument == "--size" || argument == "--from" || argument == "--to" || argument == "--ini" ||
           argument == "--out-dir";
}

// Inputs and output of --render from the plain arguments.
void CheckRender(CommandLine& line, std::vector<std::string>& plain)
{
    RenderRequest& r = line.renderRequest;
    if (!line.deviceName.empty() || !line.inputFile.empty() || !line.levelLog.empty() || line.listDevices)
        line.error = "--render cannot be used with --device, --input, --log-levels or --list-devices.";
    else if (line.displayMode != 0 && line.displayMode != 1 && line.displayMode != 3)
        line.error = "--render draws the scrolling views: --mode 0, 1 or 3.";
    else if (r.to >= 0 && r.to <= r.from)
        line.error = "--to must come after --from.";
    else if (!r.outDir.empty() && plain.empty())
        line.error = "--render needs at least one input file.";
    else if (r.outDir.empty() && plain.size() != 2)
        line.error = "--render needs IN and OUT.png, or input files and --out-dir DIR.";
    if (!line.error.empty())
        return;
    if (r.outDir.empty()) {
        r.output = plain.back();
        plain.pop_back();
    }
    r.inputs = plain;
}

} // namespace

CommandLine ParseCommandLine(int argc, const char* const* argv)
{
    CommandLine line;
    std::vector<std::string> plain;
    bool renderOnly = false, reportOnly = false;
    for (int i = 1; i < argc && line.error.empty(); ++i) {
        const std::string argument = argv[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= argc || argv[i + 1][0] == '\0')
                line.error = argument + " needs a value.";
            else
                into = argv[++i];
        };
        std::string given;
        if (argument == "--device")
            value(line.deviceName);
        else if (argument == "--input")
            value(line.inputFile);
        else if (argument == "--log-levels")
            value(line.levelLog);
        else if (argument == "--mode")
            ParseMode(line, i + 1 < argc ? argv[++i] : nullptr);
        else if (argument == "--list-devices")
            line.listDevices = true;
        else if (argument == "--help" || argument == "-h")
            line.help = true;
        else if (argument == "--version")
            line.version = true;
        else if (argument == "--render")
            line.render = true;
        else if (argument == "--report")
            line.report = true;
        else if (argument == "--input-name" && i + 1 < argc && argv[i + 1][0] == '\0') {
            // The default input's name is the empty one.
            reportOnly = true;
            ParseReportOption(line, argument, argv[++i]);
        } else if (IsReportOption(argument)) {
            reportOnly = true;
            value(given);
            if (line.error.empty())
                ParseReportOption(line, argument, given);
        }
        else if (argument == "--bare")
            line.renderRequest.bare = renderOnly = true;
        else if (IsRenderOption(argument)) {
            renderOnly = true;
            value(given);
            if (line.error.empty())
                ParseRenderOption(line, argument, given);
        } else if (argument.rfind("-", 0) != 0 || argument == "-")
            plain.push_back(argument);
        else
            line.error = "Unknown argument " + argument + ".";
    }
    if (!line.error.empty())
        return line;
    if (line.report)
        CheckReport(line, plain);
    else if (reportOnly)
        line.error = "--format, --out, --weighting, --bands, --interval and --input-name go with --report.";
    else if (line.render)
        CheckRender(line, plain);
    else if (!plain.empty())
        line.error = "Unknown argument " + plain.front() + ".";
    else if (renderOnly)
        line.error = "--size, --from, --to, --ini, --bare and --out-dir go with --render.";
    else if (!line.deviceName.empty() && !line.inputFile.empty())
        line.error = "--device and --input cannot be used together.";
    return line;
}
