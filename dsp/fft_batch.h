#pragma once

#include <xmmintrin.h>

#include <memory>
#include <vector>

#include "dsp/fft_butterflies.h"

// Up to four forward FFTs of one size at once, one per SSE lane. Each lane
// runs the same butterflies on the same twiddles as CFFT, so its bins equal
// CFFT's bit for bit at about the cost of a single transform. Sizes with a
// factor other than 2 go through the scalar transform lane by lane.
class CFFTBatch {
public:
    static constexpr int Lanes = 4;

    explicit CFFTBatch(int N);

    CFFTBatch(const CFFTBatch&) = delete;
    CFFTBatch& operator=(const CFFTBatch&) = delete;

    int Size() const { return N; }

    // Sets a lane's input, zero-extended from n to N values.
    void LoadReal(int lane, const float* samples, int n);
    void LoadComplex(int lane, const float* re, const float* im, int n);
    // Transforms every lane loaded since the last run.
    void Run();
    // mags[lane][k] = |X[k]| for k < n/2 in each lane whose pointer is set;
    // returns n/2.
    int Magnitudes(float* const mags[Lanes], int n) const;
    // The first n bins of a lane.
    void Output(int lane, float* re, float* im, int n) const;

private:
    // One bin of the four lanes: their real parts, then their imaginary parts.
    struct Bin4 {
        __m128 re;
        __m128 im;

        static Bin4 Add(const Bin4& a, const Bin4& b) { return {_mm_add_ps(a.re, b.re), _mm_add_ps(a.im, b.im)}; }
        static Bin4 Sub(const Bin4& a, const Bin4& b) { return {_mm_sub_ps(a.re, b.re), _mm_sub_ps(a.im, b.im)}; }
        static Bin4 Times(const Bin4& a, const Twiddle& w)
        {
            return {_mm_sub_ps(_mm_mul_ps(a.re, w.re), _mm_mul_ps(a.im, w.im)),
                    _mm_add_ps(_mm_mul_ps(a.re, w.im), _mm_mul_ps(a.im, w.re))};
        }
        static Bin4 MinusI(const Bin4& a) { return {a.im, _mm_xor_ps(a.re, _mm_set1_ps(-0.0f))}; }
    };
    void FinishLoad(int lane, int n);
    void RunLaneByLane();
    float* InputLane(int lane) { return reinterpret_cast<float*>(input.data()) + lane; }
    const float* OutputLane(int lane) const { return reinterpret_cast<const float*>(output.data()) + lane; }

    int N;
    unsigned loadedLanes = 0;
    CButterflies<Bin4> butterflies;
    std::vector<Bin4> input;
    std::vector<Bin4> output;
    std::unique_ptr<ScalarLane> scalar;  // only for sizes with odd factors
};
