#include <dirent.h>

#include "tests/input/sound_file_maker.h"
#include "tests/e2e/program_fixture.h"

namespace {

// The files in `folder` whose names start with `prefix`.
int FilesStartingWith(const std::string& folder, const std::string& prefix)
{
    int count = 0;
    if (DIR* d = opendir(folder.c_str())) {
        while (const dirent* e = readdir(d))
            count += std::string(e->d_name).rfind(prefix, 0) == 0;
        closedir(d);
    }
    return count;
}

// --render with no display at all: no X server, no Qt platform asked for.
TEST_F(Program, RendersFilesWithoutADisplay)
{
    const std::string headless = "env -u DISPLAY -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY ";
    auto render = [&](const std::string& arguments) {
        return WEXITSTATUS(std::system((headless + exe + " --render " + arguments + " >" + folder + "/out.txt 2>" +
                                        folder + "/err.txt")
                                           .c_str()));
    };
    std::ofstream(folder + "/tavimeter.ini") << "[Window]\nLeft=0\nTop=0\nRight=640\nBottom=300\n"
                                                "[SettingWindow]\nCheck1=1\nWindowSize=4\nOversample=1\n"
                                                "[Ctrl]\nSlider1=40\nSlider2=70\n";
    ASSERT_TRUE(WriteSoundFile(folder + "/tone.wav", {}, 2 * 48000, Sine(1000, 0.5, 48000)));
    ASSERT_TRUE(WriteSoundFile(folder + "/tone.flac", {SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 1}, 2 * 44100,
                               Sine(440, 0.5, 44100)));

    ASSERT_EQ(render(folder + "/tone.wav " + folder + "/sized.png --size 320x200"), 0) << ReadAll(folder + "/err.txt");
    EXPECT_EQ(QImage(QString::fromStdString(folder + "/sized.png")).size(), QSize(320, 200));
    EXPECT_EQ(ReadAll(folder + "/err.txt"), "");

    // By default a column per column drawn (46 blocks, 2 each) and the
    // window's height under the caption line.
    ASSERT_EQ(render(folder + "/tone.wav " + folder + "/natural.png"), 0) << ReadAll(folder + "/err.txt");
    const QImage natural(QString::fromStdString(folder + "/natural.png"));
    EXPECT_EQ(natural.width(), 92);
    EXPECT_GT(natural.height(), 300);
    EXPECT_LT(natural.height(), 340);

    ASSERT_EQ(system(("mkdir " + folder + "/pictures").c_str()), 0);
    ASSERT_EQ(render(folder + "/tone.wav " + folder + "/tone.flac --bare --out-dir " + folder + "/pictures"), 0)
        << ReadAll(folder + "/err.txt");
    EXPECT_EQ(QImage(QString::fromStdString(folder + "/pictures/tone.wav.png")).height(), 300);
    EXPECT_FALSE(QImage(QString::fromStdString(folder + "/pictures/tone.flac.png")).isNull());

    // A forgotten --out-dir: the second recording is not written over, and
    // nothing is analysed.
    const std::string recording = ReadAll(folder + "/tone.flac");
    EXPECT_EQ(render(folder + "/tone.wav " + folder + "/tone.flac"), 2);
    EXPECT_NE(ReadAll(folder + "/err.txt").find("--out-dir"), std::string::npos) << ReadAll(folder + "/err.txt");
    EXPECT_EQ(ReadAll(folder + "/tone.flac"), recording);
    // A caption line and fewer than 16 rows left for the picture.
    EXPECT_EQ(render(folder + "/tone.wav " + folder + "/low.png --size 320x20"), 2);
    EXPECT_NE(ReadAll(folder + "/err.txt").find("--bare"), std::string::npos) << ReadAll(folder + "/err.txt");
    EXPECT_EQ(render(folder + "/tone.wav " + folder + "/low.png --size 320x20 --bare"), 0);

    // An unreadable file: a message, status 1, and the picture that was
    // there untouched, with no temporary file left.
    std::ofstream(folder + "/bad.wav") << "not sound";
    ASSERT_TRUE(QImage(8, 8, QImage::Format_RGB32).save(QString::fromStdString(folder + "/kept.png")));
    const std::string earlier = ReadAll(folder + "/kept.png");
    EXPECT_EQ(render(folder + "/bad.wav " + folder + "/kept.png"), 1);
    EXPECT_NE(ReadAll(folder + "/err.txt").find("bad.wav cannot be read as sound"), std::string::npos)
        << ReadAll(folder + "/err.txt");
    EXPECT_EQ(ReadAll(folder + "/kept.png"), earlier);
    EXPECT_EQ(FilesStartingWith(folder, "kept.png"), 1);
    EXPECT_EQ(render(folder + "/tone.wav " + folder + "/nowhere/x.png"), 1);
    EXPECT_NE(ReadAll(folder + "/err.txt").find("could not be written to"), std::string::npos);
}

} // namespace
