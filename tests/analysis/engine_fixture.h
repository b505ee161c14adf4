#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "analysis/block_readings.h"
#include "analysis/wave_capture.h"
#include "settings/shared_settings.h"
#include "tests/input/scripted_wave_input.h"

// An engine started on a scripted source, with our readings wired to it as
// the main window wires them; each Feed hands over one buffer of 2048
// frames and analyses it, as the main window does on a notification.
class EngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SharedSettings = Settings();
        engine.SetNotifyWindow(&target);
        engine.SetDisplayModeSource(&displayMode);
        engine.Start();
    }
    void TearDown() override { SharedSettings = Settings(); }

    // One buffer from per-frame functions of the frame's index in the stream.
    void Feed(const std::function<int16_t(long)>& left, const std::function<int16_t(long)>& right)
    {
        std::vector<int16_t> frames(2 * CWaveCapture::FramesPerBuffer);
        for (int i = 0; i < CWaveCapture::FramesPerBuffer; ++i) {
            frames[2 * i] = left(frameCount + i);
            frames[2 * i + 1] = right(frameCount + i);
        }
        frameCount += CWaveCapture::FramesPerBuffer;
        driver.last->Push(frames);
        engine.ProcessBlock();
    }
    void FeedBoth(const std::function<int16_t(long)>& signal) { Feed(signal, signal); }
    void FeedConstant(int16_t left, int16_t right)
    {
        Feed([=](long) { return left; }, [=](long) { return right; });
    }

    static std::function<int16_t(long)> Sine(double frequency, double amplitude)
    {
        return [=](long n) { return int16_t(std::lround(amplitude * std::sin(2 * M_PI * frequency * n / 48000.0))); };
    }

    ScriptedDriver driver;
    RecordingTarget target;
    int displayMode = 0;
    CWaveCapture engine{&driver};
    CBlockReadings readings{engine};
    long frameCount = 0;
};
