#include "input/pulse_output.h"

#include <pulse/pulseaudio.h>

#include <algorithm>

#include "input/pulse_loop.h"

namespace {

constexpr uint32_t Rate = 48000;
constexpr size_t FrameBytes = 2 * sizeof(float);
constexpr double QueuedSeconds = CPulseOutput::QueuedSeconds, RequestSeconds = 0.02;
constexpr double HandOutMarginSeconds = 0.15;

} // namespace

std::unique_ptr<CPulseOutput> CPulseOutput::Open(const std::string& sinkName, const GeneratorSettings& settings,
                                                 std::string& message)
{
    std::unique_ptr<CPulseOutput> output(new CPulseOutput());
    output->generator.Configure(settings);
    output->kept.assign(static_cast<size_t>(KeptSeconds * Rate), 0.0f);
    output->sinkName = sinkName;
    if (!output->Connect(sinkName, message))
        return nullptr;
    return output;
}

CPulseOutput::~CPulseOutput()
{
    if (!loop)
        return;
    CPulseLoop::Access access(*loop);
    loop->RemoveStateListener(listener);
    if (stream) {
        pa_stream_set_state_callback(stream, nullptr, nullptr);
        pa_stream_set_write_callback(stream, nullptr, nullptr);
        pa_stream_set_underflow_callback(stream, nullptr, nullptr);
        pa_stream_disconnect(stream);
        pa_stream_unref(stream);
    }
}

// A sink chosen by name stays the one played to: when it goes away the
// stream ends, rather than the server moving it to another sink.
bool CPulseOutput::Connect(const std::string& sinkName, std::string& message)
{
    loop = CPulseLoop::Shared(message);
    if (!loop)
        return false;
    CPulseLoop::Access access(*loop);
    listener = loop->AddStateListener([this] {
        if (!loop->Connected() && failure.empty())
            failure = "The PulseAudio server went away (" + loop->ContextError() + ").";
    });
    const pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, Rate, 2};
    stream = pa_stream_new(loop->Context(), "Tavimeter generator", &spec, nullptr);
    if (!stream) {
        message = "PulseAudio does not make a playback stream (" + loop->ContextError() + ")";
        return false;
    }
    pa_stream_set_state_callback(stream, &CPulseOutput::OnState, this);
    pa_stream_set_write_callback(stream, &CPulseOutput::OnWrite, this);
    pa_stream_set_underflow_callback(stream, &CPulseOutput::OnUnderflow, this);
    pa_buffer_attr attributes;
    attributes.maxlength = static_cast<uint32_t>(-1);
    attributes.tlength = static_cast<uint32_t>(QueuedSeconds * Rate * FrameBytes);
    attributes.prebuf = static_cast<uint32_t>(-1);
    attributes.minreq = static_cast<uint32_t>(RequestSeconds * Rate * FrameBytes);
    attributes.fragsize = static_cast<uint32_t>(-1);
    const auto flags =
        static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | (sinkName.empty() ? 0 : PA_STREAM_DONT_MOVE));
    if (pa_stream_connect_playback(stream, sinkName.empty() ? nullptr : sinkName.c_str(), &attributes, flags, nullptr,
                                   nullptr) >= 0)
        access.WaitWhile([this] { return pa_stream_get_state(stream) == PA_STREAM_CREATING; });
    if (pa_stream_get_state(stream) == PA_STREAM_READY)
        return true;
    if (pa_context_errno(loop->Context()) == PA_ERR_NOENTITY)
        message = sinkName.empty() ? "PulseAudio has no default sink"
                                   : "PulseAudio has no sink named \"" + sinkName + "\"";
    else
        message = "PulseAudio does not play to its " + (sinkName.empty() ? std::string("default sink") : "sink \"" + sinkName + "\"") +
                  " (" + loop->ContextError() + ")";
    return false;
}

void CPulseOutput::OnWrite(pa_stream* stream, size_t bytes, void* user)
{
    auto* self = static_cast<CPulseOutput*>(user);
    const size_t frames = bytes / FrameBytes;
    self->piece.resize(2 * frames);
    self->generator.Generate(self->piece.data(), static_cast<int>(frames));
    if (pa_stream_write(stream, self->piece.data(), frames * FrameBytes, nullptr, 0, PA_SEEK_RELATIVE) < 0 &&
        self->failure.empty())
        self->failure = "PulseAudio did not take the generator's sound (" + self->loop->ContextError() + ").";
    self->Keep(self->piece.data(), frames);
}

void CPulseOutput::OnUnderflow(pa_stream*, void* user)
{
    static_cast<CPulseOutput*>(user)->underruns.fetch_add(1, std::memory_order_relaxed);
}

void CPulseOutput::OnState(pa_stream* stream, void* user)
{
    auto* self = static_cast<CPulseOutput*>(user);
    if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream)) && self->failure.empty())
        self->failure = pa_context_errno(self->loop->Context()) == PA_ERR_KILLED
                            ? "The generator's sink went away."
                            : "PulseAudio ended the generator's stream (" + self->loop->ContextError() + ").";
    self->loop->NotifyAnswered();
}

// The generator's own signal: the channel it plays on, the left when both.
void CPulseOutput::Keep(const float* interleaved, size_t frames)
{
    const size_t channel = generator.Settings().channels == GeneratorChannels::Right ? 1 : 0;
    std::lock_guard<std::mutex> hold(keptLock);
    for (size_t i = 0; i < frames; ++i)
        kept[static_cast<size_t>(written + static_cast<long>(i)) % kept.size()] = interleaved[2 * i + channel];
    written += static_cast<long>(frames);
}

void CPulseOutput::TakePlayed(int frames, float* out, uint64_t skip)
{
    std::lock_guard<std::mutex> hold(keptLock);
    if (handedOut >= 0)
        handedOut += static_cast<long>(skip);
    const long size = static_cast<long>(kept.size());
    // The newest written less a margin: the stream is written in pieces as
    // the server asks and the loop wakes, the blocks are taken as they are
    // captured, and the two must not overtake each other.
    const long margin = static_cast<long>(HandOutMarginSeconds * Rate);
    if (handedOut < 0 || handedOut < written - size || handedOut + frames > written)
        handedOut = std::max(0L, written - frames - margin);
    for (int i = 0; i < frames; ++i) {
        const long n = handedOut + i;
        out[i] = n < written ? kept[static_cast<size_t>(n % size)] : 0.0f;
    }
    handedOut += frames;
}

void CPulseOutput::Configure(const GeneratorSettings& settings)
{
    CPulseLoop::Access access(*loop);
    generator.Configure(settings);
}

void CPulseOutput::Start()
{
    CPulseLoop::Access access(*loop);
    generator.Start();
}

void CPulseOutput::Stop()
{
    CPulseLoop::Access access(*loop);
    generator.Stop();
}

CPulseOutput::Status CPulseOutput::Now()
{
    CPulseLoop::Access access(*loop);
    Status now;
    now.running = generator.Running();
    now.crestFactorDb = generator.CrestFactorDb();
    now.clippedSamples = generator.ClippedSamples();
    now.underruns = underruns.load(std::memory_order_relaxed);
    now.failure = failure;
    return now;
}
