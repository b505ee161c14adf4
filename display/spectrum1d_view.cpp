#include "display/spectrum1d_view.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "display/harmonic_analysis.h"
#include "display/raster.h"
#include "dsp/approximate_log.h"
#include "dsp/frequency_axis.h"
#include "settings/measure_settings.h"
#include "settings/shared_settings.h"

namespace {

constexpr uint32_t White = RGB(255, 255, 255);
constexpr uint32_t Black = RGB(0, 0, 0);
constexpr uint32_t Grey = RGB(128, 128, 128);
constexpr uint32_t CurveColour = RGB(64, 64, 192);
constexpr uint32_t PeakColour = RGB(208, 0, 0);
constexpr int Points = 8192;
// The rows of the texts drawn every block, above the plot.
constexpr int TextBand = 50;
// Columns a rectangle of the changed rows spans: wide enough that the
// window paints a few rectangles, not a hundred (each costs Qt a pass).
constexpr int SpanColumns = 64;

// What the traces are when averaging or peak hold is on.
std::string MeasurementLegend(bool averaged, bool peaks)
{
    static const char* const Averages[] = {"", "average 0.125 s", "average 1 s", "average 4 s", "linear average"};
    std::string legend;
    if (averaged)
        legend = std::string(Averages[std::clamp(SharedMeasureSettings.Averaging, 0, 4)]) + " (not the live spectrum)";
    if (peaks)
        legend += std::string(averaged ? ", " : "") +
                  (SharedMeasureSettings.PeakHold == 2 ? "peaks falling 10 dB/s in red" : "held peaks in red");
    return legend;
}

// The row, from the plot's top, of a trace point of level v:
// 50 - 20 log10(v + 1e-12) s, truncated. The approximate logarithm settles
// it unless the point lies within a millionth of a row of a boundary
// (its error moves the point by less than 1e-8 rows); there std::log10 does.
int TraceRow(double v, double s)
{
    const double x = v + 1e-12;
    const double approximate = 50 - 20 * (ApproximateLn(x) * 0.43429448190325182) * s;
    if (TruncatesAlike(approximate, 1e-6 * (1 + std::fabs(s))))
        return ClampedIndex(approximate, -FarOffAxis, FarOffAxis);
    const double d = 20 * std::log10(x);
    return ClampedIndex(50 - d * s, -FarOffAxis, FarOffAxis);
}

} // namespace

SurfaceChange CSpectrum1DView::Draw(CDC* dc, const RECT& rc, const float* E, const float* averaged,
                                    const float* peaks)
{
    const SurfaceChange change = Update(dc, rc, E, averaged, peaks);
    ShowOnSurface(dc);
    return change;
}

SurfaceChange CSpectrum1DView::Update(CDC* dc, const RECT& rc, const float* E, const float* averaged,
                                      const float* peaks)
{
    if (SharedSettings.Pause)
        return {};
    dc->SetBkColor(White);
    const int W = RectWidth(rc);
    const int H = RectHeight(rc);
    const BackgroundKey wanted{W, H, SharedSettings.Grid, SharedSettings.MaxFreq};
    const BITMAP bits = dc->Pixels();
    const bool whole = background.size() != static_cast<size_t>(bits.bmWidth) * bits.bmHeight || !(key == wanted);
    if (whole) {
        key = wanted;
        DrawBackground(dc, rc);
    }
    lastTop.swap(newTop);
    lastBottom.swap(newBottom);
    newTop.assign(static_cast<size_t>(std::max(W + 1, 1)), INT_MAX);
    newBottom.assign(newTop.size(), INT_MIN);

    const int PW = W - 70;
    const int PH = H - 90;
    const double s = PH * 0.011109876680368847;
    resampled.resize(Points);
    LogResample(averaged ? averaged : E, resampled.data(), Points, 32.0f, SharedSettings.MaxFreq);
    for (float v : resampled)
        peakHold = std::max(peakHold, static_cast<double>(v));
    if (peaks) {
        resampledPeaks.resize(Points);
        LogResample(peaks, resampledPeaks.data(), Points, 32.0f, SharedSettings.MaxFreq);
        for (float v : resampledPeaks)
            peakHold = std::max(peakHold, static_cast<double>(v));
    }
    const double scale = 1 / peakHold;
    for (float& v : resampled)
        v = static_cast<float>(v * scale);
    traceRows = PW > 0 ? TraceRows(resampled, PW, PH, s) : std::vector<int>();
    peakRows.clear();
    if (peaks && PW > 0) {
        for (float& v : resampledPeaks)
            v = static_cast<float>(v * scale);
        peakRows = TraceRows(resampledPeaks, PW, PH, s);
    }
    lastResult = HarmonicAnalysisText(E);
    legend = averaged || peaks ? MeasurementLegend(averaged != nullptr, peaks != nullptr) : "";
    frameRect = rc;
    ++frame;
    return whole ? SurfaceChange::Whole() : ChangedRects(rc);
}

