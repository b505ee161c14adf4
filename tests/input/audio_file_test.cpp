#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "input/audio_file_reader.h"
#include "input/sound_file_probe.h"
#include "tests/input/sound_file_maker.h"

namespace {

class AudioFile : public ::testing::Test {
protected:
    void TearDown() override { std::remove(path.c_str()); }

    // Opens the file and reads all its frames, a few at a time.
    bool ReadPath(const std::string& file, size_t stretch = 3)
    {
        problem.clear();
        frames.clear();
        AudioFileReader reader;
        if (!reader.Open(file, problem))
            return false;
        notice = reader.Notice();
        announced = reader.FrameCount();
        std::vector<int16_t> part(2 * stretch);
        while (const size_t count = reader.ReadStereo(part.data(), stretch)) {
            EXPECT_LE(count, stretch);
            frames.insert(frames.end(), part.begin(), part.begin() + 2 * count);
        }
        return true;
    }
    bool Write(const SoundFileSpec& spec, long count, const std::function<double(int, long)>& sample)
    {
        return WriteSoundFile(path, spec, count, sample);
    }

    std::string path = ::testing::TempDir() + "tavi_audio_test_" + std::to_string(getpid());
    std::vector<int16_t> frames;
    uint64_t announced = 0;
    std::string problem, notice;
};

// 16-bit samples as the file stores them.
double Stored(int channel, long n)
{
    return ((n * 7919 + channel * 104729) % 65536 - 32768) / 32768.0;
}

TEST_F(AudioFile, SixteenBitFilesAt48kHzComeOutAsStored)
{
    for (const int channels : {1, 2, 6}) {
        ASSERT_TRUE(Write({SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, channels}, 10000, Stored));
        ASSERT_TRUE(ReadPath(path, 4093)) << problem;
        ASSERT_EQ(frames.size(), 2u * 10000);
        EXPECT_EQ(announced, 10000u);
        for (long n = 0; n < 10000; ++n) {
            ASSERT_EQ(frames[2 * n], std::lround(Stored(0, n) * 32768)) << channels << " channels, frame " << n;
            ASSERT_EQ(frames[2 * n + 1], std::lround(Stored(channels > 1 ? 1 : 0, n) * 32768));
        }
        EXPECT_EQ(notice.empty(), channels <= 2) << notice;
    }
    EXPECT_NE(notice.find("6 channels; the first two are analysed"), std::string::npos) << notice;
}

// A 1 kHz sine at -6 dBFS, 2 s, in each format and rate: 96000 frames at
// 48 kHz, the sine's level and its frequency (by its rising zero crossings)
// as written; the lossy codec within its own accuracy.
TEST_F(AudioFile, EveryFormatAndRateBecomes48kHzStereo)
{
    const struct {
        int format;
        int rate;
        double levelTolerance;
    } cases[] = {
        {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 0.05},  {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 96000, 0.05},
        {SF_FORMAT_WAV | SF_FORMAT_PCM_24, 48000, 0.05},  {SF_FORMAT_WAV | SF_FORMAT_PCM_24, 44100, 0.05},
        {SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 0.05},   {SF_FORMAT_WAV | SF_FORMAT_FLOAT, 96000, 0.05},
        {SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 0.05}, {SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 96000, 0.05},
        {SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 48000, 0.05}, {SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 0.5},
        {SF_FORMAT_OGG | SF_FORMAT_OPUS, 48000, 0.5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.format) + " at " + std::to_string(c.rate));
        ASSERT_TRUE(Write({c.format, c.rate, 2}, 2L * c.rate, Sine(1000, 0.5, c.rate)));
        ASSERT_TRUE(ReadPath(path, 2048)) << problem;
        EXPECT_NEAR(double(frames.size()) / 2, 96000, 96000 * 0.002);
        EXPECT_NEAR(double(announced), 96000, 96000 * 0.002);
        double power = 0;
        int crossings = 0;
        const size_t first = 2 * 4800, last = frames.size() - 2 * 4800;  // clear of the codecs' edges
        for (size_t i = first; i < last; i += 2) {
            power += double(frames[i]) * frames[i];
            crossings += frames[i] < 0 && frames[i + 2] >= 0;
        }
        const double seconds = (last - first) / 2 / 48000.0;
        EXPECT_NEAR(10 * std::log10(power / ((last - first) / 2) / (32768.0 * 32768.0)), -9.03, c.levelTolerance);
        EXPECT_NEAR(crossings / seconds, 1000, 2);
    }
}

