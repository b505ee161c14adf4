#include <sys/stat.h>
#include <sys/wait.h>

#include <QImage>
#include <QRect>

#include <fstream>
#include <set>
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

// A top-level window's place on the screen, from xwininfo.
struct ScreenRect {
    int x = 0, y = 0, width = 0, height = 0;
};

bool FindWindow(const std::string& name, ScreenRect& r)
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

void Click(double x, double y)
{
    const std::string command = "xdotool mousemove --sync " + std::to_string(int(std::lround(x))) + " " +
                                std::to_string(int(std::lround(y))) + " click 1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

QImage Grab(const std::string& folder, const ScreenRect& r)
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
std::pair<double, int> BrightestRow(const QImage& image, int x)
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
ColumnCount CountColumns(const QImage& image, int x0, int x1, double row)
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

Feeder::Generator Tone(double frequency = 1000)
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

// A tune around -20 dBFS: notes of a scale, a quarter of a second each,
// with six harmonics falling off and a decay, over a steady -20 dBFS tone.
Feeder::Generator TuneOverATone()
{
    return [](long n, int16_t& l, int16_t& r) {
        static const double scale[] = {261.63, 293.66, 329.63, 349.23, 392.00, 440.00, 493.88, 523.25};
        const long note = n / 12000;
        const double f = scale[(note * 5) % 8] / ((note / 8) % 2 + 1);
        const double t = (n % 12000) / 48000.0;
        double v = 0.1 * std::sin(2 * M_PI * 1000 * n / 48000.0);
        for (int k = 1; k <= 6; ++k)
            v += 0.1 / k * std::exp(-6 * t) * std::sin(2 * M_PI * k * f * n / 48000.0);
        l = r = int16_t(std::lround(32767 * v));
    };
}

// What a new user meets: a first start, without a settings file, shows the
// starter's picture of ordinary sound in many colours, most of it below the
// top of the colour scale, and no window covers another.
TEST_F(Program, AFirstStartShowsAReadablePictureWithTheWindowsApart)
{
    PulseServer server;
    ASSERT_TRUE(server.Running());
    Feeder feeder(server.Address(), TuneOverATone(), 30.0);
    const pid_t pid = Start("");
    ScreenRect main, panel;
    ASSERT_TRUE(WaitFor(std::chrono::seconds(10), [&] { return FindWindow("Tavimeter", main) && FindWindow("Settings", panel); }));
    std::this_thread::sleep_for(std::chrono::seconds(8));
    const QImage shot = Grab(folder, main);
    ASSERT_FALSE(shot.isNull());
    shot.save(QString::fromStdString(folder + "/../tavi_e2e_first_start.png"));
    const QRect mainRect(main.x, main.y, main.width, main.height), panelRect(panel.x, panel.y, panel.width, panel.height);
    EXPECT_FALSE(mainRect.intersects(panelRect)) << "the panel beside the main window";
    EXPECT_EQ(main.y, panel.y) << "tops aligned";

    std::set<QRgb> colours;
    long top = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) {
            const QRgb c = shot.pixel(x, y) & 0xFFFFFF;
            colours.insert(c);
            top += c == 0xFF0000;  // the top of the "Normal" colour scale
        }
    EXPECT_GE(colours.size(), 100u) << "many colours";
    EXPECT_LT(top, long(shot.width()) * shot.height() / 5) << "less than a fifth at the top colour";
    ASSERT_EQ(Stop(pid), 0);
    const std::string ini = ReadAll(folder + "/tavimeter.ini");
    EXPECT_NE(ini.find("Slider2=86"), std::string::npos) << "the starter's contrast: " << ini;
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

// The panel's controls are clicked where the template puts them: dialog
// units scaled by the panel's width (134 units).
TEST_F(Program, TheSettingsPanelDrivesTheViewsAndEverySettingSurvivesARestart)
{
    PulseServer server;
    ASSERT_TRUE(server.Running());
    Feeder feeder(server.Address(), Tone(), 90.0);
    std::ofstream(folder + "/tavimeter.ini") << "[Window]\nLeft=0\nTop=0\nRight=640\nBottom=480\n"
                                                "[SettingWindow]\nLeft=700\nTop=0\nRight=901\nBottom=615\n"
                                                "Check1=1\nWindowSize=4\nOversample=1\n"
                                                "[Ctrl]\nSlider1=40\nSlider2=70\n";
    const pid_t pid = Start("");
    ScreenRect panel, main;
    ASSERT_TRUE(WaitFor(std::chrono::seconds(10), [&] { return FindWindow("Settings", panel); })) << WindowNames();
    ASSERT_TRUE(FindWindow("Tavimeter", main));
    const double unit = panel.width / 134.0;
    auto clickPanel = [&](double x, double y) { Click(panel.x + x * unit, panel.y + y * unit); };
    const int h = main.height;
    const double span = std::log2(22050.0) - 5;
    const double row1000 = (std::log2(1000.0) - 5) * h / span;
    // The newest columns are drawn 20 pixels from the right edge, two a block.
    std::this_thread::sleep_for(std::chrono::seconds(4));
    QImage shot = Grab(folder, main);
    ASSERT_FALSE(shot.isNull());
    shot.save(QString::fromStdString(folder + "/../tavi_e2e_log_spectrogram.png"));
    const int right = main.width - 40;
    ColumnCount log = CountColumns(shot, right - 200, right, row1000);
    EXPECT_GE(log.atRow, log.columns - 1) << "a line at the row of 1000 Hz";

    clickPanel(30, 155);  // "1-D Spectum"
    std::this_thread::sleep_for(std::chrono::seconds(1));
    kill(pid, SIGUSR1);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_NE(ReadAll(folder + "/out.txt").find("display mode 2: fc = 1001.0[Hz]"), std::string::npos)
        << ReadAll(folder + "/out.txt");

    clickPanel(30, 146);  // "Constant-Q Spectrogram"
    std::this_thread::sleep_for(std::chrono::seconds(4));
    shot = Grab(folder, main);
    // Bin 118, a quarter tone apart from note 24 (32.7032 Hz), is nearest.
    const double cqRow = (std::log2(32.7032 * std::pow(2.0, 118 / 24.0)) - 5) * h / span;
    shot.save(QString::fromStdString(folder + "/../tavi_e2e_constant_q.png"));
    const ColumnCount cq = CountColumns(shot, right - 200, right, cqRow);
    EXPECT_GE(cq.atRow, cq.columns - 1) << "the tone at its quarter-tone row";

    clickPanel(30, 135);   // "2-D Spectrogram"
    clickPanel(100, 207);  // the "Settings2" tab
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const double pageX = 12 * unit / 1.5, pageY = 320 * unit / 1.5;
    Click(panel.x + pageX + 20 * unit, panel.y + pageY + 10 * unit);  // "StereoView"
    feeder.SetGenerator([](long n, int16_t& l, int16_t& r) {
        l = 0;
        r = int16_t(std::lround(15000 * std::sin(2 * M_PI * 1000 * n / 48000.0)));
    });
    std::this_thread::sleep_for(std::chrono::seconds(4));
    shot = Grab(folder, main);
    shot.save(QString::fromStdString(folder + "/../tavi_e2e_stereo.png"));
    // The channels meet 20 pixels left of the middle of the picture; the
    // left one's newest columns are left of it, the right one's right of it.
    const int split = (main.width - 17) / 2 - 20;
    const ColumnCount leftChannel = CountColumns(shot, split - 150, split - 10, row1000);
    const ColumnCount rightChannel = CountColumns(shot, split + 10, split + 150, row1000);
    EXPECT_EQ(leftChannel.dark, leftChannel.columns) << "nothing on the left channel";
    EXPECT_GE(rightChannel.atRow, rightChannel.columns - 1) << "the tone on the right channel";

    ASSERT_EQ(Stop(pid), 0) << ReadAll(folder + "/err.txt");
    const std::string first = ReadAll(folder + "/tavimeter.ini");
    for (const char* line : {"Check1=1", "WindowSize=4", "Stereo=1", "Slider1=40", "Slider2=70", "MaxFreq=22050.00"})
        EXPECT_NE(first.find(line), std::string::npos) << line << " in\n" << first;

    // A second run restores every value, so that it writes the same file.
    const pid_t again = Start("");
    ASSERT_TRUE(WaitFor(std::chrono::seconds(10), [&] { return FindWindow("Settings", panel); }));
    std::this_thread::sleep_for(std::chrono::seconds(1));
    ASSERT_EQ(Stop(again), 0);
    EXPECT_EQ(ReadAll(folder + "/tavimeter.ini"), first);
}

// Two null sinks, a tone into each; the input is switched from the picture's
// context menu with the keyboard, at its place among the PulseAudio sources.
TEST_F(Program, TheInputChosenFromTheMenuIsUsedAtOnceAndAtTheNextStart)
{
    PulseServer server;
    ASSERT_TRUE(server.Running());
    ASSERT_EQ(std::system("pactl load-module module-null-sink sink_name=tavi_second rate=48000 sink_properties=device.description=Second >/dev/null"), 0);
    Feeder low(server.Address(), Tone(1000), 90.0);
    // 2500 Hz lies between grid bins: a tone on a bin's centre can fall
    // between the rows of the logarithmic axis.
    Feeder high(server.Address(), Tone(2500), 90.0, "tavi_second");
    // The menu lists the PulseAudio sources first, in the server's order.
    ASSERT_EQ(std::system(("pactl list short sources >" + folder + "/list.txt").c_str()), 0);
    std::istringstream listing(ReadAll(folder + "/list.txt"));
    int index = -1, count = 0;
    for (std::string line; std::getline(listing, line); ++count)
        if (line.find("tavi_second.monitor") != std::string::npos)
            index = count;
    ASSERT_GE(index, 0) << ReadAll(folder + "/list.txt");

    std::ofstream(folder + "/tavimeter.ini") << "[Window]\nLeft=0\nTop=0\nRight=640\nBottom=480\n"
                                                "[SettingWindow]\nLeft=700\nTop=0\nRight=901\nBottom=615\n"
                                                "Check1=1\nWindowSize=4\nOversample=1\n"
                                                "[Ctrl]\nSlider1=40\nSlider2=70\n";
    ScreenRect main;
    auto start = [&](const std::string& arguments) {
        const pid_t pid = Start(arguments);
        EXPECT_TRUE(WaitFor(std::chrono::seconds(10), [&] { return FindWindow("Tavimeter", main); }));
        std::this_thread::sleep_for(std::chrono::seconds(4));
        return pid;
    };
    // Whether the newest columns show their brightest row at `frequency`.
    auto newestAt = [&](double frequency) {
        const QImage shot = Grab(folder, main);
        const double row = (std::log2(frequency) - 5) * main.height / (std::log2(22050.0) - 5);
        const ColumnCount c = CountColumns(shot, main.width - 240, main.width - 40, row);
        return c.atRow >= c.columns - 1;
    };

    pid_t pid = start("");
    EXPECT_TRUE(newestAt(1000)) << "the default source, the first sink's monitor";
    std::system("xdotool mousemove 300 240 click 3");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    // The default input, then the devices.
    std::string keys = "xdotool key Down Right";
    for (int i = 0; i <= index; ++i)
        keys += " Down";
    keys += " Return";
    ASSERT_EQ(std::system(keys.c_str()), 0);
    std::this_thread::sleep_for(std::chrono::seconds(4));
    EXPECT_TRUE(newestAt(2500)) << "the second sink's monitor, without a restart";
    ASSERT_EQ(Stop(pid), 0) << ReadAll(folder + "/err.txt");
    EXPECT_NE(ReadAll(folder + "/tavimeter.ini").find("[Input]\nDevice=tavi_second.monitor"), std::string::npos)
        << ReadAll(folder + "/tavimeter.ini");

    pid = start("");
    EXPECT_TRUE(newestAt(2500)) << "the choice survives a restart";
    ASSERT_EQ(Stop(pid), 0);
    pid = start("--device tavi_null.monitor");
    EXPECT_TRUE(newestAt(1000)) << "--device overrides it for its run";
    ASSERT_EQ(Stop(pid), 0);
    EXPECT_NE(ReadAll(folder + "/tavimeter.ini").find("Device=tavi_second.monitor"), std::string::npos);
}

// What the program's statistics say (SIGUSR1): the input in use and the
// fundamental of the 1-D view (0 when there is none).
struct Reading {
    std::string input;
    double fundamental = 0.0;
};

Reading Read(pid_t pid, const std::string& folder)
{
    kill(pid, SIGUSR1);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const std::string out = ReadAll(folder + "/out.txt");
    Reading r;
    const size_t input = out.rfind("input in use: ");
    if (input != std::string::npos)
        r.input = out.substr(input + 14, out.find('\n', input) - input - 14);
    const size_t fc = out.rfind("fc = ");
    if (fc != std::string::npos)
        r.fundamental = std::atof(out.c_str() + fc + 5);
    return r;
}

// The default input follows the server's default source while it runs.
TEST_F(Program, TheDefaultInputFollowsTheDesktop)
{
    PulseServer server;
    ASSERT_TRUE(server.Running());
    ASSERT_EQ(std::system("pactl load-module module-null-sink sink_name=tavi_second rate=48000 >/dev/null"), 0);
    Feeder low(server.Address(), Tone(1000), 60.0);
    Feeder high(server.Address(), Tone(2500), 60.0, "tavi_second");
    const pid_t pid = Start("--mode 2");
    ScreenRect main;
    // SIGUSR1 is taken once the window runs.
    ASSERT_TRUE(WaitFor(std::chrono::seconds(10), [&] { return FindWindow("Tavimeter", main); }));
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_TRUE(WaitFor(std::chrono::seconds(10), [&] { return std::abs(Read(pid, folder).fundamental - 1000) < 20; }))
        << ReadAll(folder + "/out.txt");
    ASSERT_EQ(std::system("pactl set-default-source tavi_second.monitor"), 0);
    const auto changed = Clock::now();
    EXPECT_TRUE(WaitFor(std::chrono::seconds(3), [&] { return std::abs(Read(pid, folder).fundamental - 2500) < 20; }))
        << ReadAll(folder + "/out.txt");
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - changed).count(), 2.5) << "within two seconds";
    EXPECT_EQ(Read(pid, folder).input, "the default input");
    ASSERT_EQ(Stop(pid), 0) << ReadAll(folder + "/err.txt");
    EXPECT_EQ(ReadAll(folder + "/tavimeter.ini").find("Device=tavi"), std::string::npos) << "no source is stored";
}

