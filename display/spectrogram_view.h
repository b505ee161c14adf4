#pragma once

#include <cstdint>
#include <vector>

#include "display/bitmap.h"
#include "display/drawing_context.h"
#include "display/surface_change.h"

class CWaveCapture;

// Rows strictly between lo and hi are left untouched by DrawColumn.
struct ColumnBand {
    int lo;
    int hi;
};

// One column of n rows at column x, row i at line y0 + n - i, sampling
// `count` values at positions i * count / n.
void DrawColumn(BITMAP* bm, const float* values, int count, int x, int y0, int n, const ColumnBand* band);
// The same for constant-Q rows: negative samples are not drawn.
void DrawCQColumn(BITMAP* bm, const float* values, int count, int x, int y0, int n);

// The scrolling spectrograms: constant-Q (mode 1), and the linear spectrum
// on a logarithmic (mono or stereo) or linear axis (mode 0). Only the right
// half of the surface is drawn; the left half stays black.
class CSpectrogramView {
public:
    CSpectrogramView();

    // Draws into `surface`, whose pixels `bm` holds (updated when the
    // surface moves them); returns the columns it moved and drew.
    SurfaceChange Draw(CDC& surface, BITMAP* bm, const CWaveCapture& engine, int displayMode, const RECT& rc,
                       float bandLo, float bandHi);

private:
    void DrawConstantQ(BITMAP* bm, const CWaveCapture& engine, int w, int h, float bandLo, float bandHi,
                       SurfaceChange& change);
    void DrawLogarithmic(BITMAP* bm, const CWaveCapture& engine, int w, int h, SurfaceChange& change);
    void DrawLinear(BITMAP* bm, const CWaveCapture& engine, int w, int h, SurfaceChange& change);

    CDC* surface = nullptr;  // while Draw runs
    void UpdateEmphasis();

    // The last spectrum of each variant, blended into the next paint's
    // first columns.
    std::vector<float> previousLog;
    std::vector<float> previousLinear;
    std::vector<float> previousWrap;
    std::vector<float> previousCQ;
    // Work arrays, kept to avoid allocations per paint.
    std::vector<float> current;
    std::vector<float> wrapRows;
    std::vector<float> cqRows;
    std::vector<float> emphasis;
    bool emphasisOn = false;
    int32_t emphasisWindowSize = 0;
};

// Columns per spectrum: `Oversample` when 2..8, else 1.
int ColumnsPerSpectrum();

// The right half's columns of the surface `bm` shows (w wide) move c to the
// left (the last c keep theirs), by moving where the surface's rows start
// when `bm` is the whole surface; the left half, which must be black, stays
// black. `bm` is read again.
void ScrollRightHalf(CDC& surface, BITMAP* bm, int w, int c, SurfaceChange& change);
