#include "analysis/block_readings.h"

#include "analysis/wave_capture.h"

CBlockReadings::CBlockReadings(CWaveCapture& engine) : engine(engine)
{
    Rewire();
}

CBlockReadings::~CBlockReadings()
{
    engine.RemoveConsumer(&levelLog);
    engine.RemoveConsumer(soundLevels.get());
    engine.RemoveConsumer(meter.get());
    engine.RemoveConsumer(&measurement);
}

void CBlockReadings::SetSoundLevelsWanted(bool wanted)
{
    soundLevelsWanted = wanted;
    Rewire();
}

void CBlockReadings::SetSoundLevelWeighting(Weighting weighting)
{
    soundLevelWeighting = weighting;
    if (soundLevels && soundLevels->Readings().weighting != weighting)
        soundLevels->SetWeighting(weighting);
}

void CBlockReadings::SetMicrophoneCorrection(std::function<double(double)> gainDb)
{
    microphone = std::move(gainDb);
    measurement.SetMicrophoneCorrection(microphone);
    if (soundLevels)
        soundLevels->SetCorrection(microphone);
}

void CBlockReadings::SetMeterWanted(bool wanted)
{
    meterWanted = wanted;
    Rewire();
}

// Registers again, in order, those that run now; a meter nobody needs is
// let go, one that is needed again starts afresh.
void CBlockReadings::Rewire()
{
    engine.RemoveConsumer(&levelLog);
    engine.RemoveConsumer(soundLevels.get());
    engine.RemoveConsumer(meter.get());
    engine.RemoveConsumer(&measurement);
    const bool logging = levelLog.IsOpen();
    if (!meterWanted && !logging)
        meter.reset();
    else if (!meter)
        meter = std::make_unique<CLoudnessMeter>();
    if (!soundLevelsWanted)
        soundLevels.reset();
    else if (!soundLevels) {
        soundLevels = std::make_unique<CSoundLevelMeter>(soundLevelWeighting);
        if (microphone)
            soundLevels->SetCorrection(microphone);
    }
    levelLog.SetMeter(meter.get());
    engine.AddConsumer(&measurement);
    if (meter)
        engine.AddConsumer(meter.get());
    if (soundLevels)
        engine.AddConsumer(soundLevels.get());
    if (logging)
        engine.AddConsumer(&levelLog);
}
