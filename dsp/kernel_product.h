#pragma once

// Inner products of one constant-Q kernel row with the spectra of up to
// two frames, without conjugation:
//   re = sum (Kr Yr - Ki Yi),  im = sum (Kr Yi + Ki Yr)
// accumulated in double, in one fixed order: eight running sums, index k
// going to sum k mod 8 as (s + Kr Yr) - Ki Yi and (s + Kr Yi) + Ki Yr; then
// the sums j and j + 4 are added, then (0 + 2) + (1 + 3); then the indices
// after the last whole group of eight, one by one in index order.
// The spectra come in double, each value a float converted once (the vector
// path then reads them without converting): every product of two floats is
// exact in double, so the vector path (AVX2, chosen at run time) and the
// plain loop give the same bits on every machine.

struct ComplexSum {
    double re;
    double im;
};

constexpr int MaxKernelFrames = 2;

void KernelProduct(const float* kr, const float* ki, int count, const double* const* yr, const double* const* yi,
                   int frames, ComplexSum* sums);

// The plain loop in the same order: the reference the vector path is held to.
void KernelProductPlain(const float* kr, const float* ki, int count, const double* const* yr,
                        const double* const* yi, int frames, ComplexSum* sums);
