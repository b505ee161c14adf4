#include "display/envelope_views.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

#include "analysis/wave_capture.h"
#include "display/pixel_ops.h"
#include "display/spectrogram_view.h"
#include "dsp/approximate_log.h"
#include "dsp/frequency_axis.h"
#include "dsp/linear_predictor.h"
#include "settings/shared_settings.h"

namespace {

constexpr int EnvelopePoints = 4096;
constexpr int AxisPoints = 8192;
constexpr int NewestSamples = CWaveCapture::HistoryLength - EnvelopePoints;  // 32768
constexpr int NewestBuffer = CWaveCapture::HistoryLength - CWaveCapture::FramesPerBuffer;  // 34816

constexpr uint32_t MarkerColour = RGB(192, 192, 192);
constexpr uint32_t SharpMarkerColour = RGB(80, 80, 80);
constexpr uint32_t Background = RGB(255, 255, 255);
constexpr uint32_t LevelAxisColour = RGB(128, 128, 128);
constexpr uint32_t SpectrumTraceColour = RGB(64, 64, 64);
constexpr uint32_t EnvelopeTraceColour = RGB(0, 255, 0);
constexpr uint32_t WaveformColour = RGB(128, 32, 32);
constexpr int LevelAxisX = 20;
constexpr int WaveformCentre = 128;

// One octave from C, in Hz.
const double NoteTable[12] = {65.406, 69.296, 73.416, 77.782, 82.407, 87.307,
                              92.499, 98.0,   103.826, 110.0,  116.541, 123.471};

bool IsSharp(int note)
{
    return note == 1 || note == 3 || note == 6 || note == 8 || note == 10;
}

// Rows above the bottom of frequency f on the logarithmic axis of height H.
int AxisRowsAbove(double f, int H)
{
    const double D = Log2(SharedSettings.MaxFreq) - Log2(32.0);
    return ClampedIndex((Log2(f) - Log2(32.0)) * H / D, -1, H + 1);
}

// x clamped to 0..W before the conversion (a level may be any float).
int ClampedLevel(double x, int W)
{
    if (!(x > 0))
        return 0;
    return x >= W ? W : static_cast<int>(x);
}

// The column of level v on the logarithmic axis: (ln(v + 0.1) - ln 0.1) c,
// truncated. The approximate logarithm settles it unless the level lies
// within a millionth of a column of a boundary (its error moves the level
// by less than 1e-9 columns); there std::log does.
int LogLevelColumn(double v, double contrast, int W)
{
    static const double LnTenth = std::log(0.1);
    const double approximate = (ApproximateLn(v + 0.1) - LnTenth) * contrast;
    if (TruncatesAlike(approximate, 1e-6 * (1 + std::fabs(contrast))))
        return ClampedLevel(std::trunc(approximate), W);
    return ClampedLevel(std::trunc((std::log(v + 0.1) - std::log(0.1)) * contrast), W);
}

using DrawnColumns = CSpectrumEnvelopeView::DrawnColumns;

// Each row k from the bottom joins the previous row's level to its own,
// from the axis at x = 20; row H - k, so k = 0 lies below the surface.
void DrawTrace(BITMAP* bm, const float* R, int W, int H, uint32_t colour, DrawnColumns& spans)
{
    const double contrast = SharedSettings.ContrastHigh;
    int prev = 0;
    for (int k = 0; k < H; ++k) {
        const double p = static_cast<double>(k) * AxisPoints / H;
        int i = static_cast<int>(p);
        if (i >= AxisPoints - 2)
            i = AxisPoints - 3;
        const double v = Interpolate(R[i], R[i + 1], p - i);
        const int x = SharedSettings.LogScale ? LogLevelColumn(v, contrast, W)
                                              : ClampedLevel(std::trunc(contrast * v), W);
        for (int j = std::min(prev, x); j <= std::max(prev, x); ++j)
            PutPixel(bm, LevelAxisX + j, H - k, colour);
        spans.Add(H - k, LevelAxisX + std::min(prev, x), LevelAxisX + std::max(prev, x));
        prev = x;
    }
}

// The newest buffer's first sample, moved back to a rising zero crossing
// within 1024 samples where there is one.
int TriggerSample(const int16_t* history)
{
    int s = NewestBuffer;
    for (int n = 0; n < 1024; ++n) {
        if (history[s] <= 0 && history[s + 1] >= 0)
            break;
        --s;
    }
    return s;
}

void DrawWaveform(BITMAP* bm, const int16_t* history, int H, DrawnColumns& spans)
{
    const int s = TriggerSample(history);
    int prev = 0;
    for (int r = 0; r < H; ++r) {
        const int v = history[s + r * 2048 / H];
        const int u = v * 256 / 32768;
        for (int j = std::min(prev, u); j <= std::max(prev, u); ++j)
            PutPixel(bm, WaveformCentre - j, r, WaveformColour);
        spans.Add(r, WaveformCentre - std::max(prev, u), WaveformCentre - std::min(prev, u));
        prev = u;
    }
}

void DrawNoteMarkers(BITMAP* bm, int W, int H)
{
    if (SharedSettings.Grid) {
        double f = NoteTable[0];
        for (int octave = 0; octave < 8; ++octave, f *= 2) {
            const int A = AxisRowsAbove(f, H);
            PutPixel(bm, W - 10, H - A, MarkerColour);
            PutPixel(bm, W - 11, H - A, MarkerColour);
        }
    }
    if (SharedSettings.Grid2) {
        for (int note = 1; note < 12; ++note) {
            double f = NoteTable[note];
            for (int octave = 0; octave < 8; ++octave, f *= 2)
                PutPixel(bm, W - 10, H - AxisRowsAbove(f, H), IsSharp(note) ? SharpMarkerColour : MarkerColour);
        }
    }
}

} // namespace

