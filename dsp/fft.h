#pragma once

#include <kissfft.hh>

#include <cmath>
#include <complex>
#include <vector>

// Forward complex FFT of a fixed size N over KISS FFT, unscaled:
// X[k] = sum x[t] e^(-2 pi i k t / N). Inputs shorter than N are zero-extended.
// The library's C++ template is compiled with this project's floating-point
// flags, so its results are the same wherever the program is built.
class CFFT {
public:
    explicit CFFT(int N);
    virtual ~CFFT() = default;

    CFFT(const CFFT&) = delete;
    CFFT& operator=(const CFFT&) = delete;

    int Size() const { return N; }

    // mags[k] = |X[k]| for k < n/2; returns n/2.
    int Magnitude(const float* samples, float* mags, int n);
    // Real input, complex output of n bins; returns n.
    int TransformReal(const float* samples, float* outRe, float* outIm, int n);
    // Complex input, complex output of n bins; returns n.
    int TransformComplex(const float* inRe, const float* inIm, float* outRe, float* outIm, int n);

private:
    void LoadReal(const float* samples, int n);
    void ZeroTail(int n);
    void Run();

    kissfft<float> plan;
    int N;
    std::vector<std::complex<float>> input;
    std::vector<std::complex<float>> output;
};

// |re + i im| as the analysis stores it: the squares and the root in double.
inline float BinMagnitude(float re, float im)
{
    const double r = re;
    const double i = im;
    return static_cast<float>(std::sqrt(r * r + i * i));
}