void CSpectrum1DView::ShowOnSurface(CDC* dc)
{
    if (frame == 0 || background.empty() || (surfaceShown.valid && surfaceShown.frame == frame))
        return;
    Show(dc, surfaceShown);
}

bool CSpectrum1DView::ShowNext(CDC* dc, Shown& shown)
{
    if (background.empty() || !shown.valid || shown.frame != frame - 1 || shown.background != backgroundsDrawn)
        return false;
    Show(dc, shown);
    return true;
}

void CSpectrum1DView::Show(CDC* dc, Shown& shown) const
{
    dc->SetBkColor(White);
    if (shown.valid && shown.background == backgroundsDrawn)
        RestoreBackground(dc, shown);
    else
        CopyBackground(dc);
    CRaster raster;
    raster.Begin(dc, &frameRect);
    DrawTrace(raster, traceRows, CurveColour);
    DrawTrace(raster, peakRows, PeakColour);
    raster.AddText(4, 4, lastResult.c_str());
    if (!legend.empty())
        raster.AddText(RectWidth(frameRect) - 20 - static_cast<int>(legend.size()) * 7, 20, legend.c_str());
    shown.valid = true;
    shown.frame = frame;
    shown.background = backgroundsDrawn;
    shown.top = newTop;
    shown.bottom = newBottom;
}

// The frame, the grid and their labels, and the line of text the design
// puts at the top left: everything but the traces and the texts that follow
// them. No trace reaches the texts (they lie above row 50, below the plot or
// left of it), so drawing them first leaves the same picture.
void CSpectrum1DView::DrawBackground(CDC* dc, const RECT& rc)
{
    {
        CRaster raster;
        raster.Begin(dc, &rc);
        const int W = RectWidth(rc);
        const int H = RectHeight(rc);
        raster.DrawLine(0, 0, W, 0, Black);
        raster.DrawLine(W, 0, W, H, Black);
        raster.DrawLine(0, H, W, H, Black);
        raster.DrawLine(0, 0, 0, H, Black);
        for (int y = 1; y < H; ++y)
            raster.FillRowSpan(1, W, y, White);
        raster.AddText(10, 10, "this is text.");

        raster.DrawLine(50, 50, W - 20, 50, Black);
        raster.DrawLine(W - 20, 50, W - 20, H - 40, Black);
        raster.DrawLine(50, H - 40, W - 20, H - 40, Black);
        raster.DrawLine(50, 50, 50, H - 40, Black);
        if (SharedSettings.Grid)
            DrawGrid(raster, W, H, (H - 90) * 0.011109876680368847);
    }
    const BITMAP bits = dc->Pixels();
    background.resize(static_cast<size_t>(bits.bmWidth) * bits.bmHeight);
    for (int y = 0; y < bits.bmHeight; ++y)
        std::memcpy(&background[static_cast<size_t>(y) * bits.bmWidth],
                    static_cast<const char*>(bits.bmBits) + static_cast<ptrdiff_t>(y) * bits.bmWidthBytes,
                    sizeof(uint32_t) * bits.bmWidth);
    ++backgroundsDrawn;
    surfaceShown = Shown();
    surfaceShown.valid = true;
    surfaceShown.frame = -1;
    surfaceShown.background = backgroundsDrawn;
}

void CSpectrum1DView::RestoreBackground(CDC* dc, const Shown& shown) const
{
    const RECT& rc = frameRect;
    const BITMAP bits = dc->Pixels();
    auto row = [&](int y) {
        return reinterpret_cast<uint32_t*>(static_cast<char*>(bits.bmBits) + static_cast<ptrdiff_t>(y) * bits.bmWidthBytes);
    };
    for (int y = std::max(rc.top, 0); y < std::min(rc.top + TextBand, bits.bmHeight); ++y)
        std::memcpy(row(y), &background[static_cast<size_t>(y) * bits.bmWidth], sizeof(uint32_t) * bits.bmWidth);
    for (size_t i = 0; i < shown.top.size(); ++i) {
        const int x = rc.left + static_cast<int>(i);
        if (x < 0 || x >= bits.bmWidth)
            continue;
        const int top = std::max(rc.top + shown.top[i], 0);
        const int bottom = std::min(rc.top + shown.bottom[i], bits.bmHeight - 1);
        for (int y = top; y <= bottom; ++y)
            row(y)[x] = background[static_cast<size_t>(y) * bits.bmWidth + x];
    }
}

