// Each view's surface after a fixed sequence of blocks, as a hash, against
// the hashes recorded in tests/gui/data/view_hashes.txt: work on how the
// views draw must leave every pixel as it was. With TAVI_WRITE_VIEW_HASHES
// set, the test writes the file instead (only for a deliberate change of
// the pictures).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "analysis/block_readings.h"
#include "analysis/wave_capture.h"
#include "display/colour_map.h"
#include "display/renderer.h"
#include "framework/qt_drawing_context.h"
#include "settings/measure_settings.h"
#include "settings/shared_settings.h"
#include "tests/input/scripted_wave_input.h"

namespace {

const std::string HashFile = std::string(TAVI_SOURCE_DIR) + "/tests/gui/data/view_hashes.txt";

// A voice-like signal: harmonics of a gliding fundamental, pulsing, over
// quiet noise; every block differs.
int16_t Sample(long n)
{
    const uint32_t noise = static_cast<uint32_t>(n) * 2654435761u ^ 0x5bd1e995u;
    const double t = n / 48000.0;
    const double f0 = 140 + 60 * std::sin(6.28318 * 0.3 * t);
    double x = 0;
    for (int h = 1; h <= 8; ++h)
        x += std::sin(6.28318 * h * f0 * t + h) / h;
    x *= 0.15 * (0.6 + 0.4 * std::sin(6.28318 * 2 * t));
    x += 0.01 * (static_cast<int32_t>(noise) / 2147483648.0);
    return static_cast<int16_t>(std::lround(x * 32767));
}

uint64_t HashOf(const QImage& image)
{
    uint64_t hash = 1469598103934665603ull;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            hash ^= row[x] & 0xFFFFFF;
            hash *= 1099511628211ull;
        }
    }
    return hash;
}

// The surface of `mode` after 80 blocks at 400 x 300, with grid, the
// logarithmic axis, contrast 30 to 60; the 1-D spectrum also with averaging
// and peak hold, the bands in thirds.
uint64_t SurfaceHash(int mode, int oversample)
{
    SharedSettings = Settings();
    SharedSettings.ContrastLow = 30;
    SharedSettings.ContrastHigh = 60;
    SharedSettings.Grid = 1;
    SharedSettings.LogScale = 1;
    SharedSettings.Oversample = oversample;
    SharedMeasureSettings = MeasureSettings();
    if (mode == CRenderer::Spectrum1D && oversample == 2) {
        SharedMeasureSettings.Averaging = 2;
        SharedMeasureSettings.PeakHold = 1;
    }
    RebuildColorMap();
    ScriptedDriver driver;
    RecordingTarget target;
    CWaveCapture engine{&driver};
    CBlockReadings readings{engine};
    CTransferMeasurement transfer;
    engine.AddConsumer(&transfer);
    CRenderer renderer;
    CImageSurfaceFactory surfaces;
    const RECT rc{0, 0, 400, 300};
    renderer.SetMeasurement(&readings.Measurement());
    renderer.SetTransfer(&transfer);
    renderer.SetDisplayMode(mode);
    engine.SetNotifyWindow(&target);
    engine.SetDisplayModeSource(renderer.DisplayModeSource());
    engine.ReconfigureConstantQ();
    renderer.UpdateCQWrapBand();
    engine.Start();
    renderer.CreateSurface(&surfaces, rc, &engine);
    std::vector<int16_t> frames(2 * 2048);
    long fed = 0;
    for (int b = 0; b < 80; ++b) {
        for (int i = 0; i < 2048; ++i)
            frames[2 * i] = frames[2 * i + 1] = Sample(fed++);
        driver.last->Push(frames);
        engine.ProcessBlock();
        renderer.DrawBlock(rc);
    }
    const uint64_t hash = HashOf(static_cast<CImageDC*>(renderer.Surface())->Image());
    engine.RemoveConsumer(&transfer);
    SharedSettings = Settings();
    SharedMeasureSettings = MeasureSettings();
    return hash;
}

TEST(ViewHashes, EveryViewDrawsThePixelsItDrewBefore)
{
    std::map<std::string, uint64_t> hashes;
    for (int mode = 0; mode <= CRenderer::LastMode; ++mode)
        for (const int oversample : {1, 2})
            hashes["mode" + std::to_string(mode) + "_oversample" + std::to_string(oversample)] =
                SurfaceHash(mode, oversample);
    if (std::getenv("TAVI_WRITE_VIEW_HASHES")) {
        std::ofstream out(HashFile);
        for (const auto& [name, hash] : hashes)
            out << name << ' ' << std::hex << hash << '\n';
        return;
    }
    std::ifstream in(HashFile);
    ASSERT_TRUE(in) << HashFile;
    std::string name;
    std::string hex;
    int checked = 0;
    while (in >> name >> hex) {
        ASSERT_TRUE(hashes.count(name)) << name;
        EXPECT_EQ(hashes[name], std::stoull(hex, nullptr, 16)) << name;
        ++checked;
    }
    EXPECT_EQ(checked, static_cast<int>(hashes.size()));
}

} // namespace
