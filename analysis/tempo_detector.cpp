#include "analysis/tempo_detector.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>

#include "dsp/frequency_axis.h"

CTempoDetector::CTempoDetector()
    : frames(static_cast<size_t>(Rows) * Bins, 0.0f), onset(static_cast<size_t>(Rows), 0.0f)
{
}

void CTempoDetector::PushFrame(const float* frame)
{
    std::memmove(frames.data(), frames.data() + Bins, sizeof(float) * Bins * (Rows - 1));
    std::memmove(onset.data(), onset.data() + 1, sizeof(float) * (Rows - 1));
    float* last = frames.data() + static_cast<size_t>(Bins) * (Rows - 1);
    const float* previous = last - Bins;
    std::memcpy(last, frame, sizeof(float) * Bins);

    double d = 0.0;
    for (int k = 0; k < Bins; ++k)
        d += static_cast<double>(last[k]) - previous[k];
    onset[Rows - 1] = d > 0.0 ? static_cast<float>(d * 0.00014450866729021072) : 0.0f;
    if (start > 0)
        --start;
}

void CTempoDetector::Autocorrelate(float* R) const
{
    const double s = 1.0 / (n - start);
    R[0] = 0.0f;
    for (int j = 1; j < Lags; ++j) {
        double sum = 0.0;
        for (int k = start; k <= n - 1 - j; ++k)
            sum += static_cast<double>(onset[k]) * onset[k + j];
        R[j] = static_cast<float>(s * sum);
    }
}

void CTempoDetector::ReinforceSubLags(float* R)
{
    float K[512];
    std::memcpy(K, R, sizeof K);
    auto at = [&K](double p) {
        const int i = static_cast<int>(p);
        return Interpolate(K[i], K[i + 1], p - i);
    };
    for (int m = 4; m < 300; ++m) {
        const double reinforcement = at(m * 0.25) + at(2 * m * 0.25) + at(3 * m * 0.25);
        R[m] = static_cast<float>(R[m] + 0.5 * reinforcement);
    }
}

int CTempoDetector::CoarseSearch(const float* R)
{
    double best = -9999.9;
    int bestIndex = 1;
    for (int m = 26; m <= 93; ++m) {
        const double value = Interpolate(1.0, 0.1, m * 0.001766826923076923) * (static_cast<double>(R[m]) + R[m + 1]);
        if (value > best) {
            best = value;
            bestIndex = m;
        }
    }
    return bestIndex;
}

double CTempoDetector::FineSearch(const float* R, int M, double& best)
{
    double bestLag = M;
    best = 0.0;
    const float stepSize = 0.05f;
    for (float L = M - 2.0f; L < M + 2.0f; L += stepSize) {
        double sum = 0.0;
        for (int h = 1; h <= 5; ++h) {
            const double g = h * static_cast<double>(L);
            if (!(g + 1 < Lags))
                continue;
            const int i = static_cast<int>(g);
            sum += Interpolate(R[i], R[static_cast<int>(g + 1)], g - i);
        }
        if (sum > best) {
            best = sum;
            bestLag = L;
        }
    }
    return bestLag;
}

TempoEstimate CTempoDetector::Estimate() const
{
    float R[Lags];
    Autocorrelate(R);
    ReinforceSubLags(R);
    const int M = CoarseSearch(R);
    double strength = 0.0;
    const double bestLag = FineSearch(R, M, strength);
    const double bpm = static_cast<int>(11520000.0 / (bestLag * 2048) + 0.35);
    return {bpm, 5625.0 / bpm, strength};
}

double TempoClarity(const CTempoDetector& detector, const TempoEstimate& estimate)
{
    // The onsets' autocorrelation as the detector computes it (before the
    // reinforcement), averaged over the lags the onsets reach.
    const float* onsets = detector.Onsets();
    const int first = detector.Start();
    const int count = CTempoDetector::Rows - first;
    const int lags = std::min(count, CTempoDetector::Lags);
    if (lags < 2)
        return 0.0;
    double total = 0.0;
    for (int j = 1; j < lags; ++j)
        for (int k = first; k < CTempoDetector::Rows - j; ++k)
            total += static_cast<double>(onsets[k]) * onsets[k + j];
    const double mean = total / count / (lags - 1);
    return mean > 0.0 ? estimate.strength / 5 / mean : 0.0;
}

double TempoOnsetStrength(const CTempoDetector& detector, const TempoEstimate& estimate)
{
    constexpr int Rows = CTempoDetector::Rows;
    constexpr double OnsetScale = 0.00014450866729021072;  // PushFrame's
    const float* frames = detector.Frames();
    double level = 0.0;
    for (int k = 0; k < Rows * CTempoDetector::Bins; ++k)
        level += frames[k];
    level /= Rows;
    if (!(level > 0.0))
        return 0.0;
    // Beats of the estimate in the history: 235 frames at 23.4375 a second.
    const int beats = std::clamp(static_cast<int>(std::lround(Rows * estimate.bpm / 1406.25)), 1, Rows);
    std::vector<float> largest(detector.Onsets(), detector.Onsets() + Rows);
    std::partial_sort(largest.begin(), largest.begin() + beats, largest.end(), std::greater<float>());
    double rises = 0.0;
    for (int i = 0; i < beats; ++i)
        rises += largest[i];
    return rises / beats / OnsetScale / level;
}
