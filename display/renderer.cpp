#include "display/renderer.h"

#include <algorithm>
#include <cmath>

#include "capture/wave_capture.h"
#include "display/envelope_views.h"
#include "display/note_names.h"
#include "display/speech_view.h"
#include "dsp/frequency_axis.h"
#include "settings/shared_settings.h"

namespace {

constexpr uint32_t LabelColour = 0xC0C0C0;
constexpr uint32_t GuideColour = 0xC04000;

bool IsSpectrogram(int mode)
{
    return mode == CRenderer::Spectrogram || mode == CRenderer::ConstantQSpectrogram;
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
    // The 1-D views are pictures of the latest block alone.
    if ((displayMode == Spectrum1D || displayMode == SpectrumEnvelope) && blockDrawn)
        DrawBlock(clientRect);
}

CRenderer::Band CRenderer::VisibleBand(int h) const
{
    int bottom = h - offset;
    const int top = static_cast<int>(bottom - h / zoom);
    bottom = std::max(bottom, 0);
    return {top, bottom};
}

void CRenderer::DrawBlock(const RECT& rc)
{
    if (!surface || !engine || displayMode < Spectrogram || displayMode > SpectrumEnvelope)
        return;
    blockDrawn = true;
    if (displayMode == Spectrum1D) {
        spectrum1D.Draw(surface.get(), rc, engine->GetSpectrum(0) + CWaveCapture::SecondSpectrum);
        return;
    }
    BITMAP bits;
    void* buffer = ReadSurfaceBits(surface.get(), &bits);
    switch (displayMode) {
    case LPCSpectrogram: DrawLPCSpectrogram(&bits, *engine, rc); break;
    case Speech: DrawSpeechView(&bits, *engine, rc); break;
    case SpectrumEnvelope: DrawSpectrumEnvelope(&bits, *engine, rc); break;
    default: spectrogram.Draw(&bits, *engine, displayMode, rc, cqBandLo, cqBandHi); break;
    }
    WriteSurfaceBits(buffer, surface.get(), &bits);
}

void CRenderer::Render(CDC* dc, const RECT& rc)
{
    const int w = RectWidth(rc);
    const int h = RectHeight(rc);
    if (!surface || !engine || displayMode < Spectrogram || displayMode > SpectrumEnvelope)
        return;
    const Band band = VisibleBand(h);
    if (displayMode == Spectrum1D || displayMode == SpectrumEnvelope)
        dc->StretchBlt(0, 0, w, h, *surface, 0, band.top, w, band.bottom - band.top);
    else
        dc->StretchBlt(0, 0, w, h, *surface, w / 2, band.top, w / 2, band.bottom - band.top);
    const bool ruleA = IsSpectrogram(displayMode) || displayMode == LPCSpectrogram;
    if (ruleA && SharedSettings.CursorGuide)
        DrawCursorLabel(dc, CursorLabelRuleA(cursorFrequency));
    if (displayMode == SpectrumEnvelope)
        DrawCursorLabel(dc, CursorLabelRuleB(cursorFrequency));
    if ((ruleA || displayMode == SpectrumEnvelope) && SharedSettings.CursorGuide)
        dc->DrawSolidLine(0, cursorRow, w, cursorRow, 2, GuideColour);
}

void CRenderer::DrawCursorLabel(CDC* dc, const std::string& text)
{
    dc->SetTextColor(LabelColour);
    dc->SetBkColor(0x000000);
    if (!text.empty())
        dc->TextOut(0, 0, text);
}

void CRenderer::SetDisplayMode(int mode)
{
    const int old = displayMode;
    displayMode = mode;
    if ((!IsSpectrogram(old) && IsSpectrogram(mode)) || mode == Speech) {
        if (surface)
            surface->FillSolidRect(RECT{0, 0, surface->Width(), surface->Height()}, 0x000000);
    }
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
