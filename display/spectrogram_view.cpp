#include "display/spectrogram_view.h"

#include <algorithm>
#include <cmath>

#include "analysis/wave_capture.h"
#include "display/colour_map.h"
#include "display/pixel_ops.h"
#include "dsp/frequency_axis.h"
#include "settings/shared_settings.h"

namespace {

constexpr double GridFrequencies[12] = {65.406, 69.296, 73.416, 77.782,  82.407,  87.307,
                                        92.499, 98.0,   103.826, 110.0, 116.541, 123.471};
constexpr uint32_t GridColour = 0xC0C0C0;
constexpr uint32_t SharpGridColour = 0x505050;
constexpr uint32_t LinearGridColour = 0x808080;
constexpr int LogPoints = 8192;
constexpr int RowPoints = 2048;

// Rows per octave of the logarithmic axis from 32 Hz to MaxFreq.
double RowsPerOctave(int h)
{
    return h / (Log2(SharedSettings.MaxFreq) - 5);
}

// Rows above the bottom; beyond the surface's h rows it is not drawn.
int GridRow(double frequency, double rowsPerOctave, int h)
{
    return ClampedIndex((Log2(frequency) - 5) * rowsPerOctave, -1, h + 1);
}

} // namespace

int ColumnsPerSpectrum()
{
    const int m = SharedSettings.Oversample;
    return m >= 2 && m <= 8 ? m : 1;
}

namespace {

// The values of a column: stored ones, or column j of m blended between the
// newest and the previous spectrum (computed per sample as it is read).
struct StoredValues {
    const float* values;
    float operator()(int k) const { return values[k]; }
};

struct BlendedValues {
    const float* newest;
    const float* previous;
    double t;
    float operator()(int k) const { return static_cast<float>(Interpolate(newest[k], previous[k], t)); }
};

template <typename Values>
float SampleClamped(const Values& values, int count, int index)
{
    return values(std::clamp(index, 0, count - 1));
}

template <typename Values>
void DrawColumnOf(BITMAP* bm, const Values& values, int count, int x, int y0, int n, const ColumnBand* band)
{
    for (int i = 0; i < n; ++i) {
        if (band && band->lo < i && i < band->hi)
            continue;
        const int y = y0 + n - i;
        const double p = static_cast<double>(i * count) / n;
        int k = static_cast<int>(p);
        if (k >= count - 2)
            k = count - 3;
        const double v = Interpolate(values(k), values(k + 1), p - k);
        if (!SharedSettings.PolesOnly) {
            if (v >= -1e-8)
                PutPixel(bm, x, y, LookupColour(static_cast<float>(v)));
            continue;
        }
        const double pUp = static_cast<double>((i + 1) * count) / n;
        const int kUp = static_cast<int>(pUp);
        const double above =
            Interpolate(SampleClamped(values, count, kUp + 1), SampleClamped(values, count, kUp + 2), pUp - kUp);
        const double pDown = static_cast<double>((i - 1) * count) / n;
        const int kDown = static_cast<int>(pDown);
        const double below =
            Interpolate(SampleClamped(values, count, kDown - 1), SampleClamped(values, count, kDown), pDown - kDown);
        if (v >= above && v >= below) {
            const uint32_t colour = LookupColour(static_cast<float>(v));
            PutPixel(bm, x, y, colour);
            PutPixel(bm, x, y + 1, colour);
            PutPixel(bm, x, y - 1, colour);
        }
    }
}

template <typename Values>
void DrawCQColumnOf(BITMAP* bm, const Values& values, int count, int x, int y0, int n)
{
    for (int i = 0; i < n; ++i) {
        const int y = y0 + n - i;
        const double p = static_cast<double>(i * count) / n;
        int k = static_cast<int>(p);
        if (values(std::min(k, count - 1)) < 0)
            continue;
        if (k >= count - 2)
            k = count - 3;
        const double v = Interpolate(values(k), values(k + 1), p - k);
        PutPixel(bm, x, y, LookupColour(static_cast<float>(v)));
    }
}

BlendedValues Blended(const std::vector<float>& newest, const std::vector<float>& previous, int j, int m)
{
    return {newest.data(), previous.data(), static_cast<double>(j) / m};
}

} // namespace

void DrawColumn(BITMAP* bm, const float* values, int count, int x, int y0, int n, const ColumnBand* band)
{
    DrawColumnOf(bm, StoredValues{values}, count, x, y0, n, band);
}

void DrawCQColumn(BITMAP* bm, const float* values, int count, int x, int y0, int n)
{
    DrawCQColumnOf(bm, StoredValues{values}, count, x, y0, n);
}

CSpectrogramView::CSpectrogramView()
    : previousLog(LogPoints, 0.0f),
      previousLinear(LinearBins, 0.0f),
      previousWrap(RowPoints, 0.0f),
      previousCQ(RowPoints, 0.0f)
{
}

