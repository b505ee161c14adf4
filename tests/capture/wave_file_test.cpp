#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "capture/wave_file_input.h"

namespace {

struct WaveSpec {
    uint16_t tag = 1;
    uint16_t channels = 2;
    uint32_t rate = 48000;
    uint16_t bits = 16;
    bool extensible = false;
    bool extraChunk = false;
};

std::string MakeWave(const WaveSpec& spec, const std::vector<int16_t>& samples)
{
    std::string bytes;
    auto u32 = [&](uint32_t v) { bytes.append(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { bytes.append(reinterpret_cast<const char*>(&v), 2); };
    bytes += "RIFF";
    u32(0);
    bytes += "WAVE";
    if (spec.extraChunk) {
        bytes += "LIST";
        u32(3);
        bytes += "abc";
        bytes += '\0';  // pad byte of an odd chunk
    }
    bytes += "fmt ";
    u32(spec.extensible ? 40 : 16);
    u16(spec.extensible ? 0xFFFE : spec.tag);
    u16(spec.channels);
    u32(spec.rate);
    u32(spec.rate * spec.channels * spec.bits / 8);
    u16(uint16_t(spec.channels * spec.bits / 8));
    u16(spec.bits);
    if (spec.extensible) {
        u16(22);
        u16(spec.bits);
        u32(3);
        u16(spec.tag);
        bytes.append(14, '\0');
    }
    bytes += "data";
    u32(uint32_t(samples.size() * 2));
    bytes.append(reinterpret_cast<const char*>(samples.data()), samples.size() * 2);
    return bytes;
}

class WaveFile : public ::testing::Test {
protected:
    std::string Write(const std::string& bytes)
    {
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    void TearDown() override { std::remove(path.c_str()); }

    bool Read(const std::string& bytes)
    {
        problem.clear();
        data = WaveFileData();
        return ReadWaveFile(Write(bytes), data, problem);
    }

    std::string path = ::testing::TempDir() + "tavi_wave_test_" + std::to_string(getpid()) + ".wav";
    WaveFileData data;
    std::string problem;
};

TEST_F(WaveFile, StereoAndMonoBecomeStereoFrames)
{
    ASSERT_TRUE(Read(MakeWave({}, {1, -2, 3, -4})));
    EXPECT_EQ(data.channels, 2);
    EXPECT_EQ(data.stereoFrames, (std::vector<int16_t>{1, -2, 3, -4}));

    WaveSpec mono;
    mono.channels = 1;
    mono.extraChunk = true;
    ASSERT_TRUE(Read(MakeWave(mono, {5, -32768, 32767}))) << problem;
    EXPECT_EQ(data.stereoFrames, (std::vector<int16_t>{5, 5, -32768, -32768, 32767, 32767}));

    WaveSpec extensible;
    extensible.extensible = true;
    EXPECT_TRUE(Read(MakeWave(extensible, {7, 8}))) << problem;
}

TEST_F(WaveFile, UnusableFilesSayWhatIsWrong)
{
    const struct {
        WaveSpec spec;
        const char* says;
    } cases[] = {
        {{1, 2, 44100, 16, false, false}, "44100 Hz"},
        {{1, 2, 48000, 8, false, false}, "8-bit"},
        {{1, 2, 48000, 24, false, false}, "24-bit"},
        {{3, 2, 48000, 32, false, false}, "not PCM"},
        {{1, 6, 48000, 16, false, false}, "6 channels"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(Read(MakeWave(c.spec, {0, 0})));
        EXPECT_NE(problem.find(c.says), std::string::npos) << problem;
    }
    EXPECT_FALSE(Read("this is a text file, not audio"));
    EXPECT_NE(problem.find("not a WAV file"), std::string::npos) << problem;
    EXPECT_FALSE(Read(MakeWave({}, {}).substr(0, 36)));
    EXPECT_NE(problem.find("no sample data"), std::string::npos) << problem;
    EXPECT_FALSE(ReadWaveFile("/nonexistent/tavi.wav", data, problem));
    EXPECT_NE(problem.find("cannot be opened"), std::string::npos) << problem;
}

} // namespace
