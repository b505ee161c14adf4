#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "store/profile.h"

namespace {

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteAll(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

class Profile : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = ::testing::TempDir() + "tavi_profile_" + std::to_string(getpid());
        mkdir(folder.c_str(), 0755);
        path = folder + "/tavimeter.ini";
        std::remove(path.c_str());
    }
    void TearDown() override
    {
        std::remove(path.c_str());
        rmdir(folder.c_str());
    }

    std::string Read(CProfile& profile, const char* section, const char* key)
    {
        char buffer[128];
        profile.ReadString(section, key, buffer, sizeof buffer);
        return buffer;
    }

    std::string folder;
    std::string path;
};

TEST_F(Profile, MissingFileSectionOrKeyReadsEmptyAndZero)
{
    CProfile profile(path);
    EXPECT_EQ(Read(profile, "Window", "Left"), "");
    EXPECT_EQ(profile.ReadInt("Window", "Left"), 0);
    EXPECT_EQ(profile.ReadFloat("SettingWindow", "MaxFreq"), 0.0);

    WriteAll(path, "[Window]\nLeft=5\n");
    EXPECT_EQ(profile.ReadInt("Window", "Top"), 0);
    EXPECT_EQ(profile.ReadInt("Other", "Left"), 0);
    EXPECT_EQ(profile.ReadInt("Window", "Left"), 5);
}

TEST_F(Profile, WritesCreateTheFileAndUseTheStatedFormats)
{
    CProfile profile(path);
    profile.WriteInt("Window", "Left", 120);
    profile.WriteInt("Window", "Top", -8);
    profile.WriteFloat("SettingWindow", "MaxFreq", 22050.0f);
    profile.WriteFloat("SettingWindow", "AMinFreq", 0.0f);
    profile.WriteFloat("SettingWindow", "CQAdjustmentValue", 1.006f);
    EXPECT_EQ(ReadAll(path),
              "[Window]\nLeft=120\nTop=-8\n\n[SettingWindow]\nMaxFreq=22050.00\nAMinFreq=0.00\n"
              "CQAdjustmentValue=1.01\n");
    EXPECT_EQ(profile.ReadInt("Window", "Top"), -8);
    EXPECT_FLOAT_EQ(float(profile.ReadFloat("SettingWindow", "CQAdjustmentValue")), 1.01f);
}

// As atoi and atof read, except that what no int or no finite number can
// hold reads as missing.
TEST_F(Profile, ReadsFollowAtoiAndAtof)
{
    WriteAll(path, "[S]\nA=12abc\nB=abc\nC=  -7 \nD=999.99\nE=\nF=3.5e1x\nG=2147483647\nH=-2147483648\n"
                   "I=2147483648\nJ=-2147483649\nK=123456789012345678901234567890\nL=nan\nM=-inf\nN=1e308\n");
    CProfile profile(path);
    const struct {
        const char* key;
        int integer;
        double number;
    } cases[] = {{"A", 12, 12.0},        {"B", 0, 0.0},           {"C", -7, -7.0},
                 {"D", 999, 999.99},     {"E", 0, 0.0},           {"F", 3, 35.0},
                 {"G", INT_MAX, 2147483647.0}, {"H", INT_MIN, -2147483648.0}, {"I", 0, 2147483648.0},
                 {"J", 0, -2147483649.0}, {"K", 0, 1.2345678901234568e29}, {"L", 0, 0.0},
                 {"M", 0, 0.0},          {"N", 1, 1e308}};
    for (const auto& c : cases) {
        EXPECT_EQ(profile.ReadInt("S", c.key), c.integer) << c.key;
        EXPECT_DOUBLE_EQ(profile.ReadFloat("S", c.key), c.number) << c.key;
    }
}

// A value with a line break would add lines of its own to the file.
TEST_F(Profile, LineBreaksAreNeverWritten)
{
    const std::string before = "[Export]\nFolder=/home\n";
    WriteAll(path, before);
    CProfile profile(path);
    for (const char* text : {"x\n[SettingWindow]\nMaxFreq=1e11", "a\rb", "\n"})
        EXPECT_EQ(profile.WriteString("Export", "Folder", text), 0) << text;
    EXPECT_EQ(profile.WriteString("Ex\nport", "Folder", "x"), 0);
    EXPECT_EQ(profile.WriteString("Export", "Fol\rder", "x"), 0);
    EXPECT_EQ(ReadAll(path), before);
}

TEST_F(Profile, NamesAreComparedWithoutRegardToCase)
{
    WriteAll(path, "[settingwindow]\nwindowtype=4\n");
    CProfile profile(path);
    EXPECT_EQ(profile.ReadInt("SettingWindow", "WindowType"), 4);
    profile.WriteInt("SETTINGWINDOW", "WINDOWTYPE", 7);
    EXPECT_EQ(ReadAll(path), "[settingwindow]\nWINDOWTYPE=7\n");
}

