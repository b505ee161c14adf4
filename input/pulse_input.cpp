#include "input/pulse_input.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>


namespace {

using Clock = std::chrono::steady_clock;

constexpr unsigned FramesPerBuffer = WaveFramesPerBuffer;
constexpr auto AnswerTimeout = std::chrono::seconds(5);

void Forget(pa_operation* operation)
{
    if (operation)
        pa_operation_unref(operation);
}

// A record stream on a main loop of its own, run by a thread of its own.
// That thread holds `loopLock` except while it waits; the GUI thread takes
// it to talk to PulseAudio, and every callback runs with it held.
//
// A sound server may send a packet every few milliseconds (a monitor source
// goes at the pace of the sink's lowest-latency client). Waking for each one
// would cost more than copying them, so while nothing is pending the loop
// rests until the buffer being filled is due to be full, then takes all
// that has come; it wakes early for the GUI thread.
class PulseInput : public WaveInput {
    // The GUI thread's hold on the loop. The loop's thread lets go of the
    // lock while it waits, and is woken from a rest by this hold, so that
    // what the GUI thread asks for goes out at once.
    class Access {
    public:
        explicit Access(PulseInput& input) : input(input), lock(input.loopLock)
        {
            input.wanted = true;
            input.called.notify_one();
        }

        // Waits for the loop while `pending` holds, a few seconds at most.
        void WaitWhile(const std::function<bool()>& pending)
        {
            input.timedOut = !input.answered.wait_for(lock, AnswerTimeout, [&] { return !pending(); });
        }

