#pragma once

#include <cstdint>

#include "display/bitmap.h"
#include "display/surface_change.h"

class CWaveCapture;

// The spacing of the harmonics of a `count`-bin magnitude spectrum, in bins,
// searched for fundamentals between 90 and 580 Hz; `confidence` (0..1, may
// be null) compares the first five harmonics with the gaps between them.
double EstimateHarmonicSpacing(const float* spectrum, int count, double* confidence);

// From 2 * count floats of spectrum: the neighbourhoods of the first 32
// harmonics (comb) and the spectrum without them (residual), each on 8192
// log-spaced points from 32 Hz to `MaxFreq`, with element 0 replaced by the
// output's level. Either output may be null.
void SplitHarmonics(const float* spectrum, int count, float* comb, float* residual);

// One vertical bar of `level` on a logarithmic scale from `reference`
// (bottom) to `top` (full), `height` + 1 pixels from (x, y) down; with
// `ticks`, marks at both ends and at the levels 1, 10 and 100 inside it.
// Returns the bar's top offset, 0..height.
int DrawLevelBar(BITMAP* bm, double level, int x, int y, double reference, double top, int height, uint32_t colour,
                 bool ticks, bool dotOnly);

// Mode 4: the harmonic (comb) and residual parts of channel 0 as two
// scrolling strips in the right half of the surface, each column with its
// level bar underneath. With `LogScale` off the surface stays as it is.
// Returns the columns it moved and drew.
SurfaceChange DrawSpeechView(BITMAP* bm, const CWaveCapture& engine, const RECT& rc);