TEST_F(AudioFile, UnusableFilesSayWhatIsWrong)
{
    std::ofstream(path) << "this is a text file, not audio";
    EXPECT_FALSE(ReadPath(path));
    EXPECT_NE(problem.find("cannot be read as sound"), std::string::npos) << problem;
    EXPECT_FALSE(ReadPath("/nonexistent/tavi.wav"));
    EXPECT_NE(problem.find("cannot be read as sound"), std::string::npos) << problem;
    EXPECT_FALSE(ReadPath(::testing::TempDir()));
    EXPECT_NE(problem.find("is a folder"), std::string::npos) << problem;
    ASSERT_TRUE(Write({SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 2}, 0, Stored));
    EXPECT_FALSE(ReadPath(path));
    EXPECT_NE(problem.find("no samples"), std::string::npos) << problem;
    ASSERT_TRUE(Write({SF_FORMAT_WAV | SF_FORMAT_PCM_16, 500, 1}, 100, Stored));
    EXPECT_FALSE(ReadPath(path));
    EXPECT_NE(problem.find("500 Hz"), std::string::npos) << problem;
}

// A stereo WAV file whose LIST chunk holds a sub-chunk of 0xFFFFFFF4 bytes:
// libsndfile 1.2 adds that to its 32-bit count of the chunk's bytes, gets 0,
// steps back 12 bytes and parses the same sub-chunk again, for ever.
std::string EndlessHeader()
{
    auto le32 = [](uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
    const std::string format = "fmt " + le32(16) + std::string("\x01\x00\x02\x00", 4) + le32(48000) + le32(192000) +
                               std::string("\x04\x00\x10\x00", 4);
    const std::string list = "LIST" + le32(20) + "INFOabcd" + le32(0xFFFFFFF4u) + std::string(8, '\0');
    const std::string data = "data" + le32(8) + std::string(8, '\0');
    const std::string body = "WAVE" + format + list + data;
    return "RIFF" + le32(uint32_t(body.size())) + body;
}

TEST_F(AudioFile, AHeaderTheLibraryNeverFinishesIsRefusedAfterTheTimeLimit)
{
    std::ofstream(path, std::ios::binary) << EndlessHeader();
    AudioFileReader reader;
    reader.SetHeaderTimeLimit(300);
    EXPECT_FALSE(reader.Open(path, problem));
    EXPECT_NE(problem.find("header is damaged"), std::string::npos) << problem;
    int16_t frame[2];
    EXPECT_EQ(reader.ReadStereo(frame, 1), 0u) << "nothing is open";
}

// The program killed while its probe's child spins in the library (a
// closed terminal, timeout, an interrupted xargs): the child dies with it
// instead of running on at full speed.
TEST_F(AudioFile, TheProbesChildDiesWithTheProgram)
{
    std::ofstream(path, std::ios::binary) << EndlessHeader();
    // Orphans come to this process, so that the test sees the child end.
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    const pid_t program = fork();
    if (program == 0) {
        setpgid(0, 0);
        ProbeSoundFile(path, 60000);
        _exit(0);
    }
    setpgid(program, program);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the probe's child spins
    kill(program, SIGKILL);
    waitpid(program, nullptr, 0);
    // The child, now this process's, in the program's group: 0 while it runs.
    int status = 0;
    pid_t ended = 0;
    for (int i = 0; i < 50 && ended == 0; ++i) {
        ended = waitpid(-program, &status, WNOHANG);
        if (ended == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(-program, SIGKILL);  // whatever is left of it
    while (waitpid(-program, nullptr, 0) > 0) {
    }
    prctl(PR_SET_CHILD_SUBREAPER, 0);
    ASSERT_GT(ended, 0) << "the child went on after the program was killed";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
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

// A WAV file whose data chunk claims `claimed` bytes (44-byte header).
std::string WithClaimedLength(std::string bytes, uint32_t claimed)
{
    std::memcpy(&bytes[40], &claimed, 4);
    return bytes;
}

TEST_F(AudioFile, TheLengthInTheHeaderIsNotTakenOnTrust)
{
    ASSERT_TRUE(Write({SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 2}, 240000, Stored));
    std::ifstream in(path, std::ios::binary);
    const std::string honest((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(honest.substr(36, 4), "data");
    for (const uint32_t claimed : {0xFFFFFFF0u, 0xFFFFFFFFu, 0u, 8u}) {
        std::ofstream(path, std::ios::binary) << WithClaimedLength(honest, claimed);
        const long before = ResidentKilobytes();
        ASSERT_TRUE(ReadPath(path, 4096) || claimed == 0u) << problem;
        EXPECT_LT(ResidentKilobytes() - before, 8 * 1024 + long(frames.size()) / 512)
            << "memory does not follow the claimed length";
        if (claimed == 8u) {
            EXPECT_EQ(frames.size(), 4u);
        } else if (!frames.empty()) {
            EXPECT_EQ(frames.size(), 2u * 240000) << "the samples the file really holds, claimed " << claimed;
        }
    }
}

} // namespace
