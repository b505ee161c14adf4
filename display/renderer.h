#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "display/bands_view.h"
#include "display/envelope_views.h"
#include "display/bitmap.h"
#include "display/drawing_context.h"
#include "display/spectrogram_view.h"
#include "display/spectrum1d_view.h"
#include "display/surface_change.h"
#include "display/transfer_view.h"

class CWaveCapture;

// How the window's picture follows a block: its pixels moved sideways
// within bands of whole window columns, in order, then the rectangles that
// must be shown again; or the whole picture shown again.
struct PictureUpdate {
    bool whole = true;
    std::vector<SurfaceChange::Move> moves;
    std::vector<RECT> fresh;
};

// What the window shows of the surface: the view and the window's size.
struct ShownView {
    int mode = -1;
    double zoom = 0.0;
    int offset = 0;
    int width = 0;
    int height = 0;
    bool operator==(const ShownView& o) const
    {
        return mode == o.mode && zoom == o.zoom && offset == o.offset && width == o.width && height == o.height;
    }
    bool operator!=(const ShownView& o) const { return !(*this == o); }
};

// The display part of the main window: the persistent surface, the display
// mode, vertical zoom and scroll offset, and the cursor. The view of the
// current mode draws into the surface once per analysed block (DrawBlock);
// a paint (Render) only shows the surface's visible band stretched over the
// window, with the cursor label and guide, so paints that no block caused
// never scroll the picture.
class CRenderer {
public:
    // The design's six views, then ours.
    enum Mode { Spectrogram = 0, ConstantQSpectrogram = 1, Spectrum1D = 2, LPCSpectrogram = 3, Speech = 4,
                SpectrumEnvelope = 5, OctaveBands = 6, TransferFunction = 7, LastMode = TransferFunction };

    CRenderer() = default;
    virtual ~CRenderer() = default;

    CRenderer(const CRenderer&) = delete;
    CRenderer& operator=(const CRenderer&) = delete;

    void CreateSurface(CSurfaceFactory* factory, const RECT& clientRect, CWaveCapture* engine);
    // The averages, peaks and bands the 1-D spectrum and the bands view draw
    // (without, the 1-D spectrum draws the newest block alone and the bands
    // view nothing). The renderer has it measure the bands while the bands
    // view is shown.
    void SetMeasurement(CMeasurement* measured);
    // What the transfer view draws; it measures while that view is shown.
    void SetTransfer(CTransferMeasurement* transferMeasurement);
    // The transfer view's curve as drawn last (smoothed as the settings say).
    const std::vector<TransferPoint>& TransferCurveShown() const { return transferCurve; }
    // The 1-D spectrum's traces times these gains per grid bin (a
    // microphone's correction, GridGains); empty for none.
    void SetSpectrumGains(std::vector<float> gains) { spectrumGains = std::move(gains); }
    const std::vector<float>& SpectrumGains() const { return spectrumGains; }
    // A new surface when the size changed. The spectrogram views start again
    // from black; the 1-D spectrum is drawn again from the latest block.
    void ResizeSurface(const RECT& clientRect);
    // The view of DisplayMode draws the engine's latest block into the
    // surface; returns the columns it moved and drew, or "whole".
    SurfaceChange DrawBlock(const RECT& rc);
    // The 1-D spectrum draws a block straight on the window's pixels `window`
    // (the surface's size) when they show the block before and the window
    // shows the surface as it is; the surface is drawn only when something
    // shows or reads it. False when the block must be shown from the
    // surface.
    bool DrawBlockInPlace(CDC* window, const RECT& rc);
    // The window's pixels now show the surface, or something else.
    void WindowShowsSurface();
    void WindowShowsSomethingElse() { windowShown = CSpectrum1DView::Shown(); }
    // Part of the window's pixels now show the surface.
    void WindowPartlyShowsSurface();
    // Shows the surface on `dc`, with the cursor label and guide; draws
    // nothing into the surface but the block it has not drawn yet.
    void Render(CDC* dc, const RECT& rc);
    // Shows the part `area` of the window's picture on `dc`, without label
    // and guide; pixel for pixel what Render shows there.
    void ShowSurface(CDC* dc, const RECT& rc, const RECT& area);
    // The cursor label and guide over the picture on `dc`.
    void DrawCursor(CDC* dc, const RECT& rc);
    // True when the window's picture is the surface itself, pixel for pixel,
    // with nothing drawn over it: the 1-D views and the bands at zoom 1,
    // without the cursor label and guide.
    bool ShowsSurfaceAsIs(const RECT& rc) const;
    // How a window that shows ShownView(rc) follows `change`: by moving its
    // pixels when the surface's columns map to whole window columns, the
    // case of the views that scroll (the spectrograms, LPC, speech); by
    // showing the rectangles drawn into when it shows the surface as it is;
    // otherwise whole.
    PictureUpdate PictureUpdateFor(const SurfaceChange& change, const RECT& rc) const;
    ShownView View(const RECT& rc) const { return {displayMode, zoom, offset, RectWidth(rc), RectHeight(rc)}; }
    // The cursor label Render draws at the top left ("" for none), and the
    // rows of its guide (empty for none).
    std::string CursorLabel() const;
    RECT GuideRect(const RECT& rc) const;

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
    // The surface, with every block drawn.
    CDC* Surface();
    const CSpectrum1DView& Spectrum1DView() const { return spectrum1D; }

    // Surface rows top .. bottom - 1 shown for a client height h.
    struct Band {
        int top;
        int bottom;
    };
    Band VisibleBand(int h) const;

private:
    void BringSurfaceUpToDate();
    SurfaceChange DrawTransfer(const RECT& rc);

    double cursorFrequency = 0.0;
    int cursorRow = 0;
    int offset = 0;
    std::unique_ptr<CDC> surface;
    CSurfaceFactory* factory = nullptr;
    CWaveCapture* engine = nullptr;
    CMeasurement* measurement = nullptr;
    CTransferMeasurement* transfer = nullptr;
    std::vector<TransferPoint> transferCurve;
    long transferDrawn = -1;  // the segments averaged in the picture drawn, -1 for none
    std::string transferLegend;
    double zoom = 1.0;
    int displayMode = 0;
    bool blockDrawn = false;
    RECT surfaceRect;
    float cqBandLo = 0.0f;
    float cqBandHi = 0.0f;
    CSpectrogramView spectrogram;
    CSpectrum1DView spectrum1D;
    CSpectrum1DView::Shown windowShown;
    std::vector<float> spectrumGains;
    std::vector<float> live, averaged, peaks;  // the traces corrected
    CBandsView bands;
    CTransferView transferView;
    CSpectrumEnvelopeView envelope;
};
