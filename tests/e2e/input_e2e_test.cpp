#include "tests/e2e/program_fixture.h"

namespace {

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

} // namespace
