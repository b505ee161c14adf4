#include "store/stored_settings.h"

#include <algorithm>
#include <initializer_list>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "settings/measure_settings.h"
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

namespace {

constexpr const char* TransferSection = "Transfer";

// A key of `section` when it holds one of `allowed`, else `fallback`.
int32_t StoredChoice(CProfile& profile, const char* key, std::initializer_list<int32_t> allowed, int32_t fallback,
                     const char* section = MeasureSection)
{
    char text[128];
    if (profile.ReadString(section, key, text, sizeof text) == 0)
        return fallback;
    const int value = profile.ReadInt(section, key);
    return std::find(allowed.begin(), allowed.end(), value) != allowed.end() ? value : fallback;
}

} // namespace

void LoadMeasureSettings(CProfile& profile, MeasureSettings& s)
{
    const MeasureSettings defaults;
    s.Averaging = StoredChoice(profile, "Averaging", {0, 1, 2, 3, 4}, defaults.Averaging);
    s.PeakHold = StoredChoice(profile, "PeakHold", {0, 1, 2}, defaults.PeakHold);
    s.BandsPerOctave = StoredChoice(profile, "Bands", {1, 3, 6, 12}, defaults.BandsPerOctave);
    s.Weighting = StoredChoice(profile, "Weighting", {0, 1, 2}, defaults.Weighting);
    s.TimeWeighting = StoredChoice(profile, "TimeWeighting", {0, 1}, defaults.TimeWeighting);
}

void StoreMeasureSettings(CProfile& profile, const MeasureSettings& s)
{
    profile.WriteInt(MeasureSection, "Averaging", s.Averaging);
    profile.WriteInt(MeasureSection, "PeakHold", s.PeakHold);
    profile.WriteInt(MeasureSection, "Bands", s.BandsPerOctave);
    profile.WriteInt(MeasureSection, "Weighting", s.Weighting);
    profile.WriteInt(MeasureSection, "TimeWeighting", s.TimeWeighting);
}

void LoadTransferSettings(CProfile& profile, TransferSettings& s)
{
    const TransferSettings defaults;
    s.Reference = StoredChoice(profile, "Reference", {0, 1, 2}, defaults.Reference, TransferSection);
    s.Measurement = StoredChoice(profile, "Measurement", {0, 1, 2}, defaults.Measurement, TransferSection);
    s.Smoothing = StoredChoice(profile, "Smoothing", {0, 3, 6, 12, 24, 48}, defaults.Smoothing, TransferSection);
    const int threshold = profile.ReadInt(TransferSection, "CoherenceThreshold");
    s.CoherenceThreshold = threshold > 0 && threshold <= 100 ? threshold : defaults.CoherenceThreshold;
    char text[128];
    s.DelayMs = defaults.DelayMs;
    if (profile.ReadString(TransferSection, "DelayMs", text, sizeof text) > 0) {
        char* end = nullptr;
        const double ms = std::strtod(text, &end);
        if (end != text && *end == '\0' && std::isfinite(ms) && std::fabs(ms) <= 1000.0)
            s.DelayMs = ms;
    }
}

void StoreTransferSettings(CProfile& profile, const TransferSettings& s)
{
    profile.WriteInt(TransferSection, "Reference", s.Reference);
    profile.WriteInt(TransferSection, "Measurement", s.Measurement);
    profile.WriteInt(TransferSection, "Smoothing", s.Smoothing);
    profile.WriteInt(TransferSection, "CoherenceThreshold", s.CoherenceThreshold);
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", s.DelayMs);
    profile.WriteString(TransferSection, "DelayMs", text);
}
