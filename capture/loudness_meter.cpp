#include "capture/loudness_meter.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double Silence = -std::numeric_limits<double>::infinity();
constexpr int LiveModes = EBUR128_MODE_M | EBUR128_MODE_TRUE_PEAK;
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
    ebur128_state* live = nullptr;         // K-weighted energy, peaks
    ebur128_state* integrating = nullptr;  // integrated and range
    ~States()
    {
        if (live)
            ebur128_destroy(&live);
        if (integrating)
            ebur128_destroy(&integrating);
    }
};

CLoudnessMeter::CLoudnessMeter() : states(std::make_unique<States>())
{
    states->live = ebur128_init(2, static_cast<unsigned long>(SampleRate), LiveModes);
    readings = MeterReadings{};
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
    ebur128_state* live = states->live;
    ebur128_state* integrating = states->integrating;
    if (!live || !integrating || frames <= 0)
        return;
    ebur128_add_frames_short(integrating, interleaved, static_cast<size_t>(frames));
    Block block{};
    block.frames = frames;
    AddToLive(interleaved, frames, block);
    for (unsigned ch = 0; ch < 2; ++ch) {
        double squares = 0.0;
        for (int i = 0; i < frames; ++i) {
            const double x = interleaved[2 * i + ch] / 32768.0;
            squares += x * x;
        }
        block.squares[ch] = squares;
    }
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

// In pieces that end where a 40 ms window ends; each window's mean
// K-weighted energy is taken as it ends. The block's peaks are the largest
// of its pieces'.
void CLoudnessMeter::AddToLive(const int16_t* interleaved, int frames, Block& block)
{
    ebur128_state* live = states->live;
    for (int done = 0; done < frames;) {
        const int piece = std::min(frames - done, SegmentFrames - segmentFill);
        ebur128_add_frames_short(live, interleaved + 2 * done, static_cast<size_t>(piece));
        for (unsigned ch = 0; ch < 2; ++ch) {
            double peak = 0.0, truePeak = 0.0;
            ebur128_prev_sample_peak(live, ch, &peak);
            ebur128_prev_true_peak(live, ch, &truePeak);
            block.peak[ch] = std::max(block.peak[ch], peak);
            block.truePeak[ch] = std::max(block.truePeak[ch], truePeak);
        }
        done += piece;
        segmentFill += piece;
        if (segmentFill < SegmentFrames)
            continue;
        segmentFill = 0;
        // libebur128's loudness of a window is -0.691 + 10 log10(energy).
        double loudness = Silence;
        ebur128_loudness_window(live, 40, &loudness);
        energies.push_back(std::isfinite(loudness) ? std::pow(10.0, (loudness + 0.691) / 10.0) : 0.0);
        if (static_cast<int>(energies.size()) > ShortTermSegments)
            energies.pop_front();
    }
}

// The mean energy of the last `segments` windows, those not yet measured
// counting as silence, as libebur128 counts them.
double CLoudnessMeter::MeanEnergy(int segments) const
{
    double sum = 0.0;
    int counted = 0;
    for (auto e = energies.rbegin(); e != energies.rend() && counted < segments; ++e, ++counted)
        sum += *e;
    return sum / segments;
}

void CLoudnessMeter::Update()
{
    MeterReadings& r = readings;
    for (int ch = 0; ch < 2; ++ch) {
        const Block& newest = recent.back();
        r.samplePeak[ch] = Db(newest.peak[ch]);
        r.truePeak[ch] = Db(newest.truePeak[ch]);
        double samplePeak = 0.0, truePeak = 0.0, squares = 0.0;
        int frames = 0;
        for (auto b = recent.rbegin(); b != recent.rend(); ++b) {
            samplePeak = std::max(samplePeak, b->peak[ch]);
            truePeak = std::max(truePeak, b->truePeak[ch]);
            if (frames < static_cast<int>(RmsSeconds * SampleRate)) {
                squares += b->squares[ch];
                frames += b->frames;
            }
        }
        r.samplePeakHeld[ch] = Db(samplePeak);
        r.truePeakHeld[ch] = Db(truePeak);
        // A full-scale sine's mean square is 1/2: it reads 0 dB.
        r.rms[ch] = frames > 0 && squares > 0.0 ? 10.0 * std::log10(2.0 * squares / frames) : Silence;
        r.maxTruePeak = std::max(r.maxTruePeak, r.truePeak[ch]);
    }
    ebur128_state* integrating = states->integrating;
    const double momentary = MeanEnergy(MomentarySegments), shortTerm = MeanEnergy(ShortTermSegments);
    r.momentary = momentary > 0.0 ? -0.691 + 10.0 * std::log10(momentary) : Silence;
    r.shortTerm = shortTerm > 0.0 ? -0.691 + 10.0 * std::log10(shortTerm) : Silence;
    r.integrated = Reading(ebur128_loudness_global, integrating, Silence);
    r.range = Reading(ebur128_loudness_range, integrating, 0.0);
    r.maxMomentary = std::max(r.maxMomentary, r.momentary);
    r.maxShortTerm = std::max(r.maxShortTerm, r.shortTerm);
}
