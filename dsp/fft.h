#pragma once

#include <kiss_fft.h>

#include <memory>

// Forward complex FFT of a fixed size N over KISS FFT, unscaled:
// X[k] = sum x[t] e^(-2 pi i k t / N). Inputs shorter than N are zero-extended.
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

    struct PlanRelease {
        void operator()(kiss_fft_state* p) const { kiss_fft_free(p); }
    };

    std::unique_ptr<kiss_fft_state, PlanRelease> plan;
    int N;
    std::unique_ptr<kiss_fft_cpx[]> input;
    std::unique_ptr<kiss_fft_cpx[]> output;
};
