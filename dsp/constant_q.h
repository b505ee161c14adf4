#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "dsp/fft_pair.h"

// Constant-Q transform: 24 bins per octave, each bin the inner product of a
// spectral kernel (the transform of a Hann-windowed complex exponential whose
// length falls with frequency) with the transform of the block. Bins with
// short windows use a half- or quarter-size transform of the block's centre.
class CConstantQ {
public:
    enum Resolution : uint8_t { FullSize = 0, HalfSize = 1, QuarterSize = 2 };

    CConstantQ();
    virtual ~CConstantQ();

    CConstantQ(const CConstantQ&) = delete;
    CConstantQ& operator=(const CConstantQ&) = delete;

    // Bins for MIDI notes lo..hi, a quarter tone apart; -1 if lo >= hi.
    int Setup(int N, int sampleRate, int lo, int hi);
    // Recomputes the kernel with window lengths stretched by 1 + adjustment.
    void BuildKernel(int sampleRate, float adjustment);
    // Reads samples[0..N) and writes Bins() magnitudes; nothing before Setup.
    void Transform(const float* samples, float* out);
    // Two blocks through the same kernel pass: the same results as two calls.
    void TransformPair(const float* samplesA, float* outA, const float* samplesB, float* outB);

    int Size() const { return N; }
    int Bins() const { return len; }
    float MinFrequency() const { return fmin; }
    const float* Frequencies() const { return freqs.empty() ? nullptr : freqs.data(); }
    Resolution BinResolution(int b) const { return static_cast<Resolution>(resolution[b]); }
    int WindowLength(int b) const { return windowLengths[b]; }
    // Transform size of bin b: N, N/2 or N/4.
    int BinSize(int b) const;
    const float* KernelRe(int b) const { return kernelRe.data() + kernelOffset[b]; }
    const float* KernelIm(int b) const { return kernelIm.data() + kernelOffset[b]; }

private:
    struct Spectra;
    struct KernelWorker;

    void BuildKernelRows(KernelWorker& worker, const int* bins, int count, double inverseRate);
    void ComputeSpectra(const float* const* samples, int frameCount);
    void KernelProducts(const Spectra* frames, int frameCount, float* const* outs);

    int N = 0;
    int len = 0;
    float fmin = 0.0f;
    // Kernel row b holds BinSize(b) values from kernelOffset[b].
    std::vector<float> kernelRe;
    std::vector<float> kernelIm;
    std::vector<size_t> kernelOffset;
    std::vector<float> freqs;
    std::vector<uint8_t> resolution;
    std::vector<int> windowLengths;
    // Each plan transforms the frames of one call side by side, one per lane.
    std::unique_ptr<CFFTPair> planFull;
    std::unique_ptr<CFFTPair> planHalf;
    std::unique_ptr<CFFTPair> planQuarter;
    std::unique_ptr<Spectra[]> spectra;  // work storage of Transform
};
