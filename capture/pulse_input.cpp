#include "capture/pulse_input.h"

#include <pulse/pulseaudio.h>

#include <functional>
#include <vector>

namespace {

constexpr unsigned FramesPerBuffer = 2048;
constexpr pa_usec_t AnswerTimeout = 5 * PA_USEC_PER_SEC;

class MainLoopLock {
public:
    explicit MainLoopLock(pa_threaded_mainloop* loop) : loop(loop) { pa_threaded_mainloop_lock(loop); }
    ~MainLoopLock() { pa_threaded_mainloop_unlock(loop); }
    MainLoopLock(const MainLoopLock&) = delete;
    MainLoopLock& operator=(const MainLoopLock&) = delete;

private:
    pa_threaded_mainloop* loop;
};

void Forget(pa_operation* operation)
{
    if (operation)
        pa_operation_unref(operation);
}

// A record stream on a threaded main loop of its own. Every call from the
// GUI thread takes the main-loop lock; the callbacks run on the main-loop
// thread with the lock held.
class PulseInput : public WaveInput {
public:
    PulseInput(const WaveFormat& format, WaveNotifyTarget* target)
        : WaveInput(format, target), silence(FramesPerBuffer * static_cast<size_t>(format.channels))
    {
    }

    ~PulseInput() override
    {
        if (!loop)
            return;
        {
            MainLoopLock lock(loop);
            if (stream) {
                pa_stream_set_state_callback(stream, nullptr, nullptr);
                pa_stream_set_read_callback(stream, nullptr, nullptr);
                pa_stream_disconnect(stream);
            }
            if (context) {
                pa_context_set_state_callback(context, nullptr, nullptr);
                pa_context_disconnect(context);
            }
        }
        pa_threaded_mainloop_stop(loop);
        if (stream)
            pa_stream_unref(stream);
        if (context)
            pa_context_unref(context);
        pa_threaded_mainloop_free(loop);
    }

    int Connect(const std::string& sourceName, std::string& message)
    {
        source = sourceName.empty() ? "default source" : "source \"" + sourceName + "\"";
        loop = pa_threaded_mainloop_new();
        if (!loop || pa_threaded_mainloop_start(loop) < 0) {
            message = "PulseAudio's main loop could not be started";
            return WaveErrorDevice;
        }
        MainLoopLock lock(loop);
        if (!ConnectContext()) {
            message = "no PulseAudio server answers (" + ContextError() + ")";
            return WaveErrorDevice;
        }
        if (!ConnectStream(sourceName)) {
            if (pa_context_errno(context) == PA_ERR_NOENTITY)
                message = sourceName.empty() ? "PulseAudio has no default source"
                                             : "PulseAudio has no source named \"" + sourceName + "\"";
            else
                message = "PulseAudio does not record from its " + source + " (" + ContextError() + ")";
            return WaveErrorDevice;
        }
        recording = true;
        return WaveOk;
    }

protected:
    int StartSource() override
    {
        MainLoopLock lock(loop);
        if (pa_stream_get_state(stream) != PA_STREAM_READY)
            return DeviceError("The sound input did not start: " + ContextError() + ".");
        Forget(pa_stream_cork(stream, 0, nullptr, nullptr));
        return WaveOk;
    }

    // The gate is shut already: packets still on their way are dropped by
    // the read callback. Flushing keeps what the server holds from reaching
    // a later start.
    void StopSource() override
    {
        MainLoopLock lock(loop);
        if (pa_stream_get_state(stream) != PA_STREAM_READY)
            return;
        Forget(pa_stream_cork(stream, 1, nullptr, nullptr));
        Forget(pa_stream_flush(stream, nullptr, nullptr));
    }

private:
    bool ConnectContext()
    {
        context = pa_context_new(pa_threaded_mainloop_get_api(loop), "Tavimeter");
        if (!context)
            return false;
        pa_context_set_state_callback(context, &PulseInput::OnContextState, this);
        if (pa_context_connect(context, nullptr, PA_CONTEXT_NOFLAGS, nullptr) < 0)
            return false;
        WaitWhile([this] {
            const pa_context_state_t state = pa_context_get_state(context);
            return PA_CONTEXT_IS_GOOD(state) && state != PA_CONTEXT_READY;
        });
        return pa_context_get_state(context) == PA_CONTEXT_READY;
    }

