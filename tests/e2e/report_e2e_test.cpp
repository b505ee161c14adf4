#include <sys/stat.h>

#include "tests/e2e/program_fixture.h"
#include "tests/input/sound_file_maker.h"

namespace {

// Runs the program with `arguments`; its output and errors go to files.
int RunProgram(const std::string& exe, const std::string& folder, const std::string& arguments)
{
    const std::string command = exe + " " + arguments + " >" + folder + "/out.txt 2>" + folder + "/err.txt";
    return WEXITSTATUS(std::system(command.c_str()));
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The number after "key": in a JSON line, NAN when it is not there.
double JsonNumber(const std::string& line, const std::string& key)
{
    const size_t at = line.find("\"" + key + "\": ");
    return at == std::string::npos ? NAN : std::atof(line.c_str() + at + key.size() + 4);
}

// --report: EBU Tech 3341 case 1 (a -23 dBFS 1 kHz sine, 20 s) reads
// -23.0 LUFS; a file that cannot be read gives its error, the others are
// still reported in the order given, and the exit status is 1; CSV has a
// header with units; --out replaces a file whole and refuses to name an
// input; a report that cannot be written says why and exits with 1.
TEST_F(Program, ReportsWholeFilesForScripts)
{
    ASSERT_TRUE(WriteSoundFile(folder + "/case1.wav", {}, 20 * 48000, Sine(1000, std::pow(10.0, -23.0 / 20), 48000)));
    ASSERT_TRUE(WriteSoundFile(folder + "/quiet.flac", {SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 1}, 5 * 44100,
                               Sine(1000, std::pow(10.0, -33.0 / 20), 44100)));
    std::ofstream(folder + "/broken.wav") << "not sound";
    const std::string files = folder + "/case1.wav " + folder + "/broken.wav " + folder + "/quiet.flac";

    EXPECT_EQ(RunProgram(exe, folder, "--report " + files), 1) << ReadAll(folder + "/err.txt");
    const std::vector<std::string> json = Lines(ReadAll(folder + "/out.txt"));
    ASSERT_EQ(json.size(), 3u);
    EXPECT_NEAR(JsonNumber(json[0], "integrated_lufs"), -23.0, 0.1) << json[0];
    EXPECT_NEAR(JsonNumber(json[0], "true_peak_left_dbtp"), -23.0, 0.1);
    EXPECT_NE(json[1].find("\"error\": \"The file"), std::string::npos) << json[1];
    EXPECT_EQ(JsonNumber(json[2], "rate_hz"), 44100);
    EXPECT_EQ(JsonNumber(json[2], "channels"), 1);
    EXPECT_NEAR(JsonNumber(json[2], "laeq_dbfs"), -33.0, 0.1);

    std::ofstream(folder + "/report.csv") << "old contents\n";
    EXPECT_EQ(RunProgram(exe, folder, "--report " + folder + "/case1.wav --format csv --weighting Z --out " + folder +
                                   "/report.csv"),
              0)
        << ReadAll(folder + "/err.txt");
    const std::vector<std::string> csv = Lines(ReadAll(folder + "/report.csv"));
    ASSERT_EQ(csv.size(), 2u);
    EXPECT_EQ(csv[0].rfind("file,duration_s,rate_hz,channels,integrated_lufs,", 0), 0u) << csv[0];
    EXPECT_NE(csv[0].find(",lzeq_dbfs,"), std::string::npos);

    // A full disk under standard output, a folder that is not there for --out.
    EXPECT_EQ(WEXITSTATUS(std::system((exe + " --report " + folder + "/case1.wav >/dev/full 2>" + folder + "/err.txt").c_str())), 1);
    EXPECT_NE(ReadAll(folder + "/err.txt").find("could not be written: No space left on device"), std::string::npos);
    EXPECT_EQ(RunProgram(exe, folder, "--report " + folder + "/case1.wav --out " + folder + "/none/r.json"), 1);
    EXPECT_NE(ReadAll(folder + "/err.txt").find("could not be written to"), std::string::npos);

    const std::string before = ReadAll(folder + "/case1.wav");
    EXPECT_EQ(RunProgram(exe, folder, "--report " + folder + "/case1.wav --out " + folder + "/case1.wav"), 2);
    EXPECT_EQ(ReadAll(folder + "/case1.wav"), before) << "the input is untouched";
}

// --input-name: that input's calibration (114.0 dB SPL at 0 dBFS) and
// microphone file (reading 3.0 dB low everywhere) from the program's
// settings file: a -20 dBFS 1 kHz sine reads 97.0 dB SPL in LZeq and in its
// third; an input without a calibration reads dBFS, and says so.
TEST_F(Program, ReportsInDecibelsSplWithAnInputsCalibration)
{
    ASSERT_TRUE(WriteSoundFile(folder + "/tone.wav", {}, 10 * 48000, Sine(1000, 0.1, 48000)));
    std::ofstream(folder + "/mic.txt") << "\"Sens Factor =-1.378dB\"\n20 -3.0\n20000 -3.0\n";
    std::ofstream(folder + "/tavimeter.ini") << "[Calibration]\nmic_in.offset=114.0\nmic_in.microphone=" << folder
                                             << "/mic.txt\n";
    ASSERT_EQ(RunProgram(exe, folder, "--report " + folder + "/tone.wav --weighting Z --bands 3 --input-name mic_in"), 0)
        << ReadAll(folder + "/err.txt");
    const std::string json = ReadAll(folder + "/out.txt");
    EXPECT_NEAR(JsonNumber(json, "lzeq_db_spl"), 97.0, 0.1) << json;
    const size_t bands = json.find("\"band_lzeq_db_spl\": [");
    ASSERT_NE(bands, std::string::npos) << json;
    std::istringstream list(json.substr(bands + 21));
    std::vector<double> levels;
    for (std::string item; std::getline(list, item, ',') && levels.size() < 31;)
        levels.push_back(std::atof(item.c_str()));
    EXPECT_NEAR(levels[17], 97.0, 0.15) << "the 1 kHz third";
    EXPECT_NEAR(JsonNumber(json, "rms_left_dbfs"), -20.0, 0.01) << "the file's own levels stay in dBFS";

    ASSERT_EQ(RunProgram(exe, folder, "--report " + folder + "/tone.wav --input-name other"), 0);
    EXPECT_NE(ReadAll(folder + "/out.txt").find("\"laeq_dbfs\""), std::string::npos);
    EXPECT_NE(ReadAll(folder + "/err.txt").find("other has no calibration: levels in dBFS"), std::string::npos);
}

// The README's recipe on this machine: GNU parallel spreads the files over
// its job slots (-S : is this host; more hosts are more -S or
// --sshloginfile entries) and the JSON lines are gathered into one file.
TEST_F(Program, GnuParallelGathersTheReportsOfAFolder)
{
    mkdir((folder + "/recordings").c_str(), 0755);
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(WriteSoundFile(folder + "/recordings/take" + std::to_string(i) + ".wav", {}, 3 * 48000,
                                   Sine(1000, std::pow(10.0, (-20.0 - 5 * i) / 20), 48000)));
    const std::string pipeline = "ls " + folder + "/recordings/*.wav | parallel --will-cite -S : " + exe +
                                 " --report {} >" + folder + "/all.jsonl 2>" + folder + "/err.txt";
    ASSERT_EQ(WEXITSTATUS(std::system(pipeline.c_str())), 0) << ReadAll(folder + "/err.txt");
    const std::vector<std::string> gathered = Lines(ReadAll(folder + "/all.jsonl"));
    ASSERT_EQ(gathered.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        const std::string name = "take" + std::to_string(i) + ".wav\"";
        const auto line = std::find_if(gathered.begin(), gathered.end(),
                                       [&](const std::string& l) { return l.find(name) != std::string::npos; });
        ASSERT_NE(line, gathered.end()) << name;
        EXPECT_NEAR(JsonNumber(*line, "laeq_dbfs"), -20.0 - 5 * i, 0.1) << *line;
    }
}

// --version prints the version CMake's project() sets, and nothing else.
TEST_F(Program, SaysItsVersion)
{
    EXPECT_EQ(RunProgram(exe, folder, "--version"), 0);
    EXPECT_EQ(ReadAll(folder + "/out.txt"), std::string("tavimeter ") + TAVI_VERSION + "\n");
}

} // namespace
