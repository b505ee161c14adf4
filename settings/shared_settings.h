#pragma once

#include <cstdint>

// The live settings values. The settings panel writes them; the engine and
// the views read them at each use, all on the GUI thread.
struct Settings {
    int32_t ContrastLow = 100;
    int32_t ContrastHigh = 0;
    bool LogScale = false;
    bool Grid = false;
    bool Grid2 = false;
    bool HighEmphasis = false;
    bool CursorGuide = false;
    bool Pause = false;
    bool WrapUnderCQ = false;
    bool TempoDetector = false;
    float MaxFreq = 22050.0f;
    bool PolesOnly = false;
    int32_t Oversample = 0;
    float AMinFreq = 0.0f;
    int32_t WindowType = 0;
    float SignalThre = 0.0f;
    int32_t Stereo = 0;
    float CQAdjustmentValue = 0.0f;
    int32_t WindowSize = 0;
    int32_t ColorType = 0;
};

extern Settings SharedSettings;
