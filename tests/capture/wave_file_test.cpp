#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "capture/wave_file_reader.h"

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

    // Opens the file and reads all its frames, a few at a time.
    bool Read(const std::string& bytes) { return ReadPath(Write(bytes)); }
    bool ReadPath(const std::string& file)
    {
        problem.clear();
        frames.clear();
        WaveFileReader reader;
        if (!reader.Open(file, problem))
            return false;
        channels = reader.Channels();
        std::vector<int16_t> stretch(2 * 3);
        while (const size_t count = reader.ReadStereo(stretch.data(), 3))
            frames.insert(frames.end(), stretch.begin(), stretch.begin() + 2 * count);
        EXPECT_EQ(frames.size(), 2 * reader.FrameCount());
        return true;
    }

    std::string path = ::testing::TempDir() + "tavi_wave_test_" + std::to_string(getpid()) + ".wav";
    int channels = 0;
    std::vector<int16_t> frames;
    std::string problem;
};

TEST_F(WaveFile, StereoAndMonoBecomeStereoFrames)
{
    ASSERT_TRUE(Read(MakeWave({}, {1, -2, 3, -4, 5, -6, 7, -8})));
    EXPECT_EQ(channels, 2);
    EXPECT_EQ(frames, (std::vector<int16_t>{1, -2, 3, -4, 5, -6, 7, -8}));

    WaveSpec mono;
    mono.channels = 1;
    mono.extraChunk = true;
    ASSERT_TRUE(Read(MakeWave(mono, {5, -32768, 32767}))) << problem;
    EXPECT_EQ(frames, (std::vector<int16_t>{5, 5, -32768, -32768, 32767, 32767}));

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
    EXPECT_FALSE(ReadPath("/nonexistent/tavi.wav"));
    EXPECT_NE(problem.find("cannot be opened"), std::string::npos) << problem;
    EXPECT_FALSE(ReadPath(::testing::TempDir()));
    EXPECT_NE(problem.find("is a folder"), std::string::npos) << problem;
    // Header only; an empty data chunk; half a frame.
    for (const std::string& empty : {MakeWave({}, {}).substr(0, 36), MakeWave({}, {}), MakeWave({}, {1})}) {
        EXPECT_FALSE(Read(empty));
        EXPECT_NE(problem.find("no sample data"), std::string::npos) << problem;
    }
}

// Sets the data chunk's length field (the last four bytes before the samples
// of a file made by MakeWave).
std::string WithClaimedLength(std::string bytes, size_t samples, uint32_t claimed)
{
    std::memcpy(&bytes[bytes.size() - samples * 2 - 4], &claimed, 4);
    return bytes;
}

long ResidentKilobytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

TEST_F(WaveFile, TheLengthInTheHeaderIsNotTakenOnTrust)
{
    std::vector<int16_t> samples(2 * 240000);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = int16_t(i % 1000);
    const std::string honest = MakeWave({}, samples);
    const long before = ResidentKilobytes();
    ASSERT_TRUE(Read(WithClaimedLength(honest, samples.size(), 0xFFFFFFF0u)));
    EXPECT_LT(ResidentKilobytes() - before, 8 * 1024) << "memory does not follow the claimed 4 GB";
    EXPECT_EQ(frames, samples) << "the samples the file really holds";

    // Less claimed than held, and the streaming writers' 0 and 0xFFFFFFFF.
    ASSERT_TRUE(Read(WithClaimedLength(honest, samples.size(), 8)));
    EXPECT_EQ(frames, (std::vector<int16_t>{0, 1, 2, 3}));
    for (const uint32_t unknown : {0u, 0xFFFFFFFFu}) {
        ASSERT_TRUE(Read(WithClaimedLength(honest, samples.size(), unknown)));
        EXPECT_EQ(frames.size(), samples.size());
    }
}

} // namespace
