#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "store/command_line.h"

namespace {

CommandLine Parse(std::vector<const char*> args)
{
    args.insert(args.begin(), "tavimeter");
    return ParseCommandLine(int(args.size()), args.data());
}

TEST(CommandLine, NoArgumentsMeansTheDefaultInput)
{
    const CommandLine line = Parse({});
    EXPECT_TRUE(line.error.empty());
    EXPECT_TRUE(line.deviceName.empty());
    EXPECT_TRUE(line.inputFile.empty());
    EXPECT_FALSE(line.listDevices);
}

TEST(CommandLine, OptionsAndTheirValues)
{
    EXPECT_EQ(Parse({"--device", "tavi_null.monitor"}).deviceName, "tavi_null.monitor");
    EXPECT_EQ(Parse({"--input", "a.wav"}).inputFile, "a.wav");
    EXPECT_TRUE(Parse({"--list-devices"}).listDevices);
    EXPECT_EQ(Parse({}).displayMode, 0);
    EXPECT_EQ(Parse({"--mode", "1"}).displayMode, 1);
    EXPECT_EQ(Parse({"--mode", "7"}).displayMode, 7);
    for (const char* bad : {"8", "-1", "1x", ""})
        EXPECT_EQ(Parse({"--mode", bad}).error, "--mode needs a view from 0 to 7.") << bad;
    EXPECT_EQ(Parse({"--mode"}).error, "--mode needs a view from 0 to 7.");
    EXPECT_EQ(Parse({"--device"}).error, "--device needs a value.");
    EXPECT_EQ(Parse({"--bogus"}).error, "Unknown argument --bogus.");
    EXPECT_FALSE(Parse({"--device", "x", "--input", "a.wav"}).error.empty());
}

TEST(CommandLine, RenderTakesFilesAndItsOwnOptions)
{
    const CommandLine one = Parse({"--render", "a.flac", "a.png", "--size", "1920x1080", "--mode", "3", "--from",
                                   "1.5", "--to", "60", "--ini", "x.ini", "--bare"});
    ASSERT_EQ(one.error, "");
    EXPECT_TRUE(one.render);
    EXPECT_EQ(one.renderRequest.inputs, std::vector<std::string>{"a.flac"});
    EXPECT_EQ(one.renderRequest.output, "a.png");
    EXPECT_EQ(one.renderRequest.width, 1920);
    EXPECT_EQ(one.renderRequest.height, 1080);
    EXPECT_EQ(one.displayMode, 3);
    EXPECT_EQ(one.renderRequest.from, 1.5);
    EXPECT_EQ(one.renderRequest.to, 60);
    EXPECT_EQ(one.renderRequest.iniFile, "x.ini");
    EXPECT_TRUE(one.renderRequest.bare);
    const CommandLine many = Parse({"--render", "a.wav", "b.ogg", "c.wav", "--out-dir", "pictures"});
    ASSERT_EQ(many.error, "");
    EXPECT_EQ(many.renderRequest.inputs.size(), 3u);
    EXPECT_EQ(many.renderRequest.outDir, "pictures");

    const struct {
        std::vector<const char*> args;
        const char* error;
    } refused[] = {
        {{"--render", "a.wav"}, "--render needs IN and OUT.png, or input files and --out-dir DIR."},
        {{"--render", "a.wav", "b.wav", "c.png"}, "--render needs IN and OUT.png, or input files and --out-dir DIR."},
        {{"--render", "--out-dir", "d"}, "--render needs at least one input file."},
        {{"--render", "a", "b.png", "--mode", "2"}, "--render draws the scrolling views: --mode 0, 1 or 3."},
        {{"--render", "a", "b.png", "--size", "1920"}, "--size needs WxH, 16 to 65535 columns by 16 to 16384 rows."},
        {{"--render", "a", "b.png", "--size", "8x8"}, "--size needs WxH, 16 to 65535 columns by 16 to 16384 rows."},
        {{"--render", "a", "b.png", "--from", "-1"}, "--from needs seconds (a number, 0 or more)."},
        {{"--render", "a", "b.png", "--to", "nan"}, "--to needs seconds (a number, 0 or more)."},
        {{"--render", "a", "b.png", "--from", "5", "--to", "5"}, "--to must come after --from."},
        {{"--render", "a", "b.png", "--input", "c.wav"},
         "--render cannot be used with --device, --input, --log-levels or --list-devices."},
        {{"--size", "100x100"}, "--size, --from, --to, --ini, --bare and --out-dir go with --render."},
        {{"a.wav"}, "Unknown argument a.wav."},
    };
    for (const auto& r : refused)
        EXPECT_EQ(Parse(r.args).error, r.error) << r.args.back();
}

TEST(CommandLine, ReportTakesFilesAndItsOwnOptions)
{
    const CommandLine line = Parse({"--report", "a.wav", "b.flac", "--format", "csv", "--out", "r.csv", "--weighting", "Z",
                                    "--bands", "12", "--interval", "0.5"});
    ASSERT_EQ(line.error, "");
    EXPECT_TRUE(line.report);
    EXPECT_EQ(line.reportRequest.inputs, (std::vector<std::string>{"a.wav", "b.flac"}));
    EXPECT_TRUE(line.reportRequest.csv);
    EXPECT_EQ(line.reportRequest.output, "r.csv");
    EXPECT_EQ(line.reportRequest.weighting, 'Z');
    EXPECT_EQ(line.reportRequest.bandsPerOctave, 12);
    EXPECT_EQ(line.reportRequest.interval, 0.5);
    EXPECT_FALSE(line.reportRequest.inputNamed);
    const CommandLine named = Parse({"--report", "a.wav", "--input-name", ""});
    EXPECT_TRUE(named.reportRequest.inputNamed && named.reportRequest.inputName.empty()) << named.error;
    const struct {
        std::vector<const char*> args;
        const char* error;
    } refused[] = {
        {{"--report"}, "--report needs at least one input file."},
        {{"--report", "a.wav", "--format", "xml"}, "--format needs json or csv."},
        {{"--report", "a.wav", "--weighting", "B"}, "--weighting needs A, C or Z."},
        {{"a.wav", "--format", "csv"}, "--format, --out, --weighting, --bands, --interval and --input-name go with --report."},
        {{"--report", "a.wav", "--bands", "2"}, "--bands needs 1, 3, 6 or 12 (bands per octave)."},
        {{"--report", "a.wav", "--interval", "0.05"}, "--interval needs seconds, 0.1 or more."},
        {{"--report", "a.wav", "--render", "b.png"},
         "--report cannot be used with --render, --device, --input, --log-levels or --list-devices."},
    };
    for (const auto& r : refused)
        EXPECT_EQ(Parse(r.args).error, r.error) << r.args.back();
}

// --help gives every option a line of its own, and the manual page gives
// the same options: each one the parser knows, none it does not.
TEST(CommandLine, HelpAndTheManualPageNameTheSameOptions)
{
    std::set<std::string> help;
    const std::regex helpLine("^  (--[a-z-]+)");
    std::istringstream usage(CommandLineUsage);
    for (std::string line; std::getline(usage, line);) {
        std::smatch m;
        if (std::regex_search(line, m, helpLine))
            help.insert(m[1]);
    }
    std::set<std::string> manual;
    std::ifstream page(TAVI_MANUAL_PAGE);
    ASSERT_TRUE(page.good());
    const std::regex optionItem("^\\*(--[a-z-]+)\\*");
    for (std::string line; std::getline(page, line);) {
        std::smatch m;
        if (std::regex_search(line, m, optionItem))
            manual.insert(m[1]);
    }
    EXPECT_EQ(help, manual);
    EXPECT_EQ(help.size(), 21u);
    for (const std::string& option : help)
        EXPECT_NE(Parse({option.c_str()}).error, "Unknown argument " + option + ".") << option;
}

} // namespace
