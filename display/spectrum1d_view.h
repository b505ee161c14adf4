#pragma once

#include <string>
#include <vector>

#include "display/bitmap.h"
#include "display/drawing_context.h"

// The 1-D spectrum: the newest spectrum of channel 0 in dB over a
// logarithmic axis, with grid, labels and the harmonic analysis line.
class CSpectrum1DView {
public:
    // `spectrum` is the channel's 4096 newest magnitudes. With `averaged`,
    // that trace is drawn instead (the harmonic analysis stays the live
    // spectrum's); with `peaks`, the held peaks are drawn over it in red. A
    // legend at the top right then says so.
    void Draw(CDC* dc, const RECT& rc, const float* spectrum, const float* averaged = nullptr,
              const float* peaks = nullptr);

    double PeakHold() const { return peakHold; }
    // The result line of the last drawing.
    const std::string& LastResult() const { return lastResult; }

private:
    void DrawGrid(class CRaster& raster, int W, int H, double pixelsPerDb);
    void DrawCurve(class CRaster& raster, const std::vector<float>& values, int PW, int PH, double pixelsPerDb,
                   uint32_t colour);

    // The largest resampled magnitude seen since the start; never lowered.
    double peakHold = 1.0;
    std::string lastResult;
    std::vector<float> resampled;
    std::vector<float> resampledPeaks;
};
