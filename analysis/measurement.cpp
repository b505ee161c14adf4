#include "analysis/measurement.h"

#include <cmath>

#include "analysis/band_energy.h"
#include "settings/measure_settings.h"

namespace {

constexpr double FallDbPerSecond = 10.0;
constexpr double TimeWeightingSeconds[2] = {0.125, 1.0};  // Fast, Slow
constexpr double NoLevel = -200.0;

// dB relative to full scale: a full-scale sine has a mean square of 1/2.
double LevelOf(double meanSquare)
{
    return meanSquare > 0.0 ? 10.0 * std::log10(2.0 * meanSquare) : NoLevel;
}

} // namespace

bool CMeasurement::SpectrumWanted()
{
    return AveragingSeconds(SharedMeasureSettings.Averaging) >= 0.0 || SharedMeasureSettings.PeakHold != 0;
}

void CMeasurement::FollowSettings()
{
    const double seconds = AveragingSeconds(SharedMeasureSettings.Averaging);
    // "Off" and "held" share a fall of 0: any other choice starts the peaks
    // again, so none comes back from before peak hold was off.
    if (SharedMeasureSettings.PeakHold != peakHold) {
        peakHold = SharedMeasureSettings.PeakHold;
        for (Channel& c : channels)
            c.peak.Reset();
        bandPeak.Reset();
    }
    const double fall = peakHold == 2 ? FallDbPerSecond : 0.0;
    for (Channel& c : channels) {
        c.average.Configure(seconds, BlockSeconds);
        c.peak.Configure(fall, BlockSeconds);
    }
    bandAverage.Configure(seconds, BlockSeconds);
    bandPeak.Configure(fall, BlockSeconds);
}

void CMeasurement::Consume(const AnalysedBlock& block)
{
    FollowSettings();
    if (SpectrumWanted() && block.spectra[0])
        AddSpectra(block.spectra[0], block.spectra[1]);
    if (bandsWanted)
        AddSamples(block.channel0, block.frames, block.index);
}

void CMeasurement::AddSpectra(const float* left, const float* right)
{
    FollowSettings();
    const float* spectra[2] = {left, right};
    power.resize(SpectrumBins);
    for (int ch = 0; ch < 2; ++ch) {
        Channel& c = channels[ch];
        if (!spectra[ch]) {
            c.average.Reset();
            c.peak.Reset();
            continue;
        }
        for (int k = 0; k < SpectrumBins; ++k)
            power[k] = static_cast<double>(spectra[ch][k]) * spectra[ch][k];
        c.averaged.resize(SpectrumBins);
        c.held.resize(SpectrumBins);
        if (AveragingSeconds(SharedMeasureSettings.Averaging) >= 0.0) {
            c.average.Add(power.data(), SpectrumBins);
            for (int k = 0; k < SpectrumBins; ++k)
                c.averaged[k] = static_cast<float>(std::sqrt(c.average.Power()[k]));
        }
        if (SharedMeasureSettings.PeakHold != 0) {
            c.peak.Add(power.data(), SpectrumBins);
            for (int k = 0; k < SpectrumBins; ++k)
                c.held[k] = static_cast<float>(std::sqrt(c.peak.Power()[k]));
        }
    }
}

const float* CMeasurement::AveragedSpectrum(int channel) const
{
    const Channel& c = channels[channel ? 1 : 0];
    return AveragingSeconds(SharedMeasureSettings.Averaging) >= 0.0 && c.average.Blocks() > 0 ? c.averaged.data()
                                                                                              : nullptr;
}

const float* CMeasurement::PeakSpectrum(int channel) const
{
    const Channel& c = channels[channel ? 1 : 0];
    return SharedMeasureSettings.PeakHold != 0 && !c.peak.Power().empty() ? c.held.data() : nullptr;
}

void CMeasurement::SetMicrophoneCorrection(std::function<double(double)> gainDb)
{
    if (!gainDb && !microphone)
        return;
    microphone = std::move(gainDb);
    microphoneChanged = true;
}

void CMeasurement::ConfigureBands()
{
    const int b = SharedMeasureSettings.BandsPerOctave;
    const int w = SharedMeasureSettings.Weighting;
    if (b == bandsPerOctave && w == weighting && !microphoneChanged)
        return;
    microphoneChanged = false;
    bandsPerOctave = b;
    weighting = w;
    const Weighting kind = static_cast<Weighting>(w);
    weightingFilter.Init(kind, SampleRate);
    bank.Init(b, SampleRate);
    // Above 8 kHz the filter falls short of the standard's formula; each
    // band takes the difference at its midband.
    correction = BandCorrections(bank, weightingFilter, kind, microphone);
    timeWeighted.clear();
    bandAverage.Reset();
    bandPeak.Reset();
    lastBlock = -2;
}

void CMeasurement::AddSamples(const int16_t* x, int count, long block)
{
    FollowSettings();
    ConfigureBands();
    if (block != lastBlock + 1) {
        weightingFilter.Reset();
        bank.Reset();
        timeWeighted.clear();
    }
    lastBlock = block;
    samples.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        samples[i] = x[i] * (1.0 / 32768.0);
    weightingFilter.Process(samples.data(), count);
    bank.Process(samples.data(), count);
    bank.TakeMeanSquares(meanSquares);
    for (size_t k = 0; k < meanSquares.size(); ++k)
        meanSquares[k] *= correction[k];
    UpdateBandLevels(meanSquares);
}

void CMeasurement::UpdateBandLevels(const std::vector<double>& ms)
{
    const int count = static_cast<int>(ms.size());
    const double tau = TimeWeightingSeconds[SharedMeasureSettings.TimeWeighting == 0 ? 0 : 1];
    const double alpha = 1.0 - std::exp(-BlockSeconds / tau);
    if (timeWeighted.size() != ms.size())
        timeWeighted = ms;
    else
        for (int k = 0; k < count; ++k)
            timeWeighted[k] += alpha * (ms[k] - timeWeighted[k]);

    const bool averaging = AveragingSeconds(SharedMeasureSettings.Averaging) >= 0.0;
    if (averaging)
        bandAverage.Add(ms.data(), count);
    const std::vector<double>& shown = averaging ? bandAverage.Power() : timeWeighted;
    levels.resize(ms.size());
    for (int k = 0; k < count; ++k)
        levels[k] = LevelOf(shown[k]);
    peaks.clear();
    if (SharedMeasureSettings.PeakHold == 0)
        return;
    bandPeak.Add(timeWeighted.data(), count);
    for (const double p : bandPeak.Power())
        peaks.push_back(LevelOf(p));
}

void CMeasurement::Reset()
{
    for (Channel& c : channels) {
        c.average.Reset();
        c.peak.Reset();
    }
    bandAverage.Reset();
    bandPeak.Reset();
}
