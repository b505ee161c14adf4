#pragma once

#include <string>
#include <vector>

#include "analysis/block_consumer.h"
#include "dsp/biquad.h"

// Measures a sound calibrator's tone on the left input: the 1/3-octave band
// at 1 kHz (IEC 61260-1, the bands view's filter), so that hum and noise
// outside it do not count, over 3 s after 0.2 s for the filter to settle,
// in 100 ms steps. The tone is taken when its steps' band levels spread
// over at most 0.1 dB, highest to lowest (about the short-term fluctuation
// IEC 60942 allows a class 1 calibrator, 0.07 dB either side of the mean
// from 160 Hz to 1.25 kHz), the band is at most 10 dB below the whole signal and
// no sample reaches full scale; the offset then makes the band read the
// calibrator's level. GUI thread only, as a block consumer.
class CCalibrationMeasurement : public BlockConsumer {
public:
    static constexpr double SampleRate = 48000.0;
    static constexpr int SettleFrames = 9600;   // 0.2 s
    static constexpr int StepFrames = 4800;     // 100 ms
    static constexpr int Steps = 30;            // 3 s
    static constexpr double MaxSpread = 0.1;    // dB
    static constexpr double MaxBelowWhole = 10.0;

    enum class Verdict { Measuring, Taken, Unsteady, Missing, Clipping };
    struct Result {
        Verdict verdict = Verdict::Measuring;
        double bandLevel = 0.0;   // dBFS, a full-scale sine 0 dB
        double wholeLevel = 0.0;  // dBFS
        double spread = 0.0;      // the highest step's level less the lowest's, dB
        double offset = 0.0;      // dB SPL at 0 dBFS, when taken
        std::string message;      // why not taken, in plain words
    };

    explicit CCalibrationMeasurement(double calibratorLevel);
    void Process(const int16_t* interleaved, int frames);
    void ProcessSamples(const double* samples, int count);
    void Consume(const AnalysedBlock& block) override { Process(block.interleaved, block.frames); }
    bool Done() const { return result.verdict != Verdict::Measuring; }
    const Result& Outcome() const { return result; }
    // The share of the measurement done, 0 to 1.
    double Progress() const;

private:
    void Finish();

    double calibratorLevel;
    BiquadCascade band;
    int frames = 0;
    bool clipped = false;
    double stepEnergy = 0.0;
    int stepFill = 0;
    double wholeEnergy = 0.0;
    std::vector<double> stepLevels;
    Result result;
};
