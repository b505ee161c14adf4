#pragma once

#include <string>

class CProfile;

// One input's calibration: the sound pressure level a full-scale sine
// stands for, when it was set, and the microphone correction file applied
// to it (empty: none).
struct InputCalibration {
    bool calibrated = false;
    double offset = 0.0;  // "dB SPL at 0 dBFS"
    std::string date;     // "2026-12-09"
    std::string microphoneFile;
};

// Section [Calibration] keeps each input's calibration under keys named
// after the input: "NAME.offset", "NAME.date" and "NAME.microphone", where
// NAME is the input's device name with every byte other than a letter, a
// digit, '_', '-' or '.' written as %XX (hexadecimal), so that no name
// (with '=', ';', '[', spaces, line breaks or any other text a device may
// be called) can break the file or reach another key. The default input is
// "%default", which no device name encodes to (the encoding's hexadecimal
// digits are capitals): an ALSA device may well be called "default".
constexpr const char* CalibrationSection = "Calibration";
std::string CalibrationKey(const std::string& input);

// The calibration of `input` ("" for the default input); not calibrated
// when its offset is missing or not a number.
InputCalibration LoadCalibration(CProfile& profile, const std::string& input);
// Writes all three keys; false when the file could not be written.
bool StoreCalibration(CProfile& profile, const std::string& input, const InputCalibration& calibration);
// The input reads dBFS again (its microphone file stays named).
bool ForgetCalibration(CProfile& profile, const std::string& input);

// "dB SPL at 0 dBFS" of a microphone of `millivoltsPerPascal` on an input
// whose full-scale sine is `fullScaleVolts` RMS:
// 20 lg(fullScaleVolts / (millivoltsPerPascal / 1000 x 20 uPa)).
double OffsetFromSensitivity(double millivoltsPerPascal, double fullScaleVolts);
// The RMS voltage of `dbu` (0 dBu is 0.7746 V, 1 mW into 600 ohms).
double VoltsFromDbu(double dbu);
