#include "display/bands_view.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "analysis/measurement.h"
#include "display/raster.h"
#include "dsp/frequency_axis.h"
#include "settings/measure_settings.h"
#include "settings/shared_settings.h"

namespace {

constexpr uint32_t White = RGB(255, 255, 255);
constexpr uint32_t Black = RGB(0, 0, 0);
constexpr uint32_t Grey = RGB(192, 192, 192);
constexpr uint32_t BarColour = RGB(64, 64, 192);
constexpr uint32_t PeakColour = RGB(208, 0, 0);
// The plot inside the view, as the 1-D spectrum's.
constexpr int Left = 50, Right = 20, Top = 50, Bottom = 40;
// A label's width, about, in the dialogs' font.
constexpr int CharWidth = 7;

// The row of `db` in a plot from Top to h - Bottom.
int RowOf(double db, int h)
{
    const double t = (CBandsView::TopDb - db) / (CBandsView::TopDb - CBandsView::BottomDb);
    return Top + ClampedIndex(t * (h - Top - Bottom), 0, h - Top - Bottom);
}

void DrawScale(CRaster& raster, int w, int h)
{
    for (int db = 0; db >= -100; db -= 10) {
        const int y = RowOf(db, h);
        raster.DrawLine(Left, y, w - Right, y, Grey);
        char label[16];
        std::snprintf(label, sizeof label, "%d", db);
        raster.AddText(10, y - 6, label);
    }
    raster.DrawLine(Left, Top, w - Right, Top, Black);
    raster.DrawLine(w - Right, Top, w - Right, h - Bottom, Black);
    raster.DrawLine(Left, h - Bottom, w - Right, h - Bottom, Black);
    raster.DrawLine(Left, Top, Left, h - Bottom, Black);
}

// Column span of band k's bar of n in a view w wide.
void BarSpan(int k, int n, int w, int& x0, int& x1)
{
    const double slot = static_cast<double>(w - Left - Right) / n;
    x0 = Left + static_cast<int>(k * slot + slot * 0.15) + 1;
    x1 = std::max(x0 + 1, Left + static_cast<int>((k + 1) * slot - slot * 0.15));
}

// The background of the plot at row y: the frame, a grid line or white.
uint32_t PlotBackground(int y, int h)
{
    if (y == Top)
        return Black;
    for (int db = -10; db >= -100; db -= 10)
        if (RowOf(db, h) == y)
            return Grey;
    return White;
}

// Rows [from, to) of columns [x0, x1): the bar's colour below `bar`, the
// background above, the peak mark's two rows at `peak`.
void PaintRows(CRaster& raster, int x0, int x1, int from, int to, int bar, int peak, int h)
{
    for (int y = from; y < to; ++y) {
        uint32_t colour = y >= bar ? BarColour : PlotBackground(y, h);
        if (peak >= 0 && (y == peak || y == peak + 1))
            colour = PeakColour;
        raster.FillRowSpan(x0, x1, y, colour);
    }
}

void DrawLabels(CRaster& raster, int w, int h, const CMeasurement& m)
{
    const int n = static_cast<int>(m.Bands().size());
    int labelEnd = 0;
    for (int k = 0; k < n; ++k) {
        int x0 = 0, x1 = 0;
        BarSpan(k, n, w, x0, x1);
        const std::string& label = m.Bands()[static_cast<size_t>(k)].nominal;
        const int labelX = (x0 + x1) / 2 - static_cast<int>(label.size()) * CharWidth / 2;
        if (labelX >= labelEnd) {
            raster.AddText(labelX, h - Bottom + 2, label.c_str());
            labelEnd = labelX + static_cast<int>(label.size() + 1) * CharWidth;
        }
    }
}

} // namespace

std::string CBandsView::Legend()
{
    const MeasureSettings& s = SharedMeasureSettings;
    static const char* const Weightings[] = {"Z", "A", "C"};
    static const char* const Averages[] = {"", ", average 0.125 s", ", average 1 s", ", average 4 s",
                                           ", linear average"};
    static const char* const Peaks[] = {"", ", peak hold", ", peak falling 10 dB/s"};
    char text[128];
    std::snprintf(text, sizeof text, "1/%d octave, %s, %s%s%s", s.BandsPerOctave,
                  Weightings[std::clamp(s.Weighting, 0, 2)], s.TimeWeighting == 0 ? "Fast" : "Slow",
                  Averages[std::clamp(s.Averaging, 0, 4)], Peaks[std::clamp(s.PeakHold, 0, 2)]);
    return text;
}

