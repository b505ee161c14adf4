// tavimeter --render on a long 48 kHz stereo WAV at 1920 x 1080 (N = 4096,
// Hann, logarithmic axis), the whole program as a user runs it, on all
// cores; beside it sox's spectrogram of the same file. Wall time per run,
// and the program's peak resident memory.
//   build-bench/bench/render_bench [--benchmark_filter=...]
// The test files (about 115 MB per 10 minutes) are made once in /tmp.
#include <benchmark/benchmark.h>
#include <sndfile.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

const std::string Folder = "/tmp/tavi_render_bench";

// Music-like material: a drifting chord over pink-ish noise, at -20 dBFS.
std::string TestFile(int seconds)
{
    const std::string path = Folder + "/" + std::to_string(seconds) + "s.wav";
    struct stat info;
    if (stat(path.c_str(), &info) == 0)
        return path;
    mkdir(Folder.c_str(), 0755);
    SF_INFO format = {};
    format.samplerate = 48000;
    format.channels = 2;
    format.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &format);
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
    double peakMegabytes = 0;
    bool ok = false;
};

RunResult Run(const std::string& command)
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
    r.peakMegabytes = usage.ru_maxrss / 1024.0;
    r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return r;
}

void Report(benchmark::State& state, const std::string& command)
{
    for (auto _ : state) {
        const RunResult r = Run(command);
        if (!r.ok) {
            state.SkipWithError(("failed: " + command).c_str());
            return;
        }
        state.SetIterationTime(r.seconds);
        state.counters["peak_MB"] = r.peakMegabytes;
    }
}

void BM_Render(benchmark::State& state)
{
    const std::string file = TestFile(static_cast<int>(state.range(0)));
    const std::string ini = Folder + "/bench.ini";
    std::ofstream(ini) << "[SettingWindow]\nCheck1=1\nWindowSize=4\nWindowType=1\nOversample=1\n"
                          "[Ctrl]\nSlider1=40\nSlider2=70\n[View]\nFrequencyScale=1\n";
    Report(state, std::string(TAVI_PROGRAM) + " --render " + file + " " + Folder + "/out.png --size 1920x1080 --ini " +
                      ini + " --mode " + std::to_string(state.range(1)) + " >/dev/null 2>&1");
}

void BM_SoxSpectrogram(benchmark::State& state)
{
    const std::string file = TestFile(static_cast<int>(state.range(0)));
    Report(state, "sox " + file + " -n spectrogram -x 1920 -y 1080 -o " + Folder + "/sox.png");
}

// Seconds of sound; view.
BENCHMARK(BM_Render)->Args({600, 0})->Args({600, 1})->Args({600, 3})->Args({3600, 0})->Args({3600, 1})
    ->Args({3600, 3})->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_SoxSpectrogram)->Arg(600)->Arg(3600)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