SurfaceChange CSpectrogramView::Draw(CDC& target, BITMAP* bm, const CWaveCapture& engine, int displayMode,
                                     const RECT& rc, float bandLo, float bandHi)
{
    const int w = RectWidth(rc);
    const int h = RectHeight(rc);
    surface = &target;
    SurfaceChange change;
    if (displayMode == 1)
        DrawConstantQ(bm, engine, w, h, bandLo, bandHi, change);
    else if (SharedSettings.LogScale)
        DrawLogarithmic(bm, engine, w, h, change);
    else
        DrawLinear(bm, engine, w, h, change);
    surface = nullptr;
    return change;
}

// As ShiftColumnsLeft(bm, w / 2, w, c), by moving where the surface's rows
// start: a few columns copied instead of half the picture. The left half,
// black while these views show, takes the c columns that crossed into it
// and is made black there again.
void ScrollRightHalf(CDC& surface, BITMAP* bm, int w, int c, SurfaceChange& change)
{
    change.Moved(w / 2, w, -c);
    if (w != bm->bmWidth || w - w / 2 - c <= 0) {
        ShiftColumnsLeft(bm, w / 2, w, c);
        return;
    }
    surface.ScrollLeft(c);
    *bm = surface.Pixels();
    for (int y = 0; y < bm->bmHeight; ++y)
        FillRowSpan(bm, w / 2 - c, w / 2, y, 0x000000);
}

void CSpectrogramView::DrawConstantQ(BITMAP* bm, const CWaveCapture& engine, int w, int h, float bandLo,
                                     float bandHi, SurfaceChange& change)
{
    const int m = ColumnsPerSpectrum();
    const float fmax = SharedSettings.MaxFreq;
    const float* spec = engine.GetSpectrum(0);
    const float* cq = engine.GetCQSpectrum();
    std::vector<float>& wrap = wrapRows;
    wrap.resize(RowPoints);
    if (SharedSettings.WrapUnderCQ)
        LogResampleTable(spec, wrap.data(), RowPoints, 32.0f, fmax);
    std::vector<float>& rows = cqRows;
    rows.resize(RowPoints);
    CQToRows(cq, rows.data(), RowPoints, 32.0f, fmax);

    double signal = 0.0;
    for (int k = 10; k < 2000; ++k)
        signal += rows[k] > 0 ? rows[k] : 0.0f;
    const bool skip = signal < SharedSettings.SignalThre || SharedSettings.Pause;
    if (!skip)
        ScrollRightHalf(*surface, bm, w, 2 * m, change);

    if (SharedSettings.WrapUnderCQ) {
        change.Drawn(w - 6 * m - 9, w - 4 * m - 9);
        const ColumnBand band{ClampedIndex(h * static_cast<double>(bandLo), -1, h + 1),
                              ClampedIndex(h * static_cast<double>(bandHi), -1, h + 1)};
        for (int pass = 0; pass < 2; ++pass) {
            if (pass == 1)
                LogResampleTable(spec + CWaveCapture::SecondSpectrum, wrap.data(), RowPoints, 32.0f, fmax);
            for (int j = 0; j < m; ++j)
                DrawColumnOf(bm, Blended(wrap, previousWrap, j, m), RowPoints, w - (5 - pass) * m - j - 10, 0, h,
                             &band);
            previousWrap = wrap;
        }
    }

    change.Drawn(w - 2 * m - 9, w - 9);
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1)
            CQToRows(cq + ConstantQBins, rows.data(), RowPoints, 32.0f, fmax);
        for (int j = 0; j < m; ++j)
            DrawCQColumnOf(bm, Blended(rows, previousCQ, j, m), RowPoints, w - (1 - pass) * m - j - 10, 0, h);
        previousCQ = rows;
    }

    if (SharedSettings.Grid) {
        change.Drawn(w - 9 - 20 * m, w - 9);
        const double R = RowsPerOctave(h);
        for (int k = 0; k < 8; ++k) {
            const int row = GridRow(GridFrequencies[0] * std::pow(2.0, k), R, h);
            for (int i = 0; i < 20 * m; ++i)
                PutPixel(bm, w - 10 - i, h - row, GridColour);
        }
    }
}

