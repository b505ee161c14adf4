#include "dsp/power_average.h"

#include <algorithm>
#include <cmath>

void CPowerAverage::Configure(double newSeconds, double newBlockSeconds)
{
    if (newSeconds == seconds && newBlockSeconds == blockSeconds)
        return;
    seconds = newSeconds;
    blockSeconds = newBlockSeconds;
    weight = seconds > 0.0 ? 1.0 - std::exp(-blockSeconds / seconds) : 1.0;
    Reset();
}

void CPowerAverage::Reset()
{
    average.clear();
    blocks = 0;
}

void CPowerAverage::Add(const double* power, int count)
{
    if (static_cast<int>(average.size()) != count) {
        average.assign(power, power + count);
        blocks = 1;
        return;
    }
    ++blocks;
    // Linear: the running mean, each block weighing 1 / blocks.
    const double w = seconds > 0.0 ? weight : 1.0 / static_cast<double>(blocks);
    for (int i = 0; i < count; ++i)
        average[i] += w * (power[i] - average[i]);
}

void CPeakHold::Configure(double fallDbPerSecond, double newBlockSeconds)
{
    if (fallDbPerSecond == fall && newBlockSeconds == blockSeconds)
        return;
    fall = fallDbPerSecond;
    blockSeconds = newBlockSeconds;
    decay = std::pow(10.0, -fall * blockSeconds / 10.0);
    Reset();
}

void CPeakHold::Reset()
{
    peak.clear();
}

void CPeakHold::Add(const double* power, int count)
{
    if (static_cast<int>(peak.size()) != count) {
        peak.assign(power, power + count);
        return;
    }
    for (int i = 0; i < count; ++i)
        peak[i] = std::max(peak[i] * decay, power[i]);
}
