#include "analysis/calibration_measurement.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "analysis/sound_level_meter.h"
#include "dsp/fractional_octave_bands.h"
#include "dsp/iir_design.h"

CCalibrationMeasurement::CCalibrationMeasurement(double level) : calibratorLevel(level)
{
    for (const FractionalOctaveBand& b : FractionalOctaveBands(3))
        if (b.nominal == "1k")
            band = ButterworthBandPass(CFractionalOctaveBank::Order, b.lower, b.upper, SampleRate);
}

void CCalibrationMeasurement::Process(const int16_t* interleaved, int count)
{
    double left[512];
    for (int done = 0; done < count;) {
        const int n = std::min(512, count - done);
        for (int i = 0; i < n; ++i)
            left[i] = interleaved[2 * (done + i)] / 32768.0;
        ProcessSamples(left, n);
        done += n;
    }
}

void CCalibrationMeasurement::ProcessSamples(const double* x, int count)
{
    for (int i = 0; i < count && !Done(); ++i) {
        clipped = clipped || std::fabs(x[i]) >= 32767.0 / 32768.0;
        const double y = ProcessCascade(band, x[i]);
        if (++frames <= SettleFrames)
            continue;
        wholeEnergy += x[i] * x[i];
        stepEnergy += y * y;
        if (++stepFill == StepFrames) {
            stepLevels.push_back(SoundLevel(stepEnergy / StepFrames));
            stepEnergy = 0.0;
            stepFill = 0;
            if (static_cast<int>(stepLevels.size()) == Steps)
                Finish();
        }
    }
}

double CCalibrationMeasurement::Progress() const
{
    return Done() ? 1.0 : std::min(1.0, static_cast<double>(frames) / (SettleFrames + Steps * StepFrames));
}

void CCalibrationMeasurement::Finish()
{
    double energy = 0.0;
    for (const double level : stepLevels)
        energy += std::pow(10.0, level / 10.0);
    result.bandLevel = 10.0 * std::log10(energy / Steps);
    result.wholeLevel = SoundLevel(wholeEnergy / (static_cast<double>(Steps) * StepFrames));
    const auto [lowest, highest] = std::minmax_element(stepLevels.begin(), stepLevels.end());
    result.spread = *highest - *lowest;
    char text[256];
    if (clipped) {
        result.verdict = Verdict::Clipping;
        std::snprintf(text, sizeof text, "The input clips: turn its gain down and measure again.");
    } else if (!std::isfinite(result.wholeLevel)) {
        result.verdict = Verdict::Missing;
        std::snprintf(text, sizeof text, "The input is silent: is the microphone connected and the calibrator on?");
    } else if (!std::isfinite(result.bandLevel) || result.bandLevel < result.wholeLevel - MaxBelowWhole) {
        result.verdict = Verdict::Missing;
        std::snprintf(text, sizeof text,
                      "No calibrator tone at 1 kHz: the band around 1 kHz is %.1f dB below the whole signal "
                      "(at most %.0f dB). Is the calibrator on and fitted?",
                      result.wholeLevel - result.bandLevel, MaxBelowWhole);
    } else if (!(result.spread <= MaxSpread)) {
        result.verdict = Verdict::Unsteady;
        std::snprintf(text, sizeof text,
                      "The tone is not steady: its level moved over %.2f dB (at most %.1f dB). "
                      "Hold the calibrator still and measure again.",
                      result.spread, MaxSpread);
    } else {
        result.verdict = Verdict::Taken;
        result.offset = calibratorLevel - result.bandLevel;
        text[0] = '\0';
    }
    result.message = text;
}
