#pragma once

// Inner products of one constant-Q kernel row with the spectra of up to
// two frames, without conjugation:
//   re = sum (Kr Yr - Ki Yi),  im = sum (Kr Yi + Ki Yr)
// accumulated in double. Every product of two floats is exact in double, so
// the vector path (AVX2, chosen at run time) differs from the plain loop only
// in the order of the double additions.

struct ComplexSum {
    double re;
    double im;
};

constexpr int MaxKernelFrames = 2;

void KernelProduct(const float* kr, const float* ki, int count, const float* const* yr, const float* const* yi,
                   int frames, ComplexSum* sums);

// The plain loop, in index order: the reference the vector path is held to.
void KernelProductPlain(const float* kr, const float* ki, int count, const float* const* yr,
                        const float* const* yi, int frames, ComplexSum* sums);
