#include "display/note_names.h"

#include <cmath>
#include <cstdio>

namespace {

const char* const Names[12] = {"C", "C#/Db", "D", "Eb/D#", "E", "F", "F#/Gb", "G", "Ab/G#", "A", "Bb/A#", "B"};

std::string Format(double frequency, bool withName)
{
    char text[64];
    if (withName)
        std::snprintf(text, sizeof text, "%.1f[Hz] (%s)", frequency, NoteName(frequency));
    else
        std::snprintf(text, sizeof text, "%.1f[Hz]", frequency);
    return text;
}

} // namespace

const char* NoteName(double frequency)
{
    const double semitones = -12 * (std::log(frequency) - std::log(63.5705)) / std::log(2.0);
    if (!std::isfinite(semitones))
        return Names[0];
    const long k = static_cast<long>(semitones);
    const long index = ((36 - k) % 12 + 12) % 12;
    return Names[index];
}

std::string CursorLabelRuleA(double frequency)
{
    return Format(frequency, frequency > 50 && frequency < 10000);
}

std::string CursorLabelRuleB(double frequency)
{
    return frequency > 50 ? Format(frequency, true) : std::string();
}
