#include "display/renderer.h"

#include <algorithm>
#include <cmath>

#include "analysis/measurement.h"
#include "analysis/wave_capture.h"
#include "display/envelope_views.h"
#include "display/note_names.h"
#include "display/spectrum_correction.h"
#include "display/speech_view.h"
#include "dsp/frequency_axis.h"
#include "settings/measure_settings.h"
#include "settings/shared_settings.h"

namespace {

constexpr uint32_t LabelColour = 0xC0C0C0;
constexpr uint32_t GuideColour = 0xC04000;

bool IsSpectrogram(int mode)
{
    return mode == CRenderer::Spectrogram || mode == CRenderer::ConstantQSpectrogram;
}

// Of the views whose right half scrolls left and is shown stretched twice
// as wide, those a window follows by moving its pixels. The LPC and
// speech views are shown whole: on X11 the server does the move, and under
// Xvfb at 1600 x 1000 moving cost it 6.5 to 10 % of a core against 3.7 to
// 5 % for showing the picture whole, more than the move saved the program;
// the spectrograms' moves save the program more than that.
bool WindowMovesPixels(int mode)
{
    return IsSpectrogram(mode);
}

// The views that are a picture of the newest block alone, over the whole
// surface.
bool IsWholePicture(int mode)
{
    return mode == CRenderer::Spectrum1D || mode == CRenderer::SpectrumEnvelope || mode == CRenderer::OctaveBands ||
           mode == CRenderer::TransferFunction;
}

} // namespace

void CRenderer::CreateSurface(CSurfaceFactory* surfaceFactory, const RECT& clientRect, CWaveCapture* captureEngine)
{
    factory = surfaceFactory;
    engine = captureEngine;
    ResizeSurface(clientRect);
}

void CRenderer::ResizeSurface(const RECT& clientRect)
{
    if (!factory)
        return;
    const int w = std::max(RectWidth(clientRect), 0);
    const int h = std::max(RectHeight(clientRect), 0);
    if (surface && surface->Width() == w && surface->Height() == h)
        return;
    surface = factory->CreateSurface(w, h);
    surfaceRect = clientRect;
    spectrum1D.Invalidate();
    envelope.Invalidate();
    transferDrawn = -1;
    // The 1-D views are pictures of the latest block alone.
    if (IsWholePicture(displayMode) && blockDrawn)
        DrawBlock(clientRect);
}

CRenderer::Band CRenderer::VisibleBand(int h) const
{
    int bottom = h - offset;
    const int top = static_cast<int>(bottom - h / zoom);
    bottom = std::max(bottom, 0);
    return {top, bottom};
}

SurfaceChange CRenderer::DrawBlock(const RECT& rc)
{
    if (!surface || !engine || displayMode < Spectrogram || displayMode > LastMode)
        return {};
    blockDrawn = true;
    if (displayMode == Spectrum1D)
        return spectrum1D.Update(
            surface.get(), rc, Corrected(engine->GetSpectrum(0) + CWaveCapture::SecondSpectrum, spectrumGains, live),
            Corrected(measurement ? measurement->AveragedSpectrum(0) : nullptr, spectrumGains, averaged),
            Corrected(measurement ? measurement->PeakSpectrum(0) : nullptr, spectrumGains, peaks));
    if (displayMode == OctaveBands)
        return measurement ? bands.Draw(surface.get(), rc, *measurement) : SurfaceChange();
    if (displayMode == TransferFunction)
        return DrawTransfer(rc);
    BITMAP bits;
    ReadSurfaceBits(surface.get(), &bits);
    SurfaceChange change = SurfaceChange::Whole();
    switch (displayMode) {
    case LPCSpectrogram: change = DrawLPCSpectrogram(*surface, &bits, *engine, rc); break;
    case Speech: change = DrawSpeechView(&bits, *engine, rc); break;
    case SpectrumEnvelope: change = envelope.Draw(&bits, *engine, rc); break;
    default: change = spectrogram.Draw(*surface, &bits, *engine, displayMode, rc, cqBandLo, cqBandHi); break;
    }
    // The spectrograms may have moved where the surface's pixels start.
    WriteSurfaceBits(bits.bmBits, surface.get(), &bits);
    return change;
}

void CRenderer::Render(CDC* dc, const RECT& rc)
{
    ShowSurface(dc, rc, rc);
    DrawCursor(dc, rc);
}

void CRenderer::ShowSurface(CDC* dc, const RECT& rc, const RECT& area)
{
    const int w = RectWidth(rc);
    const int h = RectHeight(rc);
    if (!surface || !engine || displayMode < Spectrogram || displayMode > LastMode)
        return;
    BringSurfaceUpToDate();
    const Band band = VisibleBand(h);
    if (IsWholePicture(displayMode))
        dc->StretchBlt(0, 0, w, h, *surface, 0, band.top, w, band.bottom - band.top, &area);
    else
        dc->StretchBlt(0, 0, w, h, *surface, w / 2, band.top, w / 2, band.bottom - band.top, &area);
}