void EnvelopeAnalysis(const CWaveCapture& engine, bool hannWindow, float* envelope)
{
    CLinearPredictor predictor;
    predictor.SetOrder(12, 4);
    double coefficients[13] = {1.0};
    std::vector<float> x(EnvelopePoints);
    const int16_t* history = engine.GetSampleHistory(0);
    for (int i = 0; i < EnvelopePoints; ++i)
        x[i] = static_cast<float>(history[NewestSamples + i] * (1.0 / 32768));
    PreEmphasis(x.data(), EnvelopePoints);
    if (hannWindow)
        HannWindow(x.data(), EnvelopePoints);
    // A block too weak to model leaves the coefficients, and so a flat
    // envelope.
    predictor.Analyze(x.data(), EnvelopePoints, coefficients);
    std::fill(envelope, envelope + EnvelopePoints, 0.0f);
    predictor.Response(coefficients, envelope, EnvelopePoints, 0.5f);
}

SurfaceChange DrawLPCSpectrogram(CDC& surface, BITMAP* bm, const CWaveCapture& engine, const RECT& rc)
{
    const int W = RectWidth(rc);
    const int H = RectHeight(rc);
    std::vector<float> envelope(EnvelopePoints);
    EnvelopeAnalysis(engine, true, envelope.data());
    SurfaceChange change;
    if (!SharedSettings.LogScale)
        return change;
    std::vector<float> R(AxisPoints);
    LogResample(envelope.data(), R.data(), AxisPoints, 32.0f, SharedSettings.MaxFreq);
    const int n = ColumnsPerSpectrum();
    if (!SharedSettings.Pause)
        ScrollRightHalf(surface, bm, bm->bmWidth, 2 * n, change);
    // The new columns and the note markers' two.
    change.Drawn(std::min(W - 9 - 2 * n, W - 11), W - 9);
    for (int i = 0; i < 2 * n; ++i)
        DrawColumn(bm, R.data(), AxisPoints, W - 10 - i, 0, H, nullptr);
    DrawNoteMarkers(bm, W, H);
    return change;
}