SurfaceChange CBandsView::Draw(CDC* dc, const RECT& rc, const CMeasurement& measurement)
{
    if (SharedSettings.Pause)
        return SurfaceChange();
    const int w = RectWidth(rc);
    const int h = RectHeight(rc);
    Take(measurement, h);
    if (drawn && w == width && h == height && Legend() == legend && newBarTop.size() == barTop.size())
        return DrawChanges(dc, rc);
    return DrawWhole(dc, rc, measurement);
}

// Where the newest levels put each bar's top and peak mark.
void CBandsView::Take(const CMeasurement& m, int h)
{
    const size_t n = m.Bands().size();
    newBarTop.assign(n, h - Bottom);
    newPeakRow.assign(n, -1);
    for (size_t k = 0; k < n && k < m.BandLevels().size(); ++k)
        newBarTop[k] = RowOf(m.BandLevels()[k], h);
    for (size_t k = 0; k < n && k < m.BandPeaks().size(); ++k)
        newPeakRow[k] = RowOf(m.BandPeaks()[k], h);
}

SurfaceChange CBandsView::DrawWhole(CDC* dc, const RECT& rc, const CMeasurement& measurement)
{
    dc->SetBkColor(White);
    CRaster raster;
    raster.Begin(dc, &rc);
    width = RectWidth(rc);
    height = RectHeight(rc);
    legend = Legend();
    for (int y = 0; y < height; ++y)
        raster.FillRowSpan(0, width, y, White);
    raster.AddText(width - Right - static_cast<int>(legend.size()) * CharWidth, 6, legend.c_str());
    raster.AddText(10, 26, "dB re full scale: a full-scale sine reads 0.0 dB");
    drawn = width > Left + Right && height > Top + Bottom;
    if (!drawn)
        return SurfaceChange::Whole();
    DrawScale(raster, width, height);
    const int n = static_cast<int>(newBarTop.size());
    for (int k = 0; k < n; ++k) {
        int x0 = 0, x1 = 0;
        BarSpan(k, n, width, x0, x1);
        PaintRows(raster, x0, x1, Top + 1, height - Bottom, newBarTop[k], newPeakRow[k], height);
    }
    DrawLabels(raster, width, height, measurement);
    barTop = newBarTop;
    peakRow = newPeakRow;
    return SurfaceChange::Whole();
}

// Only the rows where a bar's top or a peak mark moved.
SurfaceChange CBandsView::DrawChanges(CDC* dc, const RECT& rc)
{
    CRaster raster;
    raster.Begin(dc, &rc);
    SurfaceChange change;
    const int n = static_cast<int>(newBarTop.size());
    for (int k = 0; k < n; ++k) {
        if (newBarTop[k] == barTop[k] && newPeakRow[k] == peakRow[k])
            continue;
        int x0 = 0, x1 = 0;
        BarSpan(k, n, width, x0, x1);
        int from = std::min(newBarTop[k], barTop[k]);
        int to = std::max(newBarTop[k], barTop[k]);
        for (const int peak : {peakRow[k], newPeakRow[k]})
            if (peak >= 0) {
                from = std::min(from, peak);
                to = std::max(to, peak + 2);
            }
        from = std::max(from, Top + 1);
        to = std::min(to, height - Bottom);
        PaintRows(raster, x0, x1, from, to, newBarTop[k], newPeakRow[k], height);
        change.DrawnRect({x0, from, x1, to});
    }
    barTop = newBarTop;
    peakRow = newPeakRow;
    return change;
}

int CBandsView::BandAt(int x, int width, int bands)
{
    if (bands <= 0 || width <= Left + Right || x < Left || x >= width - Right)
        return -1;
    const double slot = static_cast<double>(width - Left - Right) / bands;
    return std::min(bands - 1, static_cast<int>((x - Left) / slot));
}

std::string CBandsView::Readout(int x, int width, const CMeasurement& m, double offset, const char* unit)
{
    const int k = BandAt(x, width, static_cast<int>(m.Bands().size()));
    if (k < 0 || k >= static_cast<int>(m.BandLevels().size()))
        return "";
    char text[64];
    const double level = m.BandLevels()[static_cast<size_t>(k)];
    if (level <= -200.0)
        std::snprintf(text, sizeof text, "%s Hz: \u2212\u221e %s", m.Bands()[static_cast<size_t>(k)].nominal.c_str(), unit);
    else
        std::snprintf(text, sizeof text, "%s Hz: %.1f %s", m.Bands()[static_cast<size_t>(k)].nominal.c_str(),
                      level + offset, unit);
    return text;
}
