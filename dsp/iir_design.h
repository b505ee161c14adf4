#pragma once

#include "dsp/biquad.h"

// Digital IIR filters from analogue prototypes through the bilinear
// transform, with the frequencies that matter prewarped so that they land
// where the analogue filter has them. Frequencies in Hz, `rate` the sample
// rate in Hz; every design's sections are in double.

// Butterworth band-pass of the given order (2 x order poles), its -3 dB
// edges at `lower` and `upper`; the gain is exactly 1 at their geometric
// mean.
BiquadCascade ButterworthBandPass(int order, double lower, double upper, double rate);
// Butterworth low-pass of even order, -3 dB at `cutoff`, gain 1 at 0 Hz.
BiquadCascade ButterworthLowPass(int order, double cutoff, double rate);
// The magnitude of the cascade's response at `frequency`.
double CascadeMagnitude(const BiquadCascade& cascade, double frequency, double rate);
// Multiplies the cascade's gain so that its magnitude at `frequency` is 1.
void NormaliseCascade(BiquadCascade& cascade, double frequency, double rate);
