#pragma once

#include <cstdint>
#include <vector>

#include "display/bitmap.h"

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
// half of the surface is drawn.
class CSpectrogramView {
public:
    CSpectrogramView();

    void Draw(BITMAP* bm, const CWaveCapture& engine, int displayMode, const RECT& rc, float bandLo, float bandHi);

private:
    void DrawConstantQ(BITMAP* bm, const CWaveCapture& engine, int w, int h, float bandLo, float bandHi);
    void DrawLogarithmic(BITMAP* bm, const CWaveCapture& engine, int w, int h);
    void DrawLinear(BITMAP* bm, const CWaveCapture& engine, int w, int h);
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
