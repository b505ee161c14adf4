#pragma once

#include <pulse/pulseaudio.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

// A connection to the PulseAudio server on a main loop of its own, run by a
// thread of its own ("PulseAudio in"), shared by the program's streams: the
// capture's record stream and the generator's playback stream. That thread
// holds the loop's lock except while it waits; the GUI thread takes it
// (Access) to talk to PulseAudio, and every callback runs with it held.
//
// While nothing is pending the loop may rest before it polls, as long as
// the rest advice says (the capture's: until the buffer being filled is due
// to be full, so that it does not wake for every small packet); a stream
// that plays keeps more than a rest's worth queued at the server.
class CPulseLoop {
public:
    static constexpr auto AnswerTimeout = std::chrono::seconds(5);

    // The GUI thread's hold on the loop: it wakes the loop from a rest, so
    // that what the GUI thread asks for goes out at once.
    class Access {
    public:
        explicit Access(CPulseLoop& loop);
        // Waits for the loop while `pending` holds, AnswerTimeout at most.
        void WaitWhile(const std::function<bool()>& pending);

    private:
        CPulseLoop& loop;
        std::unique_lock<std::mutex> lock;
    };

    // The loop the program's streams share while one of them holds it, or a
    // new one connected to the server; null, with why in `message`, when no
    // server answers. GUI thread.
    static std::shared_ptr<CPulseLoop> Shared(std::string& message);
    ~CPulseLoop();
    CPulseLoop(const CPulseLoop&) = delete;
    CPulseLoop& operator=(const CPulseLoop&) = delete;

    // Under the lock (Access, or a callback).
    pa_context* Context() const { return context; }
    bool Connected() const
    {
        return !loopFailed && context && pa_context_get_state(context) == PA_CONTEXT_READY;
    }
    std::string ContextError() const;
    // How long the loop may rest now, asked under the lock; `owner` alone
    // takes its advice away again (a capture reopened gives new advice
    // before the old one goes).
    void SetRestAdvice(const void* owner, std::function<std::chrono::microseconds()> advice)
    {
        adviceOwner = owner;
        restAdvice = std::move(advice);
    }
    void ClearRestAdvice(const void* owner)
    {
        if (adviceOwner == owner)
            restAdvice = nullptr;
    }
    // Called under the lock on the loop's thread whenever the connection's
    // state changes (or the loop fails); the id takes it away again.
    int AddStateListener(std::function<void()> listener);
    void RemoveStateListener(int id);
    // Called likewise when the server's defaults change.
    int AddServerListener(std::function<void()> listener);
    void RemoveServerListener(int id);
    // A stream's state changed: wakes an Access waiting for it.
    void NotifyAnswered() { answered.notify_all(); }

private:
    CPulseLoop() = default;
    bool Connect(std::string& message);
    void Run();
    static int Poll(struct pollfd* fds, unsigned long count, int timeout, void* user);
    std::chrono::milliseconds Rest(std::unique_lock<std::mutex>& lock, int timeoutMs);
    static void OnContextState(pa_context* context, void* user);
    static void OnServerEvent(pa_context* context, pa_subscription_event_type_t type, uint32_t, void* user);

    pa_mainloop* loop = nullptr;
    std::thread thread;
    std::mutex loopLock;
    std::condition_variable answered;  // a state callback has run
    std::condition_variable called;    // the GUI thread wants the loop
    pa_context* context = nullptr;
    // Under loopLock.
    bool timedOut = false;
    bool loopFailed = false;
    bool wanted = false;
    std::function<std::chrono::microseconds()> restAdvice;
    const void* adviceOwner = nullptr;
    std::map<int, std::function<void()>> stateListeners, serverListeners;
    int nextListener = 0;
};
