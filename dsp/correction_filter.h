#pragma once

#include <complex>
#include <functional>
#include <memory>
#include <vector>

#include <kissfft.hh>

// A linear-phase FIR filter with the magnitude response of a correction
// curve (a microphone's, in dB over frequency), run by fast convolution.
//
// The design samples the curve at 4096 frequencies from 0 Hz to the
// Nyquist frequency (11.7 Hz apart at 48 kHz), takes the inverse transform
// of those real, zero-phase gains, centres it and shapes it with a Hann
// window of 4097 taps; the window smooths the curve over about two bins.
// Blocks of 4096 samples are convolved with it through transforms of 8192
// points (overlap-add) in double. The output lags the input by 4096
// samples (a block gathered) plus the filter's 2048 (its centre): 128 ms.
class CCorrectionFilter {
public:
    static constexpr int Taps = 4097;
    static constexpr int Chunk = 4096;
    static constexpr int Size = 8192;

    // `gainDb(f)` the correction in dB at f Hz.
    CCorrectionFilter(const std::function<double(double)>& gainDb, double rate);
    // Filters `count` samples in place, each replaced by the output
    // `Latency()` samples behind it (zeros at first).
    void Process(double* samples, int count);
    void Reset();
    static constexpr int Latency() { return Chunk + (Taps - 1) / 2; }
    // The designed filter's magnitude at `frequency` Hz, in dB.
    double MagnitudeDb(double frequency) const;

private:
    void Convolve();

    double rate;
    std::vector<double> taps;
    std::vector<std::complex<double>> spectrum;  // of the taps, Size points
    kissfft<double> forward{Size, false};
    kissfft<double> inverse{Size, true};
    std::vector<double> gathered;  // the chunk being gathered
    std::vector<double> ready;     // the outputs of the last chunk
    std::vector<double> overlap;   // the tail of the last convolution
    std::vector<std::complex<double>> in, out;
    int position = 0;              // in `gathered` and `ready`
};
