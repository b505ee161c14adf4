#include "analysis/file_measurement.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "analysis/loudness_meter.h"
#include "analysis/sound_level_meter.h"
#include "input/audio_file_reader.h"

namespace {

constexpr int Stretch = 2048;  // frames read at a time, as the engine's blocks

double Decibels(double ratio)
{
    return ratio > 0.0 ? 20.0 * std::log10(ratio) : FileMeasurement::Silence;
}

} // namespace

FileMeasurement MeasureFile(const std::string& path, Weighting weighting)
{
    FileMeasurement m;
    m.weighting = weighting;
    AudioFileReader reader;
    if (!reader.Open(path, m.error))
        return m;
    m.notice = reader.Notice();
    m.rate = reader.SampleRate();
    m.channels = reader.Channels();
    CLoudnessMeter loudness;
    CSoundLevelMeter levels(weighting);
    std::vector<int16_t> stereo(2 * Stretch);
    int peak[2] = {0, 0};
    double squares[2] = {0.0, 0.0};
    double truePeak[2] = {FileMeasurement::Silence, FileMeasurement::Silence};
    uint64_t frames = 0;
    for (size_t n; (n = reader.ReadStereo(stereo.data(), Stretch)) > 0; frames += n) {
        loudness.Process(stereo.data(), static_cast<int>(n));
        levels.Process(stereo.data(), static_cast<int>(n));
        for (int ch = 0; ch < 2; ++ch) {
            truePeak[ch] = std::max(truePeak[ch], loudness.Readings().truePeak[ch]);
            for (size_t i = 0; i < n; ++i) {
                const int v = stereo[2 * i + static_cast<size_t>(ch)];
                peak[ch] = std::max(peak[ch], std::abs(v));
                squares[ch] += static_cast<double>(v) * v;
            }
        }
    }
    m.seconds = static_cast<double>(frames) / AudioFileReader::EngineRate;
    const MeterReadings& r = loudness.Readings();
    m.integrated = r.integrated;
    m.range = r.range;
    m.maxMomentary = r.maxMomentary;
    m.maxShortTerm = r.maxShortTerm;
    for (int ch = 0; ch < 2; ++ch) {
        m.truePeak[static_cast<size_t>(ch)] = truePeak[ch];
        m.samplePeak[static_cast<size_t>(ch)] = Decibels(peak[ch] / 32768.0);
        // A full-scale sine's mean square is 1/2: twice it reads 0 dB.
        m.rms[static_cast<size_t>(ch)] =
            frames ? Decibels(std::sqrt(2.0 * squares[ch] / static_cast<double>(frames)) / 32768.0)
                   : FileMeasurement::Silence;
    }
    const SoundLevelReadings& s = levels.Readings();
    m.eq = s.eq;
    m.fastMax = s.fastMax;
    m.cPeak = s.cPeak;
    m.l10 = s.l10;
    m.l50 = s.l50;
    m.l90 = s.l90;
    return m;
}
