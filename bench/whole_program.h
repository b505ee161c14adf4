#pragma once
// The whole program as a user runs it, timed beside another tool: the test
// files they share, and a command's wall time and peak memory.
#include <benchmark/benchmark.h>
#include <sndfile.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <string>
#include <vector>

// Music-like material, 48 kHz stereo: a drifting chord over pink-ish noise,
// at -20 dBFS, made once as `folder`/<seconds>s.<extension> in `format`
// (libsndfile's, e.g. SF_FORMAT_WAV | SF_FORMAT_PCM_16).
inline std::string MakeTestFile(const std::string& folder, int seconds, int format, const std::string& extension)
{
    const std::string path = folder + "/" + std::to_string(seconds) + "s." + extension;
    struct stat info;
    if (stat(path.c_str(), &info) == 0)
        return path;
    mkdir(folder.c_str(), 0755);
    SF_INFO header = {};
    header.samplerate = 48000;
    header.channels = 2;
    header.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &header);
    std::vector<short> block(2 * 48000);
    uint32_t noise = 1;
    double low = 0;
    for (long s = 0; s < seconds; ++s) {
        for (int i = 0; i < 48000; ++i) {
            const double t = s + i / 48000.0;
            noise = noise * 1664525u + 1013904223u;
            low = 0.98 * low + 0.02 * (static_cast<int32_t>(noise) / 2147483648.0);
            const double f = 220 * std::pow(2.0, std::fmod(t / 7, 2.0));
            const double x = 0.05 * (std::sin(6.28318 * f * t) + std::sin(6.28318 * 1.5 * f * t)) + 0.3 * low;
            block[2 * i] = block[2 * i + 1] = static_cast<short>(std::lround(x * 32767));
        }
        sf_writef_short(file, block.data(), 48000);
    }
    sf_close(file);
    return path;
}

struct RunResult {
    double seconds = 0;
    double cpuSeconds = 0;  // user and system
    double peakMegabytes = 0;
    bool ok = false;
};

inline RunResult Run(const std::string& command)
{
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    struct rusage usage = {};
    wait4(pid, &status, 0, &usage);
    RunResult r;
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.cpuSeconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
                   usage.ru_stime.tv_usec / 1e6;
    r.peakMegabytes = usage.ru_maxrss / 1024.0;
    r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return r;
}

// One timed run of `command` per iteration: wall time, and the CPU time and
// peak memory as counters.
inline void Report(benchmark::State& state, const std::string& command)
{
    for (auto _ : state) {
        const RunResult r = Run(command);
        if (!r.ok) {
            state.SkipWithError(("failed: " + command).c_str());
            return;
        }
        state.SetIterationTime(r.seconds);
        state.counters["cpu_s"] = r.cpuSeconds;
        state.counters["peak_MB"] = r.peakMegabytes;
    }
}
