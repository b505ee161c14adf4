#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "analysis/block_consumer.h"
#include "dsp/fractional_octave_bands.h"
#include "dsp/frequency_weighting.h"
#include "dsp/power_average.h"

// The measurements beside the design's analysis, block by block:
// - the newest linear spectrum of each channel averaged in power, and its
//   peaks held, for the 1-D spectrum view and the spectrum export;
// - the levels of fractional-octave bands of the newest samples: frequency
//   weighted (A, C or Z), time weighted (Fast or Slow), and averaged and
//   held as the spectrum is, for the bands view.
// The settings are SharedMeasureSettings, read at each block: other bands or
// another weighting start the bands afresh, another averaging or peak hold
// starts those again. Levels are in dB relative to full scale, a full-scale
// sine reading 0.0 dB (AES17). As a block consumer it takes each block's
// spectra while the spectrum's averages or peaks are wanted, and its
// channel 0 while the bands are. GUI thread only.
class CMeasurement : public BlockConsumer {
public:
    static constexpr int SpectrumBins = 4096;
    static constexpr double SampleRate = 48000.0;
    static constexpr double BlockSeconds = 2048.0 / 48000.0;

    // The spectrum's averages or peaks are wanted.
    static bool SpectrumWanted();

    // One block's newest spectra, SpectrumBins magnitudes each; `right` is
    // null for mono.
    void AddSpectra(const float* left, const float* right);
    // One block's newest samples (scaled by 2^-15 to about +-1). `count`
    // must be a multiple of Bank().BlockMultiple(); blocks that did not
    // follow on from the last (the view was not shown) start the bands'
    // filters from rest.
    void AddSamples(const int16_t* samples, int count, long block);
    // Averages and peaks start again ("Reset measurement").
    void Reset();
    // Takes the averaging and peak-hold choices in use: called with every
    // block, and by whoever changes them so that they take effect at once.
    void FollowSettings();

    // A microphone's correction, `gainDb(f)` dB added at f Hz (an empty
    // function for none): each band takes it at its exact midband, as
    // analysers apply a microphone's curve to fractional-octave bands (the
    // curve is nearly flat across a band).
    void SetMicrophoneCorrection(std::function<double(double)> gainDb);
    // The bands are measured from the next block on (the bands view is
    // shown); blocks not measured leave the bands' filters to start afresh.
    void SetBandsWanted(bool wanted) { bandsWanted = wanted; }
    bool WantsSpectra() const override { return SpectrumWanted(); }
    void Consume(const AnalysedBlock& block) override;

    // The 1-D spectrum's averaged magnitudes, or null when averaging is off
    // or nothing was added; the held peaks (magnitudes), or null.
    const float* AveragedSpectrum(int channel) const;
    const float* PeakSpectrum(int channel) const;

    const std::vector<FractionalOctaveBand>& Bands() const { return bank.Bands(); }
    // Per band: the level shown (the average when averaging is on, else the
    // time-weighted level) and the held peak (empty when peak hold is off),
    // in dB; -200 for nothing.
    const std::vector<double>& BandLevels() const { return levels; }
    const std::vector<double>& BandPeaks() const { return peaks; }
    const CFractionalOctaveBank& Bank() const { return bank; }

private:
    struct Channel {
        CPowerAverage average;
        CPeakHold peak;
        std::vector<float> averaged;
        std::vector<float> held;
    };
    void ConfigureBands();
    void UpdateBandLevels(const std::vector<double>& meanSquares);

    Channel channels[2];
    std::vector<double> power;  // work array

    int bandsPerOctave = 0;
    int weighting = -1;
    CFrequencyWeighting weightingFilter;
    CFractionalOctaveBank bank;
    // Per band, of the weighting above 8 kHz and of the microphone.
    std::vector<double> correction;
    std::function<double(double)> microphone;
    bool microphoneChanged = false;
    std::vector<double> samples;     // work array
    std::vector<double> meanSquares;
    std::vector<double> timeWeighted;
    CPowerAverage bandAverage;
    CPeakHold bandPeak;
    std::vector<double> levels;
    std::vector<double> peaks;
    long lastBlock = -2;
    int peakHold = 0;  // the choice the peaks were held with
    bool bandsWanted = false;
};
