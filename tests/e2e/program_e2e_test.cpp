#include <sys/stat.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>

#include "tests/e2e/pulse_fixture.h"

namespace {

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The real program, copied into a folder of its own so that its INI and log
// files land there.
class Program : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run inside scripts/test-rig.sh";
        folder = ::testing::TempDir() + "tavi_program_" + std::to_string(getpid());
        mkdir(folder.c_str(), 0755);
        exe = folder + "/tavimeter";
        ASSERT_EQ(std::system(("cp " + std::string(TAVI_PROGRAM) + " " + exe).c_str()), 0);
    }
    void TearDown() override { std::system(("rm -rf " + folder).c_str()); }

    // Starts the program; its standard output goes to a file.
    pid_t Start(const std::string& arguments, const std::string& environment = "")
    {
        const std::string command = "exec env TAVIMETER_STATS=1 " + environment + " " + exe + " " + arguments +
                                    " >" + folder + "/out.txt 2>" + folder + "/err.txt";
        const pid_t pid = fork();
        if (pid == 0) {
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        return pid;
    }

    // Asks the program to close as a window manager would and waits for it.
    int Stop(pid_t pid)
    {
        kill(pid, SIGTERM);
        int status = 0;
        for (int i = 0; i < 100; ++i) {
            if (waitpid(pid, &status, WNOHANG) == pid)
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return -2;  // it did not close
    }

    int Run(const std::string& arguments)
    {
        return WEXITSTATUS(std::system(("env -u PULSE_SOURCE " + exe + " " + arguments + " >" + folder +
                                        "/out.txt 2>" + folder + "/err.txt")
                                           .c_str()));
    }

    std::string folder;
    std::string exe;
};

TEST_F(Program, CapturesAnalysesAndPaintsThenKeepsItsPlacement)
{
    PulseServer server;
    ASSERT_TRUE(server.Running());
    Feeder feeder(server.Address(), [](long n, int16_t& l, int16_t& r) {
        l = r = int16_t(std::lround(15000 * std::sin(2 * M_PI * 1000 * n / 48000.0)));
    }, 6.0);
    const pid_t pid = Start("");
    std::this_thread::sleep_for(std::chrono::seconds(3));
    ASSERT_EQ(Stop(pid), 0) << ReadAll(folder + "/err.txt");

    long analysed = 0, painted = 0;
    ASSERT_EQ(std::sscanf(ReadAll(folder + "/out.txt").c_str(), "blocks analysed %ld, painted %ld", &analysed,
                          &painted),
              2);
    EXPECT_GT(analysed, 20);
    EXPECT_EQ(painted, analysed);

    struct stat log;
    ASSERT_EQ(stat((folder + "/tavimeter.log").c_str(), &log), 0) << "the log file exists";
    EXPECT_EQ(log.st_size, 0);
    const std::string ini = ReadAll(folder + "/tavimeter.ini");
    EXPECT_NE(ini.find("[Window]"), std::string::npos);
    EXPECT_NE(ini.find("Bottom="), std::string::npos);
}

TEST_F(Program, WithoutAServerTheWindowOpensWithAMessageAndClosesCleanly)
{
    const pid_t pid = Start("", "PULSE_SERVER=unix:/nonexistent/tavimeter");
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_EQ(Stop(pid), 0) << ReadAll(folder + "/err.txt");
    EXPECT_NE(ReadAll(folder + "/out.txt").find("blocks analysed 0"), std::string::npos);
}

TEST_F(Program, ListsDevicesAndRejectsUnusableFiles)
{
    PulseServer server;
    ASSERT_TRUE(server.Running());
    EXPECT_EQ(Run("--list-devices"), 0);
    EXPECT_NE(ReadAll(folder + "/out.txt").find("tavi_null.monitor"), std::string::npos);

    std::ofstream(folder + "/text.wav") << "not audio at all";
    EXPECT_EQ(Run("--input " + folder + "/text.wav"), 1);
    EXPECT_NE(ReadAll(folder + "/err.txt").find("is not a WAV file"), std::string::npos);
    EXPECT_EQ(Run("--bogus"), 2);
}

} // namespace
