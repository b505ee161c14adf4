#include "tests/e2e/program_fixture.h"

namespace {

// A 1 kHz sine at -23 dBFS (peak) in both channels.
Feeder::Generator Minus23()
{
    return [](long n, int16_t& l, int16_t& r) {
        l = r = int16_t(std::lround(std::pow(10.0, -23.0 / 20) * 32768 * std::sin(2 * M_PI * 1000 * n / 48000.0)));
    };
}

// The meter window kept shown: a -23 dBFS tone through the server (its null
// sink passes the samples unchanged) reads -23.0 LUFS short-term.
TEST_F(Program, TheMeterReadsTheLoudnessOfATone)
{
    PulseServer server;
    ASSERT_TRUE(server.Running());
    Feeder tone(server.Address(), Minus23(), 30.0);
    std::ofstream(folder + "/tavimeter.ini") << "[View]\nShowMeter=1\n";
    const pid_t pid = Start("");
    ASSERT_TRUE(WaitFor(std::chrono::seconds(10), [] { return WindowNames().find("\"Meter\"") != std::string::npos; }))
        << WindowNames();
    std::this_thread::sleep_for(std::chrono::seconds(6));
    kill(pid, SIGUSR1);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const std::string out = ReadAll(folder + "/out.txt");
    const size_t at = out.rfind("short-term ");
    ASSERT_NE(at, std::string::npos) << out;
    EXPECT_NEAR(std::atof(out.c_str() + at + 11), -23.0, 0.2) << out;
    ASSERT_EQ(Stop(pid), 0);
}

// Through the server: "Calibrate…" from the picture's menu against a
// -20 dBFS tone taken as 94.0 dB; after a restart the calibration is kept
// and a -30 dBFS tone reads 84.0 dB SPL on the levels page.
TEST_F(Program, CalibratedFromTheMenuTheLevelsReadDecibelsSplAfterARestart)
{
    PulseServer server;
    ASSERT_TRUE(server.Running());
    auto sine = [](double dbfs) -> Feeder::Generator {
        return [a = std::pow(10.0, dbfs / 20) * 32768](long n, int16_t& l, int16_t& r) {
            l = r = int16_t(std::lround(a * std::sin(2 * M_PI * 1000 * n / 48000.0)));
        };
    };
    Feeder tone(server.Address(), sine(-20.0), 60.0);
    std::ofstream(folder + "/tavimeter.ini") << "[Window]\nLeft=0\nTop=0\nRight=640\nBottom=480\n"
                                                "[View]\nShowMeter=1\n[Meter]\nLeft=660\nTop=0\nRight=1100\n"
                                                "Bottom=360\nPage=1\n";
    pid_t pid = Start("");
    ScreenRect main;
    ASSERT_TRUE(WaitFor(std::chrono::seconds(10), [&] { return FindWindow("Tavimeter", main); }));
    std::this_thread::sleep_for(std::chrono::seconds(3));
    // The menu's entry before its last ("Generator…"); the dialog's first
    // control is the calibrator's level (94.0), the next "Measure".
    std::system("xdotool mousemove 300 240 click 3");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ASSERT_EQ(std::system("xdotool key Up Up Return"), 0);
    ASSERT_TRUE(WaitFor(std::chrono::seconds(5), [] { return WindowNames().find("\"Calibrate\"") != std::string::npos; }))
        << WindowNames();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    // No window manager gives the new window the keyboard: it is given it.
    ASSERT_EQ(std::system("xdotool search --name '^Calibrate$' windowfocus --sync key Tab space"), 0);
    std::this_thread::sleep_for(std::chrono::seconds(5));
    ASSERT_EQ(Stop(pid), 0) << ReadAll(folder + "/err.txt");
    EXPECT_NE(ReadAll(folder + "/tavimeter.ini").find("%default.offset=114.0"), std::string::npos)
        << ReadAll(folder + "/tavimeter.ini");

    tone.SetGenerator(sine(-30.0));
    pid = Start("");
    ASSERT_TRUE(WaitFor(std::chrono::seconds(10), [] { return WindowNames().find("\"Meter\"") != std::string::npos; }))
        << WindowNames();
    std::this_thread::sleep_for(std::chrono::seconds(4));
    kill(pid, SIGUSR1);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const std::string out = ReadAll(folder + "/out.txt");
    const size_t at = out.rfind("eq over 1 s ");
    ASSERT_NE(at, std::string::npos) << out;
    EXPECT_NEAR(std::atof(out.c_str() + at + 12), 84.0, 0.1) << out;
    EXPECT_NE(out.find("dB SPL", at), std::string::npos) << out;
    ASSERT_EQ(Stop(pid), 0);
}

// --log-levels: a row a second, with the sound levels of the uncalibrated
// input in dBFS; killed outright, the file holds whole rows only.
TEST_F(Program, TheLevelLogKeepsWholeRowsWhenTheProgramIsKilled)
{
    PulseServer server;
    ASSERT_TRUE(server.Running());
    Feeder tone(server.Address(), Minus23(), 60.0);
    const std::string log = folder + "/levels.csv";
    const pid_t pid = Start("--log-levels " + log);
    // From the first row on, 30 s.
    ASSERT_TRUE(WaitFor(std::chrono::seconds(10), [&] {
        const std::string text = ReadAll(log);
        return std::count(text.begin(), text.end(), '\n') >= 2;
    }));
    std::this_thread::sleep_for(std::chrono::milliseconds(30500));
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    const std::string text = ReadAll(log);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n') << "no row cut off";
    std::istringstream lines(text);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line.rfind("time,momentary_lufs", 0), 0u) << line;
    EXPECT_NE(line.find(",laf_dbfs,las_dbfs,laeq_dbfs,lafmax_dbfs,lcpeak_dbfs,overload"), std::string::npos) << line;
    int rows = 0;
    while (std::getline(lines, line)) {
        ++rows;
        EXPECT_EQ(std::count(line.begin(), line.end(), ','), 15) << line;
        EXPECT_EQ(line.size() > 20 ? line[19] : ' ', 'Z') << line;
        if (rows == 10) {  // LAeq of a whole second of the tone
            std::string field;
            std::istringstream fields(line);
            for (int i = 0; i < 13; ++i)
                std::getline(fields, field, ',');
            EXPECT_NEAR(std::atof(field.c_str()), -23.0, 0.1) << line;
        }
    }
    EXPECT_NEAR(rows - 1, 30, 1) << "a row a second";
}

