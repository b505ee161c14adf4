#include "analysis/block_readings.h"

#include "analysis/wave_capture.h"

CBlockReadings::CBlockReadings(CWaveCapture& engine) : engine(engine)
{
    Rewire();
}

CBlockReadings::~CBlockReadings()
{
    engine.RemoveConsumer(&levelLog);
    engine.RemoveConsumer(meter.get());
    engine.RemoveConsumer(&measurement);
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
    engine.RemoveConsumer(meter.get());
    engine.RemoveConsumer(&measurement);
    const bool logging = levelLog.IsOpen();
    if (!meterWanted && !logging)
        meter.reset();
    else if (!meter)
        meter = std::make_unique<CLoudnessMeter>();
    levelLog.SetMeter(meter.get());
    engine.AddConsumer(&measurement);
    if (meter)
        engine.AddConsumer(meter.get());
    if (logging)
        engine.AddConsumer(&levelLog);
}
