#pragma once

#include <string>
#include <vector>

#include "display/bitmap.h"
#include "display/drawing_context.h"
#include "display/surface_change.h"

// The 1-D spectrum: the newest spectrum of channel 0 in dB over a
// logarithmic axis, with grid, labels and the harmonic analysis line.
//
// The frame, grid and labels do not change from block to block: they are
// drawn once, kept as a background, and a block puts the background back
// where the last traces and texts were, then draws the new ones; the
// picture is the same as one drawn whole.
//
// A block first becomes a frame (Update: the traces' points and texts),
// which is then drawn on whatever shows the picture: the surface, or the
// window's own pixels when they hold the frame before (ShowNext), so that
// the surface need not be drawn and copied every block.
class CSpectrum1DView {
public:
    // What a target's pixels show of the view: the background, with the
    // traces of frame `frame` over it, covering rows top[x] .. bottom[x] of
    // each column (top > bottom: none).
    struct Shown {
        bool valid = false;
        long frame = 0;
        long background = 0;  // which background drawn under it
        std::vector<int> top, bottom;
    };

    // `spectrum` is the channel's 4096 newest magnitudes. With `averaged`,
    // that trace is drawn instead (the harmonic analysis stays the live
    // spectrum's); with `peaks`, the held peaks are drawn over it in red. A
    // legend at the top right then says so. Returns the rectangles it drew
    // into, or "whole" when it drew the background again.
    SurfaceChange Draw(CDC* dc, const RECT& rc, const float* spectrum, const float* averaged = nullptr,
                       const float* peaks = nullptr);
    // Makes the next frame of the same arguments without drawing it, except
    // for the background, drawn on `surface` when it has to be made again;
    // returns what Draw would.
    SurfaceChange Update(CDC* surface, const RECT& rc, const float* spectrum, const float* averaged = nullptr,
                         const float* peaks = nullptr);
    // Draws the newest frame on the surface Update was given, unless it
    // shows it already.
    void ShowOnSurface(CDC* surface);
    // Draws the newest frame over `shown`'s on `dc`, a target the size of
    // the surface, when `shown` is the frame before it; else false.
    bool ShowNext(CDC* dc, Shown& shown);
    const Shown& SurfaceShown() const { return surfaceShown; }
    // The next Draw draws everything: the surface holds something else.
    void Invalidate()
    {
        background.clear();
        surfaceShown = Shown();
    }

    double PeakHold() const { return peakHold; }
    // The result line of the last drawing.
    const std::string& LastResult() const { return lastResult; }

private:
    // What the background depends on besides the surface.
    struct BackgroundKey {
        int width = 0;
        int height = 0;
        int32_t grid = 0;
        float maxFreq = 0.0f;
        bool operator==(const BackgroundKey& o) const
        {
            return width == o.width && height == o.height && grid == o.grid && maxFreq == o.maxFreq;
        }
    };

    void DrawBackground(CDC* dc, const RECT& rc);
    // Draws the newest frame on `dc`, which shows `shown`.
    void Show(CDC* dc, Shown& shown) const;
    // Puts the background back over the top text band and the rows the
    // traces of `shown` cover.
    void RestoreBackground(CDC* dc, const Shown& shown) const;
    void CopyBackground(CDC* dc) const;
    void DrawGrid(class CRaster& raster, int W, int H, double pixelsPerDb);
    // The rows of the trace through `values`, and the rows each column of
    // it may touch added to newTop and newBottom.
    std::vector<int> TraceRows(const std::vector<float>& values, int PW, int PH, double pixelsPerDb);
    static void DrawTrace(class CRaster& raster, const std::vector<int>& rows, uint32_t colour);
    // The rectangles a window must show again: the text band, and the rows
    // of the last and the new traces, a few columns at a time.
    SurfaceChange ChangedRects(const RECT& rc) const;

    // The largest resampled magnitude seen since the start; never lowered.
    double peakHold = 1.0;
    std::string lastResult;
    std::vector<float> resampled;
    std::vector<float> resampledPeaks;

    BackgroundKey key;
    std::vector<uint32_t> background;  // the surface's pixels, row by row
    long backgroundsDrawn = 0;
    // The newest frame: where it is drawn, its number, the rows of its
    // traces (the peaks' empty when none), and its legend.
    RECT frameRect{0, 0, 0, 0};
    long frame = 0;
    std::vector<int> traceRows, peakRows;
    std::string legend;
    // Per column of the picture, the rows the traces cover: the last
    // block's and this block's (first > last: none).
    std::vector<int> lastTop, lastBottom, newTop, newBottom;
    Shown surfaceShown;
};
