#include "display/speech_view.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <vector>

#include "analysis/wave_capture.h"
#include "display/pixel_ops.h"
#include "display/spectrogram_view.h"
#include "dsp/frequency_axis.h"
#include "settings/shared_settings.h"

namespace {

constexpr int AxisPoints = 8192;
constexpr int Harmonics = 32;
constexpr int BarHeight = 100;
constexpr double NoScore = -999.9;

constexpr uint32_t Green = RGB(0, 255, 0);
constexpr uint32_t Cyan = RGB(0, 255, 255);
constexpr uint32_t GridGrey = RGB(192, 192, 192);
constexpr uint32_t TickGrey = RGB(128, 128, 128);
constexpr uint32_t White = RGB(255, 255, 255);

// The best whole spacing d: harmonics n = 1..14 each scored by the largest
// value within n bins of n * d, up to bin `cut`.
int CoarseSpacing(const float* spectrum, int count, int lo, int hi, int cut)
{
    double best = NoScore;
    int bestSpacing = -1;
    for (int d = lo; d < hi; ++d) {
        double score = 0.0;
        for (int n = 1; n <= 14; ++n) {
            const int p = n * d;
            if (p + 1 >= count || p > cut)
                break;
            double peak = NoScore;
            for (int i = p - n; i <= p + n; ++i)
                peak = std::max(peak, static_cast<double>(spectrum[i]));
            score += peak;
        }
        if (score > best) {
            best = score;
            bestSpacing = d;
        }
    }
    return bestSpacing;
}

// The best spacing within 2 bins of d, in steps of 0.05, scored by single
// values at trunc(k * x).
double FineSpacing(const float* spectrum, int count, int d)
{
    double best = NoScore;
    double spacing = 0.0;
    for (double x = d - 2; x <= d + 2; x += 0.05) {
        if (x <= 0)
            continue;
        double score = 0.0;
        for (int k = 1; k <= 14; ++k) {
            if (k * x + 1 >= count)
                break;
            score += spectrum[static_cast<int>(k * x)];
        }
        if (score > best) {
            best = score;
            spacing = x;
        }
    }
    return spacing;
}

// Calls f(c) for the centre bin of each harmonic whose neighbourhood fits.
template <typename Visit>
void ForEachHarmonic(double S, int half, int count, Visit visit)
{
    for (int k = 1; k <= Harmonics && k * S + half < count; ++k)
        visit(static_cast<int>(k * S));
}

// Draws `values` into the s columns left of `right` (x = right - k), each
// with its level bar underneath.
void DrawColumns(BITMAP* bm, const float* values, int right, int s, int h, double reference, uint32_t colour)
{
    for (int k = 0; k < s; ++k) {
        const int x = right - k;
        DrawColumn(bm, values, AxisPoints, x, 0, h, nullptr);
        DrawLevelBar(bm, values[0], x, h, reference, 10.0, BarHeight, colour, true, false);
    }
}

double LogOf(double v)
{
    return std::log(v + 1e-8);
}

// The offset from the top of a bar at which `level` lies, 0..height.
int BarOffset(double level, double reference, double top, int height)
{
    const double r = 1 / reference;
    const double pos = std::trunc(height - height * LogOf(level * r) / LogOf(top * r));
    if (!(pos < height))
        return height;
    return pos < 0 ? 0 : static_cast<int>(pos);
}

} // namespace

double EstimateHarmonicSpacing(const float* spectrum, int count, double* confidence)
{
    const int lo = 90 * count / 24000;
    const int hi = 580 * count / 24000;
    const int cut = 4096 * 6000 / 48000;
    const int d = CoarseSpacing(spectrum, count, lo, hi, cut);
    const double S = FineSpacing(spectrum, count, d);
    if (confidence) {
        double P = 0.0, M = 0.0;
        for (int k = 1; k <= 5; ++k) {
            P += spectrum[static_cast<int>(k * S)];
            M += spectrum[static_cast<int>((k + 0.5) * S)];
        }
        *confidence = P > 0.1 ? std::min(1.0, 0.1 * std::fabs(P + 1) / (M + 1)) : 0.0;
    }
    return S;
}

