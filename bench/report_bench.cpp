// tavimeter --report on a long 48 kHz stereo FLAC, the whole program as a
// user runs it on all cores, beside ffmpeg's EBU R 128 filter with true
// peaks on the same file. Wall time per run, with the CPU time and peak
// resident memory as counters.
//   scripts/bench-report.sh (installs ffmpeg when it is missing)
// The test files (about 50 MB per 10 minutes) are made once in /tmp.
#include <cstdlib>
#include <string>

#include "whole_program.h"

namespace {

const std::string Folder = "/tmp/tavi_report_bench";

std::string TestFile(int seconds)
{
    return MakeTestFile(Folder, seconds, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, "flac");
}

// Loudness, true and sample peaks, RMS and the sound level meter.
void BM_Report(benchmark::State& state)
{
    const std::string file = TestFile(static_cast<int>(state.range(0)));
    Report(state, std::string(TAVI_PROGRAM) + " --report " + file + " >/dev/null");
}

// All of that with third-octave bands and one-second intervals.
void BM_ReportThirds(benchmark::State& state)
{
    const std::string file = TestFile(static_cast<int>(state.range(0)));
    Report(state, std::string(TAVI_PROGRAM) + " --report " + file + " --bands 3 --interval 1 >/dev/null");
}

void BM_FfmpegEbur128(benchmark::State& state)
{
    if (std::system("command -v ffmpeg >/dev/null") != 0) {
        state.SkipWithError("ffmpeg is not installed (scripts/bench-report.sh installs it)");
        return;
    }
    const std::string file = TestFile(static_cast<int>(state.range(0)));
    Report(state, "ffmpeg -nostdin -hide_banner -nostats -i " + file + " -af ebur128=peak=true -f null - 2>/dev/null");
}

// Seconds of sound.
BENCHMARK(BM_Report)->Arg(600)->Arg(3600)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_ReportThirds)->Arg(600)->Arg(3600)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_FfmpegEbur128)->Arg(600)->Arg(3600)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
