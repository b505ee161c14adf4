#pragma once

#include <string>
#include <vector>

// A labelled frequency tick at window row y.
struct ScaleTick {
    int y;
    double frequency;
    std::string label;
};

// How the picture of a mode maps surface rows to frequencies, and which part
// of the surface the window shows.
struct ScaleView {
    int mode;        // display mode; only 0, 1 and 3 have a scale
    int height;      // surface and window height
    double zoom;     // vertical zoom, >= 1
    int offset;      // rows of the visible band above the bottom
    int labelSpace;  // rows a label needs
};

// The frequency at surface row r (from the bottom) of the mode's axis, and
// the inverse; the axis follows `LogScale` and `MaxFreq` as the views do.
double ScaleFrequencyOfRow(const ScaleView& view, double row);
double ScaleRowOfFrequency(const ScaleView& view, double frequency);

// Ticks at round frequencies (1, 2 and 5 times a power of ten, from 10 Hz)
// and, on the logarithmic axes, at the notes A1 to A7, inside the window
// and never closer than `labelSpace` rows: powers of ten first, then the
// other round values, then the notes. Sorted from the top of the window.
std::vector<ScaleTick> FrequencyScaleTicks(const ScaleView& view);
