#pragma once

#include <xmmintrin.h>

#include <complex>
#include <memory>
#include <vector>

#include <kissfft.hh>

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
    // Lanes 0..count-1 from samples[lane][0..n) at once, the same as count
    // LoadReal calls; the lanes above count are zero.
    void LoadReals(const float* const* samples, int count, int n);
    // Transforms every lane loaded since the last run.
    void Run();
    // mags[lane][k] = |X[k]| for k < n/2 in each lane whose pointer is set;
    // returns n/2.
    int Magnitudes(float* const mags[Lanes], int n) const;
    // The first n bins of a lane.
    void Output(int lane, float* re, float* im, int n) const;
    // The first n bins of lanes 0..count-1 into re[lane] and im[lane], each
    // float widened to double.
    void OutputLanes(double* const* re, double* const* im, int count, int n) const;

private:
    struct Bin4 {
        __m128 re;
        __m128 im;
    };

    void Transform(Bin4* out, const Bin4* in, size_t stage, size_t stride) const;
    void Radix2(Bin4* out, size_t stride, size_t m) const;
    void Radix4(Bin4* out, size_t stride, size_t m) const;
    void FinishLoad(int lane, int n);
    void RunLaneByLane();
    float* InputLane(int lane) { return reinterpret_cast<float*>(input.data()) + lane; }
    const float* OutputLane(int lane) const { return reinterpret_cast<const float*>(output.data()) + lane; }

    int N;
    unsigned loadedLanes = 0;
    std::vector<std::complex<float>> twiddles;
    std::vector<size_t> stageRadix;
    std::vector<size_t> stageRemainder;
    std::vector<Bin4> input;
    std::vector<Bin4> output;
    // Only for sizes with odd factors: the scalar plan and one lane's data.
    std::unique_ptr<kissfft<float>> scalarPlan;
    std::vector<std::complex<float>> laneIn;
    std::vector<std::complex<float>> laneOut;
};
