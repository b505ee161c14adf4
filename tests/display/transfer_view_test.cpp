// The transfer view's picture of a made-up curve: a step of 20 dB moves the
// magnitude trace by two of its 10 dB grid lines, points below the
// coherence threshold are drawn faint, the phase's wrap draws no line
// across the plot, the impulse response shows its two arrivals, and the
// readout names the point under the pointer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "display/transfer_view.h"
#include "tests/display/memory_dc.h"

namespace {

constexpr int W = 800, H = 600;
constexpr uint32_t Magnitude = RGB(0, 64, 192), Phase = RGB(0, 144, 64), Impulse = RGB(96, 0, 128);
constexpr uint32_t Grid = RGB(208, 208, 208);

int ColumnOf(double f)
{
    return int(std::lround(50 + std::log10(f / 20) / 3 * (W - 70)));  // the plots' left and right margins
}

// The column of `ms` on the impulse response's axis, -5 to 95 ms.
int TimeColumn(double ms)
{
    return int(std::lround(50 + (ms + 5) / 100 * (W - 70)));
}

// The rows of column x in [from, to) drawn in `colour`.
std::vector<int> RowsIn(const MemoryDC& dc, int x, uint32_t colour, int from = 0, int to = H)
{
    std::vector<int> rows;
    for (int y = from; y < to; ++y)
        if (dc.At(x, y) == colour)
            rows.push_back(y);
    return rows;
}

TEST(TransferView, DrawsTheCurveFaintWhereIncoherentAndReadsThePoint)
{
    std::vector<TransferPoint> curve;
    for (double f = 20; f <= 20000; f *= 1.01) {
        TransferPoint p;
        p.frequency = f;
        p.magnitudeDb = f < 1000 ? 0.0 : 20.0;
        // The phase turns once a decade, wrapping at 180 degrees.
        p.phaseDegrees = std::remainder(360.0 * std::log10(f), 360.0);
        p.coherence = f < 3000 ? 1.0 : 0.2;
        curve.push_back(p);
    }
    // A unit impulse at the delay and half of one, inverted, 20 ms later.
    std::vector<double> impulse(16384, 0.0);
    impulse[0] = 1.0;
    impulse[960] = -0.5;
    MemoryDC dc(W, H);
    CTransferView view;
    view.Draw(&dc, RECT{0, 0, W, H}, curve, impulse, 48000.0, "legend", 0.5);
    const std::vector<int> low = RowsIn(dc, ColumnOf(200), Magnitude), high = RowsIn(dc, ColumnOf(2000), Magnitude);
    const std::vector<int> grid = RowsIn(dc, ColumnOf(300), Grid, 50, low.front());
    ASSERT_FALSE(high.empty());
    ASSERT_GE(grid.size(), 2u);
    EXPECT_NEAR(low.front() - high.front(), 2.0 * (grid[1] - grid[0]), 1.5);
    EXPECT_TRUE(RowsIn(dc, ColumnOf(6000), Magnitude).empty()) << "incoherent: faint";
    EXPECT_FALSE(RowsIn(dc, ColumnOf(6000), RGB(191, 207, 239)).empty()) << "a quarter of the colour over white";
    // The wrap at 1 kHz (3 decades: 1080 degrees, +0): a column away from
    // it holds a pixel or two of phase, not a line across the plot.
    for (const double f : {316.0, 3162.0})
        EXPECT_LE(RowsIn(dc, ColumnOf(f), Phase).size(), 4u) << f << " Hz";
    // The nearest point, 20 x 1.01^231 Hz: 360 lg(199.2) - 720 degrees.
    EXPECT_EQ(CTransferView::Readout(ColumnOf(200), W, curve), "199.2 Hz: +0.0 dB, 108\xc2\xb0, coherence 1.00");
    EXPECT_EQ(CTransferView::Readout(10, W, curve), "") << "left of the plots";
    // The most rows of the impulse's colour in a column next to `ms`.
    const auto tallest = [&](double ms) {
        size_t rows = 0;
        for (int x = TimeColumn(ms) - 1; x <= TimeColumn(ms) + 1; ++x)
            rows = std::max(rows, RowsIn(dc, x, Impulse).size());
        return rows;
    };
    EXPECT_GT(tallest(0.0), 20u);
    EXPECT_NEAR(double(tallest(20.0)), tallest(0.0) / 2.0, 3.0) << "half as far, down from the middle";
    EXPECT_LE(tallest(50.0), 2u) << "nothing in between";
}

} // namespace
