#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "store/log_file.h"

namespace {

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(LogFile, CreatedEmptyAndExistingContentKept)
{
    const std::string path = ::testing::TempDir() + "tavi_log_test_" + std::to_string(getpid()) + ".log";
    std::remove(path.c_str());
    {
        CLogFile log(path);
        EXPECT_TRUE(log.IsOpen());
    }
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_size, 0);

    {
        std::ofstream(path) << "earlier run\n";
    }
    {
        CLogFile log(path);
        EXPECT_TRUE(log.IsOpen());
    }
    EXPECT_EQ(ReadAll(path), "earlier run\n");
    std::remove(path.c_str());
}

TEST(LogFile, UnopenableLogIsIgnored)
{
    CLogFile log("/nonexistent-folder-of-tavimeter/x.log");
    EXPECT_FALSE(log.IsOpen());
}

} // namespace
