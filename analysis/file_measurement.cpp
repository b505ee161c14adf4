#include "analysis/file_measurement.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "analysis/band_energy.h"
#include "analysis/loudness_meter.h"
#include "analysis/sound_level_meter.h"
#include "input/audio_file_reader.h"

namespace {

constexpr int Stretch = 2048;  // frames read at a time, as the engine's blocks
constexpr double Rate = AudioFileReader::EngineRate;

double Decibels(double ratio)
{
    return ratio > 0.0 ? 20.0 * std::log10(ratio) : FileMeasurement::Silence;
}

// The meters over one file, stretch by stretch, with what an interval and
// the whole file add up.
class CFileMeter {
public:
    CFileMeter(const MeasureOptions& options, FileMeasurement& m) : options(options), m(m), levels(options.weighting)
    {
        if (options.microphone)
            levels.SetCorrection(options.microphone);
        if (options.bandsPerOctave > 0)
            bands = std::make_unique<CBandEnergy>(options.bandsPerOctave, options.weighting, Rate, options.microphone);
    }

    void Add(const int16_t* stereo, size_t n)
    {
        loudness.Process(stereo, static_cast<int>(n));
        levels.Process(stereo, static_cast<int>(n));
        const SoundLevelReadings& s = levels.Readings();
        intervalEnergy += s.blockMeanSquare * s.blockSamples;
        left.resize(n);
        for (int ch = 0; ch < 2; ++ch) {
            const double truePeak = loudness.Readings().truePeak[ch];
            fileTruePeak[ch] = std::max(fileTruePeak[ch], truePeak);
            interval.truePeak[static_cast<size_t>(ch)] = std::max(interval.truePeak[static_cast<size_t>(ch)], truePeak);
            for (size_t i = 0; i < n; ++i) {
                const int v = stereo[2 * i + static_cast<size_t>(ch)];
                peak[ch] = std::max(peak[ch], std::abs(v));
                intervalPeak[ch] = std::max(intervalPeak[ch], std::abs(v));
                squares[ch] += static_cast<double>(v) * v;
                if (ch == 0)
                    left[i] = v / 32768.0;
            }
        }
        if (bands)
            bands->Add(left.data(), static_cast<int>(n));
        frames += n;
    }

    uint64_t Frames() const { return frames; }

    // Closes the interval that ends here.
    void EndInterval()
    {
        interval.end = static_cast<double>(frames) / Rate;
        interval.momentary = loudness.Readings().momentary;
        interval.shortTerm = loudness.Readings().shortTerm;
        const double count = (interval.end - interval.start) * Rate;
        interval.eq = count > 0 ? SoundLevel(intervalEnergy / count) : FileMeasurement::Silence;
        for (int ch = 0; ch < 2; ++ch)
            interval.samplePeak[static_cast<size_t>(ch)] = Decibels(intervalPeak[ch] / 32768.0);
        if (bands) {
            const std::vector<double> meanSquares = bands->TakeMeanSquares();
            AddToFileBands(meanSquares, count);
            for (const double ms : meanSquares)
                interval.bandEq.push_back(SoundLevel(ms));
        }
        m.intervals.push_back(interval);
        interval = FileMeasurement::Interval();
        interval.start = static_cast<double>(frames) / Rate;
        intervalEnergy = 0.0;
        intervalPeak[0] = intervalPeak[1] = 0;
    }

    void Finish()
    {
        m.seconds = static_cast<double>(frames) / Rate;
        const MeterReadings& r = loudness.Readings();
        m.integrated = r.integrated;
        m.range = r.range;
        m.maxMomentary = r.maxMomentary;
        m.maxShortTerm = r.maxShortTerm;
        for (int ch = 0; ch < 2; ++ch) {
            const size_t c = static_cast<size_t>(ch);
            m.truePeak[c] = fileTruePeak[ch];
            m.samplePeak[c] = Decibels(peak[ch] / 32768.0);
            // A full-scale sine's mean square is 1/2: twice it reads 0 dB.
            m.rms[c] = frames ? Decibels(std::sqrt(2.0 * squares[ch] / static_cast<double>(frames)) / 32768.0)
                              : FileMeasurement::Silence;
        }
        const SoundLevelReadings& s = levels.Readings();
        m.eq = s.eq;
        m.fastMax = s.fastMax;
        m.cPeak = s.cPeak;
        m.l10 = s.l10;
        m.l50 = s.l50;
        m.l90 = s.l90;
        if (!bands)
            return;
        if (options.intervalSeconds <= 0.0)
            AddToFileBands(bands->TakeMeanSquares(), static_cast<double>(frames));
        for (const FractionalOctaveBand& b : bands->Bands()) {
            m.bandNominal.push_back(b.nominal);
            m.bandMidband.push_back(b.midband);
        }
        for (size_t k = 0; k < fileBandEnergy.size(); ++k)
            m.bandEq.push_back(frames ? SoundLevel(fileBandEnergy[k] / static_cast<double>(frames))
                                      : FileMeasurement::Silence);
    }

private:
    void AddToFileBands(const std::vector<double>& meanSquares, double count)
    {
        fileBandEnergy.resize(meanSquares.size(), 0.0);
        for (size_t k = 0; k < meanSquares.size(); ++k)
            fileBandEnergy[k] += meanSquares[k] * count;
    }

    const MeasureOptions& options;
    FileMeasurement& m;
    CLoudnessMeter loudness;
    CSoundLevelMeter levels;
    std::unique_ptr<CBandEnergy> bands;
    std::vector<double> left, fileBandEnergy;
    int peak[2] = {0, 0}, intervalPeak[2] = {0, 0};
    double squares[2] = {0.0, 0.0};
    double fileTruePeak[2] = {FileMeasurement::Silence, FileMeasurement::Silence};
    double intervalEnergy = 0.0;
    FileMeasurement::Interval interval;
    uint64_t frames = 0;
};

} // namespace

FileMeasurement MeasureFile(const std::string& path, const MeasureOptions& options)
{
    FileMeasurement m;
    m.weighting = options.weighting;
    AudioFileReader reader;
    if (!reader.Open(path, m.error))
        return m;
    m.notice = reader.Notice();
    m.rate = reader.SampleRate();
    m.channels = reader.Channels();
    CFileMeter meter(options, m);
    const uint64_t intervalFrames =
        options.intervalSeconds > 0.0 ? std::max<uint64_t>(1, std::llround(options.intervalSeconds * Rate)) : 0;
    std::vector<int16_t> stereo(2 * Stretch);
    for (;;) {
        // Stretches end where intervals do.
        size_t wanted = Stretch;
        if (intervalFrames)
            wanted = std::min<size_t>(wanted, intervalFrames - meter.Frames() % intervalFrames);
        const size_t n = reader.ReadStereo(stereo.data(), wanted);
        if (n == 0)
            break;
        meter.Add(stereo.data(), n);
        if (intervalFrames && meter.Frames() % intervalFrames == 0)
            meter.EndInterval();
    }
    // The last interval, shorter than the others.
    if (intervalFrames && meter.Frames() % intervalFrames != 0)
        meter.EndInterval();
    meter.Finish();
    return m;
}
