#include "tests/e2e/program_fixture.h"

namespace {

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
    } unusable[] = {{"text.wav", "cannot be read as sound"}, {"empty.wav", "has no samples"}, {".", "is a folder"}};
    for (const auto& u : unusable) {
        EXPECT_EQ(Run("--input " + folder + "/" + u.file), 1) << u.file;
        EXPECT_NE(ReadAll(folder + "/err.txt").find(u.says), std::string::npos) << ReadAll(folder + "/err.txt");
    }
    EXPECT_EQ(Run("--bogus"), 2);
}

} // namespace
