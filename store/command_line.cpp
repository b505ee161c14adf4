#include "store/command_line.h"

#include <cstring>

const char* const CommandLineUsage =
    "Usage: tavimeter [--device NAME | --input FILE.wav] [--mode N] [--log-levels FILE.csv] [--list-devices]\n"
    "  --device NAME   capture from the PulseAudio source or ALSA device NAME\n"
    "  --input FILE    analyse a 48 kHz 16-bit mono or stereo WAV file at real-time pace\n"
    "  --mode N        start in view N: 0 2-D spectrogram (the default), 1 constant-Q\n"
    "                  spectrogram, 2 1-D spectrum, 3 to 5 the experimental views,\n"
    "                  6 octave bands\n"
    "  --log-levels FILE.csv\n"
    "                  append a row of loudness and peaks a second to FILE.csv\n"
    "  --list-devices  list the capture devices and exit\n";

namespace {

void ParseMode(CommandLine& line, const char* value)
{
    if (value && std::strlen(value) == 1 && value[0] >= '0' && value[0] <= '6')
        line.displayMode = value[0] - '0';
    else
        line.error = "--mode needs a view from 0 to 6.";
}

} // namespace

CommandLine ParseCommandLine(int argc, const char* const* argv)
{
    CommandLine line;
    for (int i = 1; i < argc && line.error.empty(); ++i) {
        const std::string argument = argv[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= argc || argv[i + 1][0] == '\0')
                line.error = argument + " needs a value.";
            else
                into = argv[++i];
        };
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
        else
            line.error = "Unknown argument " + argument + ".";
    }
    if (line.error.empty() && !line.deviceName.empty() && !line.inputFile.empty())
        line.error = "--device and --input cannot be used together.";
    return line;
}
