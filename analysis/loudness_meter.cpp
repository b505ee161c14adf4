#include "analysis/loudness_meter.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "dsp/k_weighting.h"

namespace {

constexpr double Silence = MeterReadings::Silence;
constexpr int IntegratingModes = EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_HISTOGRAM;

double Db(double amplitude)
{
    return amplitude > 0.0 ? 20.0 * std::log10(amplitude) : Silence;
}

// One of libebur128's readings; it gives -HUGE_VAL below its gates and for
// too little signal, and an error when the mode does not have it.
double Reading(int (*read)(ebur128_state*, double*), ebur128_state* state, double none)
{
    double value = 0.0;
    return read(state, &value) == EBUR128_SUCCESS && std::isfinite(value) ? value : none;
}

} // namespace

struct CLoudnessMeter::States {
    ebur128_state* integrating = nullptr;  // integrated and range
    ~States()
    {
        if (integrating)
            ebur128_destroy(&integrating);
    }
};

CLoudnessMeter::CLoudnessMeter() : states(std::make_unique<States>())
{
    kWeighting[0] = kWeighting[1] = KWeighting48k();
    Reset();
}

CLoudnessMeter::~CLoudnessMeter() = default;

void CLoudnessMeter::Reset()
{
    ebur128_state*& integrating = states->integrating;
    if (integrating)
        ebur128_destroy(&integrating);
    integrating = ebur128_init(2, static_cast<unsigned long>(SampleRate), IntegratingModes);
    readings.maxMomentary = readings.maxShortTerm = readings.maxTruePeak = Silence;
    readings.integrated = Silence;
    readings.range = 0.0;
}

void CLoudnessMeter::Process(const int16_t* interleaved, int frames)
{
    ebur128_state* integrating = states->integrating;
    if (!integrating || frames <= 0)
        return;
    ebur128_add_frames_short(integrating, interleaved, static_cast<size_t>(frames));
    Block block{};
    block.frames = frames;
    truePeak.Process(interleaved, frames, block.truePeak);
    AddToWindows(interleaved, frames, block);
    recent.push_back(block);
    int held = 0;
    for (const Block& b : recent)
        held += b.frames;
    while (held - recent.front().frames >= static_cast<int>(PeakHoldSeconds * SampleRate)) {
        held -= recent.front().frames;
        recent.pop_front();
    }
    Update();
}

// Each frame's K-weighted square (both channels) and plain squares (each
// channel) into the windows; the block's sample peaks.
void CLoudnessMeter::AddToWindows(const int16_t* interleaved, int frames, Block& block)
{
    for (int i = 0; i < frames; ++i) {
        double weighted = 0.0;
        bool quiet = true;
        for (int ch = 0; ch < 2; ++ch) {
            const int16_t sample = interleaved[2 * i + ch];
            const double x = sample / 32768.0;
            const double k = ProcessCascade(kWeighting[ch], x);
            weighted += k * k;
            squares[ch].Add(x * x);
            block.peak[ch] = std::max(block.peak[ch], std::abs(sample) / 32768.0);
            quiet = quiet && sample == 0;
        }
        weightedSquares.Add(weighted);
        quietFrames = quiet ? quietFrames + 1 : 0;
    }
    // Once no window holds anything but zeros, the filters' ringing is
    // nobody's: it starts from rest, and never decays into subnormal numbers.
    if (quietFrames >= ShortTermFrames)
        for (BiquadCascade& cascade : kWeighting)
            for (CBiquad& section : cascade)
                section.Reset();
}

// The loudness of the newest `frames` frames: -0.691 + 10 log10 of their
// K-weighted mean square summed over the channels; -inf where every sample
// in them is zero.
double CLoudnessMeter::Loudness(int frames) const
{
    const double sum = weightedSquares.Sum(frames);
    if (quietFrames >= frames || sum <= 0.0)
        return Silence;
    return -0.691 + 10.0 * std::log10(sum / frames);
}

void CLoudnessMeter::Update()
{
    MeterReadings& r = readings;
    for (int ch = 0; ch < 2; ++ch) {
        const Block& newest = recent.back();
        r.samplePeak[ch] = Db(newest.peak[ch]);
        r.truePeak[ch] = Db(newest.truePeak[ch]);
        double samplePeak = 0.0, truePeak = 0.0;
        for (const Block& b : recent) {
            samplePeak = std::max(samplePeak, b.peak[ch]);
            truePeak = std::max(truePeak, b.truePeak[ch]);
        }
        r.samplePeakHeld[ch] = Db(samplePeak);
        r.truePeakHeld[ch] = Db(truePeak);
        // A full-scale sine's mean square is 1/2: it reads 0 dB.
        const int frames = static_cast<int>(std::min<int64_t>(squares[ch].Count(), RmsFrames));
        const double sum = squares[ch].Sum(frames);
        r.rms[ch] = sum > 0.0 ? 10.0 * std::log10(2.0 * sum / frames) : Silence;
        r.maxTruePeak = std::max(r.maxTruePeak, r.truePeak[ch]);
    }
    r.momentary = Loudness(MomentaryFrames);
    r.shortTerm = Loudness(ShortTermFrames);
    if (integratedEveryBlock)
        ReadIntegrated();
    r.maxMomentary = std::max(r.maxMomentary, r.momentary);
    r.maxShortTerm = std::max(r.maxShortTerm, r.shortTerm);
}

void CLoudnessMeter::ReadIntegrated()
{
    readings.integrated = Reading(ebur128_loudness_global, states->integrating, Silence);
    readings.range = Reading(ebur128_loudness_range, states->integrating, 0.0);
}
