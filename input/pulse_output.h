#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "dsp/signal_generator.h"

class CPulseLoop;
struct pa_stream;

// The generator's sound, played to a PulseAudio sink through a playback
// stream on the program's PulseAudio loop (CPulseLoop, shared with the
// capture): the loop's thread generates each piece as the server asks for
// it, never the GUI thread. The stream keeps 200 ms queued at the server,
// more than the loop ever rests. Once open it plays on (silence while the
// generator is stopped), so that what it played keeps one timeline.
//
// What it played is kept (the last KeptSeconds, the generator's signal
// before its choice of channels) for the transfer view to take as its
// reference, block by block.
class CPulseOutput {
public:
    static constexpr double KeptSeconds = 4.0;
    // What the server holds queued, and so how long after Stop the fade
    // has been heard: the stream may go then without a click.
    static constexpr double QueuedSeconds = 0.2;
    static constexpr int SilentAfterStopMs =
        static_cast<int>((QueuedSeconds + CSignalGenerator::RampSeconds) * 1000) + 100;

    // The sink named `sinkName`, or the server's default sink when empty;
    // null, with why in `message`, when it cannot play there.
    static std::unique_ptr<CPulseOutput> Open(const std::string& sinkName, const GeneratorSettings& settings,
                                              std::string& message);
    ~CPulseOutput();
    CPulseOutput(const CPulseOutput&) = delete;
    CPulseOutput& operator=(const CPulseOutput&) = delete;

    // The sink it plays to, as opened ("" for the default).
    const std::string& Sink() const { return sinkName; }
    // GUI thread; each takes effect at the next piece generated.
    void Configure(const GeneratorSettings& settings);
    void Start();
    void Stop();
    // What it does now: sounding (or fading out), the signal's crest factor
    // and clipped samples (CSignalGenerator), the times the server ran out
    // of what it had been given to play, and why the stream ended ("" while
    // it plays).
    struct Status {
        bool running = false;
        double crestFactorDb = 0.0;
        long clippedSamples = 0;
        long underruns = 0;
        std::string failure;
    };
    Status Now();
    // `frames` samples of the generator's signal, following those handed out
    // last: one timeline, the capture's blocks taken against it. The first
    // call, one after falling behind what is kept and one that would reach
    // past what was written start again 0.15 s before the newest written.
    // `skip` samples are passed over first (what the capture dropped).
    void TakePlayed(int frames, float* out, uint64_t skip = 0);

private:
    CPulseOutput() = default;
    bool Connect(const std::string& sinkName, std::string& message);
    static void OnWrite(pa_stream* stream, size_t bytes, void* user);
    static void OnUnderflow(pa_stream* stream, void* user);
    static void OnState(pa_stream* stream, void* user);
    void Keep(const float* interleaved, size_t frames);

    std::shared_ptr<CPulseLoop> loop;
    std::string sinkName;
    pa_stream* stream = nullptr;
    int listener = -1;
    // Under the loop's lock.
    CSignalGenerator generator;
    std::vector<float> piece;
    std::string failure;
    std::atomic<long> underruns{0};
    // What was played, under keptLock.
    std::mutex keptLock;
    std::vector<float> kept;
    long written = 0;      // frames written since the stream opened
    long handedOut = -1;   // the next frame TakePlayed hands out; -1 none yet
};

struct PulseSink {
    std::string name;
    std::string description;
    bool isDefault;
};

// The server's sinks, as ListPulseSources lists its sources.
bool ListPulseSinks(std::vector<PulseSink>& sinks, std::string& problem);
