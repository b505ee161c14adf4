#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "capture/level_log.h"

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
    ASSERT_EQ(lines.size(), 31u) << "the header and 30 rows";
    EXPECT_EQ(lines[0] + "\n", CLevelLog::Header);
    // A row is stamped with the end of its second: block 30 (1.28 s) and
    // the drop at block 40 (1.7 s) are in the second row.
    EXPECT_EQ(lines[1], "2025-12-07T12:00:01Z,-23.0,-23.1,-23.0,4.0,-6.0,-inf,-5.0,-5.0,0");
    EXPECT_EQ(lines[2], "2025-12-07T12:00:02Z,-23.0,-23.1,-23.0,4.0,-1.0,-inf,-5.0,-5.0,2048");
    EXPECT_EQ(lines[30].substr(0, 20), "2025-12-07T12:00:30Z");

    ASSERT_TRUE(log.Open(path, reason));
    log.Close();
    EXPECT_EQ(Lines(path).size(), 31u) << "appending: no second header";
    std::remove(path.c_str());
    EXPECT_FALSE(log.Open("/nonexistent-folder/levels.csv", reason));
    EXPECT_FALSE(reason.empty());
}

} // namespace
