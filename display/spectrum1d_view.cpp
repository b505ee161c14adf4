#include "display/spectrum1d_view.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "display/harmonic_analysis.h"
#include "display/raster.h"
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

} // namespace

void CSpectrum1DView::Draw(CDC* dc, const RECT& rc, const float* E, const float* averaged, const float* peaks)
{
    if (SharedSettings.Pause)
        return;
    dc->SetBkColor(White);
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

    const int PW = W - 70;
    const int PH = H - 90;
    const double s = PH * 0.011109876680368847;
    if (SharedSettings.Grid)
        DrawGrid(raster, W, H, s);

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
    if (PW > 0)
        DrawCurve(raster, resampled, PW, PH, s, CurveColour);
    if (peaks && PW > 0) {
        for (float& v : resampledPeaks)
            v = static_cast<float>(v * scale);
        DrawCurve(raster, resampledPeaks, PW, PH, s, PeakColour);
    }

    lastResult = HarmonicAnalysisText(E);
    raster.AddText(4, 4, lastResult.c_str());
    if (averaged || peaks) {
        const std::string legend = MeasurementLegend(averaged != nullptr, peaks != nullptr);
        raster.AddText(W - 20 - static_cast<int>(legend.size()) * 7, 20, legend.c_str());
    }
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

void CSpectrum1DView::DrawCurve(CRaster& raster, const std::vector<float>& values, int PW, int PH, double s,
                                uint32_t colour)
{
    int previousX = 50;
    int previousY = 50;
    for (int k = 0; k < PW; ++k) {
        const double v = values[static_cast<size_t>(k) * Points / static_cast<size_t>(PW)];
        const double d = 20 * std::log10(v + 1e-12);
        int y = ClampedIndex(50 - d * s, -FarOffAxis, FarOffAxis);
        if (y > PH)
            y = PH;
        y += 50;
        raster.DrawLine(previousX, previousY, 50 + k, y, colour);
        previousX = 50 + k;
        previousY = y;
    }
}
