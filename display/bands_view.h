#pragma once

#include <string>
#include <vector>

#include "display/bitmap.h"
#include "display/drawing_context.h"
#include "display/surface_change.h"

class CMeasurement;

// The octave-bands view (ours): one bar per fractional-octave band, labelled
// with its nominal midband, on a scale of dB relative to full scale (a
// full-scale sine reads 0 dB) from 0 down to -100 dB with a grid every
// 10 dB; the held peaks as red marks over the bars; a legend at the top
// right saying which bands, weightings, averaging and peak hold are shown.
// After the first drawing of a picture, a block draws only what moved: the
// rows between each bar's old and new top, and its peak mark.
class CBandsView {
public:
    static constexpr double TopDb = 0.0;
    static constexpr double BottomDb = -100.0;

    // Draws the measurement's newest band levels into the whole of `rc`;
    // returns the rectangles drawn into, or "whole".
    SurfaceChange Draw(CDC* dc, const RECT& rc, const CMeasurement& measurement);
    // The surface holds something else now: the next drawing is whole.
    void Invalidate() { drawn = false; }

    // The band whose bar's slot holds column x of a view `width` wide with
    // `bands` bands, or -1.
    static int BandAt(int x, int width, int bands);
    // "1.25k Hz: -23.4 dBFS" for the band under column x, or "" for none;
    // with a calibration, `offset` (dB SPL at 0 dBFS) added and `unit`
    // "dB SPL".
    static std::string Readout(int x, int width, const CMeasurement& measurement, double offset = 0.0,
                               const char* unit = "dBFS");
    // The legend text for the settings in use.
    static std::string Legend();

private:
    SurfaceChange DrawWhole(CDC* dc, const RECT& rc, const CMeasurement& measurement);
    SurfaceChange DrawChanges(CDC* dc, const RECT& rc);
    void Take(const CMeasurement& measurement, int h);

    bool drawn = false;
    int width = 0, height = 0;
    std::string legend;
    // Per band, in the picture drawn: the top row of the bar, the row of the
    // peak mark (-1 for none); and what the newest levels ask for.
    std::vector<int> barTop, peakRow, newBarTop, newPeakRow;
};