void CSpectrogramView::DrawLogarithmic(BITMAP* bm, const CWaveCapture& engine, int w, int h, SurfaceChange& change)
{
    const int m = ColumnsPerSpectrum();
    const float fmax = SharedSettings.MaxFreq;
    const bool stereo = SharedSettings.Stereo != 0;
    const int split = stereo ? (3 * w) / 4 - 10 : w - 10;
    current.resize(LogPoints);
    for (int c = 0; c < (stereo ? 2 : 1); ++c) {
        const float* spec = engine.GetSpectrum(c);
        const int x0 = c == 0 ? split : split + 1;
        const int d = c == 0 ? 1 : -1;
        LogResample(spec, current.data(), LogPoints, 32.0f, fmax);

        double signal = 0.0;
        for (int k = 0; k < LinearBins; ++k)
            signal += spec[k];
        const bool skip = signal < SharedSettings.SignalThre || SharedSettings.Pause;
        if (!skip) {
            if (!stereo) {
                ScrollRightHalf(*surface, bm, w, 2 * m, change);
            } else if (c == 0) {
                ShiftColumnsLeft(bm, w / 2, split + 1, 2 * m);
                change.Moved(w / 2, split + 1, -2 * m);
            } else {
                ShiftColumnsRight(bm, split, w - 10, 2 * m);
                change.Moved(split, w - 10, 2 * m);
            }
        }
        // The spectra's columns and the grid's ten, from x0 away from the split.
        const int reach = std::max(2 * m, 10);
        change.Drawn(c == 0 ? x0 - reach + 1 : x0, c == 0 ? x0 + 1 : x0 + reach);

        for (int pass = 0; pass < 2; ++pass) {
            if (pass == 1)
                LogResample(spec + CWaveCapture::SecondSpectrum, current.data(), LogPoints, 32.0f, fmax);
            for (int j = 0; j < m; ++j)
                DrawColumnOf(bm, Blended(current, previousLog, j, m), LogPoints, x0 - (1 - pass) * m * d - j * d, 0,
                             h, nullptr);
            previousLog = current;
        }

        const double R = RowsPerOctave(h);
        if (SharedSettings.Grid) {
            for (int k = 0; k < 8; ++k) {
                const int row = GridRow(GridFrequencies[0] * std::pow(2.0, k), R, h);
                for (int i = 0; i < 10; ++i)
                    PutPixel(bm, x0 - i * d, h - row, GridColour);
            }
        }
        if (SharedSettings.Grid2) {
            for (int n = 1; n < 12; ++n) {
                const bool sharp = n == 1 || n == 3 || n == 6 || n == 8 || n == 10;
                for (int k = 0; k < 8; ++k) {
                    const int row = GridRow(GridFrequencies[n] * std::pow(2.0, k), R, h);
                    PutPixel(bm, x0, h - row, sharp ? SharpGridColour : GridColour);
                }
            }
        }
    }
}

// The linear view's gain per bin; rebuilt only when its inputs change.
void CSpectrogramView::UpdateEmphasis()
{
    const bool on = SharedSettings.HighEmphasis;
    const int32_t windowSize = SharedSettings.WindowSize;
    if (!emphasis.empty() && on == emphasisOn && windowSize == emphasisWindowSize)
        return;
    emphasis.resize(2 * LinearBins);
    const float size = static_cast<float>(windowSize);
    for (int i = 0; i < 2 * LinearBins; ++i) {
        const float f = static_cast<float>(i * 48000) / size;
        emphasis[i] = on && f > 60 ? static_cast<float>(1 + f * static_cast<double>(0.001923076924867928f)) : 1.0f;
    }
    emphasisOn = on;
    emphasisWindowSize = windowSize;
}

void CSpectrogramView::DrawLinear(BITMAP* bm, const CWaveCapture& engine, int w, int h, SurfaceChange& change)
{
    const int m = ColumnsPerSpectrum();
    if (!SharedSettings.Pause)
        ScrollRightHalf(*surface, bm, w, 2 * m, change);
    change.Drawn(std::min(w - 2 * m - 9, w - 11), w - 9);
    const double q = SharedSettings.MaxFreq * static_cast<double>(0.04266666620969772f) / h;

    UpdateEmphasis();

    const float* spec = engine.GetSpectrum(0);
    for (int pass = 0; pass < 2; ++pass) {
        current.assign(spec + pass * CWaveCapture::SecondSpectrum,
                       spec + pass * CWaveCapture::SecondSpectrum + LinearBins);
        for (int j = 0; j < m; ++j) {
            const BlendedValues values = Blended(current, previousLinear, j, m);
            const int x = w - (1 - pass) * m - j - 10;
            for (int r = 0; r < h; ++r) {
                // A MaxFreq above the grid's range reads the last bin.
                const int b = ClampedIndex(r * q, 0, LinearBins - 1);
                PutPixel(bm, x, h - r, LookupColour(values(b) * emphasis[b]));
            }
        }
        previousLinear = current;
    }

    if (SharedSettings.Grid) {
        for (int k = 0; k < 5; ++k) {
            const int row = ClampedIndex(GridFrequencies[0] * std::pow(2.0, k) * BinsPerHz / q, -1, h + 1);
            PutPixel(bm, w - 11, h - row, LinearGridColour);
            PutPixel(bm, w - 10, h - row, LinearGridColour);
        }
    }
}
