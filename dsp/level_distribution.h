#pragma once

#include <array>
#include <cstdint>

// How often a level sampled over time lay where, in fixed memory whatever
// the time: counts in bins 0.1 dB wide from -150 dB to +30 dB, levels
// outside in the end bins, and the sum of the levels in each bin, so that a
// percentile reads the mean of the samples in its bin rather than the bin's
// edge (a steady level reads as itself, not rounded to the bin).
class CLevelDistribution {
public:
    static constexpr double Lowest = -150.0;
    static constexpr double BinWidth = 0.1;
    static constexpr int Bins = 1800;

    void Add(double level);
    void Reset();
    int64_t Count() const { return count; }
    // The level exceeded by `percent` % of the samples (L10 for 10): the
    // mean level of the bin where, counting from the top, more than that
    // share of the samples lies; -inf without samples.
    double Exceeded(double percent) const;

private:
    std::array<int64_t, Bins> counts{};
    std::array<double, Bins> sums{};
    int64_t count = 0;
};
