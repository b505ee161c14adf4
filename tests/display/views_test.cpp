#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "analysis/wave_capture.h"
#include "display/colour_map.h"
#include "display/keyboard_picture.h"
#include "display/pitch_classes.h"
#include "display/renderer.h"
#include "display/speech_view.h"
#include "dsp/frequency_axis.h"
#include "settings/measure_settings.h"
#include "settings/shared_settings.h"
#include "tests/display/memory_dc.h"
#include "tests/display/render_rig.h"
#include "tests/input/scripted_wave_input.h"

namespace {

constexpr uint32_t White = RGB(255, 255, 255);
constexpr uint32_t Green = RGB(0, 255, 0);
constexpr uint32_t SpectrumGrey = RGB(64, 64, 64);
constexpr uint32_t WaveformRed = RGB(128, 32, 32);

uint32_t ColourAt(MemoryDC& dc, int x, int y)
{
    return dc.At(x, y);
}

// Rows above the bottom of frequency f on the views' logarithmic axis.
int AxisRow(double f, int H, double maxFreq)
{
    return int((std::log2(f) - 5) * H / (std::log2(maxFreq) - 5));
}

class Views : public RenderRig {
protected:
    void Configure() override
    {
        SharedSettings.ContrastLow = 20;
        SharedSettings.WindowSize = 8192;
        SharedSettings.WindowType = 1;
        SharedSettings.LogScale = true;
        SharedSettings.MaxFreq = 8000.0f;
    }

