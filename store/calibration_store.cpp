#include "store/calibration_store.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "store/profile.h"

namespace {

std::string Key(const std::string& input, const char* field)
{
    return CalibrationKey(input) + "." + field;
}

std::string Read(CProfile& profile, const std::string& key)
{
    char value[1024];
    profile.ReadString(CalibrationSection, key.c_str(), value, sizeof value);
    return value;
}

} // namespace

std::string CalibrationKey(const std::string& input)
{
    if (input.empty())
        return "%default";
    std::string key;
    for (const unsigned char c : input) {
        if (std::isalnum(c) || c == '_' || c == '-' || c == '.') {
            key += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            key += escaped;
        }
    }
    return key;
}

InputCalibration LoadCalibration(CProfile& profile, const std::string& input)
{
    InputCalibration calibration;
    calibration.microphoneFile = Read(profile, Key(input, "microphone"));
    const std::string offset = Read(profile, Key(input, "offset"));
    char* end = nullptr;
    const double value = std::strtod(offset.c_str(), &end);
    if (offset.empty() || *end != '\0' || !std::isfinite(value))
        return calibration;
    calibration.calibrated = true;
    calibration.offset = value;
    calibration.date = Read(profile, Key(input, "date"));
    return calibration;
}

bool StoreCalibration(CProfile& profile, const std::string& input, const InputCalibration& calibration)
{
    char offset[32] = "";
    if (calibration.calibrated)
        std::snprintf(offset, sizeof offset, "%.2f", calibration.offset);
    return profile.WriteString(CalibrationSection, Key(input, "offset").c_str(), offset) == 1 &&
           profile.WriteString(CalibrationSection, Key(input, "date").c_str(),
                               calibration.calibrated ? calibration.date.c_str() : "") == 1 &&
           profile.WriteString(CalibrationSection, Key(input, "microphone").c_str(),
                               calibration.microphoneFile.c_str()) == 1;
}

bool ForgetCalibration(CProfile& profile, const std::string& input)
{
    InputCalibration calibration = LoadCalibration(profile, input);
    calibration.calibrated = false;
    return StoreCalibration(profile, input, calibration);
}

double OffsetFromSensitivity(double millivoltsPerPascal, double fullScaleVolts)
{
    return 20.0 * std::log10(fullScaleVolts / (millivoltsPerPascal / 1000.0 * 20e-6));
}

double VoltsFromDbu(double dbu)
{
    return 0.77459667 * std::pow(10.0, dbu / 20.0);
}