TEST_F(Profile, ForeignLinesAndOtherSectionsArePreserved)
{
    const std::string before = "; a comment\n[Window]\nLeft=1\nmystery line\nTop=2\n\n[Ctrl]\nSlider1=3\n";
    WriteAll(path, before);
    CProfile profile(path);
    profile.WriteInt("Window", "Top", 20);
    profile.WriteInt("Window", "Right", 30);
    profile.WriteInt("Ctrl", "Slider2", 4);
    profile.WriteInt("KBWindow", "Left", 5);
    EXPECT_EQ(ReadAll(path), "; a comment\n[Window]\nLeft=1\nmystery line\nTop=20\nRight=30\n\n[Ctrl]\n"
                             "Slider1=3\nSlider2=4\n\n[KBWindow]\nLeft=5\n");
}

TEST_F(Profile, ReadsAreLimitedToTheBuffer)
{
    const std::string longValue(300, 'x');
    WriteAll(path, "[S]\nK=" + longValue + "\n");
    CProfile profile(path);
    char buffer[128];
    EXPECT_EQ(profile.ReadString("S", "K", buffer, sizeof buffer), 127);
    EXPECT_EQ(std::string(buffer), longValue.substr(0, 127));
    char small[4];
    EXPECT_EQ(profile.ReadString("S", "K", small, sizeof small), 3);
    EXPECT_EQ(std::string(small), "xxx");
}

TEST_F(Profile, HostileFilesGiveTheValueOrTheDefault)
{
    CProfile profile(path);
    // A line longer than any buffer, a binary blob and megabytes of text.
    std::string text = "[S]\nJunk=" + std::string(3 * 1024 * 1024, 'j') + "\n";
    text += std::string("\0\x01\xff[\x02]=\n", 8);
    for (int i = 0; i < 200000; ++i)
        text += "Filler" + std::to_string(i) + "=1\n";
    text += "K=42\n";
    WriteAll(path, text);
    EXPECT_EQ(profile.ReadInt("S", "K"), 42);
    EXPECT_EQ(Read(profile, "S", "Junk"), std::string(127, 'j'));
    EXPECT_EQ(profile.ReadInt("S", "Missing"), 0);

    profile.WriteInt("S", "K", 43);
    EXPECT_EQ(profile.ReadInt("S", "K"), 43);
    EXPECT_EQ(ReadAll(path).size(), text.size()) << "every other byte is kept";

    WriteAll(path, std::string("\x7f" "ELF\0\0\0\x02\x01", 9));
    EXPECT_EQ(profile.ReadInt("S", "K"), 0);

    // A folder where the file should be reads as missing.
    CProfile onFolder(folder);
    EXPECT_EQ(onFolder.ReadInt("S", "K"), 0);
}

TEST_F(Profile, WriteThatCannotSucceedChangesNothing)
{
    CProfile noFolder(folder + "/missing/tavimeter.ini");
    noFolder.WriteInt("Window", "Left", 1);
    EXPECT_EQ(noFolder.WriteString("Window", "Left", "1"), 0);
    EXPECT_EQ(noFolder.ReadInt("Window", "Left"), 0);

    const std::string file = folder + "/plain-file";
    WriteAll(file, "not a folder");
    CProfile folderIsFile(file + "/tavimeter.ini");
    EXPECT_EQ(folderIsFile.WriteString("Window", "Left", "1"), 0);
    EXPECT_EQ(ReadAll(file), "not a folder");
    std::remove(file.c_str());
}

int FailingRename(const char*, const char*)
{
    return -1;
}

