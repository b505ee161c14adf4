#pragma once

#include <memory>

#include "analysis/level_log.h"
#include "analysis/loudness_meter.h"
#include "analysis/measurement.h"
#include "analysis/sound_level_meter.h"

class CWaveCapture;

// Our readings of each block an engine analyses, wired to it as consumers,
// in this order: the averages, peaks and bands (always: they follow their
// own settings, and the bands are measured while the view that shows them
// says so); the loudness meter while it is wanted (its window is shown) or
// the level log is open; the sound level meter while it is wanted (the
// meter window shows its page); the level log while it is open, which logs
// the meter's readings of the same block. The main window and each part of a
// file's picture wire their engines through this class, so that a reading
// added here reaches both. GUI thread only (the engine's).
class CBlockReadings {
public:
    explicit CBlockReadings(CWaveCapture& engine);
    ~CBlockReadings();
    CBlockReadings(const CBlockReadings&) = delete;
    CBlockReadings& operator=(const CBlockReadings&) = delete;

    CMeasurement& Measurement() { return measurement; }
    const CMeasurement& Measurement() const { return measurement; }

    // The meter runs while it is wanted or the log is open; null otherwise.
    void SetMeterWanted(bool wanted);
    CLoudnessMeter* Meter() { return meter.get(); }
    const CLoudnessMeter* Meter() const { return meter.get(); }

    // The sound level meter runs while it is wanted, with the weighting
    // last set (A at first); null otherwise.
    void SetSoundLevelsWanted(bool wanted);
    void SetSoundLevelWeighting(Weighting weighting);
    CSoundLevelMeter* SoundLevels() { return soundLevels.get(); }
    const CSoundLevelMeter* SoundLevels() const { return soundLevels.get(); }

    // A microphone's correction (`gainDb(f)` dB added at f Hz; empty for
    // none) for the bands and the sound level meter, now and when it starts.
    void SetMicrophoneCorrection(std::function<double(double)> gainDb);
    const std::function<double(double)>& MicrophoneCorrection() const { return microphone; }

    // Opened and closed by its owner, who calls LevelLogChanged after either.
    CLevelLog& LevelLog() { return levelLog; }
    const CLevelLog& LevelLog() const { return levelLog; }
    void LevelLogChanged() { Rewire(); }

private:
    void Rewire();

    CWaveCapture& engine;
    CMeasurement measurement;
    std::unique_ptr<CLoudnessMeter> meter;
    std::unique_ptr<CSoundLevelMeter> soundLevels;
    Weighting soundLevelWeighting = Weighting::A;
    bool soundLevelsWanted = false;
    std::function<double(double)> microphone;
    CLevelLog levelLog;
    bool meterWanted = false;
};
