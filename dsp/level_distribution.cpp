#include "dsp/level_distribution.h"

#include <algorithm>
#include <cmath>
#include <limits>

void CLevelDistribution::Add(double level)
{
    // -inf and NaN (silence) fall into the lowest bin, counted as its floor.
    const double bin = std::floor((level - Lowest) / BinWidth);
    const int index = bin >= 0 ? static_cast<int>(std::min(bin, static_cast<double>(Bins - 1))) : 0;
    const double kept = std::isfinite(level) ? level : Lowest;
    ++counts[index];
    sums[index] += kept;
    ++count;
}

void CLevelDistribution::Reset()
{
    counts.fill(0);
    sums.fill(0.0);
    count = 0;
}

double CLevelDistribution::Exceeded(double percent) const
{
    if (count == 0)
        return -std::numeric_limits<double>::infinity();
    const double share = std::clamp(percent, 0.0, 100.0) / 100.0 * static_cast<double>(count);
    int64_t above = 0;
    int lowest = 0;  // the lowest bin with samples, for percent = 100
    for (int i = Bins - 1; i >= 0; --i) {
        if (counts[i] == 0)
            continue;
        above += counts[i];
        lowest = i;
        if (static_cast<double>(above) > share)
            break;
    }
    return sums[lowest] / static_cast<double>(counts[lowest]);
}
