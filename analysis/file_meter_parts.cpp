#include "analysis/file_meter_parts.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr double Rate = CLoudnessMeter::SampleRate;

double Decibels(double ratio)
{
    return ratio > 0.0 ? 20.0 * std::log10(ratio) : FileMeasurement::Silence;
}

} // namespace

void CLoudnessPart::Add(const int16_t* stereo, size_t n)
{
    loudness.Process(stereo, static_cast<int>(n));
    for (size_t ch = 0; ch < 2; ++ch) {
        const double newest = loudness.Readings().truePeak[ch];
        truePeak[ch] = std::max(truePeak[ch], newest);
        intervalTruePeak[ch] = std::max(intervalTruePeak[ch], newest);
        for (size_t i = 0; i < n; ++i) {
            const int v = stereo[2 * i + ch];
            peak[ch] = std::max(peak[ch], std::abs(v));
            intervalPeak[ch] = std::max(intervalPeak[ch], std::abs(v));
            squares[ch] += static_cast<double>(v) * v;
        }
    }
    frames += n;
}

void CLoudnessPart::EndInterval()
{
    const MeterReadings& r = loudness.Readings();
    intervals.push_back({r.momentary, r.shortTerm, intervalTruePeak,
                         {Decibels(intervalPeak[0] / 32768.0), Decibels(intervalPeak[1] / 32768.0)}});
    intervalTruePeak = {FileMeasurement::Silence, FileMeasurement::Silence};
    intervalPeak[0] = intervalPeak[1] = 0;
}

void CLoudnessPart::Finish(FileMeasurement& m)
{
    loudness.ReadIntegrated();
    const MeterReadings& r = loudness.Readings();
    m.integrated = r.integrated;
    m.range = r.range;
    m.maxMomentary = r.maxMomentary;
    m.maxShortTerm = r.maxShortTerm;
    for (size_t ch = 0; ch < 2; ++ch) {
        m.truePeak[ch] = truePeak[ch];
        m.samplePeak[ch] = Decibels(peak[ch] / 32768.0);
        // A full-scale sine's mean square is 1/2: twice it reads 0 dB.
        m.rms[ch] = frames ? Decibels(std::sqrt(2.0 * squares[ch] / static_cast<double>(frames)) / 32768.0)
                           : FileMeasurement::Silence;
    }
    for (size_t i = 0; i < intervals.size() && i < m.intervals.size(); ++i) {
        m.intervals[i].momentary = intervals[i].momentary;
        m.intervals[i].shortTerm = intervals[i].shortTerm;
        m.intervals[i].truePeak = intervals[i].truePeak;
        m.intervals[i].samplePeak = intervals[i].samplePeak;
    }
}

CLevelPart::CLevelPart(const MeasureOptions& options) : levels(options.weighting)
{
    if (options.microphone)
        levels.SetCorrection(options.microphone);
}

void CLevelPart::Add(const int16_t* stereo, size_t n)
{
    levels.Process(stereo, static_cast<int>(n));
    const SoundLevelReadings& s = levels.Readings();
    intervalEnergy += s.blockMeanSquare * s.blockSamples;
    intervalFrames += n;
}

void CLevelPart::EndInterval()
{
    intervalEq.push_back(intervalFrames ? SoundLevel(intervalEnergy / static_cast<double>(intervalFrames))
                                        : FileMeasurement::Silence);
    intervalEnergy = 0.0;
    intervalFrames = 0;
}

void CLevelPart::Finish(FileMeasurement& m)
{
    const SoundLevelReadings& s = levels.Readings();
    m.eq = s.eq;
    m.fastMax = s.fastMax;
    m.cPeak = s.cPeak;
    m.l10 = s.l10;
    m.l50 = s.l50;
    m.l90 = s.l90;
    for (size_t i = 0; i < intervalEq.size() && i < m.intervals.size(); ++i)
        m.intervals[i].eq = intervalEq[i];
}

CBandPart::CBandPart(const MeasureOptions& options)
    : bands(options.bandsPerOctave, options.weighting, Rate, options.microphone)
{
}

void CBandPart::Add(const int16_t* stereo, size_t n)
{
    left.resize(n);
    for (size_t i = 0; i < n; ++i)
        left[i] = stereo[2 * i] / 32768.0;
    bands.Add(left.data(), static_cast<int>(n));
    frames += n;
    intervalFrames += n;
}

void CBandPart::EndInterval()
{
    const std::vector<double> meanSquares = bands.TakeMeanSquares();
    AddToFileBands(meanSquares, static_cast<double>(intervalFrames));
    std::vector<double> eq;
    for (const double ms : meanSquares)
        eq.push_back(SoundLevel(ms));
    intervalEq.push_back(std::move(eq));
    intervalFrames = 0;
}

void CBandPart::Finish(FileMeasurement& m)
{
    // With intervals, every frame is in one of them already.
    if (intervalEq.empty())
        AddToFileBands(bands.TakeMeanSquares(), static_cast<double>(frames));
    for (const FractionalOctaveBand& b : bands.Bands()) {
        m.bandNominal.push_back(b.nominal);
        m.bandMidband.push_back(b.midband);
    }
    for (const double energy : fileEnergy)
        m.bandEq.push_back(frames ? SoundLevel(energy / static_cast<double>(frames)) : FileMeasurement::Silence);
    for (size_t i = 0; i < intervalEq.size() && i < m.intervals.size(); ++i)
        m.intervals[i].bandEq = std::move(intervalEq[i]);
}

void CBandPart::AddToFileBands(const std::vector<double>& meanSquares, double count)
{
    fileEnergy.resize(meanSquares.size(), 0.0);
    for (size_t k = 0; k < meanSquares.size(); ++k)
        fileEnergy[k] += meanSquares[k] * count;
}

std::vector<std::unique_ptr<CFileMeterPart>> FileMeterParts(const MeasureOptions& options)
{
    std::vector<std::unique_ptr<CFileMeterPart>> parts;
    parts.push_back(std::make_unique<CLoudnessPart>());
    parts.push_back(std::make_unique<CLevelPart>(options));
    if (options.bandsPerOctave > 0)
        parts.push_back(std::make_unique<CBandPart>(options));
    return parts;
}