// Noise, then silence, in the bands view at its heaviest (1/12 octave, A,
// Slow): the filters' states decay towards zero in the silence, through the
// subnormal numbers that cost the processor a hundred times more, and the
// analysis must still keep up: no frame dropped in the half minute after
// start-up (counted between two of the program's reports).
TEST_F(Program, SilenceAfterNoiseKeepsTheBandsViewInStep)
{
    PulseServer server;
    ASSERT_TRUE(server.Running());
    Feeder feeder(server.Address(),
                  [random = 12345u](long n, int16_t& l, int16_t& r) mutable {
                      random = random * 1664525u + 1013904223u;
                      l = r = n < 5 * 48000 ? int16_t(int(random >> 16) - 32768) / 4 : 0;
                  },
                  40.0);
    std::ofstream(folder + "/tavimeter.ini") << "[Measure]\nBands=12\nWeighting=1\nTimeWeighting=1\n";
    const pid_t pid = Start("--mode 6");
    std::this_thread::sleep_for(std::chrono::seconds(4));
    kill(pid, SIGUSR1);
    std::this_thread::sleep_for(std::chrono::seconds(31));
    ASSERT_EQ(Stop(pid), 0) << ReadAll(folder + "/err.txt");
    const std::string out = ReadAll(folder + "/out.txt");
    const size_t second = out.find("blocks analysed", out.find("blocks analysed") + 1);
    ASSERT_NE(second, std::string::npos) << out;
    const Statistics started = ParseStatistics(out), ended = ParseStatistics(out.substr(second));
    EXPECT_GT(ended.analysed - started.analysed, 23 * 28) << out;
    EXPECT_EQ(ended.dropped, started.dropped) << out;
}

} // namespace
