#pragma once

#include "display/bitmap.h"
#include "display/drawing_context.h"
#include "display/surface_change.h"

#include <array>
#include <vector>

class CWaveCapture;

// The spectral envelope of the newest 4096 samples of channel 0 by
// order-12 linear prediction (lag step 4) after pre-emphasis, and in the
// LPC view a Hann window: 4096 points on the linear grid.
void EnvelopeAnalysis(const CWaveCapture& engine, bool hannWindow, float* envelope);

// Mode 3: the envelope as a scrolling spectrogram on the logarithmic axis
// in the right half of the surface, with note markers that scroll along.
// With `LogScale` off the surface stays as it is. `bm` holds the pixels of
// `surface`, whose left half must be black (it moves them, see
// ScrollRightHalf). Returns the columns it moved and drew.
SurfaceChange DrawLPCSpectrogram(CDC& surface, BITMAP* bm, const CWaveCapture& engine, const RECT& rc);

// Mode 5: frequency upwards on the logarithmic axis, level to the right; the
// spectrum and the envelope as traces from the axis at x = 20, octave
// lines, and the newest 2048 samples from a rising zero crossing, centred
// on x = 128. With `Pause` on the picture stays.
//
// The white ground and the axis are the same in every block: a block puts
// them back where the last traces and waveform were, row by row, and draws
// the new ones; the picture is the same as one drawn whole.
class CSpectrumEnvelopeView {
public:
    // Returns the rectangles it drew into, or "whole" when it drew the
    // whole picture.
    SurfaceChange Draw(BITMAP* bm, const CWaveCapture& engine, const RECT& rc);
    // The next Draw draws everything: the surface holds something else.
    void Invalidate() { last[0].left.clear(); }

    // Per row, the columns one trace drew into (left > right: none).
    struct DrawnColumns {
        std::vector<int> left, right;
        void Reset(int rows);
        void Add(int y, int x0, int x1);
    };

private:
    // The spectrum's trace, the envelope's and the waveform, each wiped on
    // its own: together they span most of a row's width, apart a few pixels.
    static constexpr int Traces = 3;
    std::array<DrawnColumns, Traces> last, drawn;
    int width = 0;
    int height = 0;
};
