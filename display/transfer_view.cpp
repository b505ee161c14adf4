#include "display/transfer_view.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

#include "display/raster.h"
#include "settings/measure_settings.h"

namespace {

constexpr uint32_t White = RGB(255, 255, 255);
constexpr uint32_t Black = RGB(0, 0, 0);
constexpr uint32_t Grey = RGB(208, 208, 208);
constexpr uint32_t MagnitudeColour = RGB(0, 64, 192), PhaseColour = RGB(0, 144, 64), CoherenceColour = RGB(192, 0, 0),
                   ImpulseColour = RGB(96, 0, 128);
constexpr int Left = 50, Right = 20, Top = 50, Bottom = 40, Gap = 18, LabelRow = 18;
// A label's width, about, in the dialogs' font.
constexpr int CharWidth = 7;
constexpr double MagnitudeSpan = 60.0;

// One plot: its rows and the values at its top and bottom.
struct Plot {
    int top, bottom;
    double high, low;
    int Row(double value) const
    {
        const double t = std::clamp((high - value) / (high - low), 0.0, 1.0);
        return top + static_cast<int>(std::lround(t * (bottom - top)));
    }
};

// A colour as drawn faint: a quarter of it over white.
uint32_t Faint(uint32_t colour)
{
    auto channel = [&](int shift) { return (((colour >> shift) & 0xff) + 3u * 255u) / 4u; };
    return (channel(16) << 16) | (channel(8) << 8) | channel(0);
}

int ColumnOf(double f, int w)
{
    const double decades = std::log10(CTransferView::HighHz / CTransferView::LowHz);
    return Left + static_cast<int>(std::lround(std::log10(f / CTransferView::LowHz) / decades * (w - Left - Right)));
}

double MedianMagnitude(const std::vector<TransferPoint>& curve)
{
    std::vector<double> finite;
    for (const TransferPoint& p : curve)
        if (std::isfinite(p.magnitudeDb))
            finite.push_back(p.magnitudeDb);
    if (finite.empty())
        return 0.0;
    std::nth_element(finite.begin(), finite.begin() + static_cast<long>(finite.size() / 2), finite.end());
    return finite[finite.size() / 2];
}

void DrawPlotFrame(CRaster& raster, const Plot& plot, int w, const std::vector<double>& grid, const char* format,
                   bool frequencyGrid = true)
{
    for (const double value : grid) {
        const int y = plot.Row(value);
        raster.DrawLine(Left, y, w - Right, y, Grey);
        char label[16];
        std::snprintf(label, sizeof label, format, value == 0.0 ? 0.0 : value);
        if (label[0] == '+' && value == 0.0)
            std::memmove(label, label + 1, std::strlen(label));
        raster.AddText(6, y - 6, label);
    }
    for (const double f : {50.0, 100.0, 200.0, 500.0, 1000.0, 2000.0, 5000.0, 10000.0})
        if (frequencyGrid)
            raster.DrawLine(ColumnOf(f, w), plot.top, ColumnOf(f, w), plot.bottom, Grey);
    raster.DrawLine(Left, plot.top, w - Right, plot.top, Black);
    raster.DrawLine(Left, plot.bottom, w - Right + 1, plot.bottom, Black);
    raster.DrawLine(Left, plot.top, Left, plot.bottom, Black);
    raster.DrawLine(w - Right, plot.top, w - Right, plot.bottom, Black);
}

// A trace through the points, faint where their coherence is below the
// threshold; `wraps` leaves out the lines across a jump of more than half
// the plot (the phase wrapping from +180 to -180).
template <typename Value>
void DrawTrace(CRaster& raster, const Plot& plot, int w, const std::vector<TransferPoint>& curve, Value value,
               uint32_t colour, double threshold, bool wraps)
{
    int lastX = -1, lastY = 0;
    double lastValue = 0.0;
    for (const TransferPoint& p : curve) {
        const double v = value(p);
        if (!std::isfinite(v)) {
            lastX = -1;
            continue;
        }
        const int x = ColumnOf(p.frequency, w), y = plot.Row(v);
        const uint32_t c = p.coherence < threshold ? Faint(colour) : colour;
        if (lastX < 0 || (wraps && std::fabs(v - lastValue) > (plot.high - plot.low) / 2))
            raster.PutPixel(x, y, c);
        else if (x == lastX)
            raster.DrawLine(x, std::min(y, lastY), x, std::max(y, lastY) + 1, c);
        else
            raster.DrawLine(lastX, lastY, x + 1, y, c);
        lastX = x, lastY = y, lastValue = v;
    }
}

// The column of `ms` on the impulse response's time axis.
int TimeColumn(double ms, int w)
{
    const double t = (ms - CTransferView::ImpulseFromMs) / (CTransferView::ImpulseToMs - CTransferView::ImpulseFromMs);
    return Left + static_cast<int>(std::lround(t * (w - Left - Right)));
}

// The impulse response from ImpulseFromMs to ImpulseToMs, scaled to its
// largest magnitude: per column the span of the samples it covers, joined
// to the next column's.
void DrawImpulse(CRaster& raster, const Plot& plot, int w, const std::vector<double>& impulse, double rate)
{
    for (double ms = 0.0; ms < CTransferView::ImpulseToMs; ms += 10.0)
        raster.DrawLine(TimeColumn(ms, w), plot.top, TimeColumn(ms, w), plot.bottom, Grey);
    if (impulse.empty())
        return;
    const long size = static_cast<long>(impulse.size());
    double largest = 0.0;
    for (const double v : impulse)
        largest = std::max(largest, std::fabs(v));
    if (largest <= 0.0)
        return;
    const int columns = w - Left - Right;
    int lastLow = -1, lastHigh = -1;
    for (int c = 0; c < columns; ++c) {
        const double span = CTransferView::ImpulseToMs - CTransferView::ImpulseFromMs;
        const double from = (CTransferView::ImpulseFromMs + span * c / columns) / 1000.0 * rate;
        const double to = (CTransferView::ImpulseFromMs + span * (c + 1) / columns) / 1000.0 * rate;
        double low = 1.0, high = -1.0;
        for (long n = static_cast<long>(std::floor(from)); n <= static_cast<long>(std::floor(to)); ++n) {
            const double v = impulse[static_cast<size_t>(((n % size) + size) % size)] / largest;
            low = std::min(low, v);
            high = std::max(high, v);
        }
        int top = plot.Row(high), bottom = plot.Row(low);
        if (lastLow >= 0) {  // joined to the column before
            top = std::min(top, lastLow);
            bottom = std::max(bottom, lastHigh);
        }
        raster.DrawLine(Left + c, top, Left + c, bottom + 1, ImpulseColour);
        lastLow = plot.Row(low);
        lastHigh = plot.Row(high);
    }
}

} // namespace

