#pragma once

#include <string>
#include <vector>

#include "dsp/biquad.h"

// Cascades of second-order sections fed the same input and run side by
// side, one lane each, eight lanes to a group, so that the processor works
// on eight filters with each instruction, and on the groups' recursions at
// once, instead of following one filter's recursion at a time. Each lane computes exactly what ProcessCascade
// computes for its cascade (the same operations in the same order; a lane
// with fewer sections is padded with sections that pass their input
// through unchanged), so the results do not depend on the path taken.
class CBiquadLanes {
public:
    static constexpr int Width = 8;

    // Their states are taken as they are.
    explicit CBiquadLanes(const std::vector<BiquadCascade>& cascades);

    int Lanes() const { return lanes; }
    struct Sections;
    using Function = void (*)(Sections* sections, int groups, int length, const double* x, int n, double* energy);

    // Filters `count` samples of `x` through every lane and adds the sum of
    // each lane's squared output to energy[lane] (the sum over this call
    // first, then added, as a loop over ProcessCascade would), the way
    // `run` says (for tests; the best this processor has otherwise).
    void ProcessEnergy(const double* x, int count, double* energy, Function run = nullptr);
    void Reset();

    struct Sections {
        alignas(64) double b0[Width], b1[Width], b2[Width], a1[Width], a2[Width];
        alignas(64) double s1[Width], s2[Width];
    };

private:
    // Group g's k-th sections at g * length + k.
    std::vector<Sections> sections;
    int lanes = 0, length = 0;
    std::vector<double> sums;  // per lane of every group, for one call
};

// The ways of running the lanes on this processor, plainest first; the
// last is the one used. For tests: every path gives the same numbers.
struct BiquadLanesPath {
    std::string name;
    CBiquadLanes::Function run;
};
std::vector<BiquadLanesPath> BiquadLanesPaths();
