// The meter window's pages as the running program shows them: new readings,
// then the paint they cause, on Qt's offscreen platform (what the program
// pays; the X server's share is the soak's to measure).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCoreApplication>

#include <cmath>

#include "ui/levels_page.h"
#include "ui/meter_panel.h"

namespace {

// A level wandering by a few dB, so that most numbers change at each call.
double Wander(int call, int line)
{
    return -30.0 + 4.0 * std::sin(0.7 * call + line);
}

void BM_LevelsPageUpdate(benchmark::State& state)
{
    CLevelsPage page(nullptr);
    page.resize(420, 320);
    page.show();
    QCoreApplication::processEvents();
    SoundLevelReadings readings;
    int call = 0;
    for (auto _ : state) {
        double* values[] = {&readings.fast,    &readings.slow,  &readings.eq,      &readings.eqLastSecond,
                            &readings.eqLastMinute, &readings.fastMax, &readings.fastMin, &readings.slowMax,
                            &readings.cPeak,   &readings.exposure, &readings.l10, &readings.l50, &readings.l90};
        int line = 0;
        for (double* value : values)
            *value = Wander(call, line++);
        readings.seconds = 0.17 * call++;
        page.SetReadings(&readings);
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_LevelsPageUpdate);

void BM_MeterPanelUpdate(benchmark::State& state)
{
    CMeterPanel panel(nullptr);
    panel.resize(420, 320);
    panel.show();
    QCoreApplication::processEvents();
    MeterReadings readings;
    int call = 0;
    for (auto _ : state) {
        for (int ch = 0; ch < 2; ++ch) {
            readings.rms[ch] = Wander(call, ch);
            readings.truePeak[ch] = Wander(call, ch + 2) + 6.0;
        }
        readings.momentary = Wander(call, 5);
        readings.shortTerm = Wander(call, 6);
        ++call;
        panel.SetReadings(&readings);
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_MeterPanelUpdate);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
