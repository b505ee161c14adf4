#pragma once

#include <vector>

// Inner products of constant-Q kernel rows with the spectra of up to two
// frames, without conjugation:
//   re = sum (Kr Yr - Ki Yi),  im = sum (Kr Yi + Ki Yr)
// accumulated in double, in one fixed order: eight running sums, index k
// going to sum k mod 8 as (s + Kr Yr) - Ki Yi and (s + Kr Yi) + Ki Yr; then
// the sums j and j + 4 are added, then (0 + 2) + (1 + 3); then the indices
// after the last whole group of eight, one by one in index order.
// The spectra come in double, each value a float converted once (the vector
// paths then read them without converting): every product of two floats is
// exact in double, so every vector path (chosen at run time) and the plain
// loop give the same bits on every machine.

struct ComplexSum {
    double re;
    double im;
};

constexpr int MaxKernelFrames = 2;
// Rows of one length that share a pass over the spectra.
constexpr int MaxKernelRows = 2;

// The products of `rows` kernel rows of `count` values each (kr[row],
// ki[row]) with the spectra of `frames` frames (yr[frame], yi[frame]):
// sums[row * frames + frame]. rows is 1..MaxKernelRows, frames
// 1..MaxKernelFrames.
using KernelProductFunction = void (*)(const float* const* kr, const float* const* ki, int rows, int count,
                                       const double* const* yr, const double* const* yi, int frames,
                                       ComplexSum* sums);

// The fastest path this processor runs.
void KernelProduct(const float* const* kr, const float* const* ki, int rows, int count, const double* const* yr,
                   const double* const* yi, int frames, ComplexSum* sums);

// The plain loop in the one order: the reference the vector paths are held to.
void KernelProductPlain(const float* const* kr, const float* const* ki, int rows, int count,
                        const double* const* yr, const double* const* yi, int frames, ComplexSum* sums);

struct KernelProductPath {
    const char* name;
    KernelProductFunction run;
};

// Every path this processor can run, the plain loop first and the one
// KernelProduct uses last.
std::vector<KernelProductPath> KernelProductPaths();
