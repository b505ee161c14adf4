#include "display/frequency_scale.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "dsp/frequency_axis.h"
#include "settings/shared_settings.h"

namespace {

bool IsLogarithmic(int mode)
{
    return mode == 1 || mode == 3 || SharedSettings.LogScale;
}

// Hz per surface row on the linear axis: the view draws bin trunc(r * q),
// q = MaxFreq * 0.04266666620969772 / h, and a bin is 48000 / 8192 Hz.
double LinearHzPerRow(int h)
{
    return SharedSettings.MaxFreq * static_cast<double>(0.04266666620969772f) / h * (48000.0 / 8192);
}

std::string RoundLabel(double f)
{
    char text[32];
    if (f >= 1000)
        std::snprintf(text, sizeof text, "%g kHz", f / 1000);
    else
        std::snprintf(text, sizeof text, "%g Hz", f);
    return text;
}

// Window row of surface row r: the visible band, bottom b = h - o and top
// t = trunc(b - h / z), is stretched over the window's h rows.
double WindowRow(const ScaleView& view, double row)
{
    const int h = view.height;
    const int bottom = h - view.offset;
    const int top = static_cast<int>(bottom - h / view.zoom);
    const int band = std::max(bottom, 0) - top;
    return band > 0 ? (h - row - top) * h / band : -1;
}

struct Candidate {
    double frequency;
    std::string label;
};

std::vector<Candidate> Candidates(bool logarithmic)
{
    std::vector<Candidate> list;
    for (const double step : {1.0, 2.0, 5.0})
        for (double decade = 10; decade <= 10000; decade *= 10)
            list.push_back({step * decade, RoundLabel(step * decade)});
    if (logarithmic)
        for (int octave = 1; octave <= 7; ++octave)
            list.push_back({27.5 * std::pow(2.0, octave), "A" + std::to_string(octave)});
    return list;
}

} // namespace

double ScaleFrequencyOfRow(const ScaleView& view, double row)
{
    if (IsLogarithmic(view.mode))
        return std::pow(2.0, 5 + (Log2(SharedSettings.MaxFreq) - 5) * row / view.height);
    return row * LinearHzPerRow(view.height);
}

double ScaleRowOfFrequency(const ScaleView& view, double frequency)
{
    if (IsLogarithmic(view.mode))
        return (Log2(frequency) - 5) * view.height / (Log2(SharedSettings.MaxFreq) - 5);
    return frequency / LinearHzPerRow(view.height);
}

std::vector<ScaleTick> FrequencyScaleTicks(const ScaleView& view)
{
    std::vector<ScaleTick> ticks;
    if ((view.mode != 0 && view.mode != 1 && view.mode != 3) || view.height <= 0)
        return ticks;
    for (const Candidate& c : Candidates(IsLogarithmic(view.mode))) {
        const double y = WindowRow(view, ScaleRowOfFrequency(view, c.frequency));
        if (!(y >= view.labelSpace / 2.0 && y < view.height - view.labelSpace / 2.0))
            continue;
        const int row = static_cast<int>(std::lround(y));
        const bool crowded = std::any_of(ticks.begin(), ticks.end(),
                                         [&](const ScaleTick& t) { return std::abs(t.y - row) < view.labelSpace; });
        if (!crowded)
            ticks.push_back({row, c.frequency, c.label});
    }
    std::sort(ticks.begin(), ticks.end(), [](const ScaleTick& a, const ScaleTick& b) { return a.y < b.y; });
    return ticks;
}
