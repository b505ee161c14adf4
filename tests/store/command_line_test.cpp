#include <gtest/gtest.h>

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
    EXPECT_EQ(Parse({"--mode", "6"}).displayMode, 6);
    for (const char* bad : {"7", "-1", "1x", ""})
        EXPECT_EQ(Parse({"--mode", bad}).error, "--mode needs a view from 0 to 6.") << bad;
    EXPECT_EQ(Parse({"--mode"}).error, "--mode needs a view from 0 to 6.");
    EXPECT_EQ(Parse({"--device"}).error, "--device needs a value.");
    EXPECT_EQ(Parse({"--bogus"}).error, "Unknown argument --bogus.");
    EXPECT_FALSE(Parse({"--device", "x", "--input", "a.wav"}).error.empty());
}

} // namespace
