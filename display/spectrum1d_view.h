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
class CSpectrum1DView {
public:
    // `spectrum` is the channel's 4096 newest magnitudes. With `averaged`,
    // that trace is drawn instead (the harmonic analysis stays the live
    // spectrum's); with `peaks`, the held peaks are drawn over it in red. A
    // legend at the top right then says so. Returns the rectangles it drew
    // into, or "whole" when it drew the background again.
    SurfaceChange Draw(CDC* dc, const RECT& rc, const float* spectrum, const float* averaged = nullptr,
                       const float* peaks = nullptr);
    // The next Draw draws everything: the surface holds something else.
    void Invalidate() { background.clear(); }

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
    // Puts the background back over the top text band and the rows the
    // last traces covered.
    void RestoreBackground(CDC* dc, const RECT& rc);
    void DrawGrid(class CRaster& raster, int W, int H, double pixelsPerDb);
    void DrawCurve(class CRaster& raster, const std::vector<float>& values, int PW, int PH, double pixelsPerDb,
                   uint32_t colour);
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
    // Per column of the picture, the rows the traces cover: the last
    // block's and this block's (first > last: none).
    std::vector<int> lastTop, lastBottom, newTop, newBottom;
};