    private:
        PulseInput& input;
        std::unique_lock<std::mutex> lock;
    };

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
            Access access(*this);
            if (stream) {
                pa_stream_set_state_callback(stream, nullptr, nullptr);
                pa_stream_set_read_callback(stream, nullptr, nullptr);
                pa_stream_disconnect(stream);
            }
            if (context) {
                pa_context_set_state_callback(context, nullptr, nullptr);
                pa_context_disconnect(context);
            }
            pa_mainloop_quit(loop, 0);
        }
        if (thread.joinable())
            thread.join();
        if (stream)
            pa_stream_unref(stream);
        if (context)
            pa_context_unref(context);
        pa_mainloop_free(loop);
    }

    int Connect(const std::string& sourceName, std::string& message)
    {
        source = sourceName.empty() ? "default source" : "source \"" + sourceName + "\"";
        loop = pa_mainloop_new();
        if (!loop) {
            message = "PulseAudio's main loop could not be made";
            return WaveErrorDevice;
        }
        pa_mainloop_set_poll_func(loop, &PulseInput::Poll, this);
        thread = std::thread([this] { Run(); });
        pthread_setname_np(thread.native_handle(), "PulseAudio in");
        Access access(*this);
        if (!ConnectContext(access)) {
            message = "no PulseAudio server answers (" + ContextError() + ")";
            return WaveErrorDevice;
        }
        if (!ConnectStream(sourceName, access)) {
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
        Access access(*this);
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
        Access access(*this);
        if (pa_stream_get_state(stream) != PA_STREAM_READY)
            return;
        Forget(pa_stream_cork(stream, 1, nullptr, nullptr));
        Forget(pa_stream_flush(stream, nullptr, nullptr));
    }

private:
    bool ConnectContext(Access& access)
    {
        context = pa_context_new(pa_mainloop_get_api(loop), "Tavimeter");
        if (!context)
            return false;
        pa_context_set_state_callback(context, &PulseInput::OnContextState, this);
        if (pa_context_connect(context, nullptr, PA_CONTEXT_NOFLAGS, nullptr) < 0)
            return false;
        access.WaitWhile([this] {
            const pa_context_state_t state = pa_context_get_state(context);
            return PA_CONTEXT_IS_GOOD(state) && state != PA_CONTEXT_READY;
        });
        return pa_context_get_state(context) == PA_CONTEXT_READY;
    }

    // The server sends what the source gives as soon as it has it, at most
    // one buffer's worth at a time; the source is asked for that latency.
    // A source chosen by name stays the one recorded: when it goes away the
    // recording ends, rather than the server moving it to another source.
    bool ConnectStream(const std::string& sourceName, Access& access)
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
        pa_context_set_subscribe_callback(context, &PulseInput::OnServerEvent, this);
        Forget(pa_context_subscribe(context, PA_SUBSCRIPTION_MASK_SERVER, nullptr, nullptr));
    }

    static void OnServerEvent(pa_context* context, pa_subscription_event_type_t type, uint32_t, void* user)
    {
        if ((type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK) == PA_SUBSCRIPTION_EVENT_SERVER)
            Forget(pa_context_get_server_info(context, &PulseInput::OnServerInfo, user));
    }

    static void OnServerInfo(pa_context* context, const pa_server_info* info, void* user)
    {
        auto* self = static_cast<PulseInput*>(user);
        if (!info || !info->default_source_name || !self->stream ||
            pa_stream_get_state(self->stream) != PA_STREAM_READY)
            return;
        const char* recorded = pa_stream_get_device_name(self->stream);
        if (recorded && std::strcmp(recorded, info->default_source_name) != 0)
            Forget(pa_context_move_source_output_by_name(context, pa_stream_get_index(self->stream),
                                                         info->default_source_name, nullptr, nullptr));
    }

    void Run()
    {
        sigset_t signals;  // the process's signals are the GUI thread's to take
        sigfillset(&signals);
        pthread_sigmask(SIG_BLOCK, &signals, nullptr);
        std::lock_guard<std::mutex> hold(loopLock);  // let go of in Poll
        if (pa_mainloop_run(loop, nullptr) < 0)
            ReportFailure("PulseAudio's main loop failed.");
    }

    // Loop thread, lock held on entry and on return.
    static int Poll(struct pollfd* fds, unsigned long count, int timeout, void* user)
    {
        auto* self = static_cast<PulseInput*>(user);
        std::unique_lock<std::mutex> lock(self->loopLock, std::adopt_lock);
        int ready = poll(fds, count, 0);
        if (ready == 0 && timeout != 0) {
            const auto rested = self->Rest(lock, timeout);
            if (timeout > 0)
                timeout = std::max(0, timeout - static_cast<int>(rested.count()));
            lock.unlock();
            ready = poll(fds, count, timeout);
            lock.lock();
        }
        lock.release();
        return ready;
    }

    // Rests until the buffer being filled is due to be full, within
    // `timeoutMs` (negative: none), or until the GUI thread calls.
    std::chrono::milliseconds Rest(std::unique_lock<std::mutex>& lock, int timeoutMs)
    {
        const auto start = Clock::now();
        const size_t missing = FramesToFillHead();
        auto due = std::chrono::microseconds(missing * 1000000 / static_cast<size_t>(Format().sampleRate));
        if (timeoutMs > 0)
            due = std::min<std::chrono::microseconds>(due, std::chrono::milliseconds(timeoutMs));
        if (due > std::chrono::microseconds(0) && !wanted)
            called.wait_for(lock, due, [this] { return wanted; });
        wanted = false;
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    }

    std::string ContextError() const
    {
        if (timedOut)
            return "no answer within 5 seconds";
        return pa_strerror(context ? pa_context_errno(context) : PA_ERR_INTERNAL);
    }

    static void OnContextState(pa_context* context, void* user)
    {
        auto* self = static_cast<PulseInput*>(user);
        if (self->recording && !PA_CONTEXT_IS_GOOD(pa_context_get_state(context)))
            self->ReportFailure("The PulseAudio server went away (" + self->ContextError() + ").");
        self->answered.notify_all();
    }

    static void OnStreamState(pa_stream* stream, void* user)
    {
        auto* self = static_cast<PulseInput*>(user);
        if (self->recording && !PA_STREAM_IS_GOOD(pa_stream_get_state(stream)))
            self->ReportFailure(pa_context_errno(self->context) == PA_ERR_KILLED
                                    ? "PulseAudio's " + self->source + " went away."
                                    : "PulseAudio ended the recording (" + self->ContextError() + ").");
        self->answered.notify_all();
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

    pa_mainloop* loop = nullptr;
    std::thread thread;
    std::mutex loopLock;
    std::condition_variable answered;  // a state callback has run
    std::condition_variable called;    // the GUI thread wants the loop
    pa_context* context = nullptr;
    pa_stream* stream = nullptr;
    std::string source;  // for messages
    // Under loopLock.
    bool timedOut = false;
    bool recording = false;
    bool wanted = false;
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