// A source chosen by name that is unplugged: after 10 seconds the default
// input stands in; when the source is back it is recorded again.
TEST_F(Program, AnUnpluggedSourceGivesWayToTheDefaultUntilItIsBack)
{
    PulseServer server;
    ASSERT_TRUE(server.Running());
    const std::string load = "pactl load-module module-null-sink sink_name=tavi_second rate=48000";
    std::string module;
    auto plugIn = [&] {
        if (FILE* out = popen(load.c_str(), "r")) {
            char line[64] = {};
            if (std::fgets(line, sizeof line, out))
                module = std::to_string(std::atoi(line));
            pclose(out);
        }
    };
    plugIn();
    Feeder low(server.Address(), Tone(1000), 90.0);
    auto high = std::make_unique<Feeder>(server.Address(), Tone(2500), 90.0, "tavi_second");
    const pid_t pid = Start("--device tavi_second.monitor --mode 2");
    ScreenRect main;
    // SIGUSR1 is taken once the window runs.
    ASSERT_TRUE(WaitFor(std::chrono::seconds(10), [&] { return FindWindow("Tavimeter", main); }));
    std::this_thread::sleep_for(std::chrono::seconds(2));
    ASSERT_TRUE(WaitFor(std::chrono::seconds(10), [&] { return std::abs(Read(pid, folder).fundamental - 2500) < 20; }))
        << ReadAll(folder + "/out.txt");

    // The server would move the sink's player to the default sink.
    ASSERT_EQ(std::system(("pactl unload-module " + module).c_str()), 0);
    high.reset();
    const auto unplugged = Clock::now();
    ASSERT_TRUE(WaitFor(std::chrono::seconds(5), TitleSaysNoInput));
    EXPECT_TRUE(WaitFor(std::chrono::seconds(15), [&] {
        const Reading r = Read(pid, folder);
        return r.input == "the default input" && std::abs(r.fundamental - 1000) < 20;
    })) << ReadAll(folder + "/out.txt");
    EXPECT_GE(std::chrono::duration<double>(Clock::now() - unplugged).count(), 9.5) << "not before 10 seconds";

    plugIn();
    high = std::make_unique<Feeder>(server.Address(), Tone(2500), 90.0, "tavi_second");
    EXPECT_TRUE(WaitFor(std::chrono::seconds(8), [&] {
        const Reading r = Read(pid, folder);
        return r.input == "tavi_second.monitor" && std::abs(r.fundamental - 2500) < 20;
    })) << ReadAll(folder + "/out.txt");
    ASSERT_EQ(Stop(pid), 0) << ReadAll(folder + "/err.txt");
}