void SplitHarmonics(const float* spectrum, int count, float* comb, float* residual)
{
    double confidence = 0.0;
    const double S = EstimateHarmonicSpacing(spectrum, count, &confidence);
    const int half = static_cast<int>(S / 4);
    const bool harmonic = confidence >= 0.2;
    std::vector<float> D(static_cast<size_t>(2 * count), 0.0f);
    if (comb && !harmonic)
        comb[0] = 0.0f;
    if (comb && harmonic) {
        double sum = 0.0;
        ForEachHarmonic(S, half, count, [&](int c) {
            std::copy(spectrum + c - half, spectrum + c + half + 1, D.begin() + (c - half));
            sum += spectrum[c];
        });
        LogResample(D.data(), comb, 2 * count, 32.0f, SharedSettings.MaxFreq);
        comb[0] = static_cast<float>(sum / Harmonics);
    }
    if (residual) {
        std::copy(spectrum, spectrum + 2 * count, D.begin());
        if (harmonic)
            ForEachHarmonic(S, half, count,
                            [&](int c) { std::fill(D.begin() + (c - half), D.begin() + (c + half + 1), 0.0f); });
        LogResample(D.data(), residual, 2 * count, 32.0f, SharedSettings.MaxFreq);
        double sum = 0.0;
        for (int i = 0; i < count; ++i)
            sum += D[i];
        residual[0] = static_cast<float>(sum / count);
    }
}

int DrawLevelBar(BITMAP* bm, double level, int x, int y, double reference, double top, int height, uint32_t colour,
                 bool ticks, bool dotOnly)
{
    const int pos = BarOffset(level, reference, top, height);
    if (ticks) {
        PutPixel(bm, x, y, TickGrey);
        PutPixel(bm, x, y + height, TickGrey);
        for (const double v : {1.0, 10.0, 100.0}) {
            const int t = BarOffset(v, reference, top, height);
            if (t > 0 && t < height)
                PutPixel(bm, x, y + t, TickGrey);
        }
    }
    if (dotOnly) {
        PutPixel(bm, x, y + pos, colour);
        return pos;
    }
    for (int j = height; j >= pos; --j)
        PutPixel(bm, x, y + j, colour);
    return pos;
}

SurfaceChange DrawSpeechView(BITMAP* bm, const CWaveCapture& engine, const RECT& rc)
{
    SurfaceChange change;
    if (!SharedSettings.LogScale)
        return change;
    const int w = RectWidth(rc);
    const int h = RectHeight(rc) - BarHeight;
    const float* A = engine.GetSpectrum(0);
    const float* B = A + CWaveCapture::SecondSpectrum;
    float sum = 0.0f;
    for (int i = 0; i < LinearBins; ++i)
        sum += A[i];
    const bool hold = SharedSettings.Pause || sum < SharedSettings.SignalThre;
    const int s = ColumnsPerSpectrum();
    // Seen only when the first frame of this call has no harmonic
    // structure: its comb column then shows what the buffer holds.
    std::vector<float> work(AxisPoints, 0.0f);

    const int combEnd = 3 * w / 4;
    SplitHarmonics(A, LinearBins, work.data(), nullptr);
    if (!hold) {
        ShiftColumnsLeft(bm, w / 2, combEnd, 2 * s);
        change.Moved(w / 2, combEnd, -2 * s);
    }
    // Each strip's new columns, with the marks and grid ticks in its last two.
    change.Drawn(std::min(combEnd - 2 * s - 9, combEnd - 11), combEnd - 9);
    DrawColumns(bm, work.data(), combEnd - s - 10, s, h, 0.1, Green);
    SplitHarmonics(B, LinearBins, work.data(), nullptr);
    DrawColumns(bm, work.data(), combEnd - 10, s, h, 0.1, Green);
    if (s == 1) {
        PutPixel(bm, combEnd - 11, h, White);
        PutPixel(bm, combEnd - 10, h, White);
    }

    SplitHarmonics(A, LinearBins, nullptr, work.data());
    if (!hold) {
        ShiftColumnsLeft(bm, combEnd, w, 2 * s);
        change.Moved(combEnd, w, -2 * s);
    }
    change.Drawn(std::min(w - 2 * s - 9, w - 11), w - 9);
    DrawColumns(bm, work.data(), w - s - 10, s, h, 0.01, Cyan);
    SplitHarmonics(B, LinearBins, nullptr, work.data());
    DrawColumns(bm, work.data(), w - 10, s, h, 0.01, Cyan);

    if (SharedSettings.Grid) {
        double f = 65.406;
        for (int i = 0; i < 8; ++i, f *= 2) {
            const int y =
                h - ClampedIndex((Log2(f) - Log2(32.0)) * h / (Log2(SharedSettings.MaxFreq) - Log2(32.0)), -1, h + 1);
            for (const int x : {combEnd - 10, combEnd - 11, w - 10, w - 11})
                PutPixel(bm, x, y, GridGrey);
        }
    }
    return change;
}
