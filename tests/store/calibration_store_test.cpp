#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include <unistd.h>

#include "store/calibration_store.h"
#include "store/microphone_file.h"
#include "store/profile.h"

namespace {

// Device names of every kind keep their own calibration, and none reaches
// another's keys or the file's structure.
TEST(CalibrationStore, EveryInputKeepsItsOwn)
{
    const std::string path = ::testing::TempDir() + "tavi_calibration_" + std::to_string(getpid()) + ".ini";
    std::remove(path.c_str());
    CProfile profile(path);
    const std::string inputs[] = {"", "default", "alsa_input.usb-Focusrite.analog-stereo", "a=b;[c] %41 é\nx",
                                  "%default"};
    for (size_t i = 0; i < std::size(inputs); ++i)
        ASSERT_TRUE(StoreCalibration(profile, inputs[i], {true, 100.0 + i, "2026-12-09", ""})) << i;
    for (size_t i = 0; i < std::size(inputs); ++i) {
        const InputCalibration c = LoadCalibration(profile, inputs[i]);
        EXPECT_TRUE(c.calibrated && c.offset == 100.0 + i && c.date == "2026-12-09") << "input " << i;
    }
    EXPECT_EQ(CalibrationKey("a=b;[c] %41 é\nx"), "a%3Db%3B%5Bc%5D%20%2541%20%C3%A9%0Ax");
    ASSERT_TRUE(ForgetCalibration(profile, "default"));
    EXPECT_FALSE(LoadCalibration(profile, "default").calibrated);
    EXPECT_TRUE(LoadCalibration(profile, "").calibrated);
    EXPECT_FALSE(LoadCalibration(profile, "never calibrated").calibrated);
    std::remove(path.c_str());
}

// Worked by hand: 50 mV/Pa on an input whose full scale is +4 dBu
// (1.2277 V): 24.55 Pa at full scale, 121.78 dB SPL.
TEST(CalibrationStore, OffsetFromSensitivity)
{
    EXPECT_NEAR(VoltsFromDbu(4.0), 1.2277, 1e-4);
    EXPECT_NEAR(OffsetFromSensitivity(50.0, VoltsFromDbu(4.0)), 121.78, 0.01);
    EXPECT_NEAR(OffsetFromSensitivity(1000.0, 1.0), 93.98, 0.01);  // 1 V/Pa, 1 V: 1 Pa
}

TEST(MicrophoneFile, ReadsTheSharedFormatAndInterpolatesOverLogFrequency)
{
    MicrophoneResponse r;
    std::string error;
    ASSERT_TRUE(ParseMicrophoneResponse("\"Sens Factor =-1.378dB, AGain =18dB, SERNO: 7103946\"\r\n"
                                        "* comment\n1000\t0.0\t12.5\n2000, -1.0\n4000;-3.0\n8000 -3.0 4\n",
                                        r, error))
        << error;
    EXPECT_EQ(r.sensitivityLine, "Sens Factor =-1.378dB, AGain =18dB, SERNO: 7103946");
    EXPECT_DOUBLE_EQ(r.CorrectionAt(4000.0), 3.0);
    EXPECT_NEAR(r.CorrectionAt(2000.0 * std::sqrt(2.0)), 2.0, 1e-12);  // halfway between the rows in log f
    EXPECT_DOUBLE_EQ(r.CorrectionAt(20.0), 0.0);                       // held beyond the range
    EXPECT_DOUBLE_EQ(r.CorrectionAt(20000.0), 3.0);
    const struct {
        const char* text;
        const char* error;
    } bad[] = {{"* header only\n", "no rows of frequency and level"},
               {"100 1\n200 2\n150 1\n", "line 3: the frequencies do not rise"},
               {"100 1\n200 41\n", "line 2: a level beyond +-40 dB"},
               {"100 1\n200 x\n", "line 2: not a row of frequency (Hz) and level (dB), with a phase or without"},
               {"0 1\n", "line 1: a frequency that is not above 0 Hz"}};
    for (const auto& b : bad) {
        EXPECT_FALSE(ParseMicrophoneResponse(b.text, r, error));
        EXPECT_EQ(error, b.error);
    }
    EXPECT_FALSE(ReadMicrophoneFile("/nonexistent/mic.txt", r, error));
}

} // namespace
