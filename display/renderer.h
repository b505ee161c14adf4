#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "display/bitmap.h"
#include "display/drawing_context.h"
#include "display/spectrogram_view.h"
#include "display/spectrum1d_view.h"

class CWaveCapture;

// The display part of the main window: the persistent surface, the display
// mode, vertical zoom and scroll offset, and the cursor. The view of the
// current mode draws into the surface once per analysed block (DrawBlock);
// a paint (Render) only shows the surface's visible band stretched over the
// window, with the cursor label and guide, so paints that no block caused
// never scroll the picture.
class CRenderer {
public:
    enum Mode { Spectrogram = 0, ConstantQSpectrogram = 1, Spectrum1D = 2, LPCSpectrogram = 3, Speech = 4,
                SpectrumEnvelope = 5 };

    CRenderer() = default;
    virtual ~CRenderer() = default;

    CRenderer(const CRenderer&) = delete;
    CRenderer& operator=(const CRenderer&) = delete;

    void CreateSurface(CSurfaceFactory* factory, const RECT& clientRect, CWaveCapture* engine);
    // A new surface when the size changed. The spectrogram views start again
    // from black; the 1-D spectrum is drawn again from the latest block.
    void ResizeSurface(const RECT& clientRect);
    // The view of DisplayMode draws the engine's latest block into the surface.
    void DrawBlock(const RECT& rc);
    // Shows the surface on `dc`; draws nothing into the surface.
    void Render(CDC* dc, const RECT& rc);

    void SetDisplayMode(int mode);
    void ZoomIn(const RECT& rc);
    void ZoomOut(const RECT& rc);
    double CursorFrequency(int row, int h) const;
    void UpdateCQWrapBand();

    int GetDisplayMode() const { return displayMode; }
    // Where the engine reads the display mode.
    const int* DisplayModeSource() const { return &displayMode; }
    double Zoom() const { return zoom; }
    int Offset() const { return offset; }
    void SetOffset(int rows) { offset = rows < 0 ? 0 : rows; }
    // Sets zoom and offset directly, as a restored view would.
    void SetView(double newZoom, int rows)
    {
        zoom = newZoom < 1.0 ? 1.0 : newZoom;
        SetOffset(rows);
    }
    void SetCursor(double frequency, int row)
    {
        cursorFrequency = frequency;
        cursorRow = row;
    }
    double CursorHz() const { return cursorFrequency; }
    int CursorRow() const { return cursorRow; }
    CDC* Surface() const { return surface.get(); }
    const CSpectrum1DView& Spectrum1DView() const { return spectrum1D; }

    // Surface rows top .. bottom - 1 shown for a client height h.
    struct Band {
        int top;
        int bottom;
    };
    Band VisibleBand(int h) const;

private:
    void DrawCursorLabel(CDC* dc, const std::string& text);

    double cursorFrequency = 0.0;
    int cursorRow = 0;
    int offset = 0;
    std::unique_ptr<CDC> surface;
    CSurfaceFactory* factory = nullptr;
    CWaveCapture* engine = nullptr;
    double zoom = 1.0;
    int displayMode = 0;
    bool blockDrawn = false;
    RECT surfaceRect;
    float cqBandLo = 0.0f;
    float cqBandHi = 0.0f;
    CSpectrogramView spectrogram;
    CSpectrum1DView spectrum1D;
};