    // A vowel-like tone: harmonics of f0 under two formant peaks.
    void FeedVowel(int blocks, double amplitude = 6000.0, double f0 = 150.0)
    {
        Feed(blocks, [f0, amplitude](long n) {
            double v = 0;
            for (int k = 1; k * f0 < 6000; ++k) {
                const double f = k * f0;
                const double gain = 1 / (1 + std::pow((f - 700) / 120, 2)) + 0.5 / (1 + std::pow((f - 1800) / 150, 2));
                v += gain * std::sin(2 * M_PI * f * n / 48000.0);
            }
            return amplitude * v;
        });
    }
};

TEST_F(Views, LogScaleOffAndPauseKeepTheScrollingPictures)
{
    for (const int mode : {CRenderer::LPCSpectrogram, CRenderer::Speech}) {
        renderer.SetDisplayMode(mode);
        FeedVowel(4);
        const std::vector<uint32_t> before = Surface().pixels;
        SharedSettings.LogScale = false;
        FeedVowel(2);
        EXPECT_EQ(Surface().pixels, before) << "mode " << mode << ": LogScale off";
        SharedSettings.LogScale = true;

        // Paused, nothing scrolls: all but the newest columns stay.
        SharedSettings.Pause = true;
        Feed(2, [](long) { return 0.0; });
        for (int x = 200; x < 280; x += 3)  // short of the newest columns of both strips
            for (int y = 0; y < 300; y += 5)
                ASSERT_EQ(Surface().pixels[size_t(y) * 400 + x], before[size_t(y) * 400 + x]) << mode << " " << x << "," << y;
        SharedSettings.Pause = false;
    }

    renderer.SetDisplayMode(CRenderer::SpectrumEnvelope);
    FeedVowel(2);
    const std::vector<uint32_t> still = Surface().pixels;
    SharedSettings.Pause = true;
    Feed(2, [](long) { return 0.0; });
    EXPECT_EQ(Surface().pixels, still) << "mode 5 paused";
}

TEST_F(Views, SpectrumEnvelopeOnSilenceAndOnAConstantHistory)
{
    SharedSettings.LogScale = false;
    SharedSettings.MaxFreq = 4000.0f;  // all rows below 7.5 kHz: the envelope stays flat
    renderer.SetDisplayMode(CRenderer::SpectrumEnvelope);
    Feed(18, [](long) { return 0.0; });
    MemoryDC& s = Surface();
    for (int y = 1; y < 300; y += 7) {
        EXPECT_EQ(ColourAt(s, 20, y), SpectrumGrey) << "the spectrum on the axis, row " << y;
        EXPECT_EQ(ColourAt(s, 20 + 60, y), Green) << "the envelope at level 1, row " << y;
        EXPECT_EQ(ColourAt(s, 20 + 61, y), White) << y;
        EXPECT_EQ(ColourAt(s, 128, y), WaveformRed) << "the waveform on its centre, row " << y;
        EXPECT_EQ(ColourAt(s, 300, y), White) << y;
    }
    // No rising zero crossing in the 1024 samples before the newest buffer:
    // the trigger ends 1024 samples back, so the upper half of the waveform
    // shows the older level (8192: 64 pixels left) and the lower half the
    // newest (16384: 128 pixels left).
    Feed(17, [](long) { return 8192.0; });
    Feed(1, [](long) { return 16384.0; });
    EXPECT_EQ(ColourAt(s, 64, 10), WaveformRed);
    EXPECT_EQ(ColourAt(s, 64, 140), WaveformRed);
    EXPECT_EQ(ColourAt(s, 0, 160), WaveformRed);
    EXPECT_EQ(ColourAt(s, 0, 290), WaveformRed);
    EXPECT_NE(ColourAt(s, 0, 10), WaveformRed);
}

TEST_F(Views, TheEnvelopePeaksAtTheFormantsInModes3And5)
{
    const int H = 300;
    const int formant = AxisRow(700.0, H, 8000.0);
    // Mode 5: the envelope trace reaches furthest right near 700 Hz.
    renderer.SetDisplayMode(CRenderer::SpectrumEnvelope);
    FeedVowel(18);
    int peakRow = -1, peakX = -1;
    for (int y = 0; y < H; ++y)
        for (int x = 399; x > 20; --x)
            if (ColourAt(Surface(), x, y) == Green) {
                if (x > peakX && (H - y) > AxisRow(300, H, 8000) && (H - y) < AxisRow(1200, H, 8000)) {
                    peakX = x;
                    peakRow = H - y;
                }
                break;
            }
    const double semitone = H / (std::log2(8000.0) - 5) / 12;
    EXPECT_NEAR(peakRow, formant, 2 * semitone) << "within two semitones of 700 Hz";

    // Mode 3: the newest column is brightest near the same row.
    renderer.SetDisplayMode(CRenderer::LPCSpectrogram);
    FeedVowel(2);
    int brightestRow = -1, brightest = -1;
    for (int y = H - AxisRow(1200, H, 8000); y < H - AxisRow(300, H, 8000); ++y) {
        const uint32_t p = Surface().At(390, y);  // 0x00BBGGRR
        const int level = int(p & 0xFF) + int(p >> 8 & 0xFF) + int(p >> 16 & 0xFF);
        if (level > brightest) {
            brightest = level;
            brightestRow = H - y;
        }
    }
    EXPECT_NEAR(brightestRow, formant, 2 * semitone);
}

// The bands view draws a block's changes only; block after block, its
// picture stays what drawing it whole gives, peaks and grid included.
TEST_F(Views, BandsDrawnBlockByBlockAreTheWholePicture)
{
    SharedMeasureSettings = MeasureSettings();
    SharedMeasureSettings.PeakHold = 2;
    SharedMeasureSettings.TimeWeighting = 0;
    renderer.SetDisplayMode(CRenderer::OctaveBands);
    int partial = 0;
    for (int b = 0; b < 40; ++b) {
        const double hz = b < 20 ? 1000.0 : 250.0;
        Feed(1, [hz, this](long n) { return 6000 * std::sin(2 * M_PI * hz * n / 48000.0) + (fed % 3) * 50; }, false);
        partial += !renderer.DrawBlock(rc).IsWhole();
    }
    EXPECT_EQ(partial, 39) << "all but the first";
    const std::vector<uint32_t> blockByBlock = Surface().pixels;
    renderer.SetDisplayMode(CRenderer::OctaveBands);  // forgets what it drew
    EXPECT_TRUE(renderer.DrawBlock(rc).IsWhole());
    EXPECT_TRUE(Surface().pixels == blockByBlock);
    SharedMeasureSettings = MeasureSettings();
}

TEST_F(Views, SpeechTeethAndLevelBars)
{
    renderer.SetDisplayMode(CRenderer::Speech);
    FeedVowel(4, 30.0);  // quiet enough for a bar below the top
    const int h = 200;  // above the level bars
    const int comb = 300 - 10, residual = 400 - 10;  // the newest columns
    auto y = [&](double f) { return h - int((std::log2(f) - 5) * h / (std::log2(8000.0) - 5)); };
    // Harmonic 5 (750 Hz) lies in a tooth; 675 Hz, between 4 and 5, does not.
    EXPECT_NE(Surface().At(comb, y(750)), 0u);
    EXPECT_EQ(Surface().At(comb, y(675)), 0u);
    EXPECT_EQ(Surface().At(residual, y(750)), 0u);

    // The comb bar of the newest frame: the mean of its 32 harmonic values on
    // the logarithmic scale from 0.1 (bottom) to 10 (top) over 100 pixels.
    const float* B = engine.GetSpectrum(0) + CWaveCapture::SecondSpectrum;
    const double S = EstimateHarmonicSpacing(B, 4096, nullptr);
    double sum = 0;
    for (int k = 1; k <= 32 && k * S + int(S / 4) < 4096; ++k)
        sum += B[int(k * S)];
    const double level = sum / 32;
    const int top = std::clamp(int(100 - 100 * std::log(level * 10 + 1e-8) / std::log(100 + 1e-8)), 0, 100);
    ASSERT_GT(top, 0) << level;
    ASSERT_LT(top, 100);
    EXPECT_EQ(ColourAt(Surface(), comb, h + top), Green);
    EXPECT_NE(ColourAt(Surface(), comb, h + top - 1), Green);
    EXPECT_EQ(ColourAt(Surface(), comb, h + 99), Green) << "the bar down to the last row of the surface";
}

TEST(HarmonicSpacing, IdealLinesAndTheSplitIntoTeeth)
{
    // Two-bin lines of 10 at trunc(k * 34.13) on a pedestal of 0.001.
    std::vector<float> spectrum(8192, 0.001f);
    for (int k = 1; k * 34.13 + 1 < 4096; ++k)
        spectrum[int(k * 34.13)] = spectrum[int(k * 34.13) + 1] = 10.0f;
    double confidence = 0;
    const double spacing = EstimateHarmonicSpacing(spectrum.data(), 4096, &confidence);
    EXPECT_NEAR(spacing, 34.13, 0.05);
    EXPECT_EQ(confidence, 1.0);

    // Teeth: 32 of 17 bins (half = 8) around trunc(k * spacing).
    std::vector<float> comb(8192), residual(8192);
    SplitHarmonics(spectrum.data(), 4096, comb.data(), residual.data());
    std::vector<float> expected(spectrum.begin(), spectrum.begin() + 4096);
    double harmonicSum = 0;
    for (int k = 1; k <= 32; ++k) {
        const int c = int(k * spacing);
        harmonicSum += spectrum[c];
        for (int i = c - 8; i <= c + 8; ++i)
            expected[i] = 0;
    }
    double residualSum = 0;
    for (const float v : expected)
        residualSum += v;
    EXPECT_FLOAT_EQ(comb[0], float(harmonicSum / 32));
    EXPECT_FLOAT_EQ(residual[0], float(residualSum / 4096));
}

TEST_F(Views, ARealHarmonicToneThroughThePipeline)
{
    Feed(6, [](long n) {
        double v = 0;
        for (int k = 1; k <= 40; ++k)
            v += std::sin(2 * M_PI * 200 * k * n / 48000.0) / 4;
        return 3000 * v;
    });
    double confidence = 0;
    const double spacing = EstimateHarmonicSpacing(engine.GetSpectrum(0), 4096, &confidence);
    EXPECT_NEAR(spacing, 200 / 5.859375, 0.1);
    EXPECT_EQ(confidence, 1.0);
}

TEST(LevelBar, TicksBottomAndFullBar)
{
    std::vector<uint32_t> pixels(3 * 120, 0);
    BITMAP bm;
    bm.bmWidth = 3;
    bm.bmHeight = 120;
    bm.bmWidthBytes = 12;
    bm.bmBits = pixels.data();
    auto at = [&](int x, int y) {
        const uint32_t p = pixels[size_t(y) * 3 + x];
        return RGB(uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p));
    };
    const uint32_t tick = RGB(128, 128, 128), green = RGB(0, 255, 0), cyan = RGB(0, 255, 255);
    EXPECT_EQ(DrawLevelBar(&bm, 0.0, 0, 10, 0.1, 10, 100, green, true, false), 100) << "below the reference";
    EXPECT_EQ(at(0, 110), green) << "only the bottom pixel";
    EXPECT_EQ(at(0, 109), 0u);
    EXPECT_EQ(at(0, 10 + 49), tick) << "level 1 at offset 49 for reference 0.1";
    EXPECT_EQ(at(0, 10), tick);
    EXPECT_EQ(DrawLevelBar(&bm, 0.0, 1, 10, 0.01, 10, 100, cyan, true, false), 100);
    EXPECT_EQ(at(1, 10 + 33), tick) << "level 1 at offset 33 for reference 0.01";
    EXPECT_EQ(DrawLevelBar(&bm, 10.0, 2, 10, 0.1, 10, 100, green, true, false), 0);
    for (int y = 10; y <= 110; ++y)
        ASSERT_EQ(at(2, y), green) << "the full bar, " << y;
}

