#include "store/stored_settings.h"

#include <algorithm>
#include <cmath>

#include "settings/shared_settings.h"
#include "store/profile.h"

namespace {

const int WindowSizes[WindowSizeListSize] = {512, 1024, 2048, 4096, 8192};

} // namespace

const StoredCheck StoredChecks[StoredCheckCount] = {
    {"Check1", &Settings::LogScale},    {"Check2", &Settings::Grid},        {"Check3", &Settings::HighEmphasis},
    {"Check4", &Settings::CursorGuide}, {"Check7", &Settings::Grid2},       {"Check8", &Settings::WrapUnderCQ},
    {"Check9", &Settings::TempoDetector},
};

float ReadStoredFloat(CProfile& profile, const char* key)
{
    const float value = static_cast<float>(profile.ReadFloat(SettingSection, key));
    return std::isfinite(value) ? value : 0.0f;
}

float StoredMaxFreq(CProfile& profile)
{
    const float value = ReadStoredFloat(profile, "MaxFreq");
    if (value < MaxFreqLowest)
        return MaxFreqDefault;
    return std::min(value, MaxFreqHighest);
}

int StoredOversample(CProfile& profile)
{
    const int value = profile.ReadInt(SettingSection, "Oversample");
    return value < 1 || value > 16 ? 1 : value;
}

int StoredContrast(CProfile& profile, const char* key)
{
    return std::clamp(profile.ReadInt(SliderSection, key), ContrastLowest, ContrastHighest);
}

int StoredWindowTypeIndex(CProfile& profile)
{
    const int index = profile.ReadInt(SettingSection, "WindowType");
    return index >= 0 && index < WindowTypeListSize ? index : -1;
}

int StoredColorTypeIndex(CProfile& profile)
{
    const int index = profile.ReadInt(SettingSection, "ColorType");
    return index >= 0 && index < ColorTypeListSize ? index : -1;
}

int StoredWindowSizeIndex(CProfile& profile)
{
    const int index = profile.ReadInt(SettingSection, "WindowSize");
    if (index < 0)
        return 3;
    return index < WindowSizeListSize ? index : -1;
}

int ColorTypeOf(int stored)
{
    return stored == 1 || stored == 2 ? stored : 0;
}

int WindowSizeOf(int index)
{
    return index >= 0 && index < WindowSizeListSize ? WindowSizes[index] : 4096;
}

void LoadStoredSettings(CProfile& profile, Settings& settings)
{
    for (const StoredCheck& c : StoredChecks)
        settings.*c.setting = profile.ReadInt(SettingSection, c.key) != 0;
    settings.Oversample = StoredOversample(profile);
    settings.ContrastLow = StoredContrast(profile, "Slider1");
    settings.ContrastHigh = StoredContrast(profile, "Slider2");
    settings.WindowType = StoredWindowTypeIndex(profile);
    settings.ColorType = ColorTypeOf(profile.ReadInt(SettingSection, "ColorType"));
    settings.WindowSize = WindowSizeOf(StoredWindowSizeIndex(profile));
    settings.MaxFreq = StoredMaxFreq(profile);
    settings.AMinFreq = ReadStoredFloat(profile, "AMinFreq");
    settings.SignalThre = ReadStoredFloat(profile, "SignalThre");
    settings.Stereo = profile.ReadInt(SettingSection, "Stereo");
    settings.CQAdjustmentValue = ReadStoredFloat(profile, "CQAdjustmentValue");
}
