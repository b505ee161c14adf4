#include "store/microphone_file.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

constexpr double LevelLimit = 40.0;
// Far more than any microphone file (a few thousand rows).
constexpr std::streamoff LargestFile = 4 << 20;

bool StartsWithNumber(const std::string& line)
{
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos)
        return false;
    const char c = line[first];
    return std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '+';
}

// The numbers of a row, split at tabs, spaces, commas and semicolons; false
// when a field is not a number.
bool Fields(const std::string& line, std::vector<double>& values)
{
    values.clear();
    std::string field;
    std::string normalised = line;
    std::replace_if(
        normalised.begin(), normalised.end(), [](char c) { return c == ',' || c == ';' || c == '\t' || c == '\r'; },
        ' ');
    std::istringstream fields(normalised);
    while (fields >> field) {
        char* end = nullptr;
        const double v = std::strtod(field.c_str(), &end);
        if (*end != '\0' || !std::isfinite(v))
            return false;
        values.push_back(v);
    }
    return true;
}

std::string LineError(int line, const char* what)
{
    return "line " + std::to_string(line) + ": " + what;
}

} // namespace

double MicrophoneResponse::CorrectionAt(double frequency) const
{
    if (frequencies.empty())
        return 0.0;
    if (frequency <= frequencies.front())
        return -levels.front();
    if (frequency >= frequencies.back())
        return -levels.back();
    const size_t upper = static_cast<size_t>(
        std::upper_bound(frequencies.begin(), frequencies.end(), frequency) - frequencies.begin());
    const size_t lower = upper - 1;
    const double t = std::log(frequency / frequencies[lower]) / std::log(frequencies[upper] / frequencies[lower]);
    return -(levels[lower] + t * (levels[upper] - levels[lower]));
}

bool ParseMicrophoneResponse(const std::string& text, MicrophoneResponse& response, std::string& error)
{
    MicrophoneResponse read;
    std::istringstream in(text);
    std::string line;
    std::vector<double> values;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!StartsWithNumber(line)) {
            if (line.find("Sens Factor") != std::string::npos && read.sensitivityLine.empty())
            {
                read.sensitivityLine = line.substr(line.find("Sens Factor"));
                read.sensitivityLine.erase(read.sensitivityLine.find_last_not_of("\" \t\r") + 1);
            }
            continue;
        }
        if (!Fields(line, values) || values.size() < 2 || values.size() > 3) {
            error = LineError(number, "not a row of frequency (Hz) and level (dB), with a phase or without");
            return false;
        }
        if (values[0] <= 0.0) {
            error = LineError(number, "a frequency that is not above 0 Hz");
            return false;
        }
        if (!read.frequencies.empty() && values[0] <= read.frequencies.back()) {
            error = LineError(number, "the frequencies do not rise");
            return false;
        }
        if (std::fabs(values[1]) > LevelLimit) {
            error = LineError(number, "a level beyond +-40 dB");
            return false;
        }
        read.frequencies.push_back(values[0]);
        read.levels.push_back(values[1]);
    }
    if (read.frequencies.empty()) {
        error = "no rows of frequency and level";
        return false;
    }
    response = std::move(read);
    return true;
}

bool ReadMicrophoneFile(const std::string& path, MicrophoneResponse& response, std::string& error)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = std::string("cannot be read: ") + std::strerror(errno);
        return false;
    }
    file.seekg(0, std::ios::end);
    if (file.tellg() > LargestFile) {
        error = "too large to be a microphone file (more than 4 MB)";
        return false;
    }
    file.seekg(0);
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad()) {
        error = std::string("cannot be read: ") + std::strerror(errno);
        return false;
    }
    return ParseMicrophoneResponse(text.str(), response, error);
}
