#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "capture/wave_capture.h"
#include "display/colour_map.h"
#include "display/qt_drawing_context.h"
#include "display/renderer.h"
#include "settings/shared_settings.h"
#include "tests/capture/scripted_wave_input.h"

namespace {

// One complete paint at 1920 x 1080: the view into the surface, the stretch
// of its visible band to the window picture and the cursor label.
void RunPaint(benchmark::State& state, int mode)
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

    ScriptedDriver driver;
    RecordingTarget target;
    CWaveCapture engine(&driver);
    CRenderer renderer;
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

    const RECT rc{0, 0, 1920, 1080};
    CImageSurfaceFactory surfaces;
    renderer.CreateSurface(&surfaces, rc, &engine);
    renderer.SetDisplayMode(mode);
    renderer.SetCursor(440.0, 300);
    CImageDC window(1920, 1080);
    for (auto _ : state)
        renderer.Render(&window, rc);
    SharedSettings = Settings();
}

void BM_Paint1920x1080_Mode0_LogStereoOversample8(benchmark::State& state)
{
    RunPaint(state, 0);
}
BENCHMARK(BM_Paint1920x1080_Mode0_LogStereoOversample8)->Unit(benchmark::kMillisecond);

void BM_Paint1920x1080_Mode2(benchmark::State& state)
{
    RunPaint(state, 2);
}
BENCHMARK(BM_Paint1920x1080_Mode2)->Unit(benchmark::kMillisecond);

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