CDC* CRenderer::Surface()
{
    BringSurfaceUpToDate();
    return surface.get();
}

void CRenderer::BringSurfaceUpToDate()
{
    if (surface && displayMode == Spectrum1D)
        spectrum1D.ShowOnSurface(surface.get());
}

bool CRenderer::DrawBlockInPlace(CDC* window, const RECT& rc)
{
    return displayMode == Spectrum1D && ShowsSurfaceAsIs(rc) && window->Width() == surface->Width() &&
           window->Height() == surface->Height() && spectrum1D.ShowNext(window, windowShown);
}

void CRenderer::WindowShowsSurface()
{
    BringSurfaceUpToDate();
    windowShown = spectrum1D.SurfaceShown();
}

void CRenderer::WindowPartlyShowsSurface()
{
    const CSpectrum1DView::Shown& onSurface = spectrum1D.SurfaceShown();
    if (!windowShown.valid || windowShown.frame != onSurface.frame || windowShown.background != onSurface.background)
        WindowShowsSomethingElse();
}

void CRenderer::DrawCursor(CDC* dc, const RECT& rc)
{
    if (!surface || !engine || displayMode < Spectrogram || displayMode > LastMode)
        return;
    const std::string label = CursorLabel();
    if (!label.empty()) {
        dc->SetTextColor(LabelColour);
        dc->SetBkColor(0x000000);
        dc->TextOut(0, 0, label);
    }
    const RECT guide = GuideRect(rc);
    if (guide.bottom > guide.top)
        dc->DrawSolidLine(0, cursorRow, RectWidth(rc), cursorRow, 2, GuideColour);
}

std::string CRenderer::CursorLabel() const
{
    const bool ruleA = IsSpectrogram(displayMode) || displayMode == LPCSpectrogram;
    if (ruleA && SharedSettings.CursorGuide)
        return CursorLabelRuleA(cursorFrequency);
    if (displayMode == SpectrumEnvelope)
        return CursorLabelRuleB(cursorFrequency);
    return "";
}

RECT CRenderer::GuideRect(const RECT& rc) const
{
    const bool drawn = IsSpectrogram(displayMode) || displayMode == LPCSpectrogram || displayMode == SpectrumEnvelope;
    if (!drawn || !SharedSettings.CursorGuide)
        return {};
    // The two-pixel line covers the rows on either side of its y.
    return {0, cursorRow - 2, RectWidth(rc), cursorRow + 2};
}

bool CRenderer::ShowsSurfaceAsIs(const RECT& rc) const
{
    const int h = RectHeight(rc);
    const Band band = VisibleBand(h);
    const RECT guide = GuideRect(rc);
    return surface && engine && IsWholePicture(displayMode) && band.top == 0 &&
           band.bottom == h &&
           surface->Width() == RectWidth(rc) && surface->Height() == h && CursorLabel().empty() &&
           guide.bottom <= guide.top;
}

PictureUpdate CRenderer::PictureUpdateFor(const SurfaceChange& change, const RECT& rc) const
{
    PictureUpdate update;
    const int32_t w = RectWidth(rc);
    const int32_t h = RectHeight(rc);
    // A view that drew into parts of a surface the window shows pixel for
    // pixel (the cursor label and guide over it are the presenter's).
    const Band band = VisibleBand(h);
    const bool oneToOne = surface && IsWholePicture(displayMode) && band.top == 0 && band.bottom == h &&
                          surface->Width() == w && surface->Height() == h;
    if (!change.IsWhole() && oneToOne) {
        update.whole = false;
        update.fresh = change.Rects();
        return update;
    }
    if (change.IsWhole() || !WindowMovesPixels(displayMode) || !surface || surface->Width() != w || w < 4 ||
        h <= 0)
        return update;
    // The right half of the surface stretched twice as wide: surface column
    // s shows as window columns 2 (s - w / 2) and the one after; at an odd
    // width one further to the right, the first one showing three times.
    const int32_t first = w / 2;
    const int32_t odd = w % 2;
    auto start = [&](int32_t s) { return s <= first ? 0 : s >= w ? w : 2 * (s - first) + odd; };
    auto toWindow = [&](SurfaceChange::Span s) { return SurfaceChange::Span{start(s.left), start(s.right)}; };
    // The same change in window columns; a band cut at the edge of what is
    // shown has its source partly out of sight, and that part counts as new.
    SurfaceChange shown;
    for (const SurfaceChange::Move& move : change.Moves()) {
        const SurfaceChange::Span band = toWindow(move.band);
        shown.Moved(band.left, band.right, 2 * move.dx);
    }
    for (const SurfaceChange::Span& s : change.NewColumns()) {
        const SurfaceChange::Span columns = toWindow(s);
        shown.Drawn(columns.left, columns.right);
    }
    // The three columns of the first surface column do not move with it.
    if (odd && !change.Moves().empty())
        shown.Drawn(0, 3);
    update.whole = false;
    update.moves = shown.Moves();
    for (const SurfaceChange::Span& s : shown.NewColumns())
        update.fresh.push_back({s.left, 0, s.right, h});
    return update;
}

