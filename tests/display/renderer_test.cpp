#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "analysis/wave_capture.h"
#include "display/colour_map.h"
#include "display/harmonic_analysis.h"
#include "display/note_names.h"
#include "display/renderer.h"
#include "settings/shared_settings.h"
#include "tests/display/memory_dc.h"
#include "tests/display/render_rig.h"
#include "tests/input/scripted_wave_input.h"

namespace {

TEST(NoteNames, NamesAndLabelRules)
{
    EXPECT_STREQ(NoteName(261.63), "C");
    EXPECT_STREQ(NoteName(440.0), "A");
    EXPECT_STREQ(NoteName(1000.0), "B");
    EXPECT_STREQ(NoteName(55.0), "Bb/A#");
    EXPECT_STREQ(NoteName(62.0), "C");
    EXPECT_EQ(CursorLabelRuleA(440.0), "440.0[Hz] (A)");
    EXPECT_EQ(CursorLabelRuleA(261.63), "261.6[Hz] (C)");
    EXPECT_EQ(CursorLabelRuleA(50.0), "50.0[Hz]");
    EXPECT_EQ(CursorLabelRuleA(12000.0), "12000.0[Hz]");
    EXPECT_EQ(CursorLabelRuleB(12000.0), "12000.0[Hz] (F#/Gb)");
    EXPECT_EQ(CursorLabelRuleB(50.0), "");
}

TEST(HarmonicAnalysis, ResultLines)
{
    std::vector<float> E(4096, 0.0f);
    EXPECT_EQ(HarmonicAnalysisText(E.data()), "Not detected");
    E[171] = 1.0f;
    EXPECT_EQ(HarmonicAnalysisText(E.data()), "fc = 1001.0[Hz], THD = 0.00[%], THD+N = 0.00[%]");
    E[171] = 0.0f;
    E[100] = 1.0f;
    E[200] = 0.1f;
    EXPECT_EQ(HarmonicAnalysisText(E.data()), "fc = 585.0[Hz], THD = 10.00[%], THD+N = 10.00[%]");

    std::vector<float> edge(4096, 0.0f);
    edge[10] = 1.0f;
    EXPECT_EQ(HarmonicAnalysisText(edge.data()), "Not detected");
    edge[10] = 0.0f;
    edge[4086] = 1.0f;
    EXPECT_EQ(HarmonicAnalysisText(edge.data()), "Not detected");

    std::vector<float> twins(4096, 0.0f);
    twins[3000] = twins[300] = 2.0f;
    EXPECT_EQ(HarmonicAnalysisText(twins.data()).substr(0, 16), "fc = 1757.0[Hz],") << "the lower bin wins";
}

class Rendering : public RenderRig {
protected:
    // Analysed, not drawn; samples truncated toward zero.
    void FeedSine(double frequency, int blocks)
    {
        Feed(blocks, [frequency](long n) { return std::trunc(20000 * std::sin(2 * M_PI * frequency * n / 48000.0)); },
             false);
    }
};

TEST_F(Rendering, ZoomKeepsTheBandInsideTheSurface)
{
    const RECT tall{0, 0, 500, 600};
    renderer.ZoomIn(tall);
    EXPECT_DOUBLE_EQ(renderer.Zoom(), 1.5);
    EXPECT_EQ(renderer.Offset(), 100);
    EXPECT_EQ(renderer.VisibleBand(600).top, 100);
    EXPECT_EQ(renderer.VisibleBand(600).bottom, 500);
    renderer.ZoomOut(tall);
    EXPECT_DOUBLE_EQ(renderer.Zoom(), 1.0);
    EXPECT_EQ(renderer.Offset(), 0);
    renderer.ZoomOut(tall);
    EXPECT_DOUBLE_EQ(renderer.Zoom(), 1.0);
    EXPECT_EQ(renderer.Offset(), 0);
    for (int i = 0; i < 40; ++i)
        renderer.ZoomIn(tall);
    EXPECT_LE(renderer.Zoom(), 600.0);
    const auto band = renderer.VisibleBand(600);
    EXPECT_GE(band.bottom - band.top, 1) << "at least one row stays visible";
    EXPECT_GE(band.top, 0);
}

TEST_F(Rendering, CursorFrequencyOnBothScales)
{
    SharedSettings.MaxFreq = 22050.0f;
    SharedSettings.LogScale = true;
    EXPECT_NEAR(renderer.CursorFrequency(0, 600), 32.0, 1e-9);
    EXPECT_NEAR(renderer.CursorFrequency(600, 600), 22050.0, 1e-6);
    SharedSettings.LogScale = false;
    // MaxFreq * q / h * trunc(row * 48000 / 8192) * 4
    const double q = 22050.0 * double(0.04266666620969772f) / 600;
    EXPECT_DOUBLE_EQ(renderer.CursorFrequency(300, 600), q * ((300 * 48000) / 8192) * 4);
    EXPECT_NEAR(renderer.CursorFrequency(300, 600), 22050.0 / 2, 30.0);
}

TEST_F(Rendering, BandAboveTheSurfaceComesOutBlack)
{
    SharedSettings.LogScale = true;
    FeedSine(1000.0, 5);
    renderer.SetOffset(400);  // bottom = 300 - 400 < 0
    MemoryDC window(400, 300);
    std::fill(window.pixels.begin(), window.pixels.end(), 0xFFFFFFFFu);
    renderer.DrawBlock(rc);
    renderer.Render(&window, rc);
    for (int y = 0; y < 300; y += 7)
        ASSERT_EQ(window.At(200, y), 0u) << y;
}

TEST_F(Rendering, LogarithmicSpectrogramDrawsTheToneAtItsRow)
{
    SharedSettings.LogScale = true;
    SharedSettings.WindowSize = 8192;
    SharedSettings.WindowType = 1;
    SharedSettings.MaxFreq = 22050.0f;
    FeedSine(1000.0, 5);
    MemoryDC window(400, 300);
    renderer.DrawBlock(rc);
    renderer.Render(&window, rc);
    const int h = 300;
    const int row = int(std::lround((std::log2(1000.0) - 5) * h / (std::log2(22050.0) - 5)));
    const int x = 400 - 10;  // the newest column of the surface
    const uint32_t onTone = Surface().At(x, h - row);
    const uint32_t farAway = Surface().At(x, h - row + 60);
    auto brightness = [](uint32_t c) { return (c & 0xFF) + (c >> 8 & 0xFF) + (c >> 16 & 0xFF); };
    EXPECT_GT(brightness(onTone), 300u);
    EXPECT_LT(brightness(farAway), 100u);
    EXPECT_EQ(Surface().At(400 - 9, h - row), 0u) << "the last nine columns are never drawn";
    EXPECT_TRUE(window.texts.empty()) << "no label without CursorGuide";
}

TEST_F(Rendering, OversampleSetsTheColumnsPerPaint)
{
    SharedSettings.LogScale = true;
    FeedSine(1000.0, 5);
    for (const auto& [oversample, columns] : {std::pair{1, 2}, {4, 8}, {12, 2}}) {
        SharedSettings.Oversample = oversample;
        renderer.SetDisplayMode(2);
        renderer.SetDisplayMode(0);  // back from mode 2: a black surface
        MemoryDC window(400, 300);
        renderer.DrawBlock(rc);
        renderer.Render(&window, rc);
        int drawn = 0;
        for (int x = 200; x < 400; ++x) {
            bool any = false;
            for (int y = 0; y < 300 && !any; ++y)
                any = Surface().At(x, y) != 0;
            drawn += any;
        }
        EXPECT_EQ(drawn, columns) << "Oversample " << oversample;
    }
}

TEST_F(Rendering, PauseStopsTheScrollingButNotTheNewestColumns)
{
    SharedSettings.LogScale = true;
    SharedSettings.Pause = true;
    FeedSine(1000.0, 5);
    MemoryDC window(400, 300);
    renderer.DrawBlock(rc);
    renderer.DrawBlock(rc);
    renderer.Render(&window, rc);
    int drawn = 0;
    for (int x = 200; x < 400; ++x)
        drawn += Surface().At(x, 150) != 0 || Surface().At(x, 200) != 0 || Surface().At(x, 100) != 0;
    EXPECT_LE(drawn, 2);
}

TEST_F(Rendering, CursorLabelAndGuideLine)
{
    SharedSettings.CursorGuide = true;
    FeedSine(440.0, 2);
    renderer.SetCursor(440.0, 123);
    MemoryDC window(400, 300);
    renderer.DrawBlock(rc);
    renderer.Render(&window, rc);
    ASSERT_EQ(window.texts.size(), 1u);
    EXPECT_EQ(window.texts[0].text, "440.0[Hz] (A)");
    EXPECT_EQ(window.texts[0].colour, 0xC0C0C0u);
    EXPECT_EQ(window.texts[0].background, 0u);
    ASSERT_EQ(window.lines.size(), 1u);
    EXPECT_EQ(window.lines[0].y1, 123);
    EXPECT_EQ(window.lines[0].x2, 400);
    EXPECT_EQ(window.lines[0].colour, 0xC04000u);

    renderer.SetDisplayMode(2);
    MemoryDC plain(400, 300);
    renderer.DrawBlock(rc);
    renderer.Render(&plain, rc);
    for (const auto& t : plain.texts)
        EXPECT_EQ(t.text.find("[Hz] ("), std::string::npos) << "no cursor label in mode 2";
    EXPECT_TRUE(plain.lines.empty());
}

TEST_F(Rendering, SpectrumViewShowsTheToneAndItsResult)
{
    SharedSettings.WindowSize = 8192;
    SharedSettings.Grid = true;
    renderer.SetDisplayMode(2);
    FeedSine(171 * 48000.0 / 8192, 5);
    MemoryDC window(400, 300);
    renderer.DrawBlock(rc);
    renderer.Render(&window, rc);
    std::vector<std::string> texts;
    for (const auto& t : Surface().texts)
        texts.push_back(t.text);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.front(), "this is text.");
    EXPECT_EQ(texts.back().substr(0, 16), "fc = 1001.0[Hz],");
    EXPECT_NE(std::find(texts.begin(), texts.end(), "63"), texts.end()) << "62.5 Hz rounds away from zero";
    EXPECT_NE(std::find(texts.begin(), texts.end(), "0[dB]"), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), "[Hz]"), texts.end());
    EXPECT_EQ(Surface().At(100, 60), RGB(255, 255, 255)) << "white background inside the plot";
    EXPECT_EQ(window.At(100, 60), Surface().At(100, 60)) << "mode 2 shows the whole width";
    EXPECT_GE(renderer.Spectrum1DView().PeakHold(), 1.0);

    SharedSettings.Pause = true;
    const std::vector<uint32_t> before = Surface().pixels;
    renderer.DrawBlock(rc);
    renderer.Render(&window, rc);
    EXPECT_EQ(Surface().pixels, before) << "Pause leaves the picture";
}

