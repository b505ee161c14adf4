#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <vector>

#include "analysis/wave_capture.h"
#include "tests/input/scripted_wave_input.h"

namespace {

// The capture thread's work per buffer as the main window receives it:
// copy 2048 frames into the queued buffer and post the data event.
class PostingTarget : public WaveNotifyTarget {
public:
    void PostWaveData(WaveHeader*) override { QCoreApplication::postEvent(&receiver, new QEvent(QEvent::User)); }
    void PostWaveClose() override {}
    void PostWaveError(const std::string&) override {}
    QObject receiver;
};

void BM_CaptureCallbackWithEventPost(benchmark::State& state)
{
    PostingTarget target;
    ScriptedWaveInput input(WaveFormat(), &target, WaveOk);
    std::vector<char> data(CWaveCapture::BufferBytes);
    WaveHeader header;
    header.data = data.data();
    header.bufferLength = CWaveCapture::BufferBytes;
    input.Prepare(&header);
    const std::vector<int16_t> frames(2 * 2048, 1234);
    for (auto _ : state) {
        state.PauseTiming();
        QCoreApplication::removePostedEvents(&target.receiver);
        input.AddBuffer(&header);
        state.ResumeTiming();
        input.Push(frames);
    }
}
BENCHMARK(BM_CaptureCallbackWithEventPost)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
