#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "analysis/block_readings.h"
#include "analysis/wave_capture.h"
#include "display/colour_map.h"
#include "display/renderer.h"
#include "settings/shared_settings.h"
#include "tests/display/memory_dc.h"
#include "tests/input/scripted_wave_input.h"

// A renderer on a 400 x 300 memory surface over an engine fed by a scripted
// device. Settings start from their load-time values with contrast 30..60;
// a fixture changes them in Configure.
class RenderRig : public ::testing::Test {
protected:
    void SetUp() override
    {
        SharedSettings = Settings();
        SharedSettings.ContrastLow = 30;
        SharedSettings.ContrastHigh = 60;
        Configure();
        RebuildColorMap();
        engine.SetNotifyWindow(&target);
        engine.SetDisplayModeSource(renderer.DisplayModeSource());
        renderer.SetMeasurement(&readings.Measurement());
        engine.Start();
        renderer.CreateSurface(&surfaces, rc, &engine);
    }
    void TearDown() override { SharedSettings = Settings(); }
    virtual void Configure() {}

    // Blocks of `sample(n)` (rounded) on both channels, each analysed, and
    // drawn when `draw` is set.
    template <typename Sample>
    void Feed(int blocks, Sample sample, bool draw = true)
    {
        std::vector<int16_t> frames(2 * 2048);
        for (int b = 0; b < blocks; ++b) {
            for (int i = 0; i < 2048; ++i)
                frames[2 * i] = frames[2 * i + 1] = int16_t(std::lround(sample(fed + i)));
            fed += 2048;
            driver.last->Push(frames);
            engine.ProcessBlock();
            if (draw)
                renderer.DrawBlock(rc);
        }
    }

    MemoryDC& Surface() { return *static_cast<MemoryDC*>(renderer.Surface()); }

    const RECT rc{0, 0, 400, 300};
    ScriptedDriver driver;
    RecordingTarget target;
    CWaveCapture engine{&driver};
    CBlockReadings readings{engine};
    MemorySurfaces surfaces;
    CRenderer renderer;
    long fed = 0;
};
