#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QPainter>
#include <QRegion>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "analysis/wave_capture.h"
#include "display/colour_map.h"
#include "display/renderer.h"
#include "framework/frequency_scale_painter.h"
#include "framework/qt_drawing_context.h"
#include "settings/shared_settings.h"
#include "tests/input/scripted_wave_input.h"

namespace {

// The display at 1920 x 1080 with six blocks analysed, in a display mode.
class PaintRig {
public:
    explicit PaintRig(int mode)
    {
        SharedSettings = Settings();
        SharedSettings.LogScale = true;
        SharedSettings.Stereo = 1;
        SharedSettings.Oversample = 8;
        SharedSettings.WindowSize = 8192;
        SharedSettings.WindowType = 1;
        SharedSettings.CursorGuide = true;
        SharedSettings.Grid = true;
        SharedSettings.ContrastLow = 40;
        SharedSettings.ContrastHigh = 70;
        RebuildColorMap();

        engine.SetNotifyWindow(&target);
        engine.SetDisplayModeSource(renderer.DisplayModeSource());
        engine.Start();
        std::vector<int16_t> frames(2 * 2048);
        for (int b = 0; b < 6; ++b) {
            for (int i = 0; i < 2048; ++i)
                frames[2 * i] = frames[2 * i + 1] = int16_t(12000 * std::sin(0.131 * (b * 2048 + i)));
            driver.last->Push(frames);
            engine.ProcessBlock();
        }
        renderer.CreateSurface(&surfaces, rc, &engine);
        renderer.SetDisplayMode(mode);
        renderer.SetCursor(440.0, 300);
        renderer.DrawBlock(rc);
    }
    ~PaintRig() { SharedSettings = Settings(); }

