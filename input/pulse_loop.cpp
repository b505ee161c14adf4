#include "input/pulse_loop.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>

#include <algorithm>

namespace {

using Clock = std::chrono::steady_clock;

std::mutex sharedLock;
std::weak_ptr<CPulseLoop> sharedLoop;

} // namespace

CPulseLoop::Access::Access(CPulseLoop& loop) : loop(loop), lock(loop.loopLock)
{
    loop.wanted = true;
    loop.called.notify_one();
}

void CPulseLoop::Access::WaitWhile(const std::function<bool()>& pending)
{
    loop.timedOut = !loop.answered.wait_for(lock, AnswerTimeout, [&] { return !pending(); });
}

std::shared_ptr<CPulseLoop> CPulseLoop::Shared(std::string& message)
{
    std::lock_guard<std::mutex> hold(sharedLock);
    if (std::shared_ptr<CPulseLoop> running = sharedLoop.lock()) {
        Access access(*running);
        if (running->Connected())
            return running;
    }
    std::shared_ptr<CPulseLoop> fresh(new CPulseLoop());
    if (!fresh->Connect(message))
        return nullptr;
    sharedLoop = fresh;
    return fresh;
}

CPulseLoop::~CPulseLoop()
{
    if (!loop)
        return;
    {
        Access access(*this);
        if (context) {
            pa_context_set_state_callback(context, nullptr, nullptr);
            pa_context_set_subscribe_callback(context, nullptr, nullptr);
            pa_context_disconnect(context);
        }
        pa_mainloop_quit(loop, 0);
    }
    if (thread.joinable())
        thread.join();
    if (context)
        pa_context_unref(context);
    pa_mainloop_free(loop);
}

bool CPulseLoop::Connect(std::string& message)
{
    loop = pa_mainloop_new();
    if (!loop) {
        message = "PulseAudio's main loop could not be made";
        return false;
    }
    pa_mainloop_set_poll_func(loop, &CPulseLoop::Poll, this);
    thread = std::thread([this] { Run(); });
    pthread_setname_np(thread.native_handle(), "PulseAudio in");
    Access access(*this);
    context = pa_context_new(pa_mainloop_get_api(loop), "Tavimeter");
    if (context) {
        pa_context_set_state_callback(context, &CPulseLoop::OnContextState, this);
        if (pa_context_connect(context, nullptr, PA_CONTEXT_NOFLAGS, nullptr) >= 0)
            access.WaitWhile([this] {
                const pa_context_state_t state = pa_context_get_state(context);
                return PA_CONTEXT_IS_GOOD(state) && state != PA_CONTEXT_READY;
            });
    }
    if (Connected())
        return true;
    message = "no PulseAudio server answers (" + ContextError() + ")";
    return false;
}

std::string CPulseLoop::ContextError() const
{
    if (loopFailed)
        return "its main loop failed";
    if (timedOut)
        return "no answer within 5 seconds";
    return pa_strerror(context ? pa_context_errno(context) : PA_ERR_INTERNAL);
}

int CPulseLoop::AddStateListener(std::function<void()> listener)
{
    stateListeners[nextListener] = std::move(listener);
    return nextListener++;
}

void CPulseLoop::RemoveStateListener(int id)
{
    stateListeners.erase(id);
}

int CPulseLoop::AddServerListener(std::function<void()> listener)
{
    if (serverListeners.empty()) {
        pa_context_set_subscribe_callback(context, &CPulseLoop::OnServerEvent, this);
        if (pa_operation* subscribing = pa_context_subscribe(context, PA_SUBSCRIPTION_MASK_SERVER, nullptr, nullptr))
            pa_operation_unref(subscribing);
    }
    serverListeners[nextListener] = std::move(listener);
    return nextListener++;
}

void CPulseLoop::RemoveServerListener(int id)
{
    serverListeners.erase(id);
}

void CPulseLoop::OnServerEvent(pa_context*, pa_subscription_event_type_t type, uint32_t, void* user)
{
    auto* self = static_cast<CPulseLoop*>(user);
    if ((type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK) == PA_SUBSCRIPTION_EVENT_SERVER)
        for (auto& [id, listener] : self->serverListeners)
            listener();
}

void CPulseLoop::Run()
{
    sigset_t signals;  // the process's signals are the GUI thread's to take
    sigfillset(&signals);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::lock_guard<std::mutex> hold(loopLock);  // let go of in Poll
    if (pa_mainloop_run(loop, nullptr) < 0) {
        // Every stream hears of it as a change of the connection's state.
        loopFailed = true;
        for (auto& [id, listener] : stateListeners)
            listener();
    }
}

// Loop thread, lock held on entry and on return.
int CPulseLoop::Poll(struct pollfd* fds, unsigned long count, int timeout, void* user)
{
    auto* self = static_cast<CPulseLoop*>(user);
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

// Rests as the advice says, within `timeoutMs` (negative: none), or until
// the GUI thread calls.
std::chrono::milliseconds CPulseLoop::Rest(std::unique_lock<std::mutex>& lock, int timeoutMs)
{
    const auto start = Clock::now();
    auto due = restAdvice ? restAdvice() : std::chrono::microseconds(0);
    if (timeoutMs > 0)
        due = std::min<std::chrono::microseconds>(due, std::chrono::milliseconds(timeoutMs));
    if (due > std::chrono::microseconds(0) && !wanted)
        called.wait_for(lock, due, [this] { return wanted; });
    wanted = false;
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

void CPulseLoop::OnContextState(pa_context*, void* user)
{
    auto* self = static_cast<CPulseLoop*>(user);
    for (auto& [id, listener] : self->stateListeners)
        listener();
    self->answered.notify_all();
}
