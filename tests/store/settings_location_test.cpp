#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "store/profile.h"
#include "store/settings_location.h"

namespace {

TEST(SettingsLocation, BesideTheExecutableWhenItsFolderCanBeWrittenElseTheDesktopsFolder)
{
    const struct {
        const char* beside;
        bool writable;
        const char* xdg;
        const char* home;
        const char* expected;
    } cases[] = {
        {"/opt/tavi/tavimeter.ini", true, "/x", "/home/u", "/opt/tavi/tavimeter.ini"},
        {"/usr/bin/tavimeter.ini", false, "/home/u/.cfg", "/home/u", "/home/u/.cfg/tavimeter/tavimeter.ini"},
        {"/usr/bin/tavimeter.log", false, nullptr, "/home/u", "/home/u/.config/tavimeter/tavimeter.log"},
        {"/usr/bin/tavimeter.ini", false, "", "/home/u", "/home/u/.config/tavimeter/tavimeter.ini"},
        {"tavimeter.ini", false, "/c", "/h", "/c/tavimeter/tavimeter.ini"},
    };
    for (const auto& c : cases) {
        std::string asked;
        const auto writable = [&](const std::string& folder) {
            asked = folder;
            return c.writable;
        };
        EXPECT_EQ(SettingsFilePath(c.beside, writable, c.xdg, c.home), c.expected) << c.beside;
    }
    std::string asked;
    SettingsFilePath("/usr/bin/tavimeter.ini", [&](const std::string& f) { asked = f; return true; }, nullptr, nullptr);
    EXPECT_EQ(asked, "/usr/bin") << "the executable's folder is the one tested";
}

// PREFIX/bin is an installation's when PREFIX/share/tavimeter is there: the
// program run from it as root must not leave its files in PREFIX/bin.
TEST(SettingsLocation, AnInstallationsBinFolderIsNotTheProgramsOwn)
{
    const std::string prefix = ::testing::TempDir() + "tavi_prefix_" + std::to_string(getpid());
    ASSERT_EQ(std::system(("mkdir -p " + prefix + "/bin " + prefix + "/build/bin").c_str()), 0);
    EXPECT_FALSE(IsInstalledProgramFolder(prefix + "/bin"));
    ASSERT_EQ(std::system(("mkdir -p " + prefix + "/share/tavimeter").c_str()), 0);
    EXPECT_TRUE(IsInstalledProgramFolder(prefix + "/bin"));
    EXPECT_FALSE(IsInstalledProgramFolder(prefix + "/build/bin"));
    EXPECT_FALSE(IsInstalledProgramFolder(prefix + "/share"));
    std::system(("rm -rf " + prefix).c_str());
}

TEST(SettingsLocation, TheFolderIsMadeOnTheFirstWrite)
{
    const std::string root = ::testing::TempDir() + "tavi_xdg_" + std::to_string(getpid());
    const std::string ini = root + "/config/tavimeter/tavimeter.ini";
    CProfile profile(ini);
    profile.MakeFolderOnWrite();
    EXPECT_EQ(profile.ReadInt("Window", "Left"), 0) << "reading makes nothing";
    struct stat info;
    EXPECT_NE(stat((root + "/config").c_str(), &info), 0);
    profile.WriteInt("Window", "Left", 42);
    EXPECT_EQ(profile.ReadInt("Window", "Left"), 42);
    ASSERT_EQ(stat((root + "/config/tavimeter").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    std::system(("rm -rf " + root).c_str());
}

} // namespace
