#pragma once

#include <complex>
#include <vector>

#include <kissfft.hh>

#include "dsp/power_average.h"

// A system measured by comparing what goes in (the reference x) with what
// comes out (the measurement y), the dual-channel way: both signals cut
// into segments of Size samples with Hann windows, overlapping by half;
// per segment the auto-spectra |X|^2, |Y|^2 and the cross-spectrum
// conj(X) Y; those averaged (exponentially with a time constant, or
// linearly since the reset), the cross-spectrum as complex numbers, never
// as magnitudes. From the averages: the H1 estimate Gxy / Gxx and the
// coherence |Gxy|^2 / (Gxx Gyy).
//
// Size is 16384 points, 2.93 Hz apart at 48 kHz: fine enough to resolve
// 20 Hz, at the price of 0.34 s per segment everywhere.
//
// A delay of the measurement behind the reference is compensated: the
// reference is delayed by its whole samples before the segments are cut
// (so that both segments hold the same sound), the fraction turned out of
// the cross-spectrum's phase.
class CTransferFunction {
public:
    static constexpr int Size = 16384;
    static constexpr int Hop = Size / 2;
    static constexpr int Bins = Size / 2 + 1;
    // The largest delay compensated, either way, in seconds.
    static constexpr double MaxDelaySeconds = 1.0;

    explicit CTransferFunction(double sampleRate = 48000.0);

    // Exponential with time constant `seconds`, linear since the reset for
    // 0. Resets the averages when it changes.
    void SetAveraging(double seconds);
    // The measurement lags the reference by `samples` (negative: leads);
    // clamped to MaxDelaySeconds. Resets the averages.
    void SetDelay(double samples);
    double Delay() const { return delay; }
    // Forgets the averages (the signals' history is kept).
    void Reset();
    // `count` samples of each signal, at the same instants.
    void Process(const float* reference, const float* measurement, int count);

    double SampleRate() const { return rate; }
    double BinFrequency(int k) const { return k * rate / Size; }
    // Segments averaged since the reset.
    long Averages() const { return average.Blocks(); }
    // The averaged spectra at bin k (0 .. Bins - 1), the cross-spectrum with
    // the delay's fraction compensated. Zero before the first segment.
    double Gxx(int k) const;
    double Gyy(int k) const;
    std::complex<double> Gxy(int k) const;

private:
    void TakeSegment(long end);
    long WholeDelay() const { return std::lround(delay); }
    float ReferenceAt(long n) const { return reference[static_cast<size_t>(n % Capacity)]; }
    float MeasurementAt(long n) const { return measurement[static_cast<size_t>(n % Capacity)]; }

    double rate;
    int Capacity;  // samples of each signal kept
    std::vector<float> reference, measurement;
    long received = 0;     // samples of each signal so far
    long nextEnd = Size;   // where the next segment of the measurement ends
    double delay = 0.0;
    double averagingSeconds = 1.0;
    std::vector<double> window;
    kissfft<double> fft{Size, false};
    std::vector<std::complex<double>> in, out;
    // Gxx, Gyy, Re Gxy and Im Gxy of each bin, one after the other.
    std::vector<double> segmentSpectra;
    CPowerAverage average;
};