TEST_F(Rendering, ConstantQViewLeavesRowsOutsideTheNotesAtTheFloor)
{
    renderer.SetDisplayMode(1);
    SharedSettings.MaxFreq = 22050.0f;
    FeedSine(440.0, 18);  // the frames are centred half a second back
    MemoryDC window(400, 300);
    renderer.DrawBlock(rc);
    renderer.Render(&window, rc);
    const int x = 400 - 10;
    EXPECT_EQ(Surface().At(x, 5), ColorMap[0]) << "above note 110";
    const int row = int((std::log2(440.0) - 5) * 300 / (std::log2(22050.0) - 5));
    EXPECT_NE(Surface().At(x, 300 - row), ColorMap[0]);

}

TEST_F(Rendering, SwitchingModesClearsOnlyWhenEnteringTheSpectrograms)
{
    SharedSettings.LogScale = true;
    FeedSine(1000.0, 5);
    MemoryDC window(400, 300);
    renderer.DrawBlock(rc);
    renderer.Render(&window, rc);
    auto anyDrawn = [&] {
        for (uint32_t p : Surface().pixels)
            if ((p & 0xFFFFFF) != 0)
                return true;
        return false;
    };
    ASSERT_TRUE(anyDrawn());
    renderer.SetDisplayMode(1);
    EXPECT_TRUE(anyDrawn()) << "0 to 1 keeps the picture";
    renderer.SetDisplayMode(2);
    renderer.SetDisplayMode(0);
    EXPECT_FALSE(anyDrawn()) << "entering from mode 2 starts from black";
}

