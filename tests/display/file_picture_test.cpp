#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <map>

#include "analysis/wave_capture.h"
#include "display/colour_map.h"
#include "display/column_strip.h"
#include "display/file_picture.h"
#include "display/renderer.h"
#include "settings/shared_settings.h"
#include "tests/display/memory_dc.h"
#include "tests/input/scripted_wave_input.h"
#include "tests/input/sound_file_maker.h"

namespace {

// A rising tone with a pulsing level, so that every column differs.
double Chirp(int, long n)
{
    const double t = n / 48000.0;
    return 0.4 * (0.6 + 0.4 * std::sin(6.28318 * 3 * t)) * std::sin(6.28318 * (200 * t + 150 * t * t));
}

class FilePicture : public ::testing::Test {
protected:
    void SetUp() override
    {
        SharedSettings = Settings();
        SharedSettings.ContrastLow = 30;
        SharedSettings.ContrastHigh = 60;
        SharedSettings.Grid = 1;
        SharedSettings.LogScale = 1;
        RebuildColorMap();
    }
    void TearDown() override
    {
        std::remove(path.c_str());
        SharedSettings = Settings();
    }

    bool Draw(const FilePictureRequest& request)
    {
        problem.clear();
        picture = CFilePicture();
        return picture.Draw(path, request, surfaces, nullptr, problem);
    }

    // Column x of the picture, top-down, 0x00RRGGBB.
    std::vector<uint32_t> Column(int x) const
    {
        std::vector<uint32_t> column;
        for (int y = 0; y < picture.Height(); ++y)
            column.push_back(picture.Pixels()[size_t(y) * picture.Width() + x] & 0xFFFFFF);
        return column;
    }

    std::string path = ::testing::TempDir() + "tavi_picture_test_" + std::to_string(getpid()) + ".wav";
    MemorySurfaces surfaces;
    CFilePicture picture;
    std::string problem;
};

// The live window after the same blocks: its surface's right half, up to
// the 9 columns at its right edge that no view draws, is the picture's end.
TEST_F(FilePicture, ItsLastColumnsAreTheLiveSurface)
{
    constexpr int Blocks = 150;
    ASSERT_TRUE(WriteSoundFile(path, {}, Blocks * 2048L + 1000, Chirp));
    for (const int mode : {0, 1, 3}) {
        SCOPED_TRACE("view " + std::to_string(mode));
        ScriptedDriver driver;
        RecordingTarget target;
        CWaveCapture engine{&driver};
        CRenderer renderer;
        MemorySurfaces live;
        const RECT rc{0, 0, 400, 300};
        renderer.SetDisplayMode(mode);
        engine.SetNotifyWindow(&target);
        engine.SetDisplayModeSource(renderer.DisplayModeSource());
        engine.ReconfigureConstantQ();
        renderer.UpdateCQWrapBand();
        engine.Start();
        renderer.CreateSurface(&live, rc, &engine);
        std::vector<int16_t> frames(2 * 2048);
        for (long b = 0; b < Blocks; ++b) {
            for (int i = 0; i < 2048; ++i)
                frames[2 * i] = frames[2 * i + 1] = int16_t(std::lround(Chirp(0, b * 2048 + i) * 32768));
            driver.last->Push(frames);
            engine.ProcessBlock();
            renderer.DrawBlock(rc);
        }
        ASSERT_TRUE(Draw({mode, 300, 0, 0.0, -1.0, 1})) << problem;
        ASSERT_EQ(picture.Width(), Blocks * 2);
        const MemoryDC& surface = *static_cast<MemoryDC*>(renderer.Surface());
        int differing = 0;
        for (int x = 200; x < 391; ++x)
            for (int y = 0; y < 300; ++y)
                differing += (surface.pixels[size_t(y) * 400 + x] & 0xFFFFFF) !=
                             (picture.Pixels()[size_t(y) * picture.Width() + picture.Width() - 391 + x] & 0xFFFFFF);
        EXPECT_EQ(differing, 0);
    }
}

// Parts drawn side by side give one run's picture, at the natural width
// and scaled.
TEST_F(FilePicture, PartsDrawnAtOnceMakeOneRunsPicture)
{
    ASSERT_TRUE(WriteSoundFile(path, {}, 1300L * 2048, Chirp));
    for (const int width : {0, 300}) {
        SCOPED_TRACE("width " + std::to_string(width));
        ASSERT_TRUE(Draw({0, 120, width, 0.0, -1.0, 1})) << problem;
        const std::vector<uint32_t> one = picture.Pixels();
        ASSERT_TRUE(Draw({0, 120, width, 0.0, -1.0, 2})) << problem;
        EXPECT_TRUE(picture.Pixels() == one);
        EXPECT_EQ(picture.Blocks(), 1300);
    }
}

// A 1 kHz tone in each format and rate lands in the row of 1 kHz on the
// logarithmic axis from 32 Hz to MaxFreq.
TEST_F(FilePicture, AToneLandsInItsRowWhateverTheFormat)
{
    SharedSettings.Grid = 0;
    SharedSettings.MaxFreq = 22050;
    const struct {
        int format;
        int rate;
    } cases[] = {
        {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100},  {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000},
        {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 96000},  {SF_FORMAT_WAV | SF_FORMAT_PCM_24, 44100},
        {SF_FORMAT_WAV | SF_FORMAT_FLOAT, 96000},   {SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100},
        {SF_FORMAT_OGG | SF_FORMAT_VORBIS, 48000},
    };
    const int h = 256;
    const double expected = h - (std::log2(1000.0) - 5) * h / (std::log2(22050.0) - 5);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.format) + " at " + std::to_string(c.rate));
        ASSERT_TRUE(WriteSoundFile(path, {c.format, c.rate, 1}, 3L * c.rate, Sine(1000, 0.5, c.rate)));
        ASSERT_TRUE(Draw({0, h, 32, 0.5, 2.5, 1})) << problem;
        EXPECT_NEAR(picture.Seconds(), 2.0, 0.05);
        // The rows of the loudest colour: the highest in the colour table.
        const std::vector<uint32_t> column = Column(16);
        std::map<uint32_t, int> level;
        for (int i = 0; i < ColorMapSize; ++i) {
            const uint32_t c = ColorMap[i];
            level[(c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF)] = i;
        }
        int loudest = -1, first = h, last = 0;
        for (int y = 0; y < h; ++y)
            loudest = std::max(loudest, level.count(column[y]) ? level[column[y]] : -1);
        for (int y = 0; y < h; ++y)
            if (level.count(column[y]) && level[column[y]] == loudest) {
                first = std::min(first, y);
                last = y;
            }
        EXPECT_LE(first, expected);
        EXPECT_GE(last, expected);
        EXPECT_LE(last - first, 12);
    }
}