void CRenderer::SetMeasurement(CMeasurement* measured)
{
    measurement = measured;
    if (measurement)
        measurement->SetBandsWanted(displayMode == OctaveBands);
}

void CRenderer::SetTransfer(CTransferMeasurement* transferMeasurement)
{
    transfer = transferMeasurement;
    if (transfer)
        transfer->SetWanted(displayMode == TransferFunction);
}

// Drawn again when a segment was averaged since, or what the legend says
// changed; a paused picture stays.
SurfaceChange CRenderer::DrawTransfer(const RECT& rc)
{
    if (!transfer || SharedSettings.Pause)
        return SurfaceChange();
    const std::string legend = CTransferView::Legend(*transfer, SharedTransferSettings.Smoothing,
                                                         SharedTransferSettings.CoherenceThreshold / 100.0);
    if (transfer->Transfer().Averages() == transferDrawn && legend == transferLegend)
        return SurfaceChange();
    transferDrawn = transfer->Transfer().Averages();
    transferLegend = legend;
    transferCurve = TransferCurve(transfer->Transfer(), SharedTransferSettings.Smoothing);
    return transferView.Draw(surface.get(), rc, transferCurve, ImpulseResponse(transfer->Transfer()),
                             transfer->Transfer().SampleRate(), legend, SharedTransferSettings.CoherenceThreshold / 100.0);
}

void CRenderer::SetDisplayMode(int mode)
{
    const int old = displayMode;
    displayMode = mode;
    transferDrawn = -1;
    if (transfer)
        transfer->SetWanted(mode == TransferFunction);
    if (measurement)
        measurement->SetBandsWanted(mode == OctaveBands);
    bands.Invalidate();
    spectrum1D.Invalidate();
    envelope.Invalidate();
    if ((!IsSpectrogram(old) && IsSpectrogram(mode)) || mode == Speech) {
        if (surface)
            surface->FillSolidRect(RECT{0, 0, surface->Width(), surface->Height()}, 0x000000);
    }
    // The LPC view moves the whole surface's rows as it scrolls its right
    // half; its left half, never shown, is kept black for that.
    if (mode == LPCSpectrogram && old != LPCSpectrogram && surface)
        surface->FillSolidRect(RECT{0, 0, surface->Width() / 2, surface->Height()}, 0x000000);
}

void CRenderer::ZoomIn(const RECT& rc)
{
    const int h = RectHeight(rc);
    const int centre = static_cast<int>((h / zoom) * 0.5 + offset);
    // The visible band keeps at least one row.
    zoom = std::min(zoom * 1.5, std::max(1.0, static_cast<double>(h)));
    const double v = 1 / zoom;
    offset = std::max(static_cast<int>(centre - h * v * 0.5), 0);
    if (offset + v * h >= h)
        offset = static_cast<int>(h - h * v);
}

void CRenderer::ZoomOut(const RECT& rc)
{
    const int h = RectHeight(rc);
    const int centre = static_cast<int>((h / zoom) * 0.5 + offset);
    zoom = std::max(zoom * 0.6666666666666666, 1.0);
    const double v = 1 / zoom;
    offset = std::max(static_cast<int>(centre - h * v * 0.5), 0);
    if (offset + v * h >= h)
        offset = static_cast<int>(h - h * v);
}

double CRenderer::CursorFrequency(int row, int h) const
{
    const double maxFreq = SharedSettings.MaxFreq;
    if (h <= 0)
        return 0.0;
    if (SharedSettings.LogScale)
        return std::pow(2.0, 5 + ((Log2(maxFreq) - 5) / h) * row);
    return maxFreq * static_cast<double>(0.04266666620969772f) / h * ((row * 48000) / 8192) * 4;
}

void CRenderer::UpdateCQWrapBand()
{
    if (!engine)
        return;
    const double D = Log2(SharedSettings.MaxFreq) - 5;
    // An adjustment at or below -1 leaves no band below the constant-Q range.
    const double lowest = 4 * (1 + SharedSettings.CQAdjustmentValue) * noteFrequency(24);
    cqBandLo = lowest > 0 ? static_cast<float>((Log2(lowest) - 5) / D) : 0.0f;
    cqBandHi = static_cast<float>((Log2(noteFrequency(110)) - 5) / D);
}
