#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "input/wave_input.h"

// A private PulseAudio server for one test, started with the project's
// script under the test rig's folder, stopped when the test ends.
class PulseServer {
public:
    PulseServer()
    {
        const char* rig = std::getenv("TAVI_RIG_DIR");
        dir = std::string(rig ? rig : "/tmp") + "/pulse-" + std::to_string(getpid()) + "-" +
              std::to_string(counter++);
        Start();
    }
    ~PulseServer() { Stop(); }

    // Starts the server, or a new one on the same socket after Kill.
    bool Start()
    {
        address.clear();
        stopped = false;
        const std::string command = std::string(TAVI_SOURCE_DIR) + "/scripts/pulse-server.sh start " + dir;
        if (FILE* out = popen(command.c_str(), "r")) {
            char line[512] = {};
            if (std::fgets(line, sizeof line, out))
                address = std::string(line, std::strlen(line) - (line[std::strlen(line) - 1] == '\n'));
            pclose(out);
        }
        if (!address.empty())
            setenv("PULSE_SERVER", address.c_str(), 1);
        return !address.empty();
    }

    bool Running() const { return !address.empty(); }
    const std::string& Address() const { return address; }

    void Stop()
    {
        if (stopped)
            return;
        stopped = true;
        std::system((std::string(TAVI_SOURCE_DIR) + "/scripts/pulse-server.sh stop " + dir).c_str());
    }

    void Kill()
    {
        std::ifstream pidFile(dir + "/pulseaudio.pid");
        int pid = 0;
        pidFile >> pid;
        if (pid > 0)
            kill(pid, SIGKILL);
    }

private:
    static inline int counter = 0;
    std::string dir;
    std::string address;
    bool stopped = false;
};

// Plays generated stereo PCM into the server's null sink through pacat, so
// that the sink runs at pacat's low latency. The generator can be replaced
// while it plays.
class Feeder {
public:
    using Generator = std::function<void(long frame, int16_t& left, int16_t& right)>;

    static Generator Silence()
    {
        return [](long, int16_t& l, int16_t& r) { l = r = 0; };
    }

    void SetGenerator(Generator next)
    {
        std::lock_guard<std::mutex> lock(mutex);
        generator = std::move(next);
    }

    Feeder(const std::string& server, Generator generator, double seconds, const std::string& sink = "tavi_null")
        : generator(std::move(generator))
    {
        signal(SIGPIPE, SIG_IGN);  // pacat dies with its server in some tests
        const std::string command = "PULSE_SERVER=" + server +
                                    " pacat --playback --latency-msec=20 --rate=48000 --channels=2 "
                                    "--format=s16le --device=" +
                                    sink;
        // Close-on-exec: a program the test starts must not hold pacat's input
        // open after the feeder closes it.
        pipe = popen(command.c_str(), "we");
        const long total = long(seconds * 48000);
        thread = std::thread([this, total] { Play(total); });
    }
    ~Feeder()
    {
        stop = true;
        thread.join();
        if (pipe)
            pclose(pipe);
    }

private:
    void Play(long total)
    {
        std::vector<int16_t> chunk(2 * 480);
        for (long frame = 0; frame < total && !stop && pipe; frame += 480) {
            {
                std::lock_guard<std::mutex> lock(mutex);
                for (int i = 0; i < 480; ++i)
                    generator(frame + i, chunk[2 * i], chunk[2 * i + 1]);
            }
            if (std::fwrite(chunk.data(), sizeof(int16_t), chunk.size(), pipe) != chunk.size())
                break;
            std::fflush(pipe);
        }
    }

    std::mutex mutex;
    Generator generator;
    FILE* pipe = nullptr;
    std::atomic<bool> stop{false};
    std::thread thread;
};

// The main window's part in tests: notifications queue up here and the test
// thread takes them one at a time.
class QueueTarget : public WaveNotifyTarget {
public:
    void PostWaveData(WaveHeader*) override { Push(Data); }
    void PostWaveClose() override { Push(Closed); }
    void PostWaveError(const std::string& text) override
    {
        std::lock_guard<std::mutex> lock(mutex);
        errorText = text;
        events.push_back(Error);
        ready.notify_all();
    }

    enum Event { None, Data, Closed, Error };

    Event Wait(std::chrono::milliseconds timeout)
    {
        std::unique_lock<std::mutex> lock(mutex);
        if (!ready.wait_for(lock, timeout, [this] { return !events.empty(); }))
            return None;
        const Event e = events.front();
        events.pop_front();
        return e;
    }

    std::string ErrorText()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return errorText;
    }

private:
    void Push(Event e)
    {
        std::lock_guard<std::mutex> lock(mutex);
        events.push_back(e);
        ready.notify_all();
    }

    std::mutex mutex;
    std::condition_variable ready;
    std::deque<Event> events;
    std::string errorText;
};