void CSpectrumEnvelopeView::DrawnColumns::Reset(int rows)
{
    left.assign(static_cast<size_t>(std::max(rows, 0)), INT_MAX);
    right.assign(left.size(), INT_MIN);
}

void CSpectrumEnvelopeView::DrawnColumns::Add(int y, int x0, int x1)
{
    if (y < 0 || y >= static_cast<int>(left.size()))
        return;
    left[y] = std::min(left[y], x0);
    right[y] = std::max(right[y], x1);
}

SurfaceChange CSpectrumEnvelopeView::Draw(BITMAP* bm, const CWaveCapture& engine, const RECT& rc)
{
    if (SharedSettings.Pause)
        return {};
    const int W = RectWidth(rc);
    const int H = RectHeight(rc);
    const bool whole = last[0].left.size() != static_cast<size_t>(std::max(H, 0)) || W != width || H != height;
    if (whole) {
        for (int y = 0; y < H; ++y)
            FillRowSpan(bm, 0, W, y, Background);
        for (int y = 0; y < H; ++y)
            PutPixel(bm, LevelAxisX, y, LevelAxisColour);
        for (DrawnColumns& trace : last)
            trace.Reset(H);
        width = W;
        height = H;
    } else {
        // The ground where the last block drew.
        for (const DrawnColumns& trace : last)
            for (int y = 0; y < H; ++y) {
                if (trace.left[y] > trace.right[y])
                    continue;
                FillRowSpan(bm, trace.left[y], trace.right[y] + 1, y, Background);
                if (trace.left[y] <= LevelAxisX && LevelAxisX <= trace.right[y])
                    PutPixel(bm, LevelAxisX, y, LevelAxisColour);
            }
    }
    for (DrawnColumns& trace : drawn)
        trace.Reset(H);

    std::vector<float> R(AxisPoints);
    LogResample(engine.GetSpectrum(0) + CWaveCapture::SecondSpectrum, R.data(), AxisPoints, 32.0f,
                SharedSettings.MaxFreq);
    DrawTrace(bm, R.data(), W, H, SpectrumTraceColour, drawn[0]);
    std::vector<float> envelope(EnvelopePoints);
    EnvelopeAnalysis(engine, false, envelope.data());
    LogResample(envelope.data(), R.data(), AxisPoints, 32.0f, SharedSettings.MaxFreq);
    DrawTrace(bm, R.data(), W, H, EnvelopeTraceColour, drawn[1]);

    // Over the traces, in every block: the same pixels each time.
    if (SharedSettings.Grid) {
        double f = NoteTable[0];
        for (int octave = 0; octave < 8; ++octave, f *= 2)
            FillRowSpan(bm, LevelAxisX, W, H - AxisRowsAbove(f, H), MarkerColour);
    }
    DrawWaveform(bm, engine.GetSampleHistory(0), H, drawn[2]);

    SurfaceChange change = whole ? SurfaceChange::Whole() : SurfaceChange();
    if (!whole) {
        // Rows a few at a time, over the columns drawn then and now.
        constexpr int Rows = 16;
        for (int y0 = 0; y0 < H; y0 += Rows) {
            int left = INT_MAX;
            int right = INT_MIN;
            for (int t = 0; t < Traces; ++t)
                for (int y = y0; y < std::min(y0 + Rows, H); ++y) {
                    left = std::min({left, last[t].left[y], drawn[t].left[y]});
                    right = std::max({right, last[t].right[y], drawn[t].right[y]});
                }
            left = std::max(left, 0);
            right = std::min(right, W - 1);
            if (left <= right)
                change.DrawnRect({rc.left + left, rc.top + y0, rc.left + right + 1, rc.top + std::min(y0 + Rows, H)});
        }
    }
    last.swap(drawn);
    return change;
}