// The keyboard's picture: fills, highlight and outline on its pixels.
TEST(Keyboard, TheStrongestKeyIsFramed)
{
    SharedSettings = Settings();
    SharedSettings.ContrastLow = 20;
    SharedSettings.ContrastHigh = 60;
    RebuildColorMap();
    MemoryDC dc(260, 110);
    const uint32_t highlight = RGB(128, 255, 255);
    auto paint = [&](const std::vector<float>& levels) {
        std::fill(dc.pixels.begin(), dc.pixels.end(), 0xFF000000u);
        BITMAP bm = dc.Pixels();
        PaintKeyboard(&bm, levels.data());
    };
    // The second row of the top bar of key (x1, y1) (the outline may cover
    // the first), and its left bar.
    auto framed = [&](int x1, int y1) {
        return ColourAt(dc, 20 + 5 * x1 + 2, 21 + 5 * y1) == highlight &&
               ColourAt(dc, 19 + 5 * x1, 20 + 5 * y1 + 10) == highlight;
    };

    paint({0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 3, 0});
    EXPECT_TRUE(framed(25, 8)) << "G, the first of the equal levels";
    EXPECT_FALSE(framed(34, 2)) << "not A sharp";
    EXPECT_EQ(ColourAt(dc, 20 + 5 * 25 + 5, 20 + 5 * 8 + 5), ColourOf(3.0f)) << "G's fill";
    EXPECT_EQ(ColourAt(dc, 20 + 5 * 34 + 5, 20 + 5 * 2 + 5), ColourOf(3.0f)) << "A sharp's fill";

    paint(std::vector<float>(12, 0.0f));
    EXPECT_TRUE(framed(1, 8)) << "C when all are zero";
    EXPECT_EQ(ColourAt(dc, 20 + 5 * 19 + 5, 20 + 5 * 8 + 5), ColourOf(0.0f));
    EXPECT_EQ(ColourAt(dc, 20, 20), RGB(128, 128, 128)) << "the outline's corner";
    EXPECT_EQ(ColourAt(dc, 20 + 210, 20 + 70), RGB(128, 128, 128));
    EXPECT_EQ(ColourAt(dc, 5, 5), 0u) << "the background stays black";
    SharedSettings = Settings();
}

TEST(PitchClasses, SemitoneBinsToTheirClassAndQuarterTonesSplit)
{
    const struct {
        int bin;
        float expected[12];
    } cases[] = {
        {0, {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},      // C1
        {18, {0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0}},     // A1
        {1, {0.5, 0.5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},  // between C1 and C sharp
        {23, {0.5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0.5}}, // between B1 and C2
        {172, {0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}},    // D8 (note 110), the last bin
    };
    for (const auto& c : cases) {
        std::vector<float> frame(173, 0.0f);
        frame[c.bin] = 1.0f;
        float levels[12];
        PitchClassLevels(frame.data(), 173, levels);
        for (int i = 0; i < 12; ++i)
            EXPECT_EQ(levels[i], c.expected[i]) << "bin " << c.bin << ", class " << i;
    }
    std::vector<float> octaves(173, 0.0f);
    for (int b = 18; b < 173; b += 24)
        octaves[b] = 2.0f;
    float levels[12];
    PitchClassLevels(octaves.data(), 173, levels);
    EXPECT_EQ(levels[9], 14.0f) << "every A of seven octaves";
}

} // namespace
