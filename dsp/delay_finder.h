#pragma once

#include <vector>

// How far a measured signal lags its reference.
struct FoundDelay {
    bool found = false;
    double samples = 0.0;  // positive: the measurement comes later
    // The height of the correlation's peak (1 for a measurement that is the
    // reference delayed, near 0 where the two are unrelated).
    double peak = 0.0;
};

// The delay by generalised cross-correlation with the phase transform
// (GCC-PHAT, Knapp and Carter): the cross-spectrum of the two signals
// divided by its magnitude, transformed back, and its largest value within
// `maxLag` samples either way taken. Below one sample the correlation is
// interpolated between its samples (it is band-limited: its value at any
// lag is a sum over its spectrum) at eighths of a sample around the peak,
// and a parabola laid through the highest eighth and its two neighbours.
// Not found when either signal is silent.
FoundDelay FindDelay(const std::vector<float>& reference, const std::vector<float>& measurement, int maxLag);