    // The server sends what the source gives as soon as it has it, at most
    // one buffer's worth at a time; the source is asked for that latency.
    // A source chosen by name stays the one recorded: when it goes away the
    // recording ends, rather than the server moving it to another source.
    bool ConnectStream(const std::string& sourceName)
    {
        const pa_sample_spec spec{PA_SAMPLE_S16NE, static_cast<uint32_t>(Format().sampleRate),
                                  static_cast<uint8_t>(Format().channels)};
        stream = pa_stream_new(context, "Tavimeter", &spec, nullptr);
        if (!stream)
            return false;
        pa_stream_set_state_callback(stream, &PulseInput::OnStreamState, this);
        pa_stream_set_read_callback(stream, &PulseInput::OnRead, this);
        pa_buffer_attr attributes;
        attributes.maxlength = static_cast<uint32_t>(-1);
        attributes.tlength = static_cast<uint32_t>(-1);
        attributes.prebuf = static_cast<uint32_t>(-1);
        attributes.minreq = static_cast<uint32_t>(-1);
        attributes.fragsize = FramesPerBuffer * static_cast<uint32_t>(Format().BlockAlign());
        const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_START_CORKED |
                                                          (sourceName.empty() ? 0 : PA_STREAM_DONT_MOVE));
        if (pa_stream_connect_record(stream, sourceName.empty() ? nullptr : sourceName.c_str(), &attributes, flags) <
            0)
            return false;
        WaitWhile([this] { return pa_stream_get_state(stream) == PA_STREAM_CREATING; });
        return pa_stream_get_state(stream) == PA_STREAM_READY;
    }

    // Lock held: waits for the main loop while `pending` holds, a few
    // seconds at most.
    void WaitWhile(const std::function<bool()>& pending)
    {
        timedOut = false;
        pa_time_event* timer =
            pa_context_rttime_new(context, pa_rtclock_now() + AnswerTimeout, &PulseInput::OnTimeout, this);
        while (pending() && !timedOut)
            pa_threaded_mainloop_wait(loop);
        if (timer)
            pa_threaded_mainloop_get_api(loop)->time_free(timer);
    }

    std::string ContextError() const
    {
        if (timedOut)
            return "no answer within 5 seconds";
        return pa_strerror(context ? pa_context_errno(context) : PA_ERR_INTERNAL);
    }

    static void OnTimeout(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* user)
    {
        auto* self = static_cast<PulseInput*>(user);
        self->timedOut = true;
        pa_threaded_mainloop_signal(self->loop, 0);
    }

    static void OnContextState(pa_context* context, void* user)
    {
        auto* self = static_cast<PulseInput*>(user);
        if (self->recording && !PA_CONTEXT_IS_GOOD(pa_context_get_state(context)))
            self->ReportFailure("The PulseAudio server went away (" + self->ContextError() + ").");
        pa_threaded_mainloop_signal(self->loop, 0);
    }

    static void OnStreamState(pa_stream* stream, void* user)
    {
        auto* self = static_cast<PulseInput*>(user);
        if (self->recording && !PA_STREAM_IS_GOOD(pa_stream_get_state(stream)))
            self->ReportFailure(pa_context_errno(self->context) == PA_ERR_KILLED
                                    ? "PulseAudio's " + self->source + " went away."
                                    : "PulseAudio ended the recording (" + self->ContextError() + ").");
        pa_threaded_mainloop_signal(self->loop, 0);
    }

    // PulseAudio keeps a record stream's data in whole frames.
    static void OnRead(pa_stream* stream, size_t, void* user)
    {
        auto* self = static_cast<PulseInput*>(user);
        const size_t frameBytes = static_cast<size_t>(self->Format().BlockAlign());
        const void* data = nullptr;
        size_t bytes = 0;
        while (pa_stream_peek(stream, &data, &bytes) == 0 && bytes > 0) {
            if (data)
                self->Deliver(static_cast<const int16_t*>(data), bytes / frameBytes);
            else
                self->DeliverSilence(bytes / frameBytes);
            pa_stream_drop(stream);
        }
    }

    // A hole in the stream: the frames the server did not have.
    void DeliverSilence(size_t frames)
    {
        while (frames > 0) {
            const size_t count = frames < FramesPerBuffer ? frames : FramesPerBuffer;
            Deliver(silence.data(), count);
            frames -= count;
        }
    }

    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    pa_stream* stream = nullptr;
    std::string source;  // for messages
    // Under the main-loop lock.
    bool timedOut = false;
    bool recording = false;
    const std::vector<int16_t> silence;
};

} // namespace

int OpenPulseInput(const std::string& sourceName, const WaveFormat& format, WaveNotifyTarget* target,
                   std::unique_ptr<WaveInput>& device, std::string& message)
{
    auto input = std::make_unique<PulseInput>(format, target);
    if (input->Connect(sourceName, message) != WaveOk)
        return WaveErrorDevice;
    device = std::move(input);
    return WaveOk;
}