    const RECT rc{0, 0, 1920, 1080};
    ScriptedDriver driver;
    RecordingTarget target;
    CWaveCapture engine{&driver};
    CRenderer renderer;
    CImageSurfaceFactory surfaces;
    CImageDC window{1920, 1080};
};

// What each analysed block costs the display: the view drawn into the surface.
void RunDrawBlock(benchmark::State& state, int mode)
{
    PaintRig rig(mode);
    for (auto _ : state)
        rig.renderer.DrawBlock(rig.rc);
}

// One paint: the visible band of the surface stretched to the window picture
// and the cursor label.
void RunPaint(benchmark::State& state, int mode)
{
    PaintRig rig(mode);
    for (auto _ : state)
        rig.renderer.Render(&rig.window, rig.rc);
}

void BM_DrawBlock1920x1080_Mode0_LogStereoOversample8(benchmark::State& state)
{
    RunDrawBlock(state, 0);
}
BENCHMARK(BM_DrawBlock1920x1080_Mode0_LogStereoOversample8)->Unit(benchmark::kMillisecond);

void BM_DrawBlock1920x1080_Mode2(benchmark::State& state)
{
    RunDrawBlock(state, 2);
}
BENCHMARK(BM_DrawBlock1920x1080_Mode2)->Unit(benchmark::kMillisecond);

void BM_DrawBlock1920x1080_Mode3(benchmark::State& state)
{
    RunDrawBlock(state, 3);
}
BENCHMARK(BM_DrawBlock1920x1080_Mode3)->Unit(benchmark::kMillisecond);

void BM_DrawBlock1920x1080_Mode4(benchmark::State& state)
{
    RunDrawBlock(state, 4);
}
BENCHMARK(BM_DrawBlock1920x1080_Mode4)->Unit(benchmark::kMillisecond);

void BM_DrawBlock1920x1080_Mode5(benchmark::State& state)
{
    RunDrawBlock(state, 5);
}
BENCHMARK(BM_DrawBlock1920x1080_Mode5)->Unit(benchmark::kMillisecond);

void BM_Paint1920x1080_Mode0(benchmark::State& state)
{
    RunPaint(state, 0);
}
BENCHMARK(BM_Paint1920x1080_Mode0)->Unit(benchmark::kMillisecond);

void BM_Paint1920x1080_Mode2(benchmark::State& state)
{
    RunPaint(state, 2);
}
BENCHMARK(BM_Paint1920x1080_Mode2)->Unit(benchmark::kMillisecond);

// What getting one block's picture to the window costs, after the view drew
// it: the rectangles to show worked out, stretched from the surface into the
// window's picture with the label and guide, and copied from there into a
// picture standing for Qt's backing store. With the pixels moved, only the
// new columns and the label and guide are shown (the move itself is a
// request to the X server); in mode 2 the surface is copied as it is.
void RunPictureToWindow(benchmark::State& state, int mode, bool movePixels)
{
    PaintRig rig(mode);
    const SurfaceChange change = movePixels ? rig.renderer.DrawBlock(rig.rc) : SurfaceChange::Whole();
    QImage backingStore(1920, 1080, QImage::Format_ARGB32_Premultiplied);
    const QImage& surface = static_cast<CImageDC*>(rig.renderer.Surface())->Image();
    for (auto _ : state) {
        const PictureUpdate update = rig.renderer.PictureUpdateFor(change, rig.rc);
        QRegion region;
        if (update.whole)
            region = QRect(0, 0, 1920, 1080);
        for (const RECT& r : update.fresh)
            region |= QRect(r.left, r.top, RectWidth(r), RectHeight(r));
        const RECT guide = rig.renderer.GuideRect(rig.rc);
        region |= QRect(guide.left, guide.top, RectWidth(guide), RectHeight(guide));
        const RECT label = rig.window.TextRect(0, 0, rig.renderer.CursorLabel());
        region |= QRect(label.left, label.top, RectWidth(label), RectHeight(label));
        QPainter painter(&backingStore);
        if (rig.renderer.ShowsSurfaceAsIs(rig.rc)) {
            for (const QRect& r : region)
                painter.drawImage(r, surface, r);
            continue;
        }
        for (const QRect& r : region)
            rig.renderer.ShowSurface(&rig.window, rig.rc, RECT{r.left(), r.top(), r.right() + 1, r.bottom() + 1});
        rig.renderer.DrawCursor(&rig.window, rig.rc);
        for (const QRect& r : region)
            painter.drawImage(r, rig.window.Image(), r);
    }
}

void BM_PictureToWindow1920x1080_Mode0_Whole(benchmark::State& state)
{
    RunPictureToWindow(state, 0, false);
}
BENCHMARK(BM_PictureToWindow1920x1080_Mode0_Whole)->Unit(benchmark::kMillisecond);

void BM_PictureToWindow1920x1080_Mode0_PixelsMoved(benchmark::State& state)
{
    RunPictureToWindow(state, 0, true);
}
BENCHMARK(BM_PictureToWindow1920x1080_Mode0_PixelsMoved)->Unit(benchmark::kMillisecond);

void BM_PictureToWindow1920x1080_Mode2(benchmark::State& state)
{
    RunPictureToWindow(state, 2, true);
}
BENCHMARK(BM_PictureToWindow1920x1080_Mode2)->Unit(benchmark::kMillisecond);

// The frequency scale over one paint: its ticks worked out and drawn on the
// window's picture, as the main window does after the renderer's paint.
void BM_FrequencyScale1920x1080(benchmark::State& state)
{
    PaintRig rig(0);
    rig.renderer.SetView(2.25, 100);
    QImage picture = rig.window.Image().copy();
    for (auto _ : state) {
        QPainter painter(&picture);
        PaintFrequencyScale(painter, FrequencyScaleTicks(ScaleView{0, 1080, rig.renderer.Zoom(), rig.renderer.Offset(),
                                                                   FrequencyScaleLabelSpace(painter)}));
    }
}
BENCHMARK(BM_FrequencyScale1920x1080)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