// A click every half second reads 120 bpm within ten seconds; silence has no
// beat.
TEST_F(Program, ShowsTheTempoOfAClickTrack)
{
    PulseServer server;
    ASSERT_TRUE(server.Running());
    Feeder clicks(server.Address(), Feeder::Silence(), 60.0);
    std::ofstream(folder + "/tavimeter.ini") << "[View]\nShowTempo=1\n";
    pid_t pid = Start("");
    std::this_thread::sleep_for(std::chrono::seconds(3));
    kill(pid, SIGUSR1);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_NE(ReadAll(folder + "/out.txt").find("tempo readout: \u2014 bpm"), std::string::npos)
        << ReadAll(folder + "/out.txt");

    clicks.SetGenerator([](long n, int16_t& l, int16_t& r) {
        const long t = n % 24000;
        l = r = t < 240 ? int16_t(std::lround(20000 * std::exp(-t / 60.0) * std::sin(2 * M_PI * 2000 * t / 48000.0)))
                        : int16_t(0);
    });
    const auto clicking = Clock::now();
    bool found = false;
    while (!found && Clock::now() < clicking + std::chrono::seconds(12)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        kill(pid, SIGUSR1);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        found = ReadAll(folder + "/out.txt").find("tempo readout: 120 bpm") != std::string::npos;
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - clicking).count();
    EXPECT_TRUE(found) << ReadAll(folder + "/out.txt");
    EXPECT_LT(seconds, 10.0) << "within ten seconds";
    ASSERT_EQ(Stop(pid), 0);
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
