#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "display/renderer.h"
#include "display/surface_change.h"
#include "settings/shared_settings.h"
#include "tests/display/memory_dc.h"
#include "tests/display/render_rig.h"

namespace {

using Spans = std::vector<std::pair<int, int>>;

Spans NewColumns(const SurfaceChange& change)
{
    Spans spans;
    for (const SurfaceChange::Span& s : change.NewColumns())
        spans.emplace_back(s.left, s.right);
    return spans;
}

TEST(SurfaceChange, NewColumnsTravelWithTheMovesThatCarryThem)
{
    const struct {
        const char* name;
        void (*steps)(SurfaceChange&);
        Spans expected;
    } cases[] = {
        {"touching and apart", [](SurfaceChange& c) { c.Drawn(10, 20); c.Drawn(20, 25); c.Drawn(30, 31); },
         {{10, 25}, {30, 31}}},
        {"left: drawn ones follow, the right end is new", [](SurfaceChange& c) { c.Drawn(50, 60); c.Moved(0, 100, -8); },
         {{42, 52}, {92, 100}}},
        {"right: only the part inside the band moves", [](SurfaceChange& c) { c.Drawn(40, 60); c.Moved(50, 100, 8); },
         {{40, 68}}},
        {"drawn after the move stay", [](SurfaceChange& c) { c.Moved(0, 100, -8); c.Drawn(80, 90); },
         {{80, 90}, {92, 100}}},
        {"a move wider than its band", [](SurfaceChange& c) { c.Moved(10, 20, -30); }, {{10, 20}}},
        {"two bands, opposite ways", [](SurfaceChange& c) { c.Moved(0, 51, -4); c.Drawn(44, 51); c.Moved(50, 90, 4); },
         {{44, 55}}},
    };
    for (const auto& c : cases) {
        SurfaceChange change;
        c.steps(change);
        EXPECT_FALSE(change.IsWhole());
        EXPECT_EQ(NewColumns(change), c.expected) << c.name;
    }
    EXPECT_TRUE(SurfaceChange::Whole().IsWhole());
}

// A window's pixels moved the way a backing store scrolls: within the band,
// column x takes what x - dx showed; the columns with nothing to take are
// left magenta, which only showing them again can mend.
void MovePixels(MemoryDC& window, const SurfaceChange::Move& move)
{
    BITMAP bm = window.Pixels();
    for (int y = 0; y < bm.bmHeight; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(bm.bmBits) + y * bm.bmWidthBytes);
        const std::vector<uint32_t> before(row, row + bm.bmWidth);
        for (int x = move.band.left; x < move.band.right; ++x) {
            const int from = x - move.dx;
            row[x] = from >= move.band.left && from < move.band.right ? before[from] : 0xFFFF00FFu;
        }
    }
}

struct ViewCase {
    const char* name;
    int mode;
    bool logScale;
    int stereo;
    int oversample;
    bool extras;  // grids, wrap under the constant-Q rows, poles only
    bool pause;
    double zoom;
    int offset;
    int width;
};

class PictureUpdates : public RenderRig, public ::testing::WithParamInterface<ViewCase> {
protected:
    void Configure() override
    {
        const ViewCase& c = GetParam();
        SharedSettings.LogScale = c.logScale;
        SharedSettings.Stereo = c.stereo;
        SharedSettings.Oversample = c.oversample;
        SharedSettings.Grid = SharedSettings.Grid2 = SharedSettings.WrapUnderCQ = c.extras;
        SharedSettings.PolesOnly = c.extras && c.mode == 0;
        SharedSettings.Pause = c.pause;
    }
};

TEST_P(PictureUpdates, MovingTheWindowsPixelsAndShowingTheNewColumnsShowsWhatShowingAllShows)
{
    const ViewCase& c = GetParam();
    const RECT rc{0, 0, c.width, 300};
    renderer.ResizeSurface(rc);
    renderer.SetDisplayMode(c.mode);
    renderer.SetView(c.zoom, c.offset);
    MemoryDC window(c.width, 300);
    renderer.ShowSurface(&window, rc, rc);
    for (int b = 0; b < 14; ++b) {
        // A rising tone, silent every fifth block (under the signal
        // threshold the spectrogram does not move).
        const double f = 200.0 * std::pow(1.3, b);
        SharedSettings.SignalThre = b % 5 == 4 ? 1e30f : 0.0f;
        Feed(1, [f](long n) { return 15000 * std::sin(2 * M_PI * f * n / 48000.0); }, false);
        const PictureUpdate update = renderer.PictureUpdateFor(renderer.DrawBlock(rc), rc);
        ASSERT_FALSE(update.whole) << c.name;
        int freshColumns = 0;
        for (const SurfaceChange::Move& move : update.moves)
            MovePixels(window, move);
        for (const RECT& r : update.fresh) {
            renderer.ShowSurface(&window, rc, r);
            freshColumns += RectWidth(r);
        }
        if (c.width >= 399) {
            EXPECT_LE(freshColumns, c.mode == 1 && c.extras ? 400 : 120) << c.name << ", block " << b;
        }
        if (c.pause) {
            EXPECT_TRUE(update.moves.empty()) << c.name;
        }
        MemoryDC whole(c.width, 300);
        renderer.ShowSurface(&whole, rc, rc);
        ASSERT_EQ(window.pixels, whole.pixels) << c.name << ", block " << b;
    }
}

INSTANTIATE_TEST_SUITE_P(
    ScrollingViews, PictureUpdates,
    ::testing::Values(ViewCase{"log", 0, true, 0, 1, false, false, 1.0, 0, 400},
                      ViewCase{"log, narrow and odd", 0, true, 0, 1, false, false, 1.0, 0, 61},
                      ViewCase{"log, speed 8, grids, poles", 0, true, 0, 8, true, false, 1.0, 0, 400},
                      ViewCase{"stereo, speed 8, grids", 0, true, 1, 8, true, false, 1.0, 0, 400},
                      ViewCase{"stereo, speed 3, zoomed, odd", 0, true, 1, 3, false, false, 2.25, 40, 399},
                      ViewCase{"stereo, narrow and odd", 0, true, 1, 2, false, false, 1.0, 0, 81},
                      ViewCase{"linear, speed 4, grid, zoomed", 0, false, 0, 4, true, false, 1.5, 10, 400},
                      ViewCase{"paused", 0, true, 1, 2, false, true, 1.0, 0, 401},
                      ViewCase{"constant-Q", 1, true, 0, 2, false, false, 1.0, 0, 400},
                      ViewCase{"constant-Q, wrap and grid, zoomed", 1, true, 0, 2, true, false, 3.375, 77, 401}));

TEST_F(RenderRig, PicturesWhoseColumnsDoNotMoveAreShownWhole)
{
    Feed(1, [](long n) { return 15000 * std::sin(0.1 * n); }, false);
    renderer.SetDisplayMode(CRenderer::Spectrum1D);
    EXPECT_TRUE(renderer.PictureUpdateFor(renderer.DrawBlock(rc), rc).whole) << "the 1-D view";
    renderer.SetDisplayMode(CRenderer::Spectrogram);
    EXPECT_TRUE(renderer.PictureUpdateFor(renderer.DrawBlock(rc), RECT{0, 0, 402, 300}).whole) << "another size";
}

} // namespace
