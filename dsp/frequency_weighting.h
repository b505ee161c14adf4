#pragma once

#include "dsp/biquad.h"

// The frequency weightings of IEC 61672-1:2013, from its analytic
// definition: A has four zeros at 0 Hz and poles at 20.6 Hz (two), 107.7 Hz,
// 737.9 Hz and 12194 Hz (two); C has two zeros at 0 Hz and the poles at
// 20.6 Hz and 12194 Hz (two each); Z is flat. Each pole goes through the
// bilinear transform prewarped at its own frequency, and the gain is 1
// (0 dB) at 1 kHz.
enum class Weighting { Z = 0, A = 1, C = 2 };

// The weighting's magnitude at `f` Hz by the standard's formula, relative
// to 1 kHz.
double WeightingGain(Weighting weighting, double f);

class CFrequencyWeighting {
public:
    void Init(Weighting weighting, double rate);
    void Reset();
    // Weights `count` samples in place.
    void Process(double* x, int count);
    // The filter's magnitude at `frequency` Hz (the formula's within 0.11 dB
    // up to 8 kHz at 48 kHz; above, the bilinear transform takes some away).
    double Magnitude(double frequency) const;

private:
    BiquadCascade sections;
    double rate = 48000.0;
};