// The views clamp every row and bin they work out from a setting: no value,
// however far from what the panel or the INI file can give, takes them
// outside their arrays or the surface (the sanitizer run checks the reads
// and writes, and every float-to-int conversion).
TEST_F(Rendering, NoSettingTakesTheViewsOutsideTheirBuffers)
{
    const double nan = std::nan("");
    const double inf = HUGE_VAL;
    const struct {
        const char* name;
        float maxFreq;
        float adjustment;
    } cases[] = {{"1e11", 1e11f, 0}, {"-1e11", -1e11f, 0}, {"0", 0, 0},           {"1", 1, 0},
                 {"32", 32, 0},      {"nan", float(nan), float(nan)},             {"inf", float(inf), float(inf)},
                 {"adjustment", 22050, 3e38f}, {"negative adjustment", 22050, -3e38f}};
    for (const auto& c : cases) {
        for (const bool logScale : {false, true}) {
            SharedSettings.MaxFreq = c.maxFreq;
            SharedSettings.CQAdjustmentValue = c.adjustment;
            SharedSettings.LogScale = logScale;
            SharedSettings.Grid = SharedSettings.Grid2 = SharedSettings.WrapUnderCQ = true;
            SharedSettings.Stereo = 1;
            SharedSettings.Oversample = 8;
            engine.ReconfigureConstantQ();
            renderer.UpdateCQWrapBand();
            for (int mode = CRenderer::Spectrogram; mode <= CRenderer::SpectrumEnvelope; ++mode) {
                SCOPED_TRACE(std::string(c.name) + (logScale ? ", log" : ", linear") + ", mode " + std::to_string(mode));
                renderer.SetDisplayMode(mode);
                Feed(2, [](long n) { return 8000 * std::sin(2 * M_PI * 1000 * n / 48000.0); });
                EXPECT_EQ(renderer.Surface()->Width(), 400);
            }
        }
    }
}

