#include "app/command_line.h"

#include <cstring>

const char* const CommandLineUsage =
    "Usage: tavimeter [--device NAME | --input FILE.wav] [--list-devices]\n"
    "  --device NAME   capture from the PulseAudio source or ALSA device NAME\n"
    "  --input FILE    analyse a 48 kHz 16-bit mono or stereo WAV file at real-time pace\n"
    "  --list-devices  list the capture devices and exit\n";

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
