#include "input/pulse_input.h"

#include <pulse/pulseaudio.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "input/pulse_loop.h"


namespace {

constexpr unsigned FramesPerBuffer = WaveFramesPerBuffer;

void Forget(pa_operation* operation)
{
    if (operation)
        pa_operation_unref(operation);
}

// A record stream on the program's PulseAudio loop (CPulseLoop), whose
// thread calls it with the loop's lock held.
//
// A sound server may send a packet every few milliseconds (a monitor source
// goes at the pace of the sink's lowest-latency client). Waking for each one
// would cost more than copying them, so the stream advises the loop to rest
// while nothing is pending until the buffer being filled is due to be full,
// then take all that has come.
class PulseInput : public WaveInput {
    using Access = CPulseLoop::Access;

public:
    PulseInput(const WaveFormat& format, WaveNotifyTarget* target)
        : WaveInput(format, target), silence(FramesPerBuffer * static_cast<size_t>(format.channels))
    {
    }

    ~PulseInput() override
    {
        if (!loop)
            return;
        Access access(*loop);
        loop->ClearRestAdvice(this);
        loop->RemoveStateListener(listener);
        loop->RemoveServerListener(serverListener);
        if (serverInfo) {
            pa_operation_cancel(serverInfo);
            pa_operation_unref(serverInfo);
        }
        if (stream) {
            pa_stream_set_state_callback(stream, nullptr, nullptr);
            pa_stream_set_read_callback(stream, nullptr, nullptr);
            pa_stream_disconnect(stream);
            pa_stream_unref(stream);
        }
    }

    int Connect(const std::string& sourceName, std::string& message)
    {
        source = sourceName.empty() ? "default source" : "source \"" + sourceName + "\"";
        loop = CPulseLoop::Shared(message);
        if (!loop)
            return WaveErrorDevice;
        Access access(*loop);
        listener = loop->AddStateListener([this] { OnContextState(); });
        if (!ConnectStream(sourceName, access)) {
            if (pa_context_errno(loop->Context()) == PA_ERR_NOENTITY)
                message = sourceName.empty() ? "PulseAudio has no default source"
                                             : "PulseAudio has no source named \"" + sourceName + "\"";
            else
                message = "PulseAudio does not record from its " + source + " (" + loop->ContextError() + ")";
            return WaveErrorDevice;
        }
        loop->SetRestAdvice(this, [this] {
            return std::chrono::microseconds(FramesToFillHead() * 1000000 / static_cast<size_t>(Format().sampleRate));
        });
        recording = true;
        return WaveOk;
    }

protected:
    int StartSource() override
    {
        Access access(*loop);
        if (pa_stream_get_state(stream) != PA_STREAM_READY)
            return DeviceError("The sound input did not start: " + loop->ContextError() + ".");
        Forget(pa_stream_cork(stream, 0, nullptr, nullptr));
        return WaveOk;
    }

    // The gate is shut already: packets still on their way are dropped by
    // the read callback. Flushing keeps what the server holds from reaching
    // a later start.
    void StopSource() override
    {
        Access access(*loop);
        if (pa_stream_get_state(stream) != PA_STREAM_READY)
            return;
        Forget(pa_stream_cork(stream, 1, nullptr, nullptr));
        Forget(pa_stream_flush(stream, nullptr, nullptr));
    }

private:
    // The server sends what the source gives as soon as it has it, at most
    // one buffer's worth at a time; the source is asked for that latency.
    // A source chosen by name stays the one recorded: when it goes away the
    // recording ends, rather than the server moving it to another source.
    bool ConnectStream(const std::string& sourceName, Access& access)
    {
        const pa_sample_spec spec{PA_SAMPLE_S16NE, static_cast<uint32_t>(Format().sampleRate),
                                  static_cast<uint8_t>(Format().channels)};
        stream = pa_stream_new(loop->Context(), "Tavimeter", &spec, nullptr);
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
        access.WaitWhile([this] { return pa_stream_get_state(stream) == PA_STREAM_CREATING; });
        if (pa_stream_get_state(stream) != PA_STREAM_READY)
            return false;
        if (sourceName.empty())
            FollowTheDefaultSource();
        return true;
    }

    // The default input follows the desktop's default source: servers since
    // PulseAudio 15 and PipeWire move a stream that names no source
    // themselves; where one does not, the stream is moved here when the
    // server says its default changed.
    void FollowTheDefaultSource()
    {
        serverListener = loop->AddServerListener([this] {
            if (!serverInfo)
                serverInfo = pa_context_get_server_info(loop->Context(), &PulseInput::OnServerInfo, this);
        });
    }

    static void OnServerInfo(pa_context* context, const pa_server_info* info, void* user)
    {
        auto* self = static_cast<PulseInput*>(user);
        pa_operation_unref(self->serverInfo);
        self->serverInfo = nullptr;
        if (!info || !info->default_source_name || !self->stream ||
            pa_stream_get_state(self->stream) != PA_STREAM_READY)
            return;
        const char* recorded = pa_stream_get_device_name(self->stream);
        if (recorded && std::strcmp(recorded, info->default_source_name) != 0)
            Forget(pa_context_move_source_output_by_name(context, pa_stream_get_index(self->stream),
                                                         info->default_source_name, nullptr, nullptr));
    }

    // Loop thread, lock held.
    void OnContextState()
    {
        if (recording && !loop->Connected())
            ReportFailure("The PulseAudio server went away (" + loop->ContextError() + ").");
    }

    static void OnStreamState(pa_stream* stream, void* user)
    {
        auto* self = static_cast<PulseInput*>(user);
        if (self->recording && !PA_STREAM_IS_GOOD(pa_stream_get_state(stream)))
            self->ReportFailure(pa_context_errno(self->loop->Context()) == PA_ERR_KILLED
                                    ? "PulseAudio's " + self->source + " went away."
                                    : "PulseAudio ended the recording (" + self->loop->ContextError() + ").");
        self->loop->NotifyAnswered();
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

    std::shared_ptr<CPulseLoop> loop;
    int listener = -1, serverListener = -1;
    pa_operation* serverInfo = nullptr;  // asked for, not answered yet
    pa_stream* stream = nullptr;
    std::string source;  // for messages
    bool recording = false;  // under the loop's lock
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