TEST_F(Profile, OldFileIsIntactWhenTheReplacementCannotBeRenamed)
{
    const std::string before = "[Window]\nLeft=1\n";
    WriteAll(path, before);
    CProfile profile(path, FailingRename);
    EXPECT_EQ(profile.WriteString("Window", "Left", "99"), 0);
    EXPECT_EQ(ReadAll(path), before);
    // No temporary file is left behind.
    std::string listing;
    if (FILE* ls = popen(("ls -A '" + folder + "'").c_str(), "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, ls))
            listing += line;
        pclose(ls);
    }
    EXPECT_EQ(listing, "tavimeter.ini\n");
}

// The starter goes where no file is; a file that is there, even an empty
// one or a link to nothing, is kept as it is, and no temporary is left.
TEST_F(Profile, CreateIfMissingNeverReplacesAFile)
{
    CProfile profile(path);
    EXPECT_TRUE(profile.CreateIfMissing("[S]\nK=1\n"));
    EXPECT_EQ(ReadAll(path), "[S]\nK=1\n");
    EXPECT_EQ(profile.ReadInt("S", "K"), 1);
    EXPECT_FALSE(profile.CreateIfMissing("[S]\nK=2\n"));
    EXPECT_EQ(ReadAll(path), "[S]\nK=1\n");
    WriteAll(path, "");
    EXPECT_FALSE(profile.CreateIfMissing("[S]\nK=2\n"));
    EXPECT_EQ(ReadAll(path), "");
    std::remove(path.c_str());
    ASSERT_EQ(symlink("nowhere", path.c_str()), 0);
    EXPECT_FALSE(profile.CreateIfMissing("[S]\nK=2\n"));
    std::remove(path.c_str());

    CProfile inMissingFolder(folder + "/sub/tavimeter.ini");
    EXPECT_FALSE(inMissingFolder.CreateIfMissing("x")) << "a folder is made only for the desktop's";
    std::string listing;
    if (FILE* ls = popen(("ls -A '" + folder + "'").c_str(), "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, ls))
            listing += line;
        pclose(ls);
    }
    EXPECT_EQ(listing, "");
}

TEST_F(Profile, ByteOrderMarkAndLineEndsOfTheFileAreKept)
{
    const std::string bom = "\xEF\xBB\xBF";
    for (const std::string& mark : {std::string(), bom}) {
        for (const std::string& end : {std::string("\n"), std::string("\r\n")}) {
            auto lines = [&](std::initializer_list<const char*> list) {
                std::string text = mark;
                for (const char* line : list)
                    text += line + end;
                return text;
            };
            WriteAll(path, lines({"[Window]", "Left=1", "", "[Ctrl]", "Slider1=3"}));
            CProfile profile(path);
            EXPECT_EQ(profile.ReadInt("Window", "Left"), 1) << "the first section is found";
            profile.WriteInt("Window", "Left", 7);
            profile.WriteInt("Window", "Top", 2);
            profile.WriteInt("Ctrl", "Slider2", 4);
            profile.WriteInt("KBWindow", "Left", 5);
            EXPECT_EQ(ReadAll(path), lines({"[Window]", "Left=7", "Top=2", "", "[Ctrl]", "Slider1=3", "Slider2=4",
                                            "", "[KBWindow]", "Left=5"}))
                << (mark.empty() ? "no mark, " : "mark, ") << (end.size() == 2 ? "CR LF" : "LF");
        }
    }
}

// Reads the file through a stream that fails after its first `goodBytes`.
FILE* OpenFailingPartWay(const char* path, const char*)
{
    struct Source {
        FILE* file;
        size_t left;
    };
    auto* source = new Source{std::fopen(path, "rb"), 12};
    if (!source->file) {
        delete source;
        return nullptr;
    }
    cookie_io_functions_t io = {};
    io.read = [](void* cookie, char* buffer, size_t size) -> ssize_t {
        auto* s = static_cast<Source*>(cookie);
        if (s->left == 0) {
            errno = EIO;
            return -1;
        }
        const size_t got = std::fread(buffer, 1, std::min(size, s->left), s->file);
        s->left -= got;
        return static_cast<ssize_t>(got);
    };
    io.close = [](void* cookie) {
        auto* s = static_cast<Source*>(cookie);
        std::fclose(s->file);
        delete s;
        return 0;
    };
    return fopencookie(source, "rb", io);
}

TEST_F(Profile, AFileThatCannotBeReadWholeIsNeverReplaced)
{
    const std::string before = "[Window]\nLeft=1\nTop=2\n\n[Ctrl]\nSlider1=3\n";
    WriteAll(path, before);
    CProfile failing(path, std::rename, OpenFailingPartWay);
    EXPECT_EQ(failing.WriteString("Ctrl", "Slider2", "4"), 0) << "a read error part-way";
    EXPECT_EQ(ReadAll(path), before);

    // Writable but not readable. Root reads any file, so the write is tried
    // by an unprivileged user then.
    chmod(path.c_str(), 0200);
    chmod(folder.c_str(), 0777);
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(2);
        CProfile profile(path);
        _exit(profile.WriteString("Window", "Left", "9") == 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the write was skipped";
    chmod(path.c_str(), 0600);
    EXPECT_EQ(ReadAll(path), before);

    std::remove(path.c_str());
    CProfile fresh(path);
    EXPECT_EQ(fresh.WriteString("Window", "Left", "9"), 1) << "a missing file is created as before";
}

// The settings file kept elsewhere and linked into place (a dotfiles
// folder): the link stays a link, the file it points to gets the value and
// keeps its mode, and no temporary file is left in either folder.
TEST_F(Profile, ReplacementKeepsTheFileModeAndALinkToIt)
{
    const std::string elsewhere = folder + "/dotfiles";
    ASSERT_EQ(mkdir(elsewhere.c_str(), 0755), 0);
    WriteAll(elsewhere + "/tavimeter.ini", "[S]\nK=1\n");
    chmod((elsewhere + "/tavimeter.ini").c_str(), 0640);
    ASSERT_EQ(symlink("dotfiles/tavimeter.ini", path.c_str()), 0);
    CProfile profile(path);
    ASSERT_EQ(profile.WriteString("S", "K", "2"), 1);
    struct stat info;
    ASSERT_EQ(lstat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(ReadAll(elsewhere + "/tavimeter.ini"), "[S]\nK=2\n");
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(std::system(("test $(ls -A '" + folder + "' '" + elsewhere + "' | grep -c '[.]tmp$') = 0").c_str()), 0);
    std::remove((elsewhere + "/tavimeter.ini").c_str());
    rmdir(elsewhere.c_str());
}

} // namespace