TEST(SpectrogramColumns, BandRowsAreLeftAlone)
{
    SharedSettings = Settings();
    SharedSettings.ContrastLow = 10;
    SharedSettings.ContrastHigh = 100;
    RebuildColorMap();
    MemoryDC dc(3, 302);
    BITMAP bm = dc.Pixels();
    std::vector<float> values(2048, 50.0f);
    const ColumnBand band{100, 200};
    DrawColumn(&bm, values.data(), 2048, 1, 0, 300, &band);
    EXPECT_NE(dc.At(1, 300 - 100), 0u);
    EXPECT_EQ(dc.At(1, 300 - 101), 0u);
    EXPECT_EQ(dc.At(1, 300 - 199), 0u);
    EXPECT_NE(dc.At(1, 300 - 200), 0u);

    // A pure tone with PolesOnly: a three-pixel mark at the peak row.
    SharedSettings.PolesOnly = true;
    MemoryDC poles(3, 302);
    BITMAP pb = poles.Pixels();
    std::vector<float> tone(2048);
    for (int k = 0; k < 2048; ++k)
        tone[k] = float(80 * std::exp(-std::pow((k - 1024) / 40.0, 2)));
    DrawColumn(&pb, tone.data(), 2048, 1, 0, 256, nullptr);
    int marked = 0;
    for (int y = 0; y < 302; ++y)
        marked += poles.At(1, y) != 0;
    EXPECT_EQ(marked, 3);
    SharedSettings = Settings();
}

} // namespace
