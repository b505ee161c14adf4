#pragma once

#include <vector>

// Averages of power over blocks, value by value (bins of a spectrum, bands):
// exponential with a time constant, or linear, the mean of every block
// since the reset. The first block after a reset is taken as it is.
class CPowerAverage {
public:
    // Exponential with time constant `seconds` for blocks `blockSeconds`
    // apart; linear for `seconds` 0. Resets when the setting changes.
    void Configure(double seconds, double blockSeconds);
    void Reset();
    // One block's powers.
    void Add(const double* power, int count);
    const std::vector<double>& Power() const { return average; }
    long Blocks() const { return blocks; }

private:
    double seconds = -1.0;
    double blockSeconds = 0.0;
    double weight = 1.0;  // of the newest block, exponential
    std::vector<double> average;
    long blocks = 0;
};

// The largest power of each value since the reset, held, or falling at a
// fixed rate in dB per second (a new block's power takes over where it is
// above).
class CPeakHold {
public:
    // `fallDbPerSecond` 0 holds; blocks `blockSeconds` apart. Resets when
    // the setting changes.
    void Configure(double fallDbPerSecond, double blockSeconds);
    void Reset();
    void Add(const double* power, int count);
    const std::vector<double>& Power() const { return peak; }

private:
    double fall = -1.0;
    double blockSeconds = 0.0;
    double decay = 1.0;  // per block, in power
    std::vector<double> peak;
};