SurfaceChange CTransferView::Draw(CDC* dc, const RECT& rc, const std::vector<TransferPoint>& curve,
                                  const std::vector<double>& impulse, double rate, const std::string& legend,
                                  double threshold)
{
    dc->SetBkColor(White);
    CRaster raster;
    raster.Begin(dc, &rc);
    const int w = RectWidth(rc), h = RectHeight(rc);
    for (int y = 0; y < h; ++y)
        raster.FillRowSpan(0, w, y, White);
    // The legend's lines.
    for (size_t start = 0, line = 0; start <= legend.size(); ++line) {
        const size_t end = std::min(legend.find('\n', start), legend.size());
        raster.AddText(10, 4 + 16 * static_cast<int>(line), legend.substr(start, end - start).c_str());
        start = end + 1;
    }
    const int height = h - Top - Bottom - 3 * Gap - LabelRow;
    if (w <= Left + Right + 10 || height < 80)
        return SurfaceChange::Whole();
    const double centre = 10.0 * std::round(MedianMagnitude(curve) / 10.0);
    const Plot magnitude{Top, Top + height * 2 / 5, centre + MagnitudeSpan / 2, centre - MagnitudeSpan / 2};
    const Plot phase{magnitude.bottom + Gap, magnitude.bottom + Gap + height * 22 / 100, 180.0, -180.0};
    const Plot coherence{phase.bottom + Gap, phase.bottom + Gap + height * 14 / 100, 1.0, 0.0};
    const Plot response{coherence.bottom + Gap + LabelRow, h - Bottom, 1.0, -1.0};
    std::vector<double> dbGrid;
    for (double db = magnitude.high; db >= magnitude.low; db -= 10.0)
        dbGrid.push_back(db);
    DrawPlotFrame(raster, magnitude, w, dbGrid, "%+.0f dB");
    DrawPlotFrame(raster, phase, w, {180.0, 90.0, 0.0, -90.0, -180.0}, "%.0f\xc2\xb0");
    DrawPlotFrame(raster, coherence, w, {1.0, 0.5, 0.0}, "%.1f");
    DrawPlotFrame(raster, response, w, {1.0, 0.0, -1.0}, "%.0f", false);
    // Each plot's name above its right end, where no trace goes under it.
    for (const auto& [plot, name] : {std::pair<const Plot*, const char*>{&magnitude, "Magnitude"},
                                     {&phase, "Phase"}, {&coherence, "Coherence"}, {&response, "Impulse response"}})
        raster.AddText(w - Right - CharWidth * static_cast<int>(std::strlen(name)), plot->top - 15, name);
    DrawTrace(raster, magnitude, w, curve, [](const TransferPoint& p) { return p.magnitudeDb; }, MagnitudeColour,
              threshold, false);
    DrawTrace(raster, phase, w, curve, [](const TransferPoint& p) { return p.phaseDegrees; }, PhaseColour, threshold,
              true);
    DrawTrace(raster, coherence, w, curve, [](const TransferPoint& p) { return p.coherence; }, CoherenceColour,
              threshold, false);
    DrawImpulse(raster, response, w, impulse, rate);
    static const char* const Labels[] = {"20 Hz", "50", "100", "200", "500", "1k", "2k", "5k", "10k", "20k"};
    static const double Frequencies[] = {20, 50, 100, 200, 500, 1000, 2000, 5000, 10000, 20000};
    for (int i = 0; i < 10; ++i)
        raster.AddText(ColumnOf(Frequencies[i], w) - 8, coherence.bottom + 3, Labels[i]);
    for (int ms = 0; ms < ImpulseToMs; ms += 10) {
        char label[16];
        std::snprintf(label, sizeof label, "%d", ms);
        raster.AddText(TimeColumn(ms, w) - 6, h - Bottom + 4, label);
    }
    raster.AddText(w - Right - 24, h - Bottom + 20, "ms");
    return SurfaceChange::Whole();
}

