#pragma once

#include <xmmintrin.h>

#include <memory>
#include <vector>

#include "dsp/fft_butterflies.h"

// Two forward FFTs of one size at once, of real input: the two frames of a
// constant-Q block. Both lanes share one SSE register per bin, so a bin
// costs half of what CFFTBatch's four-lane bin does, in operations and in
// memory. Each lane runs the same butterflies on the same twiddles as CFFT,
// so its bins equal CFFT's bit for bit. Sizes with a factor other than 2 go
// through the scalar transform lane by lane.
class CFFTPair {
public:
    static constexpr int Lanes = 2;

    explicit CFFTPair(int N);

    CFFTPair(const CFFTPair&) = delete;
    CFFTPair& operator=(const CFFTPair&) = delete;

    int Size() const { return N; }

    // Transforms samples[lane][0..n), zero-extended to N values, for lanes
    // 0..count-1 (count 1 or 2).
    void TransformReals(const float* const* samples, int count, int n);
    // The first n bins of lanes 0..count-1 into re[lane] and im[lane], each
    // float widened to double.
    void OutputLanes(double* const* re, double* const* im, int count, int n) const;
    // mags[lane][k] = |X[k]| for k < n/2, as BinMagnitude computes it, for
    // each lane whose pointer is set; returns n/2.
    int Magnitudes(float* const mags[Lanes], int n) const;

private:
    // One bin of both lanes: (re0, re1, im0, im1).
    struct Bin2 {
        __m128 v;

        static Bin2 Add(const Bin2& a, const Bin2& b) { return {_mm_add_ps(a.v, b.v)}; }
        static Bin2 Sub(const Bin2& a, const Bin2& b) { return {_mm_sub_ps(a.v, b.v)}; }
        // (ar wr + -(ai wi), ai wr + ar wi): a + -b is a - b, and a sum does
        // not depend on its order, so this is the complex product's rounding.
        static Bin2 Times(const Bin2& a, const Twiddle& w)
        {
            const __m128 swapped = _mm_shuffle_ps(a.v, a.v, _MM_SHUFFLE(1, 0, 3, 2));
            const __m128 negateReal = _mm_set_ps(0.0f, 0.0f, -0.0f, -0.0f);
            return {_mm_add_ps(_mm_mul_ps(a.v, w.re), _mm_xor_ps(_mm_mul_ps(swapped, w.im), negateReal))};
        }
        // (im, -re)
        static Bin2 MinusI(const Bin2& a)
        {
            const __m128 swapped = _mm_shuffle_ps(a.v, a.v, _MM_SHUFFLE(1, 0, 3, 2));
            return {_mm_xor_ps(swapped, _mm_set_ps(-0.0f, -0.0f, 0.0f, 0.0f))};
        }
    };

    void TransformLaneByLane(const float* const* samples, int count, int n);

    int N;
    CButterflies<Bin2> butterflies;
    std::vector<Bin2> input;
    std::vector<Bin2> output;
    std::unique_ptr<ScalarLane> scalar;  // only for sizes with odd factors
};
