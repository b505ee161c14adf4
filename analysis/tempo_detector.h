#pragma once

#include <vector>

struct TempoEstimate {
    double bpm;       // whole beats per minute
    double lag;       // 5625 / bpm: the four-beat span in frames
    double strength;  // harmonic sum at the chosen lag, 0 when nothing correlates
};

// Tempo from the rise in total energy of the last 235 constant-Q frames: the
// onset curve is autocorrelated, lags whose fractions also correlate are
// favoured, and the best four-beat span is refined in steps of 0.05 frame.
class CTempoDetector {
public:
    static constexpr int Rows = 235;
    static constexpr int Bins = 173;
    static constexpr int Lags = 640;

    CTempoDetector();
    virtual ~CTempoDetector() = default;

    void PushFrame(const float* frame);
    TempoEstimate Estimate() const;

    // First onset index taken into the sums.
    int Start() const { return start; }
    const float* Onsets() const { return onset.data(); }
    // The frames in the history, oldest row first (Rows x Bins).
    const float* Frames() const { return frames.data(); }

private:

    void Autocorrelate(float* R) const;
    static void ReinforceSubLags(float* R);
    static int CoarseSearch(const float* R);
    static double FineSearch(const float* R, int M, double& best);

    std::vector<float> frames;
    std::vector<float> onset;
    int n = Rows;
    int start = Rows - 1;
};

// How clearly the estimate's beat stands out of the onset curve: its
// strength per harmonic as a multiple of the onsets' mean autocorrelation
// over the lags the onsets reach. 0 for silence and steady tones, about 4
// for noise-like input, 10 and more for a steady beat.
double TempoClarity(const CTempoDetector& detector, const TempoEstimate& estimate);

// How strong the estimate's beat is against the sound's level: the mean of
// the largest onsets, as many as the estimate puts beats into the history,
// as a multiple of the mean level over the history (a frame's total). 0 for
// silence and steady tones, about 0.1 to 0.25 for chords and noise, 2 and
// more for drums, 8 and more for a click track.
double TempoOnsetStrength(const CTempoDetector& detector, const TempoEstimate& estimate);