TEST_F(FilePicture, NothingToDrawSaysWhy)
{
    ASSERT_TRUE(WriteSoundFile(path, {}, 48000, Chirp));
    EXPECT_FALSE(Draw({0, 300, 0, 5.0, -1.0, 1}));
    EXPECT_NE(problem.find("ends before 5"), std::string::npos) << problem;
    EXPECT_FALSE(Draw({0, 300, 0, 0.0, 0.01, 1}));
    EXPECT_NE(problem.find("less than one block"), std::string::npos) << problem;
    SharedSettings.SignalThre = 1e30f;
    EXPECT_FALSE(Draw({0, 300, 0, 0.0, -1.0, 1}));
    EXPECT_NE(problem.find("below the signal threshold"), std::string::npos) << problem;
    // 8 columns a spectrum, 16 a block: 4200 blocks are too wide a picture.
    SharedSettings.SignalThre = 0;
    SharedSettings.Oversample = 8;
    ASSERT_TRUE(WriteSoundFile(path, {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 1}, 4200 * 2048, Chirp));
    EXPECT_FALSE(Draw({0, 300, 0, 0.0, -1.0, 1}));
    EXPECT_NE(problem.find("give --size"), std::string::npos) << problem;
}

// Scaled, a pixel keeps the colour highest in the colour table of the
// columns landing on it; grid colours stand above the table, black below.
TEST(ColumnStrip, ScalingKeepsTheLoudest)
{
    SharedSettings.ContrastLow = 30;
    SharedSettings.ContrastHigh = 60;
    RebuildColorMap();
    auto pixel = [](int entry) {
        const uint32_t c = ColorMap[entry];
        return (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
    };
    const uint32_t grid = 0xC0C0C0;
    CColumnStrip strip(3, 2, 4);
    const uint32_t columns[4][3] = {{pixel(100), 0, pixel(19999)},
                                    {pixel(5000), pixel(10), grid},
                                    {pixel(7000), 0, 0},
                                    {0, pixel(6000), 0}};
    for (int t = 0; t < 4; ++t)
        strip.Add(columns[t], 1, t);
    const std::vector<uint32_t> p = strip.Pixels();
    const std::vector<uint32_t> expected{pixel(5000), pixel(7000), pixel(10), pixel(6000), grid, 0};
    ASSERT_EQ(p.size(), expected.size());
    for (size_t i = 0; i < p.size(); ++i)
        EXPECT_EQ(p[i] & 0xFFFFFF, expected[i]) << i;
    SharedSettings = Settings();
}

} // namespace
