#pragma once

class CProfile;
struct MeasureSettings;
struct TransferSettings;
struct Settings;

// The keys of the settings panel and its pages as the program reads them:
// each value brought into the range its control or its use accepts, so that
// no stored text can put the views or the engine outside their buffers.

// The INI sections of the settings panel and its pages.
constexpr const char* SettingSection = "SettingWindow";
constexpr const char* SliderSection = "Ctrl";

// The range of the upper frequency bound that the edit "Max. Freq (Hz)"
// accepts, and what a stored value below it gives.
constexpr float MaxFreqLowest = 100.0f;
constexpr float MaxFreqHighest = 24000.0f;
constexpr float MaxFreqDefault = 22050.0f;
// The contrast values: the sliders' positions + 1, and 0 for a missing key.
constexpr int ContrastLowest = 0;
constexpr int ContrastHighest = 101;
constexpr int WindowTypeListSize = 10;
constexpr int ColorTypeListSize = 3;
constexpr int WindowSizeListSize = 5;

// The check boxes stored as "Check1" ... "Check9" (5 and 6 do not exist):
// non-zero means on.
struct StoredCheck {
    const char* key;
    bool Settings::*setting;
};
constexpr int StoredCheckCount = 7;
extern const StoredCheck StoredChecks[StoredCheckCount];

// A float key of the panel; a value that is not a finite float (which the
// program never writes) reads as a missing one, 0.
float ReadStoredFloat(CProfile& profile, const char* key);
// "MaxFreq": below 100 (a missing key included) 22050, above 24000 24000.
float StoredMaxFreq(CProfile& profile);
// "Oversample": a value <= 0 or > 16 gives 1.
int StoredOversample(CProfile& profile);
// "Slider1" or "Slider2" of section "Ctrl", brought into 0..101.
int StoredContrast(CProfile& profile, const char* key);

// The selections of the panel's lists, -1 for none. "WindowType": 0..9,
// else none. "ColorType": 0..2, else none. "WindowSize": 0..4; negative
// gives 3 (4096 points), above 4 none.
int StoredWindowTypeIndex(CProfile& profile);
int StoredColorTypeIndex(CProfile& profile);
int StoredWindowSizeIndex(CProfile& profile);
// The colour scheme of a stored "ColorType": 1 and 2 are taken, every other
// value gives 0.
int ColorTypeOf(int stored);
// The transform size of a "WindowSize" selection; 4096 for none.
int WindowSizeOf(int index);

// Every key of the panel and its pages, read as above, into `settings`, as
// the panel publishes them when it opens.
void LoadStoredSettings(CProfile& profile, Settings& settings);

// Our own section of the measuring settings: "Averaging" 0..4, "PeakHold"
// 0..2, "Bands" 1, 3, 6 or 12, "Weighting" 0..2 (Z, A, C), "TimeWeighting"
// 0..1 (Fast, Slow); a missing or other value keeps the default.
constexpr const char* MeasureSection = "Measure";
void LoadMeasureSettings(CProfile& profile, MeasureSettings& settings);
void StoreMeasureSettings(CProfile& profile, const MeasureSettings& settings);
// Section [Transfer]: Reference, Measurement (0 left, 1 right, 2 generator),
// Smoothing (N of 1/N octave, 0 none), CoherenceThreshold (percent) and
// DelayMs (a decimal number); a value out of range is left at its default.
void LoadTransferSettings(CProfile& profile, TransferSettings& settings);
void StoreTransferSettings(CProfile& profile, const TransferSettings& settings);
