// Whole files measured against EBU Tech 3341 and 3342, written as WAV and
// FLAC files; a sine's levels; a file at 44.1 kHz against its 48 kHz twin;
// the same numbers as the live meter's for the same samples; and a file
// that cannot be read.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "analysis/file_measurement.h"
#include "analysis/loudness_meter.h"
#include "tests/input/sound_file_maker.h"

namespace {

struct Segment {
    double dbfs, seconds;
};

// A stereo 1 kHz sine stepping through `segments` (level as a meter of RMS
// reads it, so its peak is 10^(dbfs/20)), as the EBU's test signals are.
std::function<double(int, long)> Steps(std::vector<Segment> segments, int rate)
{
    return [segments, rate](int, long n) {
        double start = 0.0;
        const double t = double(n) / rate;
        for (const Segment& s : segments) {
            if (t < start + s.seconds)
                return std::pow(10.0, s.dbfs / 20) * std::sin(2 * M_PI * 1000.0 * n / rate);
            start += s.seconds;
        }
        return 0.0;
    };
}

long Frames(const std::vector<Segment>& segments, int rate)
{
    double seconds = 0;
    for (const Segment& s : segments)
        seconds += s.seconds;
    return long(std::lround(seconds * rate));
}

std::string TempPath(const char* name)
{
    return "/tmp/tavi_" + std::to_string(getpid()) + "_" + name;
}

FileMeasurement Measured(const std::vector<Segment>& segments, const SoundFileSpec& spec,
                         const MeasureOptions& options = {})
{
    const std::string path = TempPath((spec.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_FLAC ? "m.flac" : "m.wav");
    EXPECT_TRUE(WriteSoundFile(path, spec, Frames(segments, spec.rate), Steps(segments, spec.rate)));
    FileMeasurement m = MeasureFile(path, options);
    std::remove(path.c_str());
    return m;
}

TEST(FileMeasurement, TheEbuCasesAsWavAndFlacFiles)
{
    const struct {
        const char* name;
        std::vector<Segment> segments;
        double integrated, range;  // range < 0: not given for the case
    } cases[] = {
        {"3341 case 1", {{-23, 20}}, -23.0, -1},
        {"3341 case 2", {{-33, 20}}, -33.0, -1},
        {"3341 case 3", {{-36, 10}, {-23, 60}, {-36, 10}}, -23.0, -1},
        {"3341 case 4", {{-72, 10}, {-36, 10}, {-23, 60}, {-36, 10}, {-72, 10}}, -23.0, -1},
        {"3341 case 5", {{-26, 20}, {-20, 20.1}, {-26, 20}}, -23.0, -1},
        {"3342 case 1", {{-20, 20}, {-30, 20}}, -1, 10.0},
        {"3342 case 2", {{-20, 20}, {-15, 20}}, -1, 5.0},
        {"3342 case 3", {{-40, 20}, {-20, 20}}, -1, 20.0},
        {"3342 case 4", {{-50, 20}, {-35, 20}, {-20, 20}, {-35, 20}, {-50, 20}}, -1, 15.0},
    };
    for (const int format : {SF_FORMAT_WAV | SF_FORMAT_PCM_16, SF_FORMAT_FLAC | SF_FORMAT_PCM_16}) {
        for (const auto& c : cases) {
            const FileMeasurement m = Measured(c.segments, {format, 48000, 2});
            ASSERT_EQ(m.error, "") << c.name;
            if (c.integrated < 0 && c.range < 0)
                continue;
            if (c.range < 0)
                EXPECT_NEAR(m.integrated, c.integrated, 0.1) << c.name << ", format " << std::hex << format;
            else
                EXPECT_NEAR(m.range, c.range, 1.0) << c.name << ", format " << std::hex << format;
        }
    }
}

// A -20 dBFS 1 kHz sine: LZeq, its 1 kHz third, the RMS and the maxima of
// its 20 s; its sample and true peak read -20 dBFS too (a sine's RMS level
// is given as AES17 reads it, 3.01 dB above its mean square's, so it reads
// its peak).
TEST(FileMeasurement, ASinesLevelsAndPeaks)
{
    const FileMeasurement m = Measured({{-20, 20}}, {}, {Weighting::Z, 3, 0.0});
    ASSERT_EQ(m.bandEq.size(), 31u);
    EXPECT_EQ(m.bandNominal[17], "1k");
    EXPECT_NEAR(m.bandEq[17], -20.0, 0.1);
    EXPECT_LT(m.bandEq[15], -40.0) << "two thirds below";
    EXPECT_NEAR(m.seconds, 20.0, 1e-9);
    EXPECT_EQ(m.rate, 48000);
    EXPECT_EQ(m.channels, 2);
    EXPECT_NEAR(m.eq, -20.0, 0.05);
    EXPECT_NEAR(m.fastMax, -20.0, 0.05);
    EXPECT_NEAR(m.l50, -20.0, 0.1);
    for (int ch = 0; ch < 2; ++ch) {
        EXPECT_NEAR(m.rms[ch], -20.0, 0.01);
        EXPECT_NEAR(m.samplePeak[ch], -20.0, 0.01);
        EXPECT_NEAR(m.truePeak[ch], -20.0, 0.05);
    }
}

// Intervals of 5 s over a step from -30 to -20 dBFS at 7.5 s: each reads
// its own Leq, the one across the step their energy's mean, the last
// (shorter) ends with the file; the 1 kHz band follows.
TEST(FileMeasurement, IntervalsReadTheirOwnLevels)
{
    const FileMeasurement m = Measured({{-30, 7.5}, {-20, 5}}, {}, {Weighting::Z, 3, 5.0});
    ASSERT_EQ(m.intervals.size(), 3u);
    const double across = 10 * std::log10((std::pow(10.0, -3.0) + std::pow(10.0, -2.0)) / 2);
    const double expected[] = {-30.0, across, -20.0};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_NEAR(m.intervals[i].eq, expected[i], 0.1) << i;
        EXPECT_NEAR(m.intervals[i].bandEq[17], expected[i], 0.15) << i;
        EXPECT_NEAR(m.intervals[i].samplePeak[0], i == 0 ? -30.0 : -20.0, 0.01) << i;
    }
    EXPECT_NEAR(m.intervals[2].start, 10.0, 1e-9);
    EXPECT_NEAR(m.intervals[2].end, 12.5, 1e-9);
    EXPECT_NEAR(m.intervals[2].momentary, -20.0, 0.1);
}

// A file at 44.1 kHz reads as loud as its 48 kHz twin; a mono file counts
// as both channels; the live meter fed the same samples reads the same.
TEST(FileMeasurement, TwinsAndTheLiveMeterAgree)
{
    const std::vector<Segment> signal{{-26, 5}, {-20, 10}, {-26, 5}};
    const FileMeasurement at48 = Measured(signal, {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 2});
    const FileMeasurement at44 = Measured(signal, {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2});
    EXPECT_EQ(at44.rate, 44100);
    EXPECT_NEAR(at44.integrated, at48.integrated, 0.1);

    CLoudnessMeter live;
    const auto sample = Steps(signal, 48000);
    std::vector<int16_t> block;
    for (long n = 0; n < Frames(signal, 48000); ++n) {
        const auto v = int16_t(std::clamp(std::lround(sample(0, n) * 32768), -32768L, 32767L));
        block.insert(block.end(), {v, v});
        if (block.size() == 2 * 2048) {
            live.Process(block.data(), 2048);
            block.clear();
        }
    }
    live.Process(block.data(), int(block.size() / 2));
    EXPECT_EQ(at48.integrated, live.Readings().integrated);
    EXPECT_EQ(at48.range, live.Readings().range);
}

TEST(FileMeasurement, AFileThatIsNotSoundSaysWhy)
{
    const std::string path = TempPath("not_sound.wav");
    FILE* file = std::fopen(path.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs("not a sound file\n", file);
    std::fclose(file);
    const FileMeasurement m = MeasureFile(path, {Weighting::A});
    std::remove(path.c_str());
    EXPECT_NE(m.error, "");
    EXPECT_FALSE(std::isfinite(m.integrated));
    EXPECT_NE(MeasureFile(TempPath("missing.wav"), {Weighting::A}).error, "");
}


// The meters each on a thread of their own (a pipeline of chunks shared
// with the reading thread) read exactly what they read one after the other.
TEST(FileMeasurementThreads, TheMetersSideBySideReadAsOnOneThread)
{
    const std::string path = TempPath("threads.flac");
    const std::vector<Segment> signal{{-30, 3.3}, {-12, 4}};
    ASSERT_TRUE(WriteSoundFile(path, {SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000, 2}, Frames(signal, 48000),
                               Steps(signal, 48000)));
    MeasureOptions options(Weighting::C, 3, 0.7);
    const FileMeasurement one = MeasureFile(path, options);
    options.threads = 3;
    const FileMeasurement three = MeasureFile(path, options);
    std::remove(path.c_str());
    EXPECT_EQ(three.integrated, one.integrated);
    EXPECT_EQ(three.range, one.range);
    EXPECT_EQ(three.truePeak, one.truePeak);
    EXPECT_EQ(three.rms, one.rms);
    EXPECT_EQ(three.l50, one.l50);
    EXPECT_EQ(three.bandEq, one.bandEq);
    ASSERT_EQ(three.intervals.size(), 11u);
    ASSERT_EQ(one.intervals.size(), 11u);
    for (size_t i = 0; i < one.intervals.size(); ++i) {
        EXPECT_EQ(three.intervals[i].end, one.intervals[i].end);
        EXPECT_EQ(three.intervals[i].shortTerm, one.intervals[i].shortTerm);
        EXPECT_EQ(three.intervals[i].eq, one.intervals[i].eq);
        EXPECT_EQ(three.intervals[i].bandEq, one.intervals[i].bandEq);
    }
}

} // namespace