double CTransferView::FrequencyAt(int x, int width)
{
    if (width <= Left + Right || x < Left || x > width - Right)
        return 0.0;
    return LowHz * std::pow(HighHz / LowHz, static_cast<double>(x - Left) / (width - Left - Right));
}

std::string CTransferView::Readout(int x, int width, const std::vector<TransferPoint>& curve)
{
    const double f = FrequencyAt(x, width);
    if (f <= 0.0 || curve.empty())
        return "";
    const auto nearest = std::min_element(curve.begin(), curve.end(), [f](const TransferPoint& a, const TransferPoint& b) {
        return std::fabs(std::log(a.frequency / f)) < std::fabs(std::log(b.frequency / f));
    });
    char text[96];
    const double hz = nearest->frequency;
    if (hz >= 1000.0)
        std::snprintf(text, sizeof text, "%.2f kHz: %+.1f dB, %.0f\xc2\xb0, coherence %.2f", hz / 1000.0,
                      nearest->magnitudeDb, nearest->phaseDegrees, nearest->coherence);
    else
        std::snprintf(text, sizeof text, "%.1f Hz: %+.1f dB, %.0f\xc2\xb0, coherence %.2f", hz, nearest->magnitudeDb,
                      nearest->phaseDegrees, nearest->coherence);
    return text;
}

std::string CTransferView::DelayText(double ms)
{
    // The speed of sound in air at 20 degrees Celsius.
    constexpr double MetresPerSecond = 343.0;
    char text[80];
    std::snprintf(text, sizeof text, "delay %.2f ms (%.2f m at %.0f m/s, 20 \xc2\xb0" "C)", ms,
                  ms / 1000.0 * MetresPerSecond, MetresPerSecond);
    return text;
}

std::string CTransferView::Legend(const CTransferMeasurement& m, int smoothing, double coherenceThreshold)
{
    static const char* const Sources[] = {"left input", "right input", "generator"};
    static const char* const Averages[] = {"average 1 s", "average 0.125 s", "average 1 s", "average 4 s",
                                           "linear average"};
    const int averaging = std::clamp(SharedMeasureSettings.Averaging, 0, 4);
    char smoothed[32];
    if (smoothing > 0)
        std::snprintf(smoothed, sizeof smoothed, "1/%d octave", smoothing);
    else
        std::snprintf(smoothed, sizeof smoothed, "not smoothed");
    char text[256];
    std::snprintf(text, sizeof text, "Reference: %s, measurement: %s, %s, %s, %ld segments\n%s, faint below coherence %.1f",
                  Sources[static_cast<int>(m.Reference())], Sources[static_cast<int>(m.Measured())], smoothed,
                  Averages[averaging], m.Transfer().Averages(),
                  DelayText(m.Delay() / m.Transfer().SampleRate() * 1000.0).c_str(), coherenceThreshold);
    return text;
}
