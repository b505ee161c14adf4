// tavimeter --render on a long 48 kHz stereo WAV at 1920 x 1080 (N = 4096,
// Hann, logarithmic axis), the whole program as a user runs it, on all
// cores; beside it sox's spectrogram of the same file. Wall time per run,
// and the program's peak resident memory.
//   build-bench/bench/render_bench [--benchmark_filter=...]
// The test files (about 115 MB per 10 minutes) are made once in /tmp.
#include <fstream>
#include <string>

#include "whole_program.h"

namespace {

const std::string Folder = "/tmp/tavi_render_bench";

std::string TestFile(int seconds)
{
    return MakeTestFile(Folder, seconds, SF_FORMAT_WAV | SF_FORMAT_PCM_16, "wav");
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
