#pragma once

#include <vector>

// One second-order section in transposed direct form II, in double:
// y = (b0 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2) x.
struct CBiquad {
    double b0 = 1.0, b1 = 0.0, b2 = 0.0;
    double a1 = 0.0, a2 = 0.0;
    double s1 = 0.0, s2 = 0.0;  // state

    double Process(double x)
    {
        const double y = b0 * x + s1;
        s1 = b1 * x - a1 * y + s2;
        s2 = b2 * x - a2 * y;
        return y;
    }
    void Reset() { s1 = s2 = 0.0; }
};

// Sections run one after the other.
using BiquadCascade = std::vector<CBiquad>;

inline double ProcessCascade(BiquadCascade& cascade, double x)
{
    for (CBiquad& section : cascade)
        x = section.Process(x);
    return x;
}
