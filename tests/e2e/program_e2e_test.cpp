#include <sys/stat.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>

#include "tests/e2e/pulse_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The names of the windows on the test display.
std::string WindowNames()
{
    std::string names;
    if (FILE* out = popen("xwininfo -root -tree 2>/dev/null", "r")) {
        char line[1024];
        while (std::fgets(line, sizeof line, out))
            names += line;
        pclose(out);
    }
    return names;
}

bool WaitFor(std::chrono::milliseconds limit, const std::function<bool()>& done)
{
    const auto end = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

bool TitleSaysNoInput()
{
    return WindowNames().find("no sound input") != std::string::npos;
}

struct Statistics {
    long analysed = -1, painted = -1, sinceStart = -1;
    unsigned long long dropped = 0;
};

Statistics ParseStatistics(const std::string& text)
{
    Statistics s;
    std::sscanf(text.c_str(), "blocks analysed %ld, painted %ld, since the last start %ld, frames dropped %llu",
                &s.analysed, &s.painted, &s.sinceStart, &s.dropped);
    return s;
}

Feeder::Generator Tone()
{
    return [](long n, int16_t& l, int16_t& r) {
        l = r = int16_t(std::lround(15000 * std::sin(2 * M_PI * 1000 * n / 48000.0)));
    };
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
    int Stop(pid_t pid, int signal = SIGTERM)
    {
        kill(pid, signal);
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
    Feeder feeder(server.Address(), Tone(), 6.0);
    const pid_t pid = Start("");
    std::this_thread::sleep_for(std::chrono::seconds(3));
    // A hang-up closes the window as a termination does.
    ASSERT_EQ(Stop(pid, SIGHUP), 0) << ReadAll(folder + "/err.txt");

    const Statistics run = ParseStatistics(ReadAll(folder + "/out.txt"));
    EXPECT_GT(run.analysed, 20);
    EXPECT_EQ(run.painted, run.analysed);
    EXPECT_EQ(run.sinceStart, run.analysed);

    struct stat log;
    ASSERT_EQ(stat((folder + "/tavimeter.log").c_str(), &log), 0) << "the log file exists";
    EXPECT_EQ(log.st_size, 0);
    const std::string ini = ReadAll(folder + "/tavimeter.ini");
    EXPECT_NE(ini.find("[Window]"), std::string::npos);
    EXPECT_NE(ini.find("Bottom="), std::string::npos);
}

TEST_F(Program, WithoutAServerTheWindowOpensWithAMessageAndTheProgramFails)
{
    const pid_t pid = Start("", "PULSE_SERVER=unix:/nonexistent/tavimeter");
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_EQ(Stop(pid), 1) << ReadAll(folder + "/err.txt");
    EXPECT_NE(ReadAll(folder + "/out.txt").find("blocks analysed 0"), std::string::npos);
    EXPECT_EQ(ReadAll(folder + "/err.txt").find("ALSA lib"), std::string::npos) << "ALSA's library stays quiet";
}

TEST_F(Program, ALostServerIsFoundAgainWhenItComesBack)
{
    PulseServer server;
    ASSERT_TRUE(server.Running());
    auto feeder = std::make_unique<Feeder>(server.Address(), Tone(), 60.0);
    const pid_t pid = Start("");
    ASSERT_TRUE(WaitFor(std::chrono::seconds(10), [] { return WindowNames().find("\"Tavimeter\"") != std::string::npos; }));
    std::this_thread::sleep_for(std::chrono::seconds(2));

    server.Kill();
    ASSERT_TRUE(WaitFor(std::chrono::seconds(10), TitleSaysNoInput)) << WindowNames();
    feeder.reset();
    ASSERT_TRUE(server.Start()) << "a new server on the same socket";
    feeder = std::make_unique<Feeder>(server.Address(), Tone(), 60.0);
    const auto back = Clock::now();
    EXPECT_TRUE(WaitFor(std::chrono::seconds(5), [] { return !TitleSaysNoInput(); })) << "the title is normal again";
    std::this_thread::sleep_until(back + std::chrono::seconds(5));
    ASSERT_EQ(Stop(pid), 0) << ReadAll(folder + "/err.txt");

    const Statistics run = ParseStatistics(ReadAll(folder + "/out.txt"));
    EXPECT_GT(run.sinceStart, 0) << "blocks analysed again within 5 seconds";
    EXPECT_LT(run.sinceStart, run.analysed);
}

TEST_F(Program, ListsDevicesAndRejectsUnusableFiles)
{
    PulseServer server;
    ASSERT_TRUE(server.Running());
    EXPECT_EQ(Run("--list-devices"), 0);
    EXPECT_NE(ReadAll(folder + "/out.txt").find("tavi_null.monitor"), std::string::npos);

    std::ofstream(folder + "/text.wav") << "not audio at all";
    std::ofstream(folder + "/empty.wav", std::ios::binary)
        << std::string("RIFF\x24\0\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0\x80\xbb\0\0\0\xee\x02\0\x04\0\x10\0"
                       "data\0\0\0\0",
                       44);
    const struct {
        std::string file;
        const char* says;
    } unusable[] = {{"text.wav", "is not a WAV file"}, {"empty.wav", "has no sample data"}, {".", "is a folder"}};
    for (const auto& u : unusable) {
        EXPECT_EQ(Run("--input " + folder + "/" + u.file), 1) << u.file;
        EXPECT_NE(ReadAll(folder + "/err.txt").find(u.says), std::string::npos) << ReadAll(folder + "/err.txt");
    }
    EXPECT_EQ(Run("--bogus"), 2);
}

} // namespace
