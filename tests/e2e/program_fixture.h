#pragma once

// The real program under Xvfb for the end-to-end tests: started in a folder
// of its own, its windows found and its screen read back.
#include <sys/stat.h>
#include <sys/wait.h>

#include <QImage>
#include <QRect>

#include <fstream>
#include <set>
#include <sstream>

#include "tests/e2e/pulse_fixture.h"

using Clock = std::chrono::steady_clock;

inline std::string ReadAll(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The names of the windows on the test display.
inline std::string WindowNames()
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

inline bool WaitFor(std::chrono::milliseconds limit, const std::function<bool()>& done)
{
    const auto end = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

// A top-level window's place on the screen, from xwininfo.
struct ScreenRect {
    int x = 0, y = 0, width = 0, height = 0;
};

inline bool FindWindow(const std::string& name, ScreenRect& r)
{
    FILE* out = popen(("xwininfo -name '" + name + "' 2>/dev/null").c_str(), "r");
    if (!out)
        return false;
    char line[256];
    int found = 0;
    while (std::fgets(line, sizeof line, out)) {
        found += std::sscanf(line, " Absolute upper-left X: %d", &r.x) == 1;
        found += std::sscanf(line, " Absolute upper-left Y: %d", &r.y) == 1;
        found += std::sscanf(line, " Width: %d", &r.width) == 1;
        found += std::sscanf(line, " Height: %d", &r.height) == 1;
    }
    pclose(out);
    return found == 4;
}

inline void Click(double x, double y)
{
    const std::string command = "xdotool mousemove --sync " + std::to_string(int(std::lround(x))) + " " +
                                std::to_string(int(std::lround(y))) + " click 1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

inline QImage Grab(const std::string& folder, const ScreenRect& r)
{
    const std::string file = folder + "/shot.png";
    const std::string command = std::string(TAVI_SCREEN_GRAB) + " " + file + " " + std::to_string(r.x) + " " +
                                std::to_string(r.y) + " " + std::to_string(r.width) + " " + std::to_string(r.height);
    if (std::system(command.c_str()) != 0)
        return QImage();
    return QImage(QString::fromStdString(file));
}

// The brightest row of column x (counted from the bottom; the middle of the
// rows that share the brightest colour, which saturates), and its
// brightness (red + green + blue).
inline std::pair<double, int> BrightestRow(const QImage& image, int x)
{
    int best = -1, first = 0, last = 0;
    for (int y = 0; y < image.height(); ++y) {
        const QColor c = image.pixelColor(x, y);
        const int brightness = c.red() + c.green() + c.blue();
        if (brightness > best) {
            best = brightness;
            first = last = y;
        } else if (brightness == best) {
            last = y;
        }
    }
    return {image.height() - 1 - (first + last) / 2.0, best};
}

// Of the columns x0, x0 + 9, ... below x1: how many have their brightest
// row within 3 rows of `row` and bright, and how many are dark throughout.
struct ColumnCount {
    int atRow = 0, dark = 0, columns = 0;
};
inline ColumnCount CountColumns(const QImage& image, int x0, int x1, double row)
{
    ColumnCount count;
    for (int x = x0; x < x1; x += 9) {
        const auto [brightest, brightness] = BrightestRow(image, x);
        ++count.columns;
        count.atRow += std::abs(brightest - row) <= 3 && brightness > 300;
        count.dark += brightness < 100;
    }
    return count;
}

inline bool TitleSaysNoInput()
{
    return WindowNames().find("no sound input") != std::string::npos;
}

struct Statistics {
    long analysed = -1, painted = -1, sinceStart = -1;
    unsigned long long dropped = 0;
};

inline Statistics ParseStatistics(const std::string& text)
{
    Statistics s;
    std::sscanf(text.c_str(), "blocks analysed %ld, painted %ld, since the last start %ld, frames dropped %llu",
                &s.analysed, &s.painted, &s.sinceStart, &s.dropped);
    return s;
}

inline Feeder::Generator Tone(double frequency = 1000)
{
    return [frequency](long n, int16_t& l, int16_t& r) {
        l = r = int16_t(std::lround(15000 * std::sin(2 * M_PI * frequency * n / 48000.0)));
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
    void TearDown() override
    {
        // A test that stopped half-way leaves no program behind.
        for (const pid_t pid : started)
            if (waitpid(pid, nullptr, WNOHANG) == 0) {
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
            }
        std::system(("rm -rf " + folder).c_str());
    }

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
        started.push_back(pid);
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
    std::vector<pid_t> started;
};

