#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/level_log.h"

namespace {

std::vector<std::string> Lines(const std::string& path)
{
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Blocks at 23.4375 a second for 30 s give 30 rows, one as each second
// ends, after the header: the time, the loudness, each channel's largest peaks within the
// second and the frames dropped in it. A file that has rows keeps them.
TEST(LevelLog, OneRowASecondWithItsColumns)
{
    const std::string path = ::testing::TempDir() + "tavi_levels_" + std::to_string(getpid()) + ".csv";
    std::remove(path.c_str());
    CLevelLog log;
    std::string reason;
    ASSERT_TRUE(log.Open(path, reason)) << reason;
    MeterReadings r{};
    r.momentary = -23.04;
    r.shortTerm = -23.1;
    r.integrated = -23.0;
    r.range = 4.0;
    r.truePeak[0] = r.truePeak[1] = -5.0;
    const std::time_t start = 1765108800;  // 2025-12-07T12:00:00Z
    uint64_t dropped = 0;
    for (int b = 0; b <= 704; ++b) {  // 30 s of blocks and a little more
        r.samplePeak[0] = b == 30 ? -1.0 : -6.0;
        r.samplePeak[1] = -INFINITY;
        dropped += b == 40 ? 2048 : 0;
        ASSERT_TRUE(log.Block(r, dropped, start + std::time_t(b * 2048 / 48000.0)));
    }
    log.Close();
    const std::vector<std::string> lines = Lines(path);
    ASSERT_EQ(lines.size(), 32u) << "the header, 30 rows and the last second's, written at the close";
    EXPECT_EQ(lines[0] + "\n", CLevelLog::Header);
    // A row is stamped with the end of its second: block 30 (1.28 s) and
    // the drop at block 40 (1.7 s) are in the second row.
    EXPECT_EQ(lines[1], "2025-12-07T12:00:01Z,-23.0,-23.1,-23.0,4.0,-6.0,-inf,-5.0,-5.0,0");
    EXPECT_EQ(lines[2], "2025-12-07T12:00:02Z,-23.0,-23.1,-23.0,4.0,-1.0,-inf,-5.0,-5.0,2048");
    EXPECT_EQ(lines[30].substr(0, 20), "2025-12-07T12:00:30Z");

    ASSERT_TRUE(log.Open(path, reason));
    log.Close();
    EXPECT_EQ(Lines(path).size(), 32u) << "appending: no second header";
    std::remove(path.c_str());
    EXPECT_FALSE(log.Open("/nonexistent-folder/levels.csv", reason));
    EXPECT_FALSE(reason.empty());
}

// After a gap in capture, the row of the last second measured carries that
// second, its readings and its drops alone; the next second's block and
// the drops it reveals start a row of their own, written at the close.
TEST(LevelLog, ARowAfterAGapIsTheSecondItMeasured)
{
    const std::string path = ::testing::TempDir() + "tavi_gap_" + std::to_string(getpid()) + ".csv";
    std::remove(path.c_str());
    CLevelLog log;
    std::string reason;
    ASSERT_TRUE(log.Open(path, reason)) << reason;
    const std::time_t start = 1765108800;  // 2025-12-07T12:00:00Z
    MeterReadings before{};
    before.momentary = before.shortTerm = -20.0;
    before.samplePeak[0] = before.samplePeak[1] = before.truePeak[0] = before.truePeak[1] = -3.0;
    MeterReadings after = before;
    after.momentary = -40.0;
    after.samplePeak[0] = after.samplePeak[1] = after.truePeak[0] = after.truePeak[1] = -12.0;
    ASSERT_TRUE(log.Block(before, 100, start));
    ASSERT_TRUE(log.Block(before, 300, start));
    ASSERT_TRUE(log.Block(after, 50000, start + 10));
    ASSERT_TRUE(log.Close());
    const std::vector<std::string> lines = Lines(path);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "2025-12-07T12:00:01Z,-20.0,-20.0,-inf,0.0,-3.0,-3.0,-3.0,-3.0,200");
    EXPECT_EQ(lines[2], "2025-12-07T12:00:11Z,-40.0,-20.0,-inf,0.0,-12.0,-12.0,-12.0,-12.0,49700");
    std::remove(path.c_str());
}

// A disk that fills during a row: the write falls short, the file is cut
// back to its last whole row and the reason is the system's. A log left
// with a fragment (a power cut) loses the fragment when opened again.
TEST(LevelLog, RowsAreWholeOrNotThere)
{
    const std::string path = ::testing::TempDir() + "tavi_full_" + std::to_string(getpid()) + ".csv";
    std::ofstream(path) << CLevelLog::Header << "2026-12-09T11:06:37Z,-23.0,-23.0,-23.0,0.0,-23.0,-23.0,-23.0,-23.0,0\n20";
    static int writes;
    writes = 0;
    // The second row finds the disk full halfway through.
    CLevelLog log([](int fd, const void* data, size_t size) -> ssize_t {
        if (++writes < 2)
            return write(fd, data, size);
        if (writes == 2)
            return write(fd, data, size / 2);
        errno = ENOSPC;
        return -1;
    });
    std::string reason;
    ASSERT_TRUE(log.Open(path, reason)) << reason;
    MeterReadings r{};
    const std::time_t start = 1765108800;
    EXPECT_TRUE(log.Block(r, 0, start));
    EXPECT_TRUE(log.Block(r, 0, start + 1));
    EXPECT_FALSE(log.Block(r, 0, start + 2));
    EXPECT_EQ(log.Reason(), "No space left on device");
    log.Close();
    const std::vector<std::string> lines = Lines(path);
    ASSERT_EQ(lines.size(), 3u) << "the header, the row before and the first of this run, each whole";
    EXPECT_EQ(lines[1].substr(0, 20), "2026-12-09T11:06:37Z");
    EXPECT_EQ(lines[2].substr(0, 21), "2025-12-07T12:00:01Z,");
    // A file that ends in something else than a row or a header, cut short
    // or not, is not a log: refused, and left as it was.
    std::ofstream(path, std::ios::trunc) << "notes of the session";
    CLevelLog other;
    EXPECT_FALSE(other.Open(path, reason));
    EXPECT_EQ(Lines(path), std::vector<std::string>{"notes of the session"});
    std::remove(path.c_str());
}

// With the sound levels: a new file's header names them with their weighting
// and unit, and a second of a -20 dBFS 1 kHz sine at 100 dB SPL for full
// scale reads 80.0 dB LAeq and 83.0 dB LCpeak; a log of the loudness alone
// goes on as it is; one of another weighting or unit is refused, unchanged.
TEST(LevelLog, SoundLevelColumnsNameTheirWeightingAndUnit)
{
    const std::string path = ::testing::TempDir() + "tavi_spl_" + std::to_string(getpid()) + ".csv";
    const std::string plainRow = "2026-12-09T11:06:37Z,-23.0,-23.0,-23.0,0.0,-23.0,-23.0,-23.0,-23.0,0";
    const std::string otherHeader = std::string(CLevelLog::Header, std::strlen(CLevelLog::Header) - 1) +
                                    ",lcf_dbfs,lcs_dbfs,lceq_dbfs,lcfmax_dbfs,lcpeak_dbfs,overload";
    const struct {
        std::string before;  // the file's contents before
        bool opens;
        size_t columns;      // of the rows written
    } cases[] = {{"", true, 16}, {CLevelLog::Header + plainRow + "\n", true, 10}, {otherHeader + "\n", false, 0}};
    for (const auto& c : cases) {
        std::ofstream(path, std::ios::trunc) << c.before;
        CLevelLog log;
        log.SetSoundLevels(Weighting::A, true, 100.0);
        std::string reason;
        ASSERT_EQ(log.Open(path, reason), c.opens) << reason;
        if (!c.opens) {
            EXPECT_NE(reason.find("another frequency weighting or unit"), std::string::npos) << reason;
            EXPECT_EQ(Lines(path), std::vector<std::string>{otherHeader});
            continue;
        }
        CSoundLevelMeter meter(Weighting::A);
        std::vector<double> block(2048);
        long n = 0;
        for (int b = 0; b < 140; ++b) {  // six seconds of blocks, less a little: the last row written at the close
            for (double& x : block)
                x = 0.1 * std::sin(6.28318530717958647 * 1000.0 * double(n++) / 48000.0);
            meter.ProcessSamples(block.data(), int(block.size()));
            log.Block(MeterReadings{}, 0, std::time_t(1765108800 + n / 48000), &meter.Readings());
        }
        log.Close();
        const std::vector<std::string> lines = Lines(path);
        ASSERT_EQ(lines.size(), c.before.empty() ? 7u : 8u);
        if (c.before.empty()) {
            EXPECT_EQ(lines[0] + "\n", log.HeaderLine());
        }
        EXPECT_NE(lines[0].find("dropped_frames,laf_db_spl,las_db_spl,laeq_db_spl,lafmax_db_spl,lcpeak_db_spl,overload"),
                  c.before.empty() ? std::string::npos : 0);
        const std::string& second = lines[lines.size() - 2];  // the fifth second: even LAS has settled
        EXPECT_EQ(size_t(std::count(second.begin(), second.end(), ',') + 1), c.columns) << second;
        if (c.columns == 16) {
            EXPECT_EQ(second.substr(second.find(",80.0,")), ",80.0,80.0,80.0,80.0,83.0,0");
        }
    }
    std::remove(path.c_str());
}

} // namespace