void CSpectrum1DView::CopyBackground(CDC* dc) const
{
    const BITMAP bits = dc->Pixels();
    for (int y = 0; y < bits.bmHeight; ++y)
        std::memcpy(static_cast<char*>(bits.bmBits) + static_cast<ptrdiff_t>(y) * bits.bmWidthBytes,
                    &background[static_cast<size_t>(y) * bits.bmWidth], sizeof(uint32_t) * bits.bmWidth);
}

SurfaceChange CSpectrum1DView::ChangedRects(const RECT& rc) const
{
    SurfaceChange change;
    const int W = RectWidth(rc);
    const int H = RectHeight(rc);
    change.DrawnRect({rc.left, rc.top, rc.right, rc.top + std::min(TextBand, H)});
    for (int x0 = 0; x0 < static_cast<int>(newTop.size()); x0 += SpanColumns) {
        int top = INT_MAX;
        int bottom = INT_MIN;
        for (int x = x0; x < std::min(x0 + SpanColumns, static_cast<int>(newTop.size())); ++x) {
            top = std::min(top, newTop[x]);
            bottom = std::max(bottom, newBottom[x]);
            if (static_cast<size_t>(x) < lastTop.size()) {
                top = std::min(top, lastTop[x]);
                bottom = std::max(bottom, lastBottom[x]);
            }
        }
        top = std::max(top, 0);
        bottom = std::min(bottom, H - 1);
        if (top <= bottom)
            change.DrawnRect({rc.left + x0, rc.top + top, rc.left + std::min(x0 + SpanColumns, W), rc.top + bottom + 1});
    }
    return change;
}

void CSpectrum1DView::DrawGrid(CRaster& raster, int W, int H, double s)
{
    const int PW = W - 70;
    const double span = Log2(SharedSettings.MaxFreq) - Log2(32.0);
    double f = 62.5;
    for (int line = 0; line < 10; ++line, f *= 2) {
        char label[32];
        std::snprintf(label, sizeof label, "%.0f", std::round(f));
        const int off = ClampedIndex((Log2(f) - Log2(32.0)) * PW / span, -FarOffAxis, FarOffAxis);
        raster.DrawLine(50 + off, 50, 50 + off, H - 40, Grey);
        raster.AddText(off + 40, H - 38, label);
        if (line == 8)
            raster.AddText(off + 40, H - 18, "[Hz]");
    }
    for (int g = 0; g >= -110; g -= 10) {
        char label[32];
        if (g == 0)
            std::snprintf(label, sizeof label, "0[dB]");
        else
            std::snprintf(label, sizeof label, "%.0f", static_cast<double>(g));
        const int off = static_cast<int>(-g * s);
        raster.DrawLine(50, 50 + off, W - 20, 50 + off, Grey);
        raster.AddText(10, off + 46, label);
    }
}

std::vector<int> CSpectrum1DView::TraceRows(const std::vector<float>& values, int PW, int PH, double s)
{
    std::vector<int> rows(static_cast<size_t>(PW));
    int previousX = 50;
    int previousY = 50;
    for (int k = 0; k < PW; ++k) {
        int y = TraceRow(values[static_cast<size_t>(k) * Points / static_cast<size_t>(PW)], s);
        if (y > PH)
            y = PH;
        y += 50;
        rows[static_cast<size_t>(k)] = y;
        // The rows the segment may touch, in every column it may touch.
        for (int x = std::max(previousX, 0); x <= 50 + k && x < static_cast<int>(newTop.size()); ++x) {
            newTop[x] = std::min({newTop[x], previousY, y});
            newBottom[x] = std::max({newBottom[x], previousY, y});
        }
        previousX = 50 + k;
        previousY = y;
    }
    return rows;
}

void CSpectrum1DView::DrawTrace(CRaster& raster, const std::vector<int>& rows, uint32_t colour)
{
    int previousY = 50;
    for (size_t k = 0; k < rows.size(); ++k) {
        raster.DrawLine(50 + static_cast<int>(k) - (k > 0), previousY, 50 + static_cast<int>(k), rows[k], colour);
        previousY = rows[k];
    }
}
