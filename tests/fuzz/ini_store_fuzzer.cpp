// The INI store on arbitrary file contents: any sequence of reads and writes
// of arbitrary keys and values must keep the store's promises. Reads give at
// most size - 1 characters, terminated; a write succeeds on a readable file;
// every value written reads back (cut to 127 characters), and so do all the
// values written before it. Then the settings the file holds are read as
// the program reads them, and a block analysed with them is drawn by each
// view.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>

#include "analysis/wave_capture.h"
#include "display/colour_map.h"
#include "display/renderer.h"
#include "settings/shared_settings.h"
#include "store/profile.h"
#include "store/stored_settings.h"
#include "tests/display/memory_dc.h"
#include "tests/fuzz/fuzz_temp_file.h"
#include "tests/input/scripted_wave_input.h"

namespace {

// Section and key names as the program uses them: letters and digits.
std::string Name(FuzzedDataProvider& input)
{
    std::string name = input.ConsumeRandomLengthString(12);
    name.erase(std::remove_if(name.begin(), name.end(), [](char c) { return !std::isalnum(uint8_t(c)); }),
               name.end());
    return name.empty() ? "K" : name;
}

// Printable text without blanks at either end (the store trims them).
std::string Value(FuzzedDataProvider& input)
{
    std::string value = input.ConsumeRandomLengthString(300);
    value.erase(std::remove_if(value.begin(), value.end(), [](char c) { return c < 0x20 || c > 0x7E; }),
                value.end());
    const size_t first = value.find_first_not_of(' ');
    if (first == std::string::npos)
        return std::string();
    return value.substr(first, value.find_last_not_of(' ') - first + 1);
}

std::string Lower(std::string text)
{
    for (char& c : text)
        c = char(std::tolower(uint8_t(c)));
    return text;
}

std::string Read(CProfile& profile, const std::string& section, const std::string& key, int size)
{
    std::vector<char> buffer(size_t(size) + 1, '#');
    const int count = profile.ReadString(section.c_str(), key.c_str(), buffer.data(), size);
    if (count < 0 || count > size - 1 || buffer[size_t(count)] != '\0' || buffer[size_t(size)] != '#')
        FuzzFailure("a read went past its buffer or was not terminated");
    return std::string(buffer.data(), size_t(count));
}

// Every field of the settings, for telling whether an input changed them.
std::string SettingsKey(const Settings& s)
{
    char key[512];
    std::snprintf(key, sizeof key, "%d %d %d%d%d%d%d%d%d%d%d %a %d %a %d %a %d %a %d %d", s.ContrastLow, s.ContrastHigh,
                  s.LogScale, s.Grid, s.Grid2, s.HighEmphasis, s.CursorGuide, s.Pause, s.WrapUnderCQ, s.TempoDetector,
                  s.PolesOnly, double(s.MaxFreq), s.Oversample, double(s.AMinFreq), s.WindowType, double(s.SignalThre),
                  s.Stereo, double(s.CQAdjustmentValue), s.WindowSize, s.ColorType);
    return key;
}

// An engine and a renderer kept between inputs.
class ViewRig {
public:
    ViewRig()
    {
        engine.SetNotifyWindow(&target);
        engine.SetDisplayModeSource(renderer.DisplayModeSource());
        engine.Start();
        renderer.CreateSurface(&surfaces, rc, &engine);
    }

    // One block analysed with the settings, then drawn by every view. The
    // constant-Q kernel keeps its first build: building it for every value
    // of the adjustment would take most of the time (the renderer's tests
    // build it with extreme ones).
    void DrawEveryView()
    {
        renderer.UpdateCQWrapBand();
        RebuildColorMap();
        std::vector<int16_t> frames(2 * CWaveCapture::FramesPerBuffer);
        for (size_t i = 0; i < frames.size(); ++i)
            frames[i] = int16_t((i * 2654435761u >> 16) % 20000) - 10000;
        renderer.SetDisplayMode(CRenderer::Spectrogram);
        driver.last->Push(frames);
        engine.ProcessBlock();
        for (int mode = CRenderer::Spectrogram; mode <= CRenderer::SpectrumEnvelope; ++mode) {
            renderer.SetDisplayMode(mode);
            renderer.DrawBlock(rc);
        }
    }

private:
    const RECT rc{0, 0, 160, 120};
    ScriptedDriver driver;
    RecordingTarget target;
    CWaveCapture engine{&driver};
    MemorySurfaces surfaces;
    CRenderer renderer;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const std::string& path = FuzzTempFile("tavimeter.ini");
    const std::string contents = input.ConsumeRandomLengthString(size);
    WriteFuzzFile(path, contents.data(), contents.size());

    CProfile profile(path);
    std::map<std::pair<std::string, std::string>, std::string> written;
    for (int step = 0; step < 16 && input.remaining_bytes() > 0; ++step) {
        const std::string section = Name(input);
        const std::string key = Name(input);
        if (input.ConsumeBool()) {
            Read(profile, section, key, input.ConsumeIntegralInRange(1, 200));
            continue;
        }
        const std::string value = Value(input);
        if (profile.WriteString(section.c_str(), key.c_str(), value.c_str()) != 1)
            FuzzFailure("a write to a readable file failed");
        written[{Lower(section), Lower(key)}] = value;
        for (const auto& [name, expected] : written) {
            if (Read(profile, name.first, name.second, 128) != expected.substr(0, 127))
                FuzzFailure("[" + name.first + "] " + name.second + " does not read back as written");
        }
    }

    // The views are drawn only for settings not drawn with just before:
    // most inputs change no setting, and drawing is slow beside parsing.
    static ViewRig views;
    static std::string drawn;
    Settings loaded;
    LoadStoredSettings(profile, loaded);
    const std::string key = SettingsKey(loaded);
    if (key != drawn) {
        SharedSettings = loaded;
        views.DrawEveryView();
        drawn = key;
    }
    return 0;
}
